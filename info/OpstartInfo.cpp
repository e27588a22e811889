#include "info/OpstartInfo.h"

#include "info/VersionInfoReader.h"
#include "ui/DesktopShell.h"
#include "ui/DeviceFrameStyle.h"
#include "ui/Fonts.h"
#include "ui/HandlerGuard.h"
#include "ui/MessageBoxes.h"
#include "ui/WindowSupport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>

#include <utility>

TOpstartInfoForm *OpstartInfoForm = nullptr;

namespace {

const QColor Grey(128, 128, 128);

// A label that reports clicks and double-clicks.
class ClickLabel : public QLabel
{
public:
    using QLabel::QLabel;
    std::function<void()> onClick;
    std::function<void()> onDoubleClick;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        // A double-click is one click and one double-click: the release
        // that ends it is no second click.
        const bool endsDoubleClick = std::exchange(m_inDoubleClick, false);
        if (event->button() == Qt::LeftButton && !endsDoubleClick && rect().contains(event->position().toPoint()) &&
            onClick)
            onClick();
        QLabel::mouseReleaseEvent(event);
    }
    void mouseDoubleClickEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton) {
            m_inDoubleClick = true;
            if (onDoubleClick)
                onDoubleClick();
        }
        QLabel::mouseDoubleClickEvent(event);
    }

private:
    bool m_inDoubleClick = false;
};

// A rectangle with a white fill and a one-pixel outline.
class ShapeWidget : public QWidget
{
public:
    using QWidget::QWidget;
    QColor outline = Qt::black;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        if (!DeviceFrameStyle::onDevicePixels(painter.deviceTransform())) {
            // The outline takes the device pixels Qt leaves it at this scale.
            const QRgb colour = outline.rgba();
            DeviceFrameStyle::paintRings(painter, rect(), {{colour, colour, colour, colour}});
            return;
        }
        painter.setPen(outline);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

QWidget *plainPanel(QWidget *parent, const char *name, const QColor &colour)
{
    auto *panel = new QWidget(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setAutoFillBackground(true);
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, colour);
    panel->setPalette(palette);
    return panel;
}

ClickLabel *makeLabel(QWidget *parent, const char *name, QPoint position, int pixelHeight, bool bold,
                      const QColor &colour)
{
    auto *label = new ClickLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(arialFont(pixelHeight, bold));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
    label->setTextFormat(Qt::PlainText);
    label->move(position);
    return label;
}

void setLabel(QLabel *label, const QString &text, bool literalAmpersand = false)
{
    label->setText(literalAmpersand ? text : withoutAccessKeys(text));
    label->adjustSize();
}

QString formatWith(QString format, const QString &value)
{
    const qsizetype at = format.indexOf(QLatin1String("%s"));
    if (at >= 0)
        format.replace(at, 2, value);
    return format;
}

} // namespace

TOpstartInfoForm::TOpstartInfoForm(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("OpstartInfoForm"));
    // A title bar without buttons or system menu: no close from there.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setModal(true);
    setFixedSize(494, 284);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);

    buildPanels();
    auto *shape = static_cast<ShapeWidget *>(BlueShape);
    buildLabels();
    buildImagesAndButton();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(2);
    connect(Timer1, &QTimer::timeout, this, &TOpstartInfoForm::Timer1Timer);
    Timer1->start();

    runHandler([this, shape] {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        shape->outline = QColor::fromRgb(OutlineColor);
        HalfCircleImage->resize(26, HalfCircleImage->height());
        HalfCircleImage->move(WhitePanel->width() - 26, HalfCircleImage->y());
    });
}

// The grey back panel with its blue shape, the white panel on it.
void TOpstartInfoForm::buildPanels()
{
    BackPanel = plainPanel(this, "BackPanel", Grey);
    BackPanel->setGeometry(21, 1, 454, 264);
    auto *shape = new ShapeWidget(BackPanel);
    shape->setObjectName(QStringLiteral("BlueShape"));
    shape->setGeometry(0, 0, 454, 264);
    BlueShape = shape;
    WhitePanel = plainPanel(this, "WhitePanel", Qt::white);
    WhitePanel->setGeometry(22, 2, 452, 262);
}

