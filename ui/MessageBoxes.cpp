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

constexpr std::array<DialogButton, 11> AllButtons = {
    DialogButton::Yes,     DialogButton::No,       DialogButton::OK,     DialogButton::Cancel,
    DialogButton::Abort,   DialogButton::Retry,    DialogButton::Ignore, DialogButton::All,
    DialogButton::NoToAll, DialogButton::YesToAll, DialogButton::Help,
};

QString buttonName(DialogButton b)
{
    static const std::array<const char *, 11> names = {"Yes",    "No",  "OK",      "Cancel",   "Abort", "Retry",
                                                       "Ignore", "All", "NoToAll", "YesToAll", "Help"};
    return QLatin1String(names[std::size_t(b)]);
}

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

// The classic message dialog, built to the measures of the platform's
// standard message box: dialog units from the message font's average
// character width and height.
class ClassicMessageDialog : public QDialog
{
public:
    ClassicMessageDialog(const QString &message, MessageType type, DialogButtons buttons, DialogButton defaultButton,
                         QWidget *owner)
        : QDialog(owner)
    {
        setObjectName(QStringLiteral("CustomMessageDialog"));
        setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        setModal(true);

        const QFontMetrics fm(font());
        const int x = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
        const int y = fm.height();
        const int horzMargin = mulDiv(8, x, 4);
        const int vertMargin = mulDiv(8, y, 8);
        const int horzSpacing = mulDiv(10, x, 4);
        const int vertSpacing = mulDiv(10, y, 8);
        int buttonWidth = mulDiv(50, x, 4);
        const int buttonHeight = mulDiv(14, y, 8);
        const int buttonSpacing = mulDiv(4, x, 4);

        for (const DialogButton b : AllButtons) {
            if (buttons.contains(b))
                buttonWidth = std::max(buttonWidth, fm.horizontalAdvance(withoutAccessKeys(standardCaption(b))) + 8);
        }

        bool noIcon = false;
        const QStyle::StandardPixmap pixmap = classicIcon(type, &noIcon);
        QLabel *icon = nullptr;
        if (!noIcon) {
            icon = new QLabel(this);
            icon->setObjectName(QStringLiteral("Image"));
            icon->setPixmap(style()->standardIcon(pixmap, nullptr, this).pixmap(32, 32));
            icon->setGeometry(horzMargin, vertMargin, 32, 32);
        }

        m_message = new QLabel(message, this);
        m_message->setObjectName(QStringLiteral("Message"));
        m_message->setWordWrap(true);
        m_message->setTextFormat(Qt::PlainText);
        const QScreen *screen = QGuiApplication::primaryScreen();
        const int wrapWidth = screen ? screen->geometry().width() / 2 : 640;
        const QRect textRect = fm.boundingRect(QRect(0, 0, wrapWidth, 0), Qt::TextWordWrap | Qt::AlignLeft, message);
        const int textLeft = horzMargin + (icon ? 32 + horzSpacing : 0);
        m_message->setGeometry(textLeft, vertMargin, textRect.width(), textRect.height());

        const int iconTextWidth = textRect.width() + (icon ? 32 + horzSpacing : 0);
        const int iconTextHeight = std::max(textRect.height(), icon ? 32 : 0);

        for (const DialogButton b : AllButtons) {
            if (!buttons.contains(b))
                continue;
            auto *button = new QPushButton(standardCaption(b), this);
            button->setObjectName(buttonName(b));
            button->setAutoDefault(false);
            m_buttons.push_back({b, button});
            if (b == DialogButton::Help) {
                connect(button, &QPushButton::clicked, this, [] { /* no help system to ask */ });
            } else {
                const int code = resultCode(b);
                connect(button, &QPushButton::clicked, this, [this, code] { done(code); });
            }
            if (b == defaultButton)
                button->setDefault(true);
        }

        const int n = int(m_buttons.size());
        const int groupWidth = n * buttonWidth + std::max(n - 1, 0) * buttonSpacing;
        const int clientWidth = std::max(iconTextWidth, groupWidth) + 2 * horzMargin;
        const int clientHeight = iconTextHeight + vertSpacing + buttonHeight + 2 * vertMargin;
        int left = (clientWidth - groupWidth) / 2;
        const int top = iconTextHeight + vertMargin + vertSpacing;
        for (auto &entry : m_buttons) {
            entry.button->setGeometry(left, top, buttonWidth, buttonHeight);
            left += buttonWidth + buttonSpacing;
        }
        resize(clientWidth, clientHeight);

        for (auto &entry : m_buttons) {
            if (entry.kind == defaultButton)
                entry.button->setFocus();
        }
    }

