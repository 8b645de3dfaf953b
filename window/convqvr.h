// The program's one window: the input box, the result and the button.
#pragma once

#include <form/declaration.h>

#include <QPixmap>
#include <QWidget>

// The form's texts as Qt holds them.
inline QString qtext(std::u16string_view text)
{
    return QString::fromUtf16(text.data(), qsizetype(text.size()));
}

class FileConversions;
class QAction;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

class Convqvr : public QWidget
{
    Q_OBJECT

public:
    explicit Convqvr(QWidget *parent = nullptr);

    // The handlers of the form. nhc_KeyPress gets the code of one character
    // typed into nhc before the box takes it, and sets it to 0 to discard it.
    void nhc_KeyPress(int &KeyAscii);
    void nhc_Change();
    void nhc_Click();
    void Quitter_Click();

    // Whole files, each converted into a file the user names; as a drop.
    void convertFiles(const QStringList &paths);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    bool keyPasses(const QKeyEvent *event);
    void edit(form::Edit action);
    void copyResult();
    void repairSelection();
    void typeCharacters(const QString &text);

    QPixmap picture; // read at the first paint, for the screen's density
    QLineEdit *nhc = nullptr;
    QLabel *qvr = nullptr;
    QPushButton *Quitter = nullptr;
    FileConversions *files = nullptr;
    QAction *chooseFile = nullptr; // also in the box's context menu
};
