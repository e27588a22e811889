#include "capture/HoofdUnit.h"

#include "base/Environment.h"
#include "base/Failure.h"
#include "capture/CodeLine.h"
#include "capture/ImagePic.h"
#include "capture/PictureDialog.h"
#include "capture/PictureNotice.h"
#include "capture/TextLines.h"
#include "info/OpstartInfo.h"
#include "info/VersionInfoReader.h"
#include "picture/PictureLoader.h"
#include "settings/InstellingenUnit.h"
#include "ui/DesktopShell.h"
#include "ui/Fonts.h"
#include "ui/HandlerGuard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMenuBar>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QTextBlock>
#include <QTimer>

THoofdForm *HoofdForm = nullptr;

namespace {

constexpr int WaitAfterOpeningMs = 1000;
// The flash shows each colour this long.
constexpr int FlashPauseMs = 100;
constexpr QRgb FlashBlue = 0xFF0000FFu;
constexpr QRgb FlashYellow = 0xFFFFFF00u;

} // namespace

THoofdForm::THoofdForm(QWidget *parent) : QMainWindow(parent)
{
    setObjectName(QStringLiteral("HoofdForm"));
    setWindowTitle(QStringLiteral("HoofdForm"));
    setFont(windowFont());

    WachtTimer = new QTimer(this);
    WachtTimer->setObjectName(QStringLiteral("WachtTimer"));
    WachtTimer->setInterval(WaitAfterOpeningMs);
    // A coarse timer may fire up to a twentieth early.
    WachtTimer->setTimerType(Qt::PreciseTimer);

    m_loader = new PictureLoader(this);
    m_flashTimer = new QTimer(this);
    m_flashTimer->setSingleShot(true);
    m_flashTimer->setInterval(FlashPauseMs);
    m_flashTimer->setTimerType(Qt::PreciseTimer);

    buildActions();
    buildLayout();
    buildMenu();
    buildOpeningProgress();
    m_pictureNotice = new PictureNotice(ScrollBox1->viewport());
    bindCommands();
    // No minimum size: an explicit one keeps the layout from imposing its
    // own, and the window may be made as small as the user likes.
    setMinimumSize(1, 1);
    setAcceptDrops(true);

    move(StoredPosition);
    resize(StoredClientSize.width(), StoredClientSize.height() + MainMenu1->sizeHint().height());

    runHandler([this] { FormCreate(); });
}

THoofdForm::~THoofdForm()
{
    // Closing the window in QWidget's destructor moves the focus, when this
    // is no longer a main window.
    disconnect(m_focusWatch);
}

void THoofdForm::bindCommands()
{
    // Every command runs guarded: a failure is shown and the program goes on.
    auto bind = [this](auto *source, auto signal, void (THoofdForm::*handler)()) {
        connect(source, signal, this, guarded([this, handler] { (this->*handler)(); }));
    };
    // The flash's on and off is its action's check state alone.
    bind(Figuuropenen1, &QAction::triggered, &THoofdForm::SpeedButton1Click);
    bind(Vergroten1, &QAction::triggered, &THoofdForm::Vergroten1Click);
    bind(Programmainstellingen1, &QAction::triggered, &THoofdForm::SpeedButton2Click);
    bind(LeesMijtxt1, &QAction::triggered, &THoofdForm::LeesMijtxt1Click);
    bind(Kopieren1, &QAction::triggered, &THoofdForm::SpeedButton4Click);
    bind(Afsluiten1, &QAction::triggered, &THoofdForm::Afsluiten1Click);
    bind(Info1, &QAction::triggered, &THoofdForm::Info1Click);
    bind(Weblink1, &QAction::triggered, &THoofdForm::Weblink1Click);
    bind(WachtTimer, &QTimer::timeout, &THoofdForm::WachtTimerTimer);
    bind(m_flashTimer, &QTimer::timeout, &THoofdForm::flashStep);
    connect(m_loader, &PictureLoader::loaded, this,
            [this](const Picture &picture) { runHandler([this, &picture] { pictureArrived(picture); }); });
    connect(m_loader, &PictureLoader::firstView, this, [this](const QImage &reduced, QSize fullSize) {
        runHandler([this, &reduced, fullSize] { firstViewArrived(reduced, fullSize); });
    });
    connect(m_loader, &PictureLoader::failed, this,
            [this](const QString &message) { runHandler([this, &message] { openingFailed(message); }); });
    connect(m_progressDelay, &QTimer::timeout, m_openingProgress, &QWidget::show);

    // A radio button the user clicks while it is on stays on.
    auto bindRadio = [this](QRadioButton *radio, void (THoofdForm::*handler)()) {
        connect(radio, &QRadioButton::clicked, this, [this, radio, handler](bool checked) {
            runHandler([this, radio, handler, checked] {
                setRadioSelected(radio, true);
                if (checked)
                    (this->*handler)();
            });
        });
    };
    bindRadio(RadioButton1, &THoofdForm::RadioButton1Click);
    bindRadio(RadioButton2, &THoofdForm::RadioButton2Click);

    connect(ImagePic, &ImagePicWidget::mouseMoved, this,
            [this](QPoint position) { runHandler([this, position] { ImagePicMouseMove(position); }); });
    connect(ImagePic, &ImagePicWidget::mouseReleased, this,
            [this](Qt::MouseButton, QPoint position) { runHandler([this, position] { ImagePicMouseUp(position); }); });
    connect(ImagePic, &ImagePicWidget::pictureDrawnInPart, m_pictureNotice,
            [this] { m_pictureNotice->tell(ImagePicWidget::drawnInPartMessage()); });
    m_focusWatch = connect(qApp, &QApplication::focusChanged, this,
                           [this](QWidget *, QWidget *now) { runHandler([this, now] { focusMoved(now); }); });
}

