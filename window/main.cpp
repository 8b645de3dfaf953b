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
    return app.exec();
}
