#include "app/StartUp.h"

#include "app/VantrixApplication.h"
#include "capture/HoofdUnit.h"
#include "info/OpstartInfo.h"
#include "settings/InstellingenUnit.h"

#include <QIcon>

void InitResources()
{
    // The resources live in a static library: register them explicitly.
    Q_INIT_RESOURCE(resources);
}

void CreateApplicationWindows()
{
    InitResources();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vantrix.ico")));
    HoofdForm = new THoofdForm;
    InstellingenForm = new TInstellingenForm;
    OpstartInfoForm = new TOpstartInfoForm;
    OpstartInfoForm->setVersionInfo(HoofdForm->VersionInfo);

    if (auto *app = qobject_cast<VantrixApplication *>(QCoreApplication::instance())) {
        QObject::connect(app, &VantrixApplication::sessionEnding, HoofdForm, &THoofdForm::SessionEnding);
        app->installTerminationHandler();
    }
}

void DestroyApplicationWindows()
{
    delete OpstartInfoForm;
    OpstartInfoForm = nullptr;
    delete InstellingenForm;
    InstellingenForm = nullptr;
    delete HoofdForm;
    HoofdForm = nullptr;
}
