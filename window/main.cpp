// The window's program: the application and its one window.
#include "application.h"
#include "convqvr.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    Convqvr form;
    form.show();
    // Files named at start, as the file manager gives them: each is converted
    // as if dropped.
    const QStringList files = app.arguments().mid(1);
    if (!files.isEmpty())
        QMetaObject::invokeMethod(
            &form, [&form, files] { form.convertFiles(files); }, Qt::QueuedConnection);
    return app.exec();
}
