// Builds the window at the fixed geometry of the form and wires its handlers.
#include "convqvr.h"

#include "keys.h"
#include <form/version.h>

#include <form/form.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
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
    static const QString family
        = QFontDatabase::hasFamily(u"MS Sans Serif"_s) ? u"MS Sans Serif"_s : u"Liberation Sans"_s;
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setUnderline(underline);
    return font;
}

// Everything drawn over the sky keeps the colours the picture needs, whatever
// the desktop's scheme: dark ink on the pale sky, black on the white box.
void setInk(QWidget *widget, std::initializer_list<std::pair<QPalette::ColorRole, QColor>> colours)
{
    QPalette palette = widget->palette();
    for (const auto &[role, colour] : colours)
        palette.setColor(role, colour);
    widget->setPalette(palette);
}

const QColor ink(16, 24, 48);
const QColor selection(0, 90, 180);

QLabel *addLabel(
    QWidget *parent, const char *name, const QString &text, QRect geometry, const QFont &font)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QLatin1StringView(name));
    label->setGeometry(geometry);
    label->setFont(font);
    setInk(label,
        {{QPalette::WindowText, ink}, {QPalette::Highlight, selection},
            {QPalette::HighlightedText, Qt::white}});
    return label;
}

constexpr int selectableLength = 1000;

} // namespace

Convqvr::Convqvr(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(u"Convqvr"_s);
    setWindowTitle(u"Conversion QVR   V" CONVQVR_TITLE_VERSION ""_s);
    QIcon icon;
    for (int size : {16, 32, 48, 64})
        icon.addFile(u":/convqvr/icons/convqvr-%1.png"_s.arg(size), QSize(size, size));
    setWindowIcon(icon);
    setFixedSize(210, 161);
    // A window of fixed size offers no maximise button, on any frame.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setFont(formFont(smallPixels));

    Label1 = addLabel(this, "Label1", u"Numéro à 8 chiffres"_s, {16, 8, 121, 17},
        formFont(smallPixels, true, true));
    Label2 = addLabel(this, "Label2", u"Numéro à dix chiffres"_s, {16, 56, 177, 25},
        formFont(mediumPixels, true, true));

    nhc = new QLineEdit(this);
    nhc->setObjectName(u"nhc"_s);
    nhc->setGeometry(24, 24, 81, 24);
    nhc->setFont(formFont(mediumPixels));
    setInk(nhc,
        {{QPalette::Base, Qt::white}, {QPalette::Text, Qt::black}, {QPalette::Highlight, selection},
            {QPalette::HighlightedText, Qt::white}});
    nhc->setAcceptDrops(false);
    nhc->installEventFilter(this);
    connect(nhc, &QLineEdit::textChanged, this, &Convqvr::nhc_Change);

    qvr = addLabel(this, "qvr", QString(), {16, 80, 177, 33}, formFont(largePixels, true));
    // Pure red reads poorly on blue: the result gets a pale backing of its own.
    setInk(qvr,
        {{QPalette::WindowText, QColor(255, 0, 0)},
            {QPalette::Window, QColor(255, 255, 255, 210)}});
    qvr->setAutoFillBackground(true);
    // Left-aligned, so that a result too long for the label shows its start.
    qvr->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    qvr->setIndent(4);
    // A pasted text is shown as it stands, never read as markup.
    qvr->setTextFormat(Qt::PlainText);
    // The label's own context menu offers no copy for plain text; this one
    // copies the selection, or the whole result when nothing is selected.
    auto *copy = new QAction(u"Copier"_s, qvr);
    connect(copy, &QAction::triggered, this, [this] {
        const QString text = qvr->hasSelectedText() ? qvr->selectedText() : qvr->text();
        if (!text.isEmpty())
            QGuiApplication::clipboard()->setText(text);
    });
    qvr->addAction(copy);
    qvr->setContextMenuPolicy(Qt::ActionsContextMenu);

    // Screen readers name the box after its label; the result is named by its
    // own text and described by the label above it.
    Label1->setBuddy(nhc);
    qvr->setAccessibleDescription(Label2->text());

    Label3 = addLabel(this, "Label3",
        u"Conversion QVR est écrit par l'équipe de Conversion QVR, ses auteurs."_s,
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

void Convqvr::nhc_KeyPress(int &KeyAscii)
{
    KeyAscii = form::filterKey(KeyAscii, characterCount(nhc->text()));
}

void Convqvr::nhc_Change()
{
    const QString shown
        = QString::fromStdU16String(form::convertText(nhc->text().toStdU16String()));
    // The result can be selected with the mouse and copied, yet never takes
    // the focus. Selection puts a text document behind the label, which costs
    // milliseconds for the very long results only a large paste can give, so
    // those are shown without it.
    qvr->setTextInteractionFlags(
        shown.size() <= selectableLength ? Qt::TextSelectableByMouse : Qt::NoTextInteraction);
    qvr->setFocusPolicy(Qt::NoFocus);
    // The label itself tells screen readers of its new name.
    qvr->setText(shown);
}

void Convqvr::nhc_Click()
{
    nhc->setText(QString());
}

void Convqvr::Quitter_Click()
{
    QCoreApplication::quit();
}

// Every way a character reaches the box goes through nhc_KeyPress: key
// presses, and the text committed by input methods.
bool Convqvr::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != nhc)
        return QWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::ContextMenu:
        repairSelection();
        break;
    default:
        break;
    }

    switch (event->type()) {
    case QEvent::KeyPress:
        return !keyPasses(static_cast<QKeyEvent *>(event));
    case QEvent::InputMethod: {
        auto *input = static_cast<QInputMethodEvent *>(event);
        if (input->commitString().isEmpty())
            return false;
        // The box keeps the pre-edit part of the event; the committed text is
        // typed one character at a time.
        QInputMethodEvent preeditOnly(input->preeditString(), input->attributes());
        QCoreApplication::sendEvent(nhc, &preeditOnly);
        typeCharacters(input->commitString());
        return true;
    }
    case QEvent::MouseButtonPress:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            nhc_Click();
        return false;
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        event->ignore();
        return true;
    default:
        return false;
    }
}

