// The floor for the start-up benchmark: a bare Qt Widgets window of the same
// size with the same kinds of standard controls, and nothing of the program's.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setFixedSize(210, 161);
    (new QLabel(QStringLiteral("Label1"), &window))->setGeometry(16, 8, 121, 17);
    (new QLabel(QStringLiteral("Label2"), &window))->setGeometry(16, 56, 177, 25);
    (new QLineEdit(&window))->setGeometry(24, 24, 81, 24);
    (new QLabel(&window))->setGeometry(16, 80, 177, 33);
    (new QLabel(QStringLiteral("Label3"), &window))->setGeometry(8, 120, 201, 41);
    (new QPushButton(QStringLiteral("Quitter"), &window))->setGeometry(128, 32, 65, 17);
    window.show();
    return app.exec();
}