void THoofdForm::focusMoved(QWidget *now)
{
    // A list is entered when the focus comes to it from another control of
    // this window, not when it returns to the list it never left (after a
    // menu, a modal window, or a switch to another program).
    if (!now || now->window() != this || now == m_focusControl)
        return;
    m_focusControl = now;
    if (now == Memo1)
        Memo1Enter();
    else if (now == Memo2)
        Memo2Enter();
}

// ---------------------------------------------------------------------------
// Creation, activation, resizing and closing.

void THoofdForm::FormCreate()
{
    // The identity texts were computed at start.
    VersionInfo = new TVersionInfoReader(this);
    VersionInfo->setFileName(ExeFileName);
    setWindowTitle(ApplicationTitle);
    Weblink1->setText(WebAddress);
    Memo1->setFocus();
}

bool THoofdForm::event(QEvent *event)
{
    if (event->type() == QEvent::WindowActivate && !m_activated) {
        m_activated = true;
        runHandler([this] { FormActivate(); });
    }
    return QMainWindow::event(event);
}

void THoofdForm::FormActivate()
{
    ++m_activations;
    FormResize();
    if (InstellingenForm)
        InstellingenForm->LeesInstellingen();
    // The information window's busy pointer ends here.
    while (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
}

void THoofdForm::FormResize()
{
    CoolBar1->update();
    Panel11->setFixedHeight(TextLines::halfToEven(Panel10->height()));
}

void THoofdForm::closeEvent(QCloseEvent *event)
{
    if (!m_closed) {
        m_closed = true;
        runHandler([this] { FormClose(); });
    }
    event->accept();
}

void THoofdForm::FormClose()
{
    writeSettings(false);
    delete VersionInfo;
    VersionInfo = nullptr;
}

void THoofdForm::sessionEnding()
{
    if (m_closed)
        return;
    m_closed = true;
    writeSettings(true);
}

void THoofdForm::writeSettings(bool quietly)
{
    if (!InstellingenForm)
        return;
    // Closed before its first activation, the dialog would still hold the
    // built-in defaults; read the file first so it is not overwritten with
    // them.
    if (!m_activated)
        InstellingenForm->LeesInstellingen();
    if (quietly)
        InstellingenForm->writeSettingsQuietly();
    else
        InstellingenForm->SchrijfInstellingen();
}

bool THoofdForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize && watched == Panel10)
        FormResize();
    if (takesFileDrop(watched, event))
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// A file dragged over a list or the output opens as anywhere else in the
// window; the lists would take its address as text. Text stays theirs.
bool THoofdForm::takesFileDrop(QObject *watched, QEvent *event)
{
    const bool onText = watched == Memo1->viewport() || watched == Memo2->viewport() || watched == Memo3->viewport();
    if (!onText)
        return false;
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDragMoveEvent *>(event);
        acceptFileDrag(drag);
        return drag->isAccepted();
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        dropEvent(drop);
        return drop->isAccepted();
    }
    default:
        return false;
    }
}

namespace {

// The first local file among dropped addresses, or an empty text.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls())
        return {};
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            return url.toLocalFile();
    }
    return {};
}

} // namespace

void THoofdForm::dragEnterEvent(QDragEnterEvent *event)
{
    acceptFileDrag(event);
}

