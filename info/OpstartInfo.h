#pragma once
// The information window: program name, version, copyright notice and web
// link on a white card with a thin dark-blue border.

#include <QDialog>
#include <QPointer>

class QLabel;
class QPushButton;
class QTimer;
class TVersionInfoReader;

class TOpstartInfoForm : public QDialog
{
    Q_OBJECT
public:
    explicit TOpstartInfoForm(QWidget *parent = nullptr);

    // The main window's version reader, handed over once at start-up; the
    // version line and the build message read from it while it lives.
    void setVersionInfo(TVersionInfoReader *versionInfo);

    // Fills the window and shows it modally; returns when it is closed.
    void ToonInfo(const QString &Title, const QString &VersionFormat, const QString &Line2, const QString &Link,
                  const QString &Line4, const QString &Line5, const QString &Line6, const QString &Line7,
                  const QString &BuildFormatText);

    // The build message a double-click on the title shows.
    QString buildMessage() const;

    QString messageCaption() const { return MessageCaption; }
    QString linkTarget() const { return LinkTarget; }

    static constexpr QRgb OutlineColor = 0xFF0000BDu;

    void ntLabel8DblClick();
    void ntLabel3Click();
    void Timer1Timer();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    // The window's controls, by the names they carry as object names.
    QWidget *BackPanel;
    QWidget *BlueShape;
    QWidget *WhitePanel;
    QLabel *LogoImage;
    QLabel *ntLabel1;
    QLabel *ntLabel2;
    QLabel *ntLabel3;
    QLabel *ntLabel4;
    QLabel *ntLabel5;
    QLabel *ntLabel6;
    QLabel *ntLabel7;
    QLabel *ntLabel8;
    QLabel *HalfCircleImage;
    QPushButton *Button1;
    QTimer *Timer1;

    void buildPanels();
    void buildLabels();
    void buildImagesAndButton();
    QString MessageCaption;
    QString LinkTarget;
    QString BuildFormat;
    bool m_shownBefore = false;
    QPointer<TVersionInfoReader> m_versionInfo;
};

extern TOpstartInfoForm *OpstartInfoForm;
