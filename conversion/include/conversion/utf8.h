// UTF-8 both ways, for every part of the program that reads or writes bytes:
// texts of characters, as the rules read them, in the bytes of files.
#pragma once

#include <string>
#include <string_view>

namespace conversion {

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
bool decodeUtf8(std::string_view bytes, std::u32string &characters);

// Any code point, an unpaired surrogate included, in the bytes of its length.
void appendUtf8(std::u32string_view characters, std::string &bytes);
std::string utf8(std::u32string_view characters);

// Toolkits and Windows hold texts in UTF-16; a surrogate pair is one
// character, an unpaired surrogate one too.
std::u32string characters(std::u16string_view text);
std::string utf8(std::u16string_view text);
std::u16string utf16(std::u32string_view characters);

} // namespace conversion
