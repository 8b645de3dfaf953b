// Conversion of an eight-digit telephone number into the ten-digit plan.
#pragma once

#include <string>
#include <string_view>

namespace conversion {

// Returns the ten-digit form of `input`, the text typed so far. Accepts any
// text and never fails; one char32_t is one character.
std::u32string convert(std::u32string_view input);

} // namespace conversion