    struct Entry {
        DialogButton kind;
        QPushButton *button;
    };
    const std::vector<Entry> &buttons() const { return m_buttons; }

    // The lines Ctrl+C puts on the clipboard.
    QString copyText() const
    {
        const QString dashes(27, QLatin1Char('-'));
        QString captions;
        for (const auto &entry : m_buttons)
            captions += withoutAccessKeys(entry.button->text()) + QStringLiteral("   ");
        return dashes + QLatin1Char('\n') + windowTitle() + QLatin1Char('\n') + dashes + QLatin1Char('\n') +
               m_message->text() + QLatin1Char('\n') + dashes + QLatin1Char('\n') + captions + QLatin1Char('\n') +
               dashes + QLatin1Char('\n');
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (event->matches(QKeySequence::Copy)) {
            QApplication::beep();
            QGuiApplication::clipboard()->setText(copyText());
            return;
        }
        // Enter presses the button that has the focus, as the classic
        // dialog does; the default button only while it has the focus.
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

    // The close box.
    void reject() override { done(DialogResult::Cancel); }

private:
    QLabel *m_message = nullptr;
    std::vector<Entry> m_buttons;
};

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

int showStandard(MessageType type, const QString &Caption, const QString &Title, const QString &Text,
                 const QString &OKCaption)
{
    if (UseTaskDialogs()) {
        return CustomTaskDialog(Caption, Title, Text, type, {DialogButton::OK}, DialogButton::OK, QString(), QString(),
                                OKCaption, QString());
    }
    return CustomMessageDialog(Caption, Title, Text, type, {DialogButton::OK}, DialogButton::OK, QString(), QString(),
                               OKCaption);
}

} // namespace

int resultCode(DialogButton button)
{
    // In the order of DialogButton.
    static const std::array<int, 11> codes = {DialogResult::Yes,      DialogResult::No,    DialogResult::OK,
                                              DialogResult::Cancel,   DialogResult::Abort, DialogResult::Retry,
                                              DialogResult::Ignore,   DialogResult::All,   DialogResult::NoToAll,
                                              DialogResult::YesToAll, DialogResult::None};
    return codes[std::size_t(button)];
}

QString standardCaption(DialogButton button)
{
    static const std::array<const char *, 11> captions = {
        "&Yes", "&No", "OK", "Cancel", "&Abort", "&Retry", "&Ignore", "&All", "N&o to All", "Yes to &All", "&Help"};
    return QString::fromUtf8(captions[std::size_t(button)]);
}

int ShowInfoMessage(const QString &Caption, const QString &Title, const QString &Text, const QString &OKCaption)
{
    return showStandard(MessageType::Information, Caption, Title, Text, OKCaption);
}

int ShowErrorMessage(const QString &Caption, const QString &Title, const QString &Text, const QString &OKCaption)
{
    return showStandard(MessageType::Error, Caption, Title, Text, OKCaption);
}

