// What the readers of every kind of file tell apart in bytes: blanks, letters
// of any case, line ends; ASCII only, so that any encoding that keeps ASCII
// reads alike.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace rewriting {

inline constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";

// The blanks around and between the groups of a number: a space, a tab, and
// the no-break spaces (U+00A0 and U+202F in UTF-8, 0xA0 alone in Latin-1 and
// Windows-1252), the last three what spreadsheets and phones put there.
inline constexpr std::array<std::string_view, 5> blanks{
    " ", "\t", "\xC2\xA0", "\xE2\x80\xAF", "\xA0"};

// The length of the no-break space that starts `text`, or 0.
inline std::size_t noBreakSpace(std::string_view text)
{
    if (text.empty() || static_cast<unsigned char>(text[0]) < 0xA0)
        return 0; // as most text goes
    for (std::string_view blank : std::span(blanks).subspan(2)) {
        if (text.starts_with(blank))
            return blank.size();
    }
    return 0;
}

// The blank that starts, or ends, `text`: its length, or 0.
inline std::size_t blankAtStart(std::string_view text)
{
    if (text.empty() || (text[0] > ' ' && static_cast<unsigned char>(text[0]) < 0x80))
        return 0;
    return text[0] == ' ' || text[0] == '\t' ? 1 : noBreakSpace(text);
}

inline std::size_t blankAtEnd(std::string_view text)
{
    if (text.empty() || (text.back() > ' ' && static_cast<unsigned char>(text.back()) < 0x80))
        return 0;
    for (std::string_view blank : blanks) {
        if (text.ends_with(blank))
            return blank.size();
    }
    return 0;
}

// The text without the blanks around it.
inline std::string_view trimmed(std::string_view text)
{
    while (const std::size_t blank = blankAtStart(text))
        text.remove_prefix(blank);
    while (const std::size_t blank = blankAtEnd(text))
        text.remove_suffix(blank);
    return text;
}

// A line without its end: LF, CRLF, CR CR LF or CR.
inline std::string_view withoutLineEnd(std::string_view line)
{
    if (line.ends_with('\n'))
        line.remove_suffix(1);
    while (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

inline char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// The same letters, whatever their case.
inline bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return lower(x) == lower(y);
    });
}

inline bool containsLetters(std::string_view text, std::string_view part)
{
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (sameLetters(text.substr(i, part.size()), part))
            return true;
    }
    return false;
}

// Where the first of two bytes stands from `from` on, or the end: eight
// bytes at a time, as most of a file is bytes to pass over.
inline std::size_t firstOf(std::string_view text, std::size_t from, char a, char b)
{
    std::size_t i = from;
    if constexpr (std::endian::native == std::endian::little) {
        constexpr std::uint64_t ones = 0x0101010101010101u, highs = 0x8080808080808080u;
        const std::uint64_t as = ones * static_cast<unsigned char>(a);
        const std::uint64_t bs = ones * static_cast<unsigned char>(b);
        // The high bit of each byte that is zero; none above the first is
        // wrong, and the first is all that is read.
        const auto zeros = [](std::uint64_t v) { return (v - ones) & ~v & highs; };
        for (; i + 8 <= text.size(); i += 8) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, 8);
            if (const std::uint64_t found = zeros(word ^ as) | zeros(word ^ bs))
                return i + std::size_t(std::countr_zero(found) / 8);
        }
    }
    for (; i < text.size(); ++i) {
        if (text[i] == a || text[i] == b)
            return i;
    }
    return text.size();
}

#if defined(__SSE2__)
// Where a CSV's delimiters, quotes and line ends stand, found 64 bytes at a
// time and kept as bits: a run of cells is passed over in a few steps.
class CsvMarks
{
public:
    CsvMarks(std::string_view text_, char delimiter, char lineEnd)
        : text(text_)
        , delimiters(_mm_set1_epi8(delimiter))
        , quotes(_mm_set1_epi8('"'))
        , ends(_mm_set1_epi8(lineEnd))
    {
    }

    // Passes `count` delimiters from `from` at once: where the cell after the
    // last of them starts. npos when a line end, or a quote that starts a
    // cell, stands among them, or the text ends first: such cells are read
    // one by one.
    std::size_t pastDelimiters(std::size_t from, std::size_t count)
    {
        bool afterDelimiter = false; // the block before ended with one
        for (;;) {
            const std::size_t at = from & ~std::size_t(63);
            if (at + 64 > text.size())
                return std::string_view::npos;
            if (at != block)
                mark(at);
            const std::uint64_t live = ~std::uint64_t(0) << (from - at);
            const std::uint64_t passed = marks[0] & live;
            const std::uint64_t stops
                = (marks[2] | (marks[1] & (passed << 1 | std::uint64_t(afterDelimiter)))) & live;
            // The count-th delimiter, or as many as the block holds (no
            // call to count bits: the processor may have no instruction for it).
            std::uint64_t rest = passed;
            std::size_t found = 1;
            for (; found < count && rest; ++found)
                rest &= rest - 1;
            if (rest) {
                const auto last = std::size_t(std::countr_zero(rest));
                const std::uint64_t upToLast
                    = last == 63 ? ~std::uint64_t(0) : (std::uint64_t(2) << last) - 1;
                return stops & upToLast ? std::string_view::npos : at + last + 1;
            }
            if (stops)
                return std::string_view::npos;
            count -= found - 1;
            afterDelimiter = passed >> 63;
            from = at + 64;
        }
    }

    // From a place outside quotes: where the row ends, past its line end,
    // with `lines` counting the line ends in quotes on the way. npos when the
    // text ends first.
    std::size_t pastRowEnd(std::size_t from, std::size_t &lines)
    {
        bool inQuotes = false;
        std::size_t quotedLines = 0;
        for (;; from = (from & ~std::size_t(63)) + 64) {
            const std::size_t at = from & ~std::size_t(63);
            if (at + 64 > text.size())
                return std::string_view::npos;
            if (at != block)
                mark(at);
            for (std::uint64_t found = (marks[1] | marks[2]) & ~std::uint64_t(0) << (from - at);
                 found; found &= found - 1) {
                const auto bit = std::size_t(std::countr_zero(found));
                if (marks[1] >> bit & 1) {
                    inQuotes = !inQuotes;
                } else if (!inQuotes) {
                    lines += quotedLines;
                    return at + bit + 1;
                } else {
                    ++quotedLines;
                }
            }
        }
    }

private:
    void mark(std::size_t at)
    {
        block = at;
        marks = {};
        for (int part = 0; part < 4; ++part) {
            const __m128i sixteen
                = _mm_loadu_si128(reinterpret_cast<const __m128i *>(text.data() + at + 16 * part));
            const auto bits = [&](__m128i pattern) {
                return std::uint64_t(static_cast<std::uint16_t>(
                           _mm_movemask_epi8(_mm_cmpeq_epi8(sixteen, pattern))))
                    << (16 * part);
            };
            marks[0] |= bits(delimiters);
            marks[1] |= bits(quotes);
            marks[2] |= bits(ends);
        }
    }

    std::string_view text;
    __m128i delimiters, quotes, ends;
    std::size_t block = std::string_view::npos;
    std::array<std::uint64_t, 3> marks{}; // delimiters, quotes, line ends
};
#endif

} // namespace rewriting
