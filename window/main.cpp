// Starts the program: the application and its one window.
#include "convqvr.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The toolkit's own texts (the box's context menu) in French, like the rest.
    QTranslator toolkitTexts;
    if (toolkitTexts.load(u"qtbase_fr"_qs, QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&toolkitTexts);
    Convqvr form;
    form.show();
    return app.exec();
}
