// Builds the window at the fixed geometry of the form and wires its handlers.
#include "convqvr.h"

#include "files.h"
#include "keys.h"
#include <form/declaration.h>
#include <form/form.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QFontDatabase>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>

#include <functional>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

QColor qcolour(form::Colour c)
{
    return QColor(c.red, c.green, c.blue);
}

QFont formFont(form::Font f)
{
    // Where the Windows face is missing, Liberation Sans (installed with the
    // program) is close in width and keeps every text inside its control.
    static const QString face = qtext(form::fontFace);
    static const QString family = QFontDatabase::hasFamily(face) ? face : u"Liberation Sans"_s;
    QFont font(family);
    font.setPixelSize(f.pixels);
    font.setWeight(f.bold ? QFont::Bold : QFont::Normal);
    font.setUnderline(f.underline);
    return font;
}

// Pinned colours hold whatever the desktop's scheme; a control without them
// keeps the desktop's own.
void pinColours(QWidget *widget, const form::Control &c)
{
    if (!c.ink)
        return;
    QPalette palette = widget->palette();
    const bool box = c.kind == form::Kind::Box;
    palette.setColor(box ? QPalette::Text : QPalette::WindowText, qcolour(*c.ink));
    if (c.backing)
        palette.setColor(box ? QPalette::Base : QPalette::Window, qcolour(*c.backing));
    palette.setColor(QPalette::Highlight, qcolour(form::selection));
    palette.setColor(QPalette::HighlightedText, qcolour(form::selectedInk));
    widget->setPalette(palette);
}

constexpr int selectableLength = 1000;

} // namespace

Convqvr::Convqvr(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QLatin1StringView(form::name));
    setWindowTitle(qtext(form::title));
    QIcon icon;
    for (const QFileInfo &file : QDir(u":/convqvr/icons"_s).entryInfoList())
        icon.addFile(file.filePath());
    setWindowIcon(icon);
    setFixedSize(form::width, form::height);
    // A window of fixed size offers no maximise button, on any frame.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
        | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    for (const form::Control &c : form::controls) {
        QWidget *widget = nullptr;
        switch (c.kind) {
        case form::Kind::Label:
        case form::Kind::Notice:
        case form::Kind::Result: {
            auto *label = new QLabel(qtext(c.text), this);
            // Left-aligned, so that a result too long for the label shows its start.
            label->setAlignment(
                Qt::AlignLeft | (c.kind == form::Kind::Notice ? Qt::AlignTop : Qt::AlignVCenter));
            label->setWordWrap(c.kind == form::Kind::Notice);
            // A pasted text is shown as it stands, never read as markup.
            label->setTextFormat(Qt::PlainText);
            widget = label;
            if (c.kind == form::Kind::Result)
                qvr = label;
            break;
        }
        case form::Kind::Box:
            widget = nhc = new QLineEdit(this);
            break;
        case form::Kind::Button:
            widget = Quitter = new QPushButton(qtext(c.text), this);
            break;
        }
        widget->setObjectName(QLatin1StringView(c.name));
        widget->setGeometry(c.place.left, c.place.top, c.place.width, c.place.height);
        widget->setFont(formFont(c.font));
        pinColours(widget, c);
    }
    // Screen readers name a box after its label; the result is named by its
    // own text and described by its label.
    for (const form::Control &c : form::controls) {
        const form::Control *named = form::labelled(c);
        if (!named)
            continue;
        auto *label = findChild<QLabel *>(QLatin1StringView(c.name));
        QWidget *widget = findChild<QWidget *>(QLatin1StringView(named->name));
        if (named->kind == form::Kind::Box)
            label->setBuddy(widget);
        else
            widget->setAccessibleDescription(label->text());
    }

    // No limit of the box's own: the key filter limits what is typed, and a
    // paste of any length reaches the box whole.
    nhc->setMaxLength(std::numeric_limits<int>::max());
    nhc->setAcceptDrops(false);
    nhc->installEventFilter(this);
    connect(nhc, &QLineEdit::textChanged, this, &Convqvr::nhc_Change);

    qvr->setAutoFillBackground(true);
    qvr->setIndent(form::resultIndent);
    // The label's own context menu offers no copy for plain text; this one
    // copies the selection, or the whole result when nothing is selected.
    auto *copy = new QAction(qtext(form::copyEntry), qvr);
    connect(copy, &QAction::triggered, this, &Convqvr::copyResult);
    qvr->addAction(copy);
    qvr->setContextMenuPolicy(Qt::ActionsContextMenu);

    // Files come dropped anywhere on the window, or chosen: Ctrl+O, or the
    // entry in the box's context menu and the window's own.
    files = new FileConversions(this);
    setAcceptDrops(true);
    chooseFile = new QAction(qtext(form::fileEntry), this);
    chooseFile->setShortcut(QKeySequence::Open);
    connect(chooseFile, &QAction::triggered, files, &FileConversions::choose);
    addAction(chooseFile);
    setContextMenuPolicy(Qt::ActionsContextMenu);

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
    case QEvent::ContextMenu: {
        QMenu *menu = nhc->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->addSeparator();
        menu->addAction(chooseFile);
        menu->popup(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }
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
    if (const auto action = clipboardShortcut(event)) {
        edit(*action);
        return false;
    }
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

void Convqvr::copyResult()
{
    const QString text = qvr->hasSelectedText() ? qvr->selectedText() : qvr->text();
    if (!text.isEmpty())
        QGuiApplication::clipboard()->setText(text);
}

void Convqvr::edit(form::Edit action)
{
    if (action == form::Edit::Copy && !nhc->hasSelectedText())
        return copyResult();
    // In the order of form::Edit.
    static const std::function<void(QLineEdit *)> actions[] = {&QLineEdit::paste, &QLineEdit::copy,
        &QLineEdit::cut, &QLineEdit::undo, &QLineEdit::redo, &QLineEdit::selectAll};
    actions[std::size_t(action)](nhc);
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

void Convqvr::convertFiles(const QStringList &paths)
{
    files->add(paths);
}

void Convqvr::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.begin(), urls.end(), [](const QUrl &url) { return url.isLocalFile(); }))
        event->acceptProposedAction();
}

void Convqvr::dropEvent(QDropEvent *event)
{
    QStringList paths;
    for (const QUrl &url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    event->acceptProposedAction();
    // After the drop is done with, so that the source is not held while the
    // dialog waits.
    QMetaObject::invokeMethod(
        this, [this, paths] { convertFiles(paths); }, Qt::QueuedConnection);
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
