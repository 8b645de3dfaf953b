// What a key press types, as the form's key filter sees it.
#pragma once

#include <form/declaration.h>

#include <QString>

#include <cstddef>
#include <optional>

class QKeyEvent;

// The character code a key press types, or -1 for a key that types nothing
// (arrows, Home, End, Delete, function keys) and so is never filtered.
int typedCode(const QKeyEvent *event);

// The clipboard shortcut a key press is, if any: it acts on the box itself.
std::optional<form::Edit> clipboardShortcut(const QKeyEvent *event);

// Lengths count characters, not UTF-16 units.
std::size_t characterCount(const QString &text);