// The program's name, version, copyright, web address and the rest.
void TOpstartInfoForm::buildLabels()
{
    ntLabel8 = makeLabel(WhitePanel, "ntLabel8", QPoint(20, 60), 35, true, Qt::black);
    ntLabel1 = makeLabel(WhitePanel, "ntLabel1", QPoint(20, 105), 11, false, Qt::black);
    ntLabel2 = makeLabel(WhitePanel, "ntLabel2", QPoint(20, 120), 11, false, Qt::black);
    auto *link = makeLabel(WhitePanel, "ntLabel3", QPoint(20, 135), 11, false, Qt::black);
    QFont underlined = link->font();
    underlined.setUnderline(true);
    link->setFont(underlined);
    link->setAutoFillBackground(true);
    link->setCursor(Qt::PointingHandCursor);
    link->onClick = [this] { ntLabel3Click(); };
    ntLabel3 = link;
    ntLabel4 = makeLabel(WhitePanel, "ntLabel4", QPoint(20, 173), 9, false, Grey);
    ntLabel6 = makeLabel(WhitePanel, "ntLabel6", QPoint(20, 190), 13, true, Qt::black);
    ntLabel7 = makeLabel(WhitePanel, "ntLabel7", QPoint(20, 210), 13, true, Qt::black);
    ntLabel5 = makeLabel(WhitePanel, "ntLabel5", QPoint(20, 232), 9, false, Grey);
    static_cast<ClickLabel *>(ntLabel8)->onDoubleClick = [this] { ntLabel8DblClick(); };
}

// The logo, the half circle and the hidden close button.
void TOpstartInfoForm::buildImagesAndButton()
{
    LogoImage = new QLabel(WhitePanel);
    LogoImage->setObjectName(QStringLiteral("LogoImage"));
    LogoImage->setGeometry(20, 20, 111, 36);
    LogoImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LogoImage->setPixmap(QPixmap(QStringLiteral(":/images/logo.bmp")));

    HalfCircleImage = new QLabel(WhitePanel);
    HalfCircleImage->setObjectName(QStringLiteral("HalfCircleImage"));
    HalfCircleImage->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    HalfCircleImage->setPixmap(QPixmap(QStringLiteral(":/images/halfcircle.bmp")));
    HalfCircleImage->setGeometry(426, 185, 26, 56);

    Button1 = new QPushButton(QStringLiteral("&Sluiten"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(360, 20, 75, 25);
    Button1->setFont(windowFont());
    Button1->setAutoDefault(true);
    Button1->setVisible(false);
    connect(Button1, &QPushButton::clicked, this, &QDialog::reject);
}

void TOpstartInfoForm::Timer1Timer()
{
    Timer1->stop();
    hide();
    QCoreApplication::processEvents();
    Button1->setVisible(true);
}

void TOpstartInfoForm::setVersionInfo(TVersionInfoReader *versionInfo)
{
    m_versionInfo = versionInfo;
}

void TOpstartInfoForm::ToonInfo(const QString &Title, const QString &VersionFormat, const QString &Line2,
                                const QString &Link, const QString &Line4, const QString &Line5, const QString &Line6,
                                const QString &Line7, const QString &BuildFormatText)
{
    MessageCaption = Title;
    LinkTarget = Link;
    BuildFormat = BuildFormatText;
    setWindowTitle(QString());
    setLabel(ntLabel8, Title);

    VersionNumber version;
    if (m_versionInfo)
        version = m_versionInfo->GetVersionNumber();
    const QString versionText = QStringLiteral("%1.%2.%3 build %4")
                                    .arg(version.Major)
                                    .arg(version.Minor)
                                    .arg(version.Release)
                                    .arg(version.Build);
    setLabel(ntLabel1, formatWith(VersionFormat, versionText));
    setLabel(ntLabel2, Line2);
    setLabel(ntLabel3, Link);
    setLabel(ntLabel4, Line4);
    setLabel(ntLabel5, Line5);
    setLabel(ntLabel6, Line6, true);
    setLabel(ntLabel7, Line7, true);

    exec();
    WhitePanel->setFocus();
}

void TOpstartInfoForm::showEvent(QShowEvent *event)
{
    if (!m_shownBefore) {
        // The first showing starts on the first focusable control.
        m_shownBefore = true;
        Button1->setFocus();
    }
    centreOnScreen(this);
    QDialog::showEvent(event);
    showEmptyTitle(this);
}

void TOpstartInfoForm::closeEvent(QCloseEvent *event)
{
    // The title bar has no close: what the window manager offers anyway
    // (Alt+F4, a close button of its own) does nothing. Button1, Escape and
    // the keys close the window without a close event.
    if (event->spontaneous()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

QString TOpstartInfoForm::buildMessage() const
{
    const QString productVersion = m_versionInfo ? m_versionInfo->GetStringByIndex(10) : QString();
    return formatWith(BuildFormat, productVersion);
}

void TOpstartInfoForm::ntLabel8DblClick()
{
    ShowInfoMessage(MessageCaption, QString(), buildMessage(), QStringLiteral("&OK"));
}

void TOpstartInfoForm::ntLabel3Click()
{
    DesktopShell::Open(LinkTarget);
}

void TOpstartInfoForm::keyPressEvent(QKeyEvent *event)
{
    // The access key of "&Sluiten" closes the window, with or without Alt.
    if (event->key() == Qt::Key_S && (event->modifiers() & ~(Qt::AltModifier | Qt::ShiftModifier)) == 0) {
        reject();
        return;
    }
    // Enter presses Button1 only while it has the focus (it handles that
    // key itself); with the focus elsewhere Enter does nothing.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}
