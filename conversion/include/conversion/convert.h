// Conversion of an eight-digit telephone number into the ten-digit plan.
#pragma once

#include <string>
#include <string_view>

namespace conversion {

// How the rules read a text: which of the result's forms applies.
enum class Rule {
    NoRule,  // the first two characters have no rule: ten question marks
    Grouped, // the prefix, then the digits in four pieces after dots
    Joined,  // the prefix, then the digits as they stand (kept as typed, 00...)
    Minitel, // the short number 11, which becomes 3611
};

// What the rules found in a text, as data: the window's text and a file's
// own style are both written from it. `digits` lies in the text read.
template <typename Char> struct Found
{
    Rule rule = Rule::Joined;
    std::string_view prefix; // "", "00", "01" to "06" or "0800"
    std::basic_string_view<Char> digits;

    // A whole number of the new plan: a prefix of two digits and eight
    // digits, or the free-phone 0800 and six.
    bool whole() const
    {
        const std::size_t wanted = prefix.size() == 2 ? 8 : prefix == "0800" ? 6 : 0;
        if (rule != Rule::Grouped || digits.size() != wanted)
            return false;
        for (Char c : digits) {
            if (c < Char('0') || c > Char('9'))
                return false;
        }
        return true;
    }
};

// Reads `input`, the text typed so far: any text, never a failure. One
// char32_t is one character; the second takes ASCII text, a byte each.
Found<char32_t> find(std::u32string_view input);
Found<char> find(std::string_view asciiInput);

// The window's text for what was found, appended to `out`.
void appendShown(const Found<char32_t> &found, std::u32string &out);
void appendShown(const Found<char> &found, std::string &out);

// The window's text for `input`, the two steps at once.
std::u32string convert(std::u32string_view input);
void appendConversion(std::u32string_view input, std::u32string &out);
void appendConversion(std::string_view asciiInput, std::string &out);

} // namespace conversion
