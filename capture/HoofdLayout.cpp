// The main window's controls and commands, as they are built: the layout,
// one action per command with the tool buttons that show them, the menu.

#include "capture/HoofdUnit.h"

#include "capture/ImagePic.h"
#include "capture/LayoutMeasures.h"
#include "ui/DeviceFrameStyle.h"
#include "ui/Fonts.h"
#include "ui/ToolTipStyle.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QRadioButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// An opening that takes longer than this shows that it is under way.
constexpr int ProgressDelayMs = 500;
constexpr QRect OpeningProgressPlace{20, 20, 160, 16};

QWidget *makePanel(QWidget *parent, const char *name)
{
    auto *panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    return panel;
}

QVBoxLayout *vbox(QWidget *owner)
{
    auto *layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QHBoxLayout *hbox(QWidget *owner)
{
    auto *layout = new QHBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    return layout;
}

QPlainTextEdit *makeMemo(QWidget *parent, const char *name, const QString &accessibleName)
{
    auto *memo = new QPlainTextEdit(parent);
    memo->setObjectName(QLatin1String(name));
    memo->setAccessibleName(accessibleName);
    memo->setFont(listFont());
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setTabChangesFocus(true);
    FrameOverlay::attach(memo);
    return memo;
}

} // namespace

void THoofdForm::buildLayout()
{
    auto *client = makePanel(this, "ClientArea");
    setCentralWidget(client);
    auto *clientLayout = vbox(client);
    clientLayout->addWidget(buildToolStrip(client));
    auto *middle = makePanel(client, "Middle");
    auto *middleLayout = hbox(middle);
    middleLayout->addWidget(buildNameColumn(middle));
    middleLayout->addWidget(buildPictureArea(middle), 1);
    clientLayout->addWidget(middle, 1);
    clientLayout->addWidget(buildStatusBar(client));
    setTabOrder();
    Panel10->installEventFilter(this);
    for (QPlainTextEdit *memo : {Memo1, Memo2, Memo3})
        memo->viewport()->installEventFilter(this);
}

QWidget *THoofdForm::buildToolStrip(QWidget *client)
{
    using namespace Layout;
    PanelBoven = makePanel(client, "PanelBoven");
    PanelBoven->setFixedHeight(StripHeight);
    CoolBar1 = makePanel(PanelBoven, "CoolBar1");
    hbox(PanelBoven)->addWidget(CoolBar1);
    auto button = [this](const char *name, QAction *command, int place) {
        return makeToolButton(CoolBar1, name, command, QPoint(ToolButtonLefts[place], ToolButtonTop), ToolButtonSide);
    };
    SpeedButton1 = button("SpeedButton1", Figuuropenen1, 0);
    SpeedButton5 = button("SpeedButton5", Vergroten1, 1);
    SpeedButton6 = button("SpeedButton6", Flitsen1, 2);
    SpeedButton2 = button("SpeedButton2", Programmainstellingen1, 3);
    SpeedButton3 = button("SpeedButton3", LeesMijtxt1, 4);
    return PanelBoven;
}

// The left column: margins either side of the two name lists.
QWidget *THoofdForm::buildNameColumn(QWidget *middle)
{
    using namespace Layout;
    PanelLeft = makePanel(middle, "PanelLeft");
    PanelLeft->setFixedWidth(ColumnWidth);
    auto *leftLayout = hbox(PanelLeft);
    Panel5 = makePanel(PanelLeft, "Panel5");
    Panel5->setFixedWidth(Margin);
    Panel10 = makePanel(PanelLeft, "Panel10");
    Panel6 = makePanel(PanelLeft, "Panel6");
    Panel6->setFixedWidth(Margin);
    leftLayout->addWidget(Panel5);
    leftLayout->addWidget(Panel10, 1);
    leftLayout->addWidget(Panel6);

    auto *columnLayout = vbox(Panel10);
    Panel11 = makePanel(Panel10, "Panel11");
    Panel7 = makePanel(Panel10, "Panel7");
    columnLayout->addWidget(Panel11);
    columnLayout->addWidget(Panel7, 1);
    Panel12 = makePanel(Panel11, "Panel12");
    Panel13 = makePanel(Panel11, "Panel13");
    Panel8 = makePanel(Panel7, "Panel8");
    Panel9 = makePanel(Panel7, "Panel9");
    RadioButton1 = buildNameList(Panel11, Panel12, Panel13, QStringLiteral("Ingangen"), &Memo1);
    RadioButton2 = buildNameList(Panel7, Panel8, Panel9, QStringLiteral("Uitgangen"), &Memo2);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo2->setObjectName(QStringLiteral("Memo2"));
    return PanelLeft;
}

