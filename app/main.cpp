// Vantrix: turns clicks on a picture into lines of source code.

#include "app/StartUp.h"
#include "app/VantrixApplication.h"
#include "base/Environment.h"
#include "capture/HoofdUnit.h"
#include "ui/DeviceFrameStyle.h"
#include "ui/ToolTipStyle.h"

#include <QLocale>

int main(int argc, char **argv)
{
    initEnvironment();
    chooseWindowSystem();
    VantrixApplication app(argc, argv);
    QApplication::setStyle(new ToolTipStyle(new DeviceFrameStyle(QApplication::style()->name())));
    installQtTranslations(QLocale::system());
    createApplicationWindows();
    HoofdForm->show();
    app.exec();
    destroyApplicationWindows();
    return 0;
}
