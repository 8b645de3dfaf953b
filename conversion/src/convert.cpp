// The prefix table and the rules that turn an old number into a new one.
#include <conversion/convert.h>

#include <algorithm>
#include <array>

namespace conversion {
namespace {

struct Prefix
{
    std::u32string_view text;
    bool known = true;      // false: the pair has no rule
    bool dropsPair = false; // the pair itself is replaced by the prefix
};

constexpr Prefix no{U"", false};
constexpr Prefix empty{U""};
constexpr Prefix P00x{U"00", true, true};
constexpr Prefix P0800x{U"0800", true, true};
constexpr Prefix P02{U"02"};
constexpr Prefix P03{U"03"};
constexpr Prefix P04{U"04"};
constexpr Prefix P05{U"05"};
constexpr Prefix P06{U"06"};

// Rows: first digit of the number; columns: second digit.
// no: the pair has no rule; x after a prefix: the pair itself is dropped.
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

constexpr std::u32string_view noRule = U"??";

bool isDigit(char32_t c)
{
    return c >= U'0' && c <= U'9';
}

// The short service numbers, kept as typed.
bool isShortNumber(std::u32string_view digits)
{
    return digits.size() == 2 && digits[0] == U'1' && digits[1] >= U'1' && digits[1] <= U'8';
}

// Up to two characters from `pos`; empty past the end.
std::u32string_view piece(std::u32string_view digits, std::size_t pos)
{
    return pos < digits.size() ? digits.substr(pos, 2) : std::u32string_view{};
}

} // namespace

std::u32string convert(std::u32string_view input)
{
    std::u32string_view digits = input;
    std::u32string_view prefix;

    if (input.size() > 1) {
        prefix = noRule;
        if (isDigit(input[0]) && isDigit(input[1])) {
            const Prefix &entry = prefixTable[input[0] - U'0'][input[1] - U'0'];
            if (entry.known) {
                prefix = entry.text;
                if (entry.dropsPair)
                    digits.remove_prefix(2);
            }
        }
        if (isShortNumber(digits))
            prefix = {};
        // The pair 36 keeps the whole number; its table entry is already empty.
    }

    if (digits.size() > 2 && digits.starts_with(U"161")) {
        prefix = U"01";
        digits.remove_prefix(3);
    }

    // Later rules win over earlier ones, so they are tested first.
    if (prefix == noRule)
        return U"??????????";
    if (digits == U"11")
        return U"3611";
    if (prefix.empty() || prefix == U"00") {
        std::u32string result;
        result.reserve(prefix.size() + digits.size());
        result.append(prefix).append(digits);
        return result;
    }

    std::u32string result;
    result.reserve(prefix.size() + 4 + std::min<std::size_t>(digits.size(), 8));
    result.append(prefix);
    for (std::size_t pos = 0; pos < 8; pos += 2)
        result.append(1, U'.').append(piece(digits, pos));
    return result;
}

} // namespace conversion