// A radio button row above its list, a margin below.
QRadioButton *THoofdForm::buildNameList(QWidget *half, QWidget *head, QWidget *foot, const QString &caption,
                                        QPlainTextEdit **memo)
{
    using namespace Layout;
    auto *layout = vbox(half);
    head->setFixedHeight(RadioRowHeight);
    auto *radio = new QRadioButton(caption, head);
    radio->setAutoExclusive(false);
    radio->setGeometry(QRect(RadioButtonPlace, RadioButtonSize));
    *memo = makeMemo(half, "", caption);
    foot->setFixedHeight(Margin);
    layout->addWidget(head);
    layout->addWidget(*memo, 1);
    layout->addWidget(foot);
    return radio;
}

// The right area: the picture above, the output list below.
QWidget *THoofdForm::buildPictureArea(QWidget *middle)
{
    Panel1 = makePanel(middle, "Panel1");
    auto *rightLayout = vbox(Panel1);
    ScrollBox1 = new QScrollArea(Panel1);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setAccessibleName(QStringLiteral("Figuurvlak"));
    ScrollBox1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    ScrollBox1->setLineWidth(1);
    ScrollBox1->setBackgroundRole(QPalette::Base);
    QPalette white = ScrollBox1->palette();
    white.setColor(QPalette::Base, Qt::white);
    white.setColor(QPalette::Window, Qt::white);
    ScrollBox1->setPalette(white);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setFocusPolicy(Qt::NoFocus); // the picture never takes the keyboard focus
    ImagePic = new ImagePicWidget;
    ScrollBox1->setWidget(ImagePic);
    ScrollBox1->viewport()->setAutoFillBackground(true);
    rightLayout->addWidget(ScrollBox1, 1);
    rightLayout->addWidget(buildOutputList(Panel1));
    return Panel1;
}

// A margin above the output list, the copy button in a column beside it.
QWidget *THoofdForm::buildOutputList(QWidget *right)
{
    using namespace Layout;
    Panel2 = makePanel(right, "Panel2");
    Panel2->setFixedHeight(OutputPanelHeight);
    auto *bottomLayout = vbox(Panel2);
    Panel3 = makePanel(Panel2, "Panel3");
    Panel3->setFixedHeight(Margin);
    Panel4 = makePanel(Panel2, "Panel4");
    bottomLayout->addWidget(Panel3);
    bottomLayout->addWidget(Panel4, 1);
    auto *outputLayout = hbox(Panel4);
    Memo3 = makeMemo(Panel4, "Memo3", QStringLiteral("Codelijst"));
    Panel14 = makePanel(Panel4, "Panel14");
    Panel14->setFixedWidth(CopyColumnWidth);
    outputLayout->addWidget(Memo3, 1);
    outputLayout->addWidget(Panel14);
    SpeedButton4 = makeToolButton(Panel14, "SpeedButton4", Kopieren1, CopyButtonPlace, CopyButtonSide);
    return Panel2;
}

QStatusBar *THoofdForm::buildStatusBar(QWidget *client)
{
    using namespace Layout;
    StatusBar1 = new QStatusBar(client);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(StatusBarHeight);
    StatusBar1->setSizeGripEnabled(true);
    StatusBar1->setFont(QApplication::font(StatusBar1)); // the system's font, not the window's
    StatusPanel0 = new QLabel(StatusBar1);
    StatusPanel0->setObjectName(QStringLiteral("StatusPanel0"));
    StatusPanel0->setFixedWidth(StatusPanelWidth);
    StatusPanel0->setAccessibleName(QStringLiteral("Positie"));
    StatusPanel1 = new QLabel(StatusBar1);
    StatusPanel1->setObjectName(QStringLiteral("StatusPanel1"));
    StatusBar1->addWidget(StatusPanel0);
    StatusBar1->addWidget(StatusPanel1, 1);
    return StatusBar1;
}

// Tab visits Memo2, Memo1 and Memo3; the selected radio button also takes
// part, before Memo2 or after Memo1.
void THoofdForm::setTabOrder()
{
    QWidget::setTabOrder(RadioButton2, Memo2);
    QWidget::setTabOrder(Memo2, Memo1);
    QWidget::setTabOrder(Memo1, RadioButton1);
    QWidget::setTabOrder(RadioButton1, Memo3);
    QWidget::setTabOrder(Memo3, RadioButton2);
    setRadioSelected(RadioButton1, true);
    setRadioSelected(RadioButton2, false);
}

