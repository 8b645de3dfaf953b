// The form's rules that do not depend on a toolkit, shared by its front-ends.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace form {

inline constexpr int backspaceCode = 8;
inline constexpr std::size_t typedLimit = 8;

// The key filter of the box: the code of a character typed while the box
// holds `length` characters, or 0 when the character is to be discarded.
int filterKey(int keyAscii, std::size_t length);

// Toolkits hold texts in UTF-16; the form counts and converts characters.
// An unpaired surrogate counts as one character and converts unchanged.
std::size_t characterCount(std::u16string_view text);
std::u16string convertText(std::u16string_view text);

} // namespace form