// Undo and redo in Qt 6.4's line edit can leave a selection that starts
// before the text, or the cursor past its end; the next cut, undo or typed
// character then writes stray characters (a NUL, a blank) into the box.
// Such a state is set right before the user acts again.
void Convqvr::repairSelection()
{
    const qsizetype length = nhc->text().size();
    const bool brokenSelection
        = nhc->hasSelectedText() ? nhc->selectionStart() < 0 : nhc->selectionLength() != 0;
    if (brokenSelection)
        nhc->deselect();
    if (nhc->cursorPosition() > length)
        nhc->setCursorPosition(int(length));
}

bool Convqvr::keyPasses(const QKeyEvent *event)
{
    if (isClipboardShortcut(event))
        return true;
    if (characterCount(event->text()) > 1 && event->key() != Qt::Key_Backspace) {
        // Several characters in one key press (a compose sequence, a
        // keyboard macro): each is filtered on its own.
        typeCharacters(event->text());
        return false;
    }
    int code = typedCode(event);
    if (code < 0)
        return true;
    nhc_KeyPress(code);
    return code != 0;
}

void Convqvr::typeCharacters(const QString &text)
{
    for (char32_t character : text.toUcs4()) {
        int code = int(character);
        nhc_KeyPress(code);
        if (code == form::backspaceCode)
            nhc->backspace();
        else if (code != 0)
            nhc->insert(QString::fromUcs4(&character, 1));
    }
}

void Convqvr::paintEvent(QPaintEvent *)
{
    // Dense screens get the picture drawn at twice the size; it is read only
    // when first needed.
    const qreal ratio = devicePixelRatioF() > 1.0 ? 2.0 : 1.0;
    if (picture.isNull() || picture.devicePixelRatio() != ratio) {
        picture.load(ratio > 1.0 ? u":/convqvr/sky@2x.png"_s : u":/convqvr/sky.bmp"_s);
        picture.setDevicePixelRatio(ratio);
    }
    // The picture is larger than the window: drawn at its own size from the
    // corner, so only its top-left part shows.
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture);
}