// A button that shows a command: its glyph, its hint, its check state.
QToolButton *THoofdForm::makeToolButton(QWidget *parent, const char *name, QAction *command, QPoint position, int side)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoRaise(true);
    button->setDefaultAction(command);
    button->setIconSize(Layout::GlyphSize);
    button->setGeometry(position.x(), position.y(), side, side);
    button->setFocusPolicy(Qt::NoFocus);
    button->setAccessibleName(command->toolTip());
    button->installEventFilter(new ToolTipTimer(button));
    return button;
}

namespace {

// A command; Hint names it on a tool button, Glyph shows it there (not in the menu).
QAction *makeCommand(QObject *owner, const char *name, const QString &caption, const QString &hint = QString(),
                     const char *glyph = nullptr)
{
    auto *action = new QAction(caption, owner);
    action->setObjectName(QLatin1String(name));
    if (!hint.isEmpty())
        action->setToolTip(hint);
    if (glyph) {
        action->setIcon(QIcon(QLatin1String(glyph)));
        action->setIconVisibleInMenu(false);
    }
    return action;
}

} // namespace

void THoofdForm::buildActions()
{
    Figuuropenen1 = makeCommand(this, "Figuuropenen1", QStringLiteral("Figuur &openen..."),
                                QStringLiteral("Figuur openen"), ":/glyphs/open.svg");
    Figuuropenen1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Vergroten1 =
        makeCommand(this, "Vergroten1", QStringLiteral("Vergroten"), QStringLiteral("Vergroten"), ":/glyphs/zoom.svg");
    Vergroten1->setCheckable(true);
    Flitsen1 =
        makeCommand(this, "Flitsen1", QStringLiteral("Flitsen"), QStringLiteral("Flitsen"), ":/glyphs/flash.svg");
    Flitsen1->setCheckable(true);
    Flitsen1->setChecked(true);
    Programmainstellingen1 = makeCommand(this, "Programmainstellingen1", QStringLiteral("&Instellingen"),
                                         QStringLiteral("Instellingen"), ":/glyphs/settings.svg");
    Afsluiten1 = makeCommand(this, "Afsluiten1", QStringLiteral("Af&sluiten"));
    Afsluiten1->setShortcut(QKeySequence(Qt::ALT | Qt::Key_F4));
    LeesMijtxt1 = makeCommand(this, "LeesMijtxt1", QStringLiteral("&LeesMij.txt"), QStringLiteral("LeesMij.txt"),
                              ":/glyphs/readme.svg");
    Info1 = makeCommand(this, "Info1", QStringLiteral("&Info"));
    Weblink1 = makeCommand(this, "Weblink1", QStringLiteral("Weblink"));
    Kopieren1 =
        makeCommand(this, "Kopieren1", QStringLiteral("Kopiëren"), QStringLiteral("Kopiëren"), ":/glyphs/copy.svg");
}

void THoofdForm::buildMenu()
{
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setFont(QApplication::font(MainMenu1)); // the system's menu font, not the window's
    setMenuBar(MainMenu1);

    Bestand1 = MainMenu1->addMenu(QStringLiteral("&Bestand"));
    Bestand1->setObjectName(QStringLiteral("Bestand1"));
    Bestand1->addActions({Figuuropenen1, Vergroten1, Flitsen1});
    Bestand1->addSeparator()->setObjectName(QStringLiteral("N2"));
    Bestand1->addAction(Programmainstellingen1);
    Bestand1->addSeparator()->setObjectName(QStringLiteral("N1"));
    Bestand1->addAction(Afsluiten1);

    Help1 = MainMenu1->addMenu(QStringLiteral("&Help"));
    Help1->setObjectName(QStringLiteral("Help1"));
    Help1->addAction(LeesMijtxt1);
    Help1->addSeparator()->setObjectName(QStringLiteral("N3"));
    Help1->addAction(Info1);

    MainMenu1->addAction(Weblink1);
}

void THoofdForm::buildOpeningProgress()
{
    // Over the picture area, where the user looks for the picture.
    m_openingProgress = new QProgressBar(ScrollBox1);
    m_openingProgress->setObjectName(QStringLiteral("OpeningProgress"));
    m_openingProgress->setAccessibleName(QStringLiteral("Bezig met openen"));
    m_openingProgress->setRange(0, 0); // no end known: the decoders do not tell
    m_openingProgress->setGeometry(OpeningProgressPlace);
    m_openingProgress->hide();
    m_progressDelay = new QTimer(this);
    m_progressDelay->setSingleShot(true);
    m_progressDelay->setInterval(ProgressDelayMs);
}
