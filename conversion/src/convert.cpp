// The prefix table and the rules that turn an old number into a new one.
#include <conversion/convert.h>

#include <algorithm>
#include <array>
#include <string>

namespace conversion {
namespace {

struct Prefix
{
    std::string_view text;
    bool known = true;      // false: the pair has no rule
    bool dropsPair = false; // the pair itself is replaced by the prefix
};

constexpr Prefix no{"", false};
constexpr Prefix empty{""};
constexpr Prefix P00x{"00", true, true};
constexpr Prefix P0800x{"0800", true, true};
constexpr Prefix P02{"02"};
constexpr Prefix P03{"03"};
constexpr Prefix P04{"04"};
constexpr Prefix P05{"05"};
constexpr Prefix P06{"06"};

// Rows: first digit of the number; columns: second digit.
// no: the pair has no rule; x after a prefix: the pair itself is dropped;
// empty: no prefix, the number stays whole (36).
// clang-format off
constexpr std::array<std::array<Prefix, 10>, 10> prefixTable{{
    //     0       1       2       3       4       5       6       7       8       9
    {{no,     no,     no,     no,     no,     P0800x, P06,    P06,    P06,    P06}}, // 0
    {{no,     no,     no,     no,     no,     no,     no,     no,     no,     P00x}}, // 1
    {{P03,    P03,    P03,    P03,    P03,    P03,    P03,    P03,    P03,    P03}}, // 2
    {{no,     P02,    P02,    P02,    P02,    P02,    empty,  P02,    P02,    P02}}, // 3
    {{P02,    P02,    P04,    P02,    P03,    P05,    P05,    P02,    P02,    P05}}, // 4
    {{P04,    P02,    no,     P05,    P02,    P05,    P05,    P05,    P05,    P05}}, // 5
    {{P03,    P05,    P05,    P05,    no,     P05,    P04,    P04,    P04,    P04}}, // 6
    {{P04,    P04,    P04,    P04,    P04,    P04,    P04,    P04,    P04,    P04}}, // 7
    {{P03,    P03,    P03,    P03,    P03,    P03,    P03,    P03,    P03,    P03}}, // 8
    {{P04,    P04,    P04,    P04,    P04,    P04,    P02,    P02,    P02,    P02}}, // 9
}};
// clang-format on

constexpr std::string_view noRule = "??";

// Texts are of characters (char32_t), or of ASCII characters one byte each;
// every fixed text is ASCII.
template <typename Char> bool isDigit(Char c)
{
    return c >= Char('0') && c <= Char('9');
}

template <typename Char> bool is(std::basic_string_view<Char> text, std::string_view fixed)
{
    return std::equal(text.begin(), text.end(), fixed.begin(), fixed.end(),
        [](Char c, char f) { return c == Char(f); });
}

// The short service numbers, kept as typed.
template <typename Char> bool isShortNumber(std::basic_string_view<Char> digits)
{
    return digits.size() == 2 && digits[0] == Char('1') && digits[1] >= Char('1')
        && digits[1] <= Char('8');
}

template <typename Char> Found<Char> read(std::basic_string_view<Char> input)
{
    Found<Char> found{Rule::Joined, {}, input};
    std::basic_string_view<Char> &digits = found.digits;
    std::string_view prefix;

    if (input.size() > 1) {
        prefix = noRule;
        if (isDigit(input[0]) && isDigit(input[1])) {
            const Prefix &entry
                = prefixTable[std::size_t(input[0] - Char('0'))][std::size_t(input[1] - Char('0'))];
            if (entry.known) {
                prefix = entry.text;
                if (entry.dropsPair)
                    digits.remove_prefix(2);
            }
        }
        if (isShortNumber(digits))
            prefix = {};
    }

    if (digits.size() > 2 && is(digits.substr(0, 3), "161")) {
        prefix = "01";
        digits.remove_prefix(3);
    }

    // Later rules win over earlier ones, so they are tested first.
    if (prefix == noRule)
        found.rule = Rule::NoRule;
    else if (is(digits, "11"))
        found.rule = Rule::Minitel;
    else if (!prefix.empty() && prefix != "00")
        found.rule = Rule::Grouped;
    found.prefix = found.rule == Rule::NoRule ? std::string_view() : prefix;
    return found;
}

template <typename Char> void show(const Found<Char> &found, std::basic_string<Char> &out)
{
    // Every text appended is composed first, at most 16 characters, and
    // appended at once: appending a range character by character is slower.
    std::array<Char, 16> composed;
    const auto fixed = [&](std::string_view text) {
        const Char *end = std::copy(text.begin(), text.end(), composed.data());
        out.append(composed.data(), std::size_t(end - composed.data()));
    };
    switch (found.rule) {
    case Rule::NoRule:
        fixed("??????????");
        break;
    case Rule::Minitel:
        fixed("3611");
        break;
    case Rule::Joined:
        fixed(found.prefix);
        out.append(found.digits);
        break;
    case Rule::Grouped: {
        // The prefix, then four pieces of up to two characters, each after a dot.
        Char *at = composed.data();
        for (char c : found.prefix) // two or four: no call to copy them
            *at++ = Char(c);
        for (std::size_t k = 0; k < 8; ++k) {
            if (k % 2 == 0)
                *at++ = Char('.');
            if (k < found.digits.size())
                *at++ = found.digits[k];
        }
        out.append(composed.data(), std::size_t(at - composed.data()));
        break;
    }
    }
}

} // namespace

Found<char32_t> find(std::u32string_view input)
{
    return read(input);
}

Found<char> find(std::string_view asciiInput)
{
    return read(asciiInput);
}

void appendShown(const Found<char32_t> &found, std::u32string &out)
{
    show(found, out);
}

void appendShown(const Found<char> &found, std::string &out)
{
    show(found, out);
}

std::u32string convert(std::u32string_view input)
{
    std::u32string result;
    show(read(input), result);
    return result;
}

void appendConversion(std::u32string_view input, std::u32string &out)
{
    show(read(input), out);
}

void appendConversion(std::string_view asciiInput, std::string &out)
{
    show(read(asciiInput), out);
}

} // namespace conversion
