#pragma once
// The main window: two name lists, the picture, the output list, and the
// commands around them.

#include <QMainWindow>
#include <QPointer>

#include <QRgb>

#include <cstdint>
#include <optional>

class ImagePicWidget;
class Picture;
class PictureDialog;
class PictureLoader;
class QProgressBar;
class QAction;
class QDragMoveEvent;
class PictureNotice;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QRadioButton;
class QScrollArea;
class QStatusBar;
class QTimer;
class QToolButton;
class TVersionInfoReader;

class THoofdForm : public QMainWindow
{
    Q_OBJECT
public:
    explicit THoofdForm(QWidget *parent = nullptr);
    ~THoofdForm() override;

    // Picture view and capture.
    void SpeedButton1Click();
    void Vergroten1Click();
    void ImagePicMouseMove(QPoint position);
    void ImagePicMouseUp(QPoint position);
    void WachtTimerTimer();
    void RadioButton1Click();
    void RadioButton2Click();
    void Memo1Enter();
    void Memo2Enter();

    // Other commands.
    void SpeedButton2Click();
    void LeesMijtxt1Click();
    void SpeedButton4Click();
    void Afsluiten1Click();
    void Info1Click();
    void Weblink1Click();

    // Window events.
    void FormCreate();
    void FormActivate();
    void FormResize();
    void FormClose();

    // Opens a picture file (the part of SpeedButton1Click after the dialog),
    // read and decoded on a worker: the picture shows when it is ready, and
    // a failure's message then. A newer opening replaces one in flight.
    void openPicture(const QString &fileName);
    // Whether a picture is being opened; clicks on the picture wait.
    bool isOpening() const;
    // Opens a file chosen in the dialog or dropped onto the window; the
    // dialog starts from it next time.
    void openChosenPicture(const QString &fileName);

    // Blue, yellow, then the area's own colour again, each for a moment,
    // stepped by a timer so that the window answers throughout.
    void FlashArea(std::int32_t X, std::int32_t Y);
    // Whether a flash is showing its colours.
    bool isFlashing() const { return m_flashShown != 0; }

    std::int32_t mouseX() const { return MouseX; }
    std::int32_t mouseY() const { return MouseY; }
    bool zoomOn() const;
    bool flashOn() const;
    // The version record the information window reads; gone once closed.
    TVersionInfoReader *versionInfo() const { return VersionInfo; }
    PictureDialog *pictureDialog();
    int activationCount() const { return m_activations; }

    // The line of a list that holds the end of its selection.
    static QString caretLine(const QPlainTextEdit *memo);
    // Appends a line to a list and shows it.
    static void appendLine(QPlainTextEdit *memo, const QString &line);

    // Client size and position at which the window opens.
    static constexpr QSize StoredClientSize{614, 404};
    static constexpr QPoint StoredPosition{103, 56};

    // Writes the settings when the session ends without a close.
    void sessionEnding();

protected:
    bool event(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildLayout();
    QWidget *buildToolStrip(QWidget *client);
    QWidget *buildNameColumn(QWidget *middle);
    // A list with its radio button row above and a margin below; returns the button.
    QRadioButton *buildNameList(QWidget *half, QWidget *head, QWidget *foot, const QString &caption,
                                QPlainTextEdit **memo);
    QWidget *buildPictureArea(QWidget *middle);
    QWidget *buildOutputList(QWidget *right);
    QStatusBar *buildStatusBar(QWidget *client);
    void setTabOrder();
    void acceptFileDrag(QDragMoveEvent *event);
    bool takesFileDrop(QObject *watched, QEvent *event);
    void buildMenu();
    void buildOpeningProgress();
    void pictureArrived(const Picture &picture);
    void firstViewArrived(const QImage &reduced, QSize fullSize);
    void openingFailed(const QString &message);
    void endOpening();
    void flashStep();
    // A flash still showing ends at once in the area's own colour.
    void finishFlash();
    void bindCommands();
    void setRadioSelected(QRadioButton *button, bool selected);
    void focusMoved(QWidget *now);
    // The settings file at the end of a run: with the error box, or quietly
    // when the session is ending.
    void writeSettings(bool quietly);
    void buildActions();
    QToolButton *makeToolButton(QWidget *parent, const char *name, QAction *command, QPoint position, int side);

    // The window's controls, by the names they carry as object names.
    // Layout.
    QWidget *PanelBoven;
    QWidget *CoolBar1;
    QStatusBar *StatusBar1;
    QLabel *StatusPanel0;
    QLabel *StatusPanel1;
    QWidget *PanelLeft;
    QWidget *Panel5;
    QWidget *Panel6;
    QWidget *Panel10;
    QWidget *Panel11;
    QWidget *Panel12;
    QWidget *Panel13;
    QWidget *Panel7;
    QWidget *Panel8;
    QWidget *Panel9;
    QWidget *Panel1;
    QWidget *Panel2;
    QWidget *Panel3;
    QWidget *Panel4;
    QWidget *Panel14;
    QRadioButton *RadioButton1;
    QRadioButton *RadioButton2;
    QPlainTextEdit *Memo1;
    QPlainTextEdit *Memo2;
    QPlainTextEdit *Memo3;
    QScrollArea *ScrollBox1;
    ImagePicWidget *ImagePic;
    QToolButton *SpeedButton1;
    QToolButton *SpeedButton2;
    QToolButton *SpeedButton3;
    QToolButton *SpeedButton4;
    QToolButton *SpeedButton5;
    QToolButton *SpeedButton6;

    // Menu bar and the commands, one action each: the tool buttons show them.
    QMenuBar *MainMenu1;
    QMenu *Bestand1;
    QAction *Figuuropenen1;
    QAction *Vergroten1;
    QAction *Flitsen1;
    QAction *Programmainstellingen1;
    QAction *Afsluiten1;
    QMenu *Help1;
    QAction *LeesMijtxt1;
    QAction *Info1;
    QAction *Weblink1;
    QAction *Kopieren1;

    PictureDialog *OpenPictureDialog1 = nullptr;
    QTimer *WachtTimer;

    TVersionInfoReader *VersionInfo = nullptr;

    std::int32_t MouseX = 0;
    std::int32_t MouseY = 0;
    bool m_activated = false;
    bool m_closed = false;
    int m_activations = 0;
    // The control of this window that had the focus last.
    QPointer<QWidget> m_focusControl;
    QMetaObject::Connection m_focusWatch;
    // The picture file chosen or dropped last.
    QString m_lastPictureFile;
    PictureLoader *m_loader = nullptr;
    // Shown where the picture appears when an opening takes a while.
    QProgressBar *m_openingProgress = nullptr;
    // Over the picture area: that the picture shown lacks parts.
    PictureNotice *m_pictureNotice = nullptr;
    QTimer *m_progressDelay = nullptr;
    // The zoom before a first view of the opening picture replaced it.
    std::optional<bool> m_zoomBeforeFirstView;
    // The flash in progress: where, the area's own colour, and the colour
    // showing now (0 when none is).
    QTimer *m_flashTimer = nullptr;
    QPoint m_flashAt;
    QRgb m_flashStart = 0;
    QRgb m_flashShown = 0;
};

extern THoofdForm *HoofdForm;
