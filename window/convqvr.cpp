// Builds the window at the fixed geometry of the form and wires its handlers.
#include "convqvr.h"

#include "version.h"

#include <QApplication>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// Sizes are in pixels at 96 dpi (8.25, 12 and 18 points), because the window's
// geometry is in such pixels too: text and controls then scale together.
constexpr int smallPixels = 11;
constexpr int mediumPixels = 16;
constexpr int largePixels = 24;

QFont formFont(int pixelSize, bool bold = false, bool underline = false)
{
    // Where the Windows face is missing, Liberation Sans (installed with the
    // program) is close in width and keeps every text inside its control.
    static const QString family = QFontDatabase::hasFamily(u"MS Sans Serif"_s)
            ? u"MS Sans Serif"_s
            : u"Liberation Sans"_s;
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setUnderline(underline);
    return font;
}

QLabel *addLabel(QWidget *parent, const char *name, const QString &text, QRect geometry,
                 const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1StringView(name));
    label->setGeometry(geometry);
    label->setFont(font);
    return label;
}

} // namespace

Convqvr::Convqvr(QWidget *parent)
    : QWidget(parent)
    , picture(u":/convqvr/sky.bmp"_s)
{
    setObjectName(u"Convqvr"_s);
    setWindowTitle(u"Conversion QVR   V" CONVQVR_TITLE_VERSION ""_s);
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(u":/convqvr/icons/convqvr-%1.png"_s.arg(size), QSize(size, size));
    setWindowIcon(icon);
    setFixedSize(210, 161);
    setFont(formFont(smallPixels));

    Label1 = addLabel(this, "Label1", u"Numéro à 8 chiffres"_s, {16, 8, 121, 17},
                      formFont(smallPixels, true, true));
    Label2 = addLabel(this, "Label2", u"Numéro à dix chiffres"_s, {16, 56, 177, 25},
                      formFont(mediumPixels, true, true));

    nhc = new QLineEdit(this);
    nhc->setObjectName(u"nhc"_s);
    nhc->setGeometry(24, 24, 81, 24);
    nhc->setFont(formFont(mediumPixels));
    QPalette boxPalette = nhc->palette();
    boxPalette.setColor(QPalette::Base, Qt::white);
    nhc->setPalette(boxPalette);

    qvr = addLabel(this, "qvr", QString(), {16, 80, 177, 33}, formFont(largePixels, true));
    // Pure red reads poorly on blue: the result gets a pale backing of its own.
    QPalette resultPalette = qvr->palette();
    resultPalette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    resultPalette.setColor(QPalette::Window, QColor(255, 255, 255, 210));
    qvr->setPalette(resultPalette);
    qvr->setAutoFillBackground(true);
    qvr->setAlignment(Qt::AlignCenter);

    Label3 = addLabel(this, "Label3",
                      u"Conversion QVR est écrit par l'équipe de Conversion QVR, "
                      u"ses auteurs."_s,
                      {8, 120, 201, 41}, font());
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Quitter = new QPushButton(u"Quitter"_s, this);
    Quitter->setObjectName(u"Quitter"_s);
    Quitter->setGeometry(128, 32, 65, 17);
    connect(Quitter, &QPushButton::clicked, this, &Convqvr::Quitter_Click);

    setTabOrder(nhc, Quitter);
    nhc->setFocus();
}

void Convqvr::Quitter_Click()
{
    QCoreApplication::quit();
}

void Convqvr::paintEvent(QPaintEvent *)
{
    // The picture is larger than the window: drawn at its own size from the
    // corner, so only its top-left part shows.
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture);
}