void THoofdForm::dragMoveEvent(QDragMoveEvent *event)
{
    acceptFileDrag(event);
}

// A drag is welcome over the window while it carries a local file.
void THoofdForm::acceptFileDrag(QDragMoveEvent *event)
{
    if (droppedFile(event->mimeData()).isEmpty())
        event->ignore();
    else
        event->acceptProposedAction();
}

void THoofdForm::dropEvent(QDropEvent *event)
{
    const QString file = droppedFile(event->mimeData());
    if (file.isEmpty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // Opened later, from the event loop: the desktop's drag waits for the
    // answer to the drop, and a failure box must not hold it up.
    QTimer::singleShot(0, this, guarded([this, file] { openChosenPicture(file); }));
}

void THoofdForm::openChosenPicture(const QString &fileName)
{
    // The dialog starts from this file next time, whether or not it opens.
    m_lastPictureFile = fileName;
    if (OpenPictureDialog1)
        OpenPictureDialog1->selectFile(fileName);
    openPicture(fileName);
}

// ---------------------------------------------------------------------------
// Picture view and capture.

PictureDialog *THoofdForm::pictureDialog()
{
    // Made at first use, which keeps it out of start-up; from then on it
    // lives as long as the window and remembers the last file chosen.
    if (!OpenPictureDialog1) {
        OpenPictureDialog1 = new PictureDialog(this);
        if (!m_lastPictureFile.isEmpty())
            OpenPictureDialog1->selectFile(m_lastPictureFile);
    }
    return OpenPictureDialog1;
}

void THoofdForm::SpeedButton1Click()
{
    PictureDialog *dialog = pictureDialog();
    if (dialog->exec() != QDialog::Accepted)
        return;
    const QStringList files = dialog->selectedFiles();
    if (files.isEmpty())
        return;
    openChosenPicture(files.front());
}

void THoofdForm::openPicture(const QString &fileName)
{
    m_loader->load(fileName);
    // The whole picture area tells that a picture is on its way.
    ImagePic->setCursor(Qt::BusyCursor);
    ScrollBox1->viewport()->setCursor(Qt::BusyCursor);
    if (!m_progressDelay->isActive() && !m_openingProgress->isVisible())
        m_progressDelay->start();
}

bool THoofdForm::isOpening() const
{
    return m_loader->busy();
}

void THoofdForm::firstViewArrived(const QImage &reduced, QSize fullSize)
{
    finishFlash();
    if (!m_zoomBeforeFirstView)
        m_zoomBeforeFirstView = zoomOn();
    Vergroten1->setChecked(false);
    ImagePic->showFirstView(reduced, fullSize);
}

void THoofdForm::pictureArrived(const Picture &picture)
{
    endOpening();
    // A flash on the picture going away has nothing left to show.
    m_flashTimer->stop();
    m_flashShown = 0;
    Vergroten1->setChecked(false);
    m_pictureNotice->withdraw();
    ImagePic->setPicture(picture);
    // A second opening while the timer runs does not restart it.
    if (!WachtTimer->isActive())
        WachtTimer->start();
}

// Everything stays as it was before the opening, and the reader says why.
void THoofdForm::openingFailed(const QString &message)
{
    endOpening();
    if (m_zoomBeforeFirstView) {
        Vergroten1->setChecked(*m_zoomBeforeFirstView);
        ImagePic->dropFirstView();
    }
    m_zoomBeforeFirstView.reset();
    throw VantrixError(message);
}

void THoofdForm::endOpening()
{
    ImagePic->setCursor(Qt::WhatsThisCursor);
    ScrollBox1->viewport()->unsetCursor();
    m_progressDelay->stop();
    m_openingProgress->hide();
    m_zoomBeforeFirstView.reset();
}

// The action has taken its new check state; the view follows it.
void THoofdForm::Vergroten1Click()
{
    ImagePic->setDoubled(zoomOn());
}

bool THoofdForm::zoomOn() const
{
    return Vergroten1->isChecked();
}

bool THoofdForm::flashOn() const
{
    return Flitsen1->isChecked();
}

void THoofdForm::ImagePicMouseMove(QPoint position)
{
    MouseX = position.x();
    MouseY = position.y();
    const QString readOut = QStringLiteral("  X=") + QString::number(MouseX) + QStringLiteral(" , ") +
                            QStringLiteral("Y=") + QString::number(MouseY);
    StatusPanel0->setText(readOut);
    // A screen reader names the panel "Positie" and reads the position from here.
    StatusPanel0->setAccessibleDescription(readOut.trimmed());
}

void THoofdForm::ImagePicMouseUp(QPoint position)
{
    if (WachtTimer->isActive() || isOpening())
        return;
    // The release's own place: the click is where the button came up.
    MouseX = position.x();
    MouseY = position.y();
    // The list whose radio button is on, with its pair of templates as the
    // settings dialog holds them now.
    const bool inputs = RadioButton1->isChecked();
    if (inputs || RadioButton2->isChecked()) {
        const CodeTemplates templates = InstellingenForm->templates();
        appendLine(Memo3,
                   ComposeCodeLine(inputs ? templates.InX : templates.OutX, inputs ? templates.InY : templates.OutY,
                                   caretLine(inputs ? Memo1 : Memo2), MouseX, MouseY));
    }
    if (flashOn() && MouseX != 0 && MouseY != 0)
        FlashArea(MouseX, MouseY);
}

void THoofdForm::WachtTimerTimer()
{
    WachtTimer->stop();
}

QString THoofdForm::caretLine(const QPlainTextEdit *memo)
{
    return TextLines::caretLine(*memo->document(), memo->textCursor().selectionEnd());
}

void THoofdForm::appendLine(QPlainTextEdit *memo, const QString &line)
{
    memo->setTextCursor(TextLines::appendLine(*memo->document(), line));
    memo->ensureCursorVisible();
}

void THoofdForm::FlashArea(std::int32_t X, std::int32_t Y)
{
    finishFlash();
    ImagePic->useBlankBitmapIfEmpty();
    const QPoint at(X, Y);
    // Outside the picture there is no pixel, and the fills change nothing.
    const QRgb startColor = ImagePic->bitmapPixel(at);
    ImagePic->floodFill(at, startColor, FlashBlue);
    m_flashAt = at;
    m_flashStart = startColor;
    m_flashShown = FlashBlue;
    m_flashTimer->start();
}

// Each fill works on the picture shown at that moment.
void THoofdForm::flashStep()
{
    if (m_flashShown == FlashBlue) {
        ImagePic->floodFill(m_flashAt, FlashBlue, FlashYellow);
        m_flashShown = FlashYellow;
        m_flashTimer->start();
    } else {
        finishFlash();
    }
}

void THoofdForm::finishFlash()
{
    if (m_flashShown == 0)
        return;
    m_flashTimer->stop();
    // The same fills as a flash run to its end, so it ends in the same pixels.
    if (m_flashShown == FlashBlue)
        ImagePic->floodFill(m_flashAt, FlashBlue, FlashYellow);
    ImagePic->floodFill(m_flashAt, FlashYellow, m_flashStart);
    m_flashShown = 0;
}

void THoofdForm::RadioButton1Click()
{
    setRadioSelected(RadioButton2, false);
}

void THoofdForm::RadioButton2Click()
{
    setRadioSelected(RadioButton1, false);
}

void THoofdForm::Memo1Enter()
{
    if (!RadioButton1->isChecked()) {
        setRadioSelected(RadioButton1, true);
        RadioButton1Click();
    }
}

void THoofdForm::Memo2Enter()
{
    if (!RadioButton2->isChecked()) {
        setRadioSelected(RadioButton2, true);
        RadioButton2Click();
    }
}

void THoofdForm::setRadioSelected(QRadioButton *button, bool selected)
{
    button->setChecked(selected);
    // Only the selected radio button takes part in the Tab order; a click
    // focuses either.
    button->setFocusPolicy(selected ? Qt::StrongFocus : Qt::ClickFocus);
}

// ---------------------------------------------------------------------------
// Other commands.

void THoofdForm::SpeedButton2Click()
{
    InstellingenForm->exec();
}

void THoofdForm::LeesMijtxt1Click()
{
    const QString path = AppPath + QStringLiteral("LeesMij.txt");
    // A missing document counts as a shell failure, as no program can show it.
    if (!QFileInfo::exists(path) || !DesktopShell::Open(path))
        DesktopShell::startTextEditor(path);
}

void THoofdForm::SpeedButton4Click()
{
    Memo3->setFocus();
    Memo3->selectAll();
    Memo3->copy();
}

void THoofdForm::Afsluiten1Click()
{
    close();
}

void THoofdForm::Info1Click()
{
    OpstartInfoForm->ToonInfo(ProgramName, QStringLiteral("Versie %s"), CopyrightText, WebAddress, QString(), QString(),
                              QString(), QString(), QStringLiteral("Build: %s"));
}

void THoofdForm::Weblink1Click()
{
    DesktopShell::Open(WebAddress);
}
