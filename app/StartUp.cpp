#include "app/StartUp.h"

#include "app/VantrixApplication.h"
#include "base/Environment.h"
#include "base/IdentityTexts.h"
#include "capture/HoofdUnit.h"
#include "info/OpstartInfo.h"
#include "info/VersionInfoReader.h"
#include "settings/InstellingenUnit.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include <memory>

void initResources()
{
    // The resources live in a static library: register them explicitly.
    Q_INIT_RESOURCE(resources);
}

bool installQtTranslations(const QLocale &locale)
{
    // One translator for the program's life, replaced when asked again.
    static QTranslator *qtTexts = nullptr;
    if (qtTexts) {
        QCoreApplication::removeTranslator(qtTexts);
        delete qtTexts;
        qtTexts = nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    qtTexts = translator.release();
    return QCoreApplication::installTranslator(qtTexts);
}

void initIdentity()
{
    ProgramName = assembleProgramName();
    CopyrightText = assembleCopyrightText();
    WebAddress = assembleWebAddress();
    IniFileName = ProgramName + QStringLiteral(".ini");
    const TVersionInfoReader reader(nullptr);
    const VersionNumber version = reader.GetVersionNumber();
    ApplicationTitle = ProgramName + QLatin1Char(' ') + QString::number(version.Major) + QLatin1Char('.') +
                       QString::number(version.Minor) + QLatin1Char('.') + QString::number(version.Release);
}

void createApplicationWindows()
{
    initResources();
    initIdentity();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/vantrix.ico")));
    HoofdForm = new THoofdForm;
    InstellingenForm = new TInstellingenForm;
    OpstartInfoForm = new TOpstartInfoForm;
    OpstartInfoForm->setVersionInfo(HoofdForm->versionInfo());

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
