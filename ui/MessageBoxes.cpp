#include "ui/MessageBoxes.h"

#include "base/Environment.h"
#include "ui/WindowSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>
#include <array>
#include <vector>

namespace {

// What a dialog button is: its object name, the code it closes with, its
// caption in the classic dialog and, for the four the task dialog offers,
// there. One row a button, in the order of DialogButton.
struct ButtonFacts {
    DialogButton kind;
    const char *name;
    int result;
    const char *classicCaption;
    const char *taskCaption;
};

constexpr std::array<ButtonFacts, 11> ButtonTable = {{
    {DialogButton::Yes, "Yes", DialogResult::Yes, "&Yes", "&Yes"},
    {DialogButton::No, "No", DialogResult::No, "&No", "&No"},
    {DialogButton::OK, "OK", DialogResult::OK, "OK", "&OK"},
    {DialogButton::Cancel, "Cancel", DialogResult::Cancel, "Cancel", "&Cancel"},
    {DialogButton::Abort, "Abort", DialogResult::Abort, "&Abort", nullptr},
    {DialogButton::Retry, "Retry", DialogResult::Retry, "&Retry", nullptr},
    {DialogButton::Ignore, "Ignore", DialogResult::Ignore, "&Ignore", nullptr},
    {DialogButton::All, "All", DialogResult::All, "&All", nullptr},
    {DialogButton::NoToAll, "NoToAll", DialogResult::NoToAll, "N&o to All", nullptr},
    {DialogButton::YesToAll, "YesToAll", DialogResult::YesToAll, "Yes to &All", nullptr},
    {DialogButton::Help, "Help", DialogResult::None, "&Help", nullptr},
}};

const ButtonFacts &factsOf(DialogButton button)
{
    return ButtonTable[std::size_t(button)];
}

// The message font's average character width is taken over these 52 letters.
const QString AverageWidthLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
constexpr int AverageWidthLetterCount = 52;
// Side of the message icon.
constexpr int IconSide = 32;
// The dash lines around each part of the copied text.
constexpr int CopyDashCount = 27;
// Room around a button's caption beyond its text.
constexpr int CaptionRoom = 8;

// Windows' MulDiv: n * numerator / denominator, rounded.
int mulDiv(int n, int numerator, int denominator)
{
    return int((qint64(n) * numerator * 2 + denominator) / (qint64(denominator) * 2));
}

// The program's active window, else the main window, as owner of a box.
QWidget *ownerWindow()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget *active = QApplication::activeWindow())
        return active;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (qobject_cast<QMainWindow *>(w))
            return w;
    }
    return nullptr;
}

QStyle::StandardPixmap classicIcon(MessageType type, bool *none)
{
    *none = false;
    switch (type) {
    case MessageType::Warning:
        return QStyle::SP_MessageBoxWarning;
    case MessageType::Error:
        return QStyle::SP_MessageBoxCritical;
    case MessageType::Information:
        return QStyle::SP_MessageBoxInformation;
    case MessageType::Confirmation:
        return QStyle::SP_MessageBoxQuestion;
    case MessageType::Custom:
        break;
    }
    *none = true;
    return QStyle::SP_MessageBoxInformation;
}

// The measures of the platform's standard message box, in dialog units of
// the message font's average character width and height.
struct ClassicMeasures {
    int horzMargin, vertMargin, horzSpacing, vertSpacing, buttonWidth, buttonHeight, buttonSpacing;

    explicit ClassicMeasures(const QFontMetrics &fm)
    {
        const int x = fm.horizontalAdvance(AverageWidthLetters) / AverageWidthLetterCount;
        const int y = fm.height();
        horzMargin = mulDiv(8, x, 4);
        vertMargin = mulDiv(8, y, 8);
        horzSpacing = mulDiv(10, x, 4);
        vertSpacing = mulDiv(10, y, 8);
        buttonWidth = mulDiv(50, x, 4);
        buttonHeight = mulDiv(14, y, 8);
        buttonSpacing = mulDiv(4, x, 4);
    }
};

// The classic message dialog: icon and message above a row of buttons. It
// makes and sizes its parts; the button row is laid out by
// CustomMessageDialog once the captions are final.
class ClassicMessageDialog : public QDialog
{
public:
    struct Entry {
        DialogButton kind;
        QPushButton *button;
    };

