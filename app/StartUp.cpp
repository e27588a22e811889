#include "app/StartUp.h"

#include "app/VantrixApplication.h"
#include "capture/HoofdUnit.h"
#include "info/OpstartInfo.h"
#include "settings/InstellingenUnit.h"

#include <QIcon>

void initResources()
{
    // The resources live in a static library: register them explicitly.
    Q_INIT_RESOURCE(resources);
}

void createApplicationWindows()
{
    initResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vantrix.ico")));
    HoofdForm = new THoofdForm;
    InstellingenForm = new TInstellingenForm;
    OpstartInfoForm = new TOpstartInfoForm;
    OpstartInfoForm->setVersionInfo(HoofdForm->VersionInfo);

    if (auto *app = qobject_cast<VantrixApplication *>(QCoreApplication::instance())) {
        QObject::connect(app, &VantrixApplication::sessionEnding, HoofdForm, &THoofdForm::sessionEnding);
        app->installTerminationHandler();
    }
}

void destroyApplicationWindows()
{
    delete OpstartInfoForm;
    OpstartInfoForm = nullptr;
    delete InstellingenForm;
    InstellingenForm = nullptr;
    delete HoofdForm;
    HoofdForm = nullptr;
}
