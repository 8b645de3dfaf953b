// Conversion of an eight-digit telephone number into the ten-digit plan.
#pragma once

#include <string>
#include <string_view>

namespace conversion {

// Returns the ten-digit form of `input`, the text typed so far. Accepts any
// text and never fails; one char32_t is one character.
std::u32string convert(std::u32string_view input);

// The same, appended to `out`: for many texts into one buffer. The second
// takes text of ASCII characters only, one byte each, as lists of numbers
// mostly are.
void appendConversion(std::u32string_view input, std::u32string &out);
void appendConversion(std::string_view asciiInput, std::string &out);

} // namespace conversion