    ClassicMessageDialog(const QString &message, MessageType type, DialogButtons buttons, DialogButton defaultButton,
                         QWidget *owner)
        : QDialog(owner), m_measures(QFontMetrics(font()))
    {
        setObjectName(QStringLiteral("CustomMessageDialog"));
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        setModal(true);
        makeButtons(buttons, defaultButton);
        const QSize iconAndText = makeIconAndMessage(message, type);
        const int n = int(m_buttons.size());
        const int groupWidth = n * m_measures.buttonWidth + std::max(n - 1, 0) * m_measures.buttonSpacing;
        m_buttonTop = iconAndText.height() + m_measures.vertMargin + m_measures.vertSpacing;
        resize(std::max(iconAndText.width(), groupWidth) + 2 * m_measures.horzMargin,
               iconAndText.height() + m_measures.vertSpacing + m_measures.buttonHeight + 2 * m_measures.vertMargin);
        for (auto &entry : m_buttons) {
            if (entry.kind == defaultButton)
                entry.button->setFocus();
        }
    }

    const std::vector<Entry> &buttons() const { return m_buttons; }
    // The common size of the buttons and the top of their row.
    QSize buttonSize() const { return QSize(m_measures.buttonWidth, m_measures.buttonHeight); }
    int buttonTop() const { return m_buttonTop; }

    // The lines Ctrl+C puts on the clipboard.
    QString copyText() const
    {
        const QString dashes(CopyDashCount, QLatin1Char('-'));
        QString captions;
        for (const auto &entry : m_buttons)
            captions += withoutAccessKeys(entry.button->text()) + QStringLiteral("   ");
        return dashes + QLatin1Char('\n') + windowTitle() + QLatin1Char('\n') + dashes + QLatin1Char('\n') +
               m_message->text() + QLatin1Char('\n') + dashes + QLatin1Char('\n') + captions + QLatin1Char('\n') +
               dashes + QLatin1Char('\n');
    }

protected:
    void keyPressEvent(QKeyEvent *event) override;

    // The close box.
    void reject() override { done(DialogResult::Cancel); }

private:
    // The buttons asked for, each at least as wide as its standard caption.
    void makeButtons(DialogButtons buttons, DialogButton defaultButton)
    {
        const QFontMetrics fm(font());
        for (const ButtonFacts &facts : ButtonTable) {
            if (!buttons.contains(facts.kind))
                continue;
            const QString caption = QString::fromUtf8(facts.classicCaption);
            m_measures.buttonWidth =
                std::max(m_measures.buttonWidth, fm.horizontalAdvance(withoutAccessKeys(caption)) + CaptionRoom);
            auto *button = new QPushButton(caption, this);
            button->setObjectName(QLatin1String(facts.name));
            button->setAutoDefault(false);
            m_buttons.push_back({facts.kind, button});
            if (facts.kind == DialogButton::Help) {
                connect(button, &QPushButton::clicked, this, [] { /* no help system to ask */ });
            } else {
                const int code = facts.result;
                connect(button, &QPushButton::clicked, this, [this, code] { done(code); });
            }
            if (facts.kind == defaultButton)
                button->setDefault(true);
        }
    }

    // The icon and the message wrapped at half the screen; returns the size
    // they take together.
    QSize makeIconAndMessage(const QString &message, MessageType type)
    {
        bool noIcon = false;
        const QStyle::StandardPixmap pixmap = classicIcon(type, &noIcon);
        const int iconRoom = noIcon ? 0 : IconSide + m_measures.horzSpacing;
        if (!noIcon) {
            auto *icon = new QLabel(this);
            icon->setObjectName(QStringLiteral("Image"));
            icon->setPixmap(style()->standardIcon(pixmap, nullptr, this).pixmap(IconSide, IconSide));
            icon->setGeometry(m_measures.horzMargin, m_measures.vertMargin, IconSide, IconSide);
        }
        m_message = new QLabel(message, this);
        m_message->setObjectName(QStringLiteral("Message"));
        m_message->setWordWrap(true);
        m_message->setTextFormat(Qt::PlainText);
        const QScreen *screen = QGuiApplication::primaryScreen();
        const int wrapWidth = screen ? screen->geometry().width() / 2 : 640;
        const QRect textRect =
            QFontMetrics(font()).boundingRect(QRect(0, 0, wrapWidth, 0), Qt::TextWordWrap | Qt::AlignLeft, message);
        m_message->setGeometry(m_measures.horzMargin + iconRoom, m_measures.vertMargin, textRect.width(),
                               textRect.height());
        return QSize(textRect.width() + iconRoom, std::max(textRect.height(), noIcon ? 0 : IconSide));
    }

    ClassicMeasures m_measures;
    int m_buttonTop = 0;
    QLabel *m_message = nullptr;
    std::vector<Entry> m_buttons;
};

void ClassicMessageDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Copy)) {
        QApplication::beep();
        QGuiApplication::clipboard()->setText(copyText());
        return;
    }
    // Enter presses the button that has the focus, as the classic dialog
    // does; the default button only while it has the focus.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == 0) {
        for (const auto &entry : m_buttons) {
            if (entry.button->hasFocus()) {
                entry.button->click();
                return;
            }
        }
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        for (const DialogButton kind : {DialogButton::Cancel, DialogButton::No, DialogButton::OK}) {
            for (const auto &entry : m_buttons) {
                if (entry.kind == kind) {
                    done(resultCode(kind));
                    return;
                }
            }
        }
        return;
    }
    QDialog::keyPressEvent(event);
}

// The task-style dialog: window title, main instruction, content, icon and
// custom buttons. Escape and the close box give 2.
class TaskDialog : public QMessageBox
{
public:
    explicit TaskDialog(QWidget *owner) : QMessageBox(owner) { setObjectName(QStringLiteral("CustomTaskDialog")); }

    void addCodedButton(const QString &caption, int code, bool isDefault)
    {
        QPushButton *button = addButton(caption, QMessageBox::ActionRole);
        button->setObjectName(QStringLiteral("TaskButton%1").arg(code));
        m_codes.push_back({button, code});
        if (isDefault)
            setDefaultButton(button);
    }

    int resultCode() const
    {
        if (m_cancelled)
            return DialogResult::Cancel;
        for (const auto &[button, code] : m_codes) {
            if (clickedButton() == button)
                return code;
        }
        return DialogResult::Cancel;
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            m_cancelled = true;
            QDialog::done(DialogResult::Cancel);
            return;
        }
        QMessageBox::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent *event) override
    {
        m_cancelled = true;
        QDialog::closeEvent(event);
    }

private:
    std::vector<std::pair<QAbstractButton *, int>> m_codes;
    bool m_cancelled = false;
};

} // namespace

int resultCode(DialogButton button)
{
    return factsOf(button).result;
}

int ShowInfoMessage(const QString &Caption, const QString &Title, const QString &Text, const QString &OKCaption)
{
    return showMessage(MessageOptions::oneButton(Caption, Title, Text, MessageType::Information, OKCaption));
}

int ShowErrorMessage(const QString &Caption, const QString &Title, const QString &Text, const QString &OKCaption)
{
    return showMessage(MessageOptions::oneButton(Caption, Title, Text, MessageType::Error, OKCaption));
}

namespace {

// Puts the caller's captions on the buttons that have one.
void applyGivenCaptions(const ClassicMessageDialog &dialog, const MessageOptions &options)
{
    for (const auto &entry : dialog.buttons()) {
        const QString &caption = options.captionOf(entry.kind);
        if (!caption.isEmpty())
            entry.button->setText(caption);
    }
}

// The button row on a sunken strip along the bottom: the buttons share one
// width, widened only by a caption wider than the standard width and at
// most three times it, and stand centred with a third of their height
// between them.
void layOutButtonRow(ClassicMessageDialog &dialog)
{
    const auto &buttons = dialog.buttons();
    const int n = int(buttons.size());
    const int height = dialog.buttonSize().height();
    const int width = dialog.buttonSize().width();
    const int m = height / 3;
    int w = width;
    const QFontMetrics fm(dialog.font());
    for (const auto &entry : buttons) {
        const int captionWidth = fm.horizontalAdvance(entry.button->text());
        if (captionWidth > w)
            w = captionWidth + m;
    }
    w = std::min(w, 3 * width);
    const int needed = (w + m) * n + 2 * m;
    if (dialog.width() < needed)
        dialog.resize(needed, dialog.height());
    const int outer = dialog.width();
    const int first = ((outer - (n * w + (n - 1) * m)) / 2) + (m / 2) + 1;

    dialog.setAutoFillBackground(true);
    QPalette palette = dialog.palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    dialog.setPalette(palette);
    auto *strip = new QFrame(&dialog);
    strip->setObjectName(QStringLiteral("ButtonPanel"));
    strip->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    strip->setLineWidth(1);
    strip->setAutoFillBackground(true);
    QPalette face = strip->palette();
    face.setColor(QPalette::Window, QApplication::palette().color(QPalette::Button));
    strip->setPalette(face);
    strip->setGeometry(-m, dialog.buttonTop(), outer + m, dialog.height());
    strip->lower();
    int k = 0;
    for (const auto &entry : buttons) {
        entry.button->setParent(strip);
        entry.button->setGeometry(first + k * (w + m), m, w, height);
        entry.button->show();
        entry.button->raise();
        ++k;
    }
}

} // namespace

