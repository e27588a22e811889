// Renders the program's windows and boxes to PNG files, for looking at
// them: the main window with each kind of picture (1:1 and doubled), the
// settings dialog, the information window and the message boxes in both
// variants.
//
// usage: vantrix_gallery output-folder [picture ...]
#include "app/StartUp.h"
#include "app/VantrixApplication.h"
#include "base/Environment.h"
#include "capture/HoofdUnit.h"
#include "capture/ImagePic.h"
#include "info/OpstartInfo.h"
#include "settings/InstellingenUnit.h"
#include "tests/WindowControls.h"
#include "ui/MessageBoxes.h"

#include <QDir>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

namespace {

QString outDir;

void save(QWidget *w, const QString &name)
{
    w->grab().save(outDir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

// Grabs the next modal window as Name, then closes it.
void grabModal(const QString &name, const std::function<void(QWidget *)> &close)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || !modal->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        QTimer::singleShot(300, [=] {
            save(modal, name);
            close(modal);
        });
    });
    timer->start(20);
}

} // namespace

int main(int argc, char **argv)
{
    initEnvironment();
    VantrixApplication app(argc, argv);
    if (argc < 2)
        return 2;
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    QTemporaryDir dir;
    AppPath = AddBackslash(dir.path());
    createApplicationWindows();
    HoofdForm->show();
    app.processEvents();
    QTimer::singleShot(200, [&] {
        MainControls(HoofdForm).Memo1->setPlainText(QStringLiteral("S1\nS2"));
        MainControls(HoofdForm).Memo2->setPlainText(QStringLiteral("Q4"));
        for (int i = 2; i < argc; ++i) {
            const QString file = QString::fromLocal8Bit(argv[i]);
            HoofdForm->openPicture(file);
            while (HoofdForm->isOpening())
                app.processEvents(QEventLoop::WaitForMoreEvents);
            HoofdForm->WachtTimerTimer();
            const QString base = QStringLiteral("main-") + QFileInfo(file).fileName();
            app.processEvents();
            save(HoofdForm, base);
            MainControls(HoofdForm).Vergroten1->trigger();
            app.processEvents();
            save(HoofdForm, base + QStringLiteral("-doubled"));
        }
        grabModal(QStringLiteral("settings"), [](QWidget *w) { w->close(); });
        HoofdForm->SpeedButton2Click();
        grabModal(QStringLiteral("info"), [](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
        HoofdForm->Info1Click();
        grabModal(QStringLiteral("error-task"), [](QWidget *w) { w->close(); });
        ShowErrorMessage(ProgramName, QString(),
                         QStringLiteral("Instellingenbestand \"/opt/vantrix/Vantrix.ini\" kan niet worden "
                                        "weggeschreven."),
                         QStringLiteral("&OK"));
        QApplication::setStyle(QStringLiteral("windows"));
        grabModal(QStringLiteral("error-classic"), [](QWidget *w) { w->close(); });
        ShowErrorMessage(ProgramName, QString(),
                         QStringLiteral("Instellingenbestand \"/opt/vantrix/Vantrix.ini\" kan niet worden "
                                        "weggeschreven."),
                         QStringLiteral("&OK"));
        grabModal(QStringLiteral("classic-three-buttons"), [](QWidget *w) { w->close(); });
        CustomMessageDialog(ProgramName, QStringLiteral("Opslaan?"),
                            QStringLiteral("De uitvoerlijst is nog niet gekopieerd."), MessageType::Confirmation,
                            {DialogButton::Yes, DialogButton::No, DialogButton::Cancel}, DialogButton::Yes,
                            QStringLiteral("&Ja, kopieer alles naar het klembord"), QStringLiteral("&Nee"), QString(),
                            QStringLiteral("&Annuleren"));
        QApplication::quit();
    });
    app.exec();
    destroyApplicationWindows();
    return 0;
}
