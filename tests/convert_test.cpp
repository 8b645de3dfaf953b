// Checks of the conversion rules, grouped by rule, and properties over many inputs.
#include <conversion/convert.h>

#include "result_forms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>

using conversion::convert;

namespace {

struct Case
{
    std::u32string input;
    std::u32string expected;
};

void expectAll(const std::vector<Case> &cases)
{
    for (const Case &c : cases)
        EXPECT_EQ(convert(c.input), c.expected) << "input: " << conversion::utf8(c.input);
}

TEST(Convert, WorkedExamples)
{
    expectAll({
        {U"", U""},
        {U"4", U"4"},
        {U"45", U"05.45..."},
        {U"4512", U"05.45.12.."},
        {U"45678901", U"05.45.67.89.01"},
        {U"42123456", U"04.42.12.34.56"},
        {U"06123456", U"06.06.12.34.56"},
        {U"05123456", U"0800.12.34.56."},
        {U"19441234", U"00441234"},
        {U"36151234", U"36151234"},
        {U"12", U"12"},
        {U"123", U"??????????"},
        {U"11", U"3611"},
        {U"0511", U"3611"},
        {U"161", U"01...."},
        {U"16145678", U"01.45.67.8."},
        {U"16145678901", U"01.45.67.89.01"},
        {U"52123456", U"??????????"},
        {U"30", U"??????????"},
    });
}

// Every cell of the prefix grid, written here as it is published: "-" no rule,
// "*" the pair is dropped, "e" the empty prefix.
TEST(Convert, EveryPairFollowsThePrefixGrid)
{
    const std::array<std::array<const char *, 10>, 10> grid{{
        {"-", "-", "-", "-", "-", "0800*", "06", "06", "06", "06"},
        {"-", "-", "-", "-", "-", "-", "-", "-", "-", "00*"},
        {"03", "03", "03", "03", "03", "03", "03", "03", "03", "03"},
        {"-", "02", "02", "02", "02", "02", "e", "02", "02", "02"},
        {"02", "02", "04", "02", "03", "05", "05", "02", "02", "05"},
        {"04", "02", "-", "05", "02", "05", "05", "05", "05", "05"},
        {"03", "05", "05", "05", "-", "05", "04", "04", "04", "04"},
        {"04", "04", "04", "04", "04", "04", "04", "04", "04", "04"},
        {"03", "03", "03", "03", "03", "03", "03", "03", "03", "03"},
        {"04", "04", "04", "04", "04", "04", "02", "02", "02", "02"},
    }};
    int withRule = 0;
    for (char32_t first = 0; first < 10; ++first) {
        for (char32_t second = 0; second < 10; ++second) {
            const std::string cell = grid[first][second];
            const std::u32string pair{U'0' + first, U'0' + second};
            const std::u32string number = pair + U"234567";
            const std::u32string got = convert(number);
            SCOPED_TRACE(conversion::utf8(number));
            if (cell == "-") {
                EXPECT_EQ(got, U"??????????");
                continue;
            }
            ++withRule;
            if (cell == "e") {
                EXPECT_EQ(got, number);
            } else if (cell == "0800*") {
                EXPECT_EQ(got, U"0800.23.45.67.");
            } else if (cell == "00*") {
                EXPECT_EQ(got, U"00234567");
            } else {
                const std::u32string prefix{char32_t(cell[0]), char32_t(cell[1])};
                EXPECT_EQ(got, prefix + U"." + pair + U".23.45.67");
            }
        }
    }
    EXPECT_EQ(withRule, 83);
}

TEST(Convert, PairsThatDropThemselves)
{
    expectAll({
        {U"05", U"0800...."},
        {U"051", U"0800.1..."},
        {U"0512", U"12"},
        {U"0518", U"18"},
        {U"0519", U"0800.19..."},
        {U"0510", U"0800.10..."},
        {U"05161234", U"01.23.4.."},
        {U"0516", U"16"},
        {U"19", U"00"},
        {U"1915", U"15"},
        {U"1911", U"3611"},
        {U"19161234", U"01.23.4.."},
        {U"191", U"001"},
        {U"19123456789012", U"00123456789012"},
    });
}

TEST(Convert, ShortNumbers)
{
    expectAll({
        {U"11", U"3611"},
        {U"12", U"12"},
        {U"15", U"15"},
        {U"16", U"16"},
        {U"18", U"18"},
        {U"10", U"??????????"},
        {U"19", U"00"},
        {U"112", U"??????????"},
        {U"150", U"??????????"},
        {U"16111", U"3611"},
        {U"1611", U"01.1..."},
    });
}

TEST(Convert, PairThirtySixKeepsTheWholeNumber)
{
    expectAll({
        {U"36", U"36"},
        {U"3615", U"3615"},
        {U"361511112222", U"361511112222"},
        {U"36ab", U"36ab"},
    });
}

TEST(Convert, LeadingOneSixOneBecomesZeroOne)
{
    expectAll({
        {U"161", U"01...."},
        {U"1612", U"01.2..."},
        {U"16145678", U"01.45.67.8."},
        {U"16145678901", U"01.45.67.89.01"},
        {U"161161", U"01.16.1.."},
        {U"161x", U"01.x..."},
    });
}

TEST(Convert, PairsWithoutRuleStayUnknownWhileTyping)
{
    for (const std::u32string pair :
        {U"00", U"01", U"02", U"03", U"04", U"10", U"30", U"52", U"64"}) {
        std::u32string typed = pair;
        for (char32_t digit : std::u32string_view{U"234567"}) {
            EXPECT_EQ(convert(typed), U"??????????") << conversion::utf8(typed);
            typed += digit;
        }
    }
}

TEST(Convert, GroupingShowsAtMostEightDigits)
{
    expectAll({
        {U"42123456789", U"04.42.12.34.56"},
        {U"05123456789", U"0800.12.34.56.78"},
        {U"36123456789", U"36123456789"},
    });
}

TEST(Convert, OtherCharacters)
{
    expectAll({
        {U"45ab", U"05.45.ab.."},
        {U"4a", U"??????????"},
        {U"a4", U"??????????"},
        {U" 42", U"??????????"},
        {U"42 12", U"04.42. 1.2."},
        {U"45.12", U"05.45..1.2."},
        {U"é", U"é"},
        {U"45éè", U"05.45.éè.."},
        {U"ab", U"??????????"},
        {U"\u0664\u0665", U"??????????"}, // other scripts' digits are not digits
        {U"\uff14\uff15", U"??????????"},
        {std::u32string(U"4\0", 2), U"??????????"},
    });
}

TEST(Convert, CharactersBeyondTheBasicPlaneCountAsOne)
{
    expectAll({
        {U"😀", U"😀"},
        {U"45😀1234", U"05.45.😀1.23.4"},
        {U"45😀😀😀😀😀", U"05.45.😀😀.😀😀.😀"},
        {U"19😀", U"00😀"},
        {U"161😀😀😀😀😀😀😀😀😀", U"01.😀😀.😀😀.😀😀.😀😀"},
    });
}

TEST(Convert, LongPastedText)
{
    std::u32string pasted = U"42";
    for (int i = 0; i < 5000; ++i)
        pasted += U"0123456789 abc😀"[i % 15];
    EXPECT_EQ(convert(pasted), U"04.42.01.23.45");

    const std::u32string afterNineteen = U"19" + pasted;
    EXPECT_EQ(convert(afterNineteen), U"00" + pasted);
    EXPECT_EQ(convert(U"36" + pasted), U"36" + pasted);
    EXPECT_EQ(convert(U"x" + pasted), U"??????????");
}

// An eight-digit number whose pair has a two-digit prefix always gives the
// prefix and four pairs joined by dots, fourteen characters in all.
TEST(ConvertProperty, EightDigitsWithTwoDigitPrefix)
{
    std::mt19937 random(20261208);
    std::uniform_int_distribution<std::size_t> digit(0, 9);
    int checked = 0;
    for (int i = 0; i < 20000; ++i) {
        std::u32string number;
        for (int d = 0; d < 8; ++d)
            number += U"0123456789"[digit(random)];
        const std::u32string got = convert(number);
        const std::u32string_view pair = std::u32string_view(number).substr(0, 2);
        if (got == U"??????????" || pair == U"05" || pair == U"19" || pair == U"36"
            || pair == U"16")
            continue;
        ++checked;
        ASSERT_EQ(got.size(), 14u) << conversion::utf8(number);
        EXPECT_EQ(std::count(got.begin(), got.end(), U'.'), 4) << conversion::utf8(number);
        EXPECT_EQ(got.substr(3),
            number.substr(0, 2) + U"." + number.substr(2, 2) + U"." + number.substr(4, 2) + U"."
                + number.substr(6, 2));
    }
    EXPECT_GT(checked, 10000);
}

TEST(ConvertProperty, SingleCharacterIsShownUnchanged)
{
    for (char32_t c : std::u32string_view{U"0123456789 a.é\t\u00a0\uffff😀\U0010FFFF"})
        EXPECT_EQ(convert(std::u32string(1, c)), std::u32string(1, c));
}

TEST(ConvertProperty, EveryResultHasOneOfTheKnownForms)
{
    std::mt19937 random(7);
    const std::u32string alphabet = U"0123456789011916361.a é😀";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<std::size_t> length(0, 14);
    for (int i = 0; i < 50000; ++i) {
        std::u32string input;
        for (std::size_t n = length(random); n > 0; --n)
            input += alphabet[pick(random)];
        const std::u32string got = convert(input);
        ASSERT_TRUE(isKnownForm(input, got)) << conversion::utf8(input) << " -> " << conversion::utf8(got);

        // Appended to what a buffer holds, and, for ASCII text, byte for byte,
        // the same result.
        std::u32string appended = U"x";
        conversion::appendConversion(input, appended);
        ASSERT_EQ(appended, U"x" + got) << conversion::utf8(input);
        if (std::all_of(input.begin(), input.end(), [](char32_t c) { return c < 0x80; })) {
            std::string bytes = "x";
            conversion::appendConversion(std::string(input.begin(), input.end()), bytes);
            ASSERT_EQ(bytes, "x" + std::string(got.begin(), got.end())) << conversion::utf8(input);
        }
    }
}

} // namespace
