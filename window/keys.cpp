// Turns key events into the character codes of the form's key filter.
#include "keys.h"

#include <form/form.h>

#include <QKeyEvent>

// Decided on the key and its modifiers where X11 and synthesised events
// disagree on the text: X11 gives Delete the text "\x7f", and Ctrl+letter its
// control character, where synthesised events give none or the bare letter.
int typedCode(const QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
        return form::backspaceCode;
    case Qt::Key_Delete:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return -1;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return '\r';
    case Qt::Key_Escape:
        return 0x1b;
    default:
        break;
    }
    if (event->modifiers() & Qt::ControlModifier && event->key() >= Qt::Key_A
        && event->key() <= Qt::Key_Z)
        return event->key() - Qt::Key_A + 1;
    const QString text = event->text();
    if (text.isEmpty())
        return -1;
    return int(text.toUcs4().constFirst());
}

std::optional<form::Edit> clipboardShortcut(const QKeyEvent *event)
{
    using form::Key;
    static const std::pair<int, Key> keys[] = {{Qt::Key_A, Key::A}, {Qt::Key_C, Key::C},
        {Qt::Key_V, Key::V}, {Qt::Key_X, Key::X}, {Qt::Key_Y, Key::Y}, {Qt::Key_Z, Key::Z},
        {Qt::Key_Insert, Key::Insert}, {Qt::Key_Delete, Key::Delete}};
    const Qt::KeyboardModifiers held = event->modifiers();
    for (const auto &[qtKey, key] : keys) {
        if (event->key() == qtKey)
            return form::shortcut(key, held & Qt::ControlModifier, held & Qt::ShiftModifier,
                held & (Qt::AltModifier | Qt::MetaModifier));
    }
    return std::nullopt;
}

std::size_t characterCount(const QString &text)
{
    return form::characterCount(
        {reinterpret_cast<const char16_t *>(text.utf16()), size_t(text.size())});
}
