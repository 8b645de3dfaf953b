// What a key press types, as the form's key filter sees it.
#pragma once

#include <QString>

#include <cstddef>

class QKeyEvent;

// The character code a key press types, or -1 for a key that types nothing
// (arrows, Home, End, Delete, function keys) and so is never filtered.
int typedCode(const QKeyEvent *event);

// Paste, copy, cut, undo, redo and select-all act on the box itself.
bool isClipboardShortcut(const QKeyEvent *event);

// Lengths count characters, not UTF-16 units.
std::size_t characterCount(const QString &text);
