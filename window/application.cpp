// The program's identity on the desktop, from the build's one version.
#include "application.h"

#include <convqvr/version.h>

#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTranslator>

using namespace Qt::StringLiterals;

void setUpApplication(QCoreApplication &app)
{
    QCoreApplication::setApplicationName(u"Conversion QVR"_s);
    QCoreApplication::setApplicationVersion(u"" CONVQVR_VERSION ""_s);
    QCoreApplication::setOrganizationName(u"" CONVQVR_ORGANIZATION ""_s);
    QGuiApplication::setDesktopFileName(u"" CONVQVR_APP_ID ""_s);

    // The box's context menu in French, like the rest of the window.
    auto *toolkitTexts = new QTranslator(&app);
    if (toolkitTexts->load(u"qtbase_fr"_s, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(toolkitTexts);
}