namespace {

int showClassic(const MessageOptions &options)
{
    const QString message =
        options.title.isEmpty() ? options.text : options.title + QStringLiteral("\r\n\r\n") + options.text;
    ClassicMessageDialog dialog(message, options.type, options.buttons, options.defaultButton, ownerWindow());
    applyGivenCaptions(dialog, options);
    QWidget *focused = QApplication::focusWidget();
    layOutButtonRow(dialog);
    if (focused && dialog.isAncestorOf(focused))
        focused->setFocus();
    for (const auto &entry : dialog.buttons()) {
        if (entry.kind == options.defaultButton)
            entry.button->setFocus();
    }
    dialog.setWindowTitle(options.caption);
    dialog.setFixedSize(dialog.size());
    centreOnScreen(&dialog);
    return dialog.exec();
}

QMessageBox::Icon taskIcon(MessageType type)
{
    switch (type) {
    case MessageType::Warning:
        return QMessageBox::Warning;
    case MessageType::Error:
        return QMessageBox::Critical;
    default:
        return QMessageBox::Information;
    }
}

int showTask(const MessageOptions &options)
{
    if (!QGuiApplication::primaryScreen())
        return DialogResult::None; // nowhere to show it
    TaskDialog dialog(ownerWindow());
    dialog.setWindowTitle(options.caption);
    if (options.title.isEmpty()) {
        dialog.setText(options.text);
    } else {
        dialog.setText(QStringLiteral("<span style='font-size:large; color:#003399'>%1</span>")
                           .arg(options.title.toHtmlEscaped()));
        dialog.setInformativeText(options.text);
    }
    dialog.setIcon(taskIcon(options.type));
    for (const ButtonFacts &facts : ButtonTable) {
        if (!facts.taskCaption || !options.buttons.contains(facts.kind))
            continue;
        const QString &caption = options.captionOf(facts.kind);
        dialog.addCodedButton(caption.isEmpty() ? QString::fromLatin1(facts.taskCaption) : caption, facts.result,
                              facts.kind == options.defaultButton);
    }
    dialog.adjustSize();
    centreOnScreen(&dialog);
    dialog.exec();
    return dialog.resultCode();
}

// The box the toolkit itself shows a failure in.
int showFailureBox(const MessageOptions &options)
{
    // A grab in progress would keep the pointer from reaching the box.
    if (QWidget *grabber = QWidget::mouseGrabber())
        grabber->releaseMouse();
    QMessageBox box(QMessageBox::Critical, options.caption, options.text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("FailureBox"));
    box.exec();
    return DialogResult::OK;
}

} // namespace

int showMessage(const MessageOptions &options, MessageDialog dialog)
{
    switch (dialog) {
    case MessageDialog::Chosen:
        return UseTaskDialogs() ? showTask(options) : showClassic(options);
    case MessageDialog::Classic:
        return showClassic(options);
    case MessageDialog::Task:
        return showTask(options);
    case MessageDialog::Failure:
        break;
    }
    return showFailureBox(options);
}

int CustomMessageDialog(const QString &Caption, const QString &Title, const QString &Text, MessageType Type,
                        DialogButtons Buttons, DialogButton DefaultButton, const QString &YesCaption,
                        const QString &NoCaption, const QString &OKCaption, const QString &CancelCaption,
                        const QString &AbortCaption, const QString &RetryCaption, const QString &IgnoreCaption,
                        const QString &AllCaption, const QString &NoToAllCaption, const QString &YesToAllCaption,
                        const QString &HelpCaption)
{
    // In the order of DialogButton.
    const MessageOptions options{Caption,
                                 Title,
                                 Text,
                                 Type,
                                 Buttons,
                                 DefaultButton,
                                 {YesCaption, NoCaption, OKCaption, CancelCaption, AbortCaption, RetryCaption,
                                  IgnoreCaption, AllCaption, NoToAllCaption, YesToAllCaption, HelpCaption}};
    return showMessage(options, MessageDialog::Classic);
}

int CustomTaskDialog(const QString &Caption, const QString &Title, const QString &Text, MessageType Type,
                     DialogButtons Buttons, DialogButton DefaultButton, const QString &YesCaption,
                     const QString &NoCaption, const QString &OKCaption, const QString &CancelCaption)
{
    const MessageOptions options{
        Caption, Title, Text, Type, Buttons, DefaultButton, {YesCaption, NoCaption, OKCaption, CancelCaption}};
    return showMessage(options, MessageDialog::Task);
}

bool UseTaskDialogs()
{
    const QStyle *style = QApplication::style();
    if (const auto *proxy = qobject_cast<const QProxyStyle *>(style))
        style = proxy->baseStyle();
    const bool classicStyle = style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0;
    return TaskDialogsPresent && !classicStyle;
}
