// The program's one window: the input box, the result and the button.
#pragma once

#include <QPixmap>
#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

class Convqvr : public QWidget
{
    Q_OBJECT

public:
    explicit Convqvr(QWidget *parent = nullptr);

    void Quitter_Click();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap picture;
    QLabel *Label1;
    QLabel *Label2;
    QLineEdit *nhc;
    QLabel *qvr;
    QLabel *Label3;
    QPushButton *Quitter;
};
