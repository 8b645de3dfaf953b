// The floor for the start-up benchmark: a bare Qt Widgets window of the form's
// size with the same kinds of standard controls at the form's places, and
// nothing else of the program's.
#include <form/declaration.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(form::width, form::height);
    for (const form::Control &c : form::controls) {
        const QString text = QString::fromUtf16(c.text.data(), qsizetype(c.text.size()));
        QWidget *widget = c.kind == form::Kind::Box ? new QLineEdit(&window)
            : c.kind == form::Kind::Button ? static_cast<QWidget *>(new QPushButton(text, &window))
                                           : new QLabel(text, &window);
        widget->setGeometry(c.place.left, c.place.top, c.place.width, c.place.height);
    }
    window.show();
    return app.exec();
}