int CustomMessageDialog(const QString &Caption, const QString &Title, const QString &Text, MessageType Type,
                        DialogButtons Buttons, DialogButton DefaultButton, const QString &YesCaption,
                        const QString &NoCaption, const QString &OKCaption, const QString &CancelCaption,
                        const QString &AbortCaption, const QString &RetryCaption, const QString &IgnoreCaption,
                        const QString &AllCaption, const QString &NoToAllCaption, const QString &YesToAllCaption,
                        const QString &HelpCaption)
{
    const QString message = Title.isEmpty() ? Text : Title + QStringLiteral("\r\n\r\n") + Text;
    ClassicMessageDialog dialog(message, Type, Buttons, DefaultButton, ownerWindow());

    const std::array<const QString *, 11> given = {&YesCaption,     &NoCaption,       &OKCaption,     &CancelCaption,
                                                   &AbortCaption,   &RetryCaption,    &IgnoreCaption, &AllCaption,
                                                   &NoToAllCaption, &YesToAllCaption, &HelpCaption};

    // Standard measures, taken from the buttons as built.
    const auto &buttons = dialog.buttons();
    int m = 5, width = 50, top = 0, height = 0;
    const int n = int(buttons.size());
    if (n > 0) {
        height = buttons.front().button->height();
        top = buttons.front().button->y();
        width = buttons.front().button->width();
        m = height / 3;
    }
    QWidget *focused = QApplication::focusWidget();
    for (const auto &entry : buttons) {
        if (entry.kind == DialogButton::Help ||
            entry.button->objectName().compare(QLatin1String("Help"), Qt::CaseInsensitive) == 0) {
            if (!HelpCaption.isEmpty())
                entry.button->setText(HelpCaption);
        } else if (!given[std::size_t(entry.kind)]->isEmpty()) {
            entry.button->setText(*given[std::size_t(entry.kind)]);
        }
    }

    // Only a caption wider than the common width widens every button.
    int w = width;
    const QFontMetrics fm(dialog.font());
    for (const auto &entry : buttons) {
        const int captionWidth = fm.horizontalAdvance(entry.button->text());
        if (captionWidth > w)
            w = captionWidth + m;
    }
    const int s = m;
    w = std::min(w, 3 * width);

    const int needed = (w + s) * n + 2 * m;
    if (dialog.width() < needed)
        dialog.resize(needed, dialog.height());
    const int outer = dialog.width();
    const int p = ((outer - (n * w + (n - 1) * s)) / 2) + (m / 2) + 1;

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
    strip->setGeometry(-m, top, outer + m, dialog.height());
    strip->lower();

    int k = 0;
    for (const auto &entry : buttons) {
        entry.button->setParent(strip);
        entry.button->setGeometry(p + k * (w + s), m, w, height);
        entry.button->show();
        entry.button->raise();
        ++k;
    }

    if (focused && dialog.isAncestorOf(focused))
        focused->setFocus();
    for (const auto &entry : buttons) {
        if (entry.kind == DefaultButton)
            entry.button->setFocus();
    }
    dialog.setWindowTitle(Caption);
    dialog.setFixedSize(dialog.size());
    centreOnScreen(&dialog);
    return dialog.exec();
}

int CustomTaskDialog(const QString &Caption, const QString &Title, const QString &Text, MessageType Type,
                     DialogButtons Buttons, DialogButton DefaultButton, const QString &YesCaption,
                     const QString &NoCaption, const QString &OKCaption, const QString &CancelCaption)
{
    if (!QGuiApplication::primaryScreen())
        return DialogResult::None; // nowhere to show it
    TaskDialog dialog(ownerWindow());
    dialog.setWindowTitle(Caption);
    if (Title.isEmpty()) {
        dialog.setText(Text);
    } else {
        dialog.setText(
            QStringLiteral("<span style='font-size:large; color:#003399'>%1</span>").arg(Title.toHtmlEscaped()));
        dialog.setInformativeText(Text);
    }
    switch (Type) {
    case MessageType::Warning:
        dialog.setIcon(QMessageBox::Warning);
        break;
    case MessageType::Error:
        dialog.setIcon(QMessageBox::Critical);
        break;
    default:
        dialog.setIcon(QMessageBox::Information);
        break;
    }
    const struct {
        DialogButton kind;
        const QString &caption;
        const char *fallback;
    } offered[] = {
        {DialogButton::Yes, YesCaption, "&Yes"},
        {DialogButton::No, NoCaption, "&No"},
        {DialogButton::OK, OKCaption, "&OK"},
        {DialogButton::Cancel, CancelCaption, "&Cancel"},
    };
    for (const auto &button : offered) {
        if (Buttons.contains(button.kind)) {
            dialog.addCodedButton(button.caption.isEmpty() ? QString::fromLatin1(button.fallback) : button.caption,
                                  resultCode(button.kind), button.kind == DefaultButton);
        }
    }
    dialog.adjustSize();
    centreOnScreen(&dialog);
    dialog.exec();
    return dialog.resultCode();
}

bool UseTaskDialogs()
{
    const QStyle *style = QApplication::style();
    if (const auto *proxy = qobject_cast<const QProxyStyle *>(style))
        style = proxy->baseStyle();
    const bool classicStyle = style && style->name().compare(QLatin1String("windows"), Qt::CaseInsensitive) == 0;
    return TaskDialogsPresent && !classicStyle;
}
