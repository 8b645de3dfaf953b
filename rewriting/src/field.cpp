// Reads how a number was written, asks the conversion for the new number and
// writes it back in the same style.
#include <rewriting/field.h>

#include "bytes.h"

#include <conversion/convert.h>

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>

namespace rewriting {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A number is short: anything longer is not one.
constexpr std::size_t mostDigits = 24;
constexpr std::size_t mostGroups = 12;
constexpr std::size_t longest = 64; // bytes, blanks and all

// A run of digits, or digits in brackets, as (1), (16) or (16-1): one group of
// a written number.
struct Group
{
    std::size_t start, end;   // in the number, brackets included
    std::size_t first, count; // its digits
    bool bracket;
};

// What a written number is made of: a leading +, its digits and groups.
// Left as they are made, up to the counts: a field is read often.
struct Written
{
    std::string_view core; // from the + or the first group to the end of the last
    bool plus = false;
    std::size_t digitCount = 0, groupCount = 0;
    std::array<char, mostDigits> digits;
    std::array<std::size_t, mostDigits> at; // each digit's place in the core
    std::array<Group, mostGroups> groups;

    std::string_view digitText(std::size_t from, std::size_t n = std::string_view::npos) const
    {
        return std::string_view(digits.data(), digitCount).substr(from, n);
    }
    std::string_view groupDigits(std::size_t k) const
    {
        return digitText(groups[k].first, groups[k].count);
    }
    // What stands between group k - 1 and group k.
    std::string_view separator(std::size_t k) const
    {
        return core.substr(groups[k - 1].end, groups[k].start - groups[k - 1].end);
    }
};

// The separator at the start of `text`: spaces, one of . - /, or one
// no-break space. 0 when there is none.
std::size_t separatorLength(std::string_view text)
{
    if (text.empty())
        return 0;
    if (text[0] == ' ') {
        std::size_t spaces = 1;
        while (spaces < text.size() && text[spaces] == ' ')
            ++spaces;
        return spaces;
    }
    if (text[0] == '.' || text[0] == '-' || text[0] == '/')
        return 1;
    return noBreakSpace(text);
}

// Reads the digits that start `text` into `w`, at `offset` in the core; the
// count of bytes read.
std::size_t readDigits(std::string_view text, std::size_t offset, Written &w)
{
    std::size_t i = 0;
    while (i < text.size() && isDigit(text[i])) {
        if (w.digitCount == mostDigits)
            return 0;
        w.digits[w.digitCount] = text[i];
        w.at[w.digitCount++] = offset + i++;
    }
    return i;
}

// The number that starts `text`: a + or none, then groups, each but the
// first after one separator or none. The length of the number, 0 if there
// is none.
std::size_t read(std::string_view text, Written &w)
{
    std::size_t i = text.starts_with('+') ? 1 : 0;
    w.plus = i == 1;
    for (;;) {
        Group group{i, i, w.digitCount, 0, false};
        if (i < text.size() && isDigit(text[i])) {
            const std::size_t read = readDigits(text.substr(i), i, w);
            if (!read)
                return 0;
            i += read;
        } else if (i + 1 < text.size() && text[i] == '(' && isDigit(text[i + 1])) {
            // Brackets hold digits, and at most one separator of their own.
            std::size_t j = i + 1, read = readDigits(text.substr(j), j, w);
            if (!read)
                return 0;
            j += read;
            if (const std::size_t between = separatorLength(text.substr(j));
                between && j + between < text.size() && isDigit(text[j + between])) {
                j += between;
                read = readDigits(text.substr(j), j, w);
                if (!read)
                    return 0;
                j += read;
            }
            if (j == text.size() || text[j] != ')') {
                w.digitCount = group.first; // no bracket: the number ends before it
                break;
            }
            i = j + 1;
            group.bracket = true;
        } else {
            break;
        }
        if (w.groupCount == mostGroups || i > longest)
            return 0;
        // Field by field: a whole copy of the group, just made, would stall.
        Group &kept = w.groups[w.groupCount++];
        kept.start = group.start;
        kept.end = i;
        kept.first = group.first;
        kept.count = w.digitCount - group.first;
        kept.bracket = group.bracket;
        const std::size_t next = i + separatorLength(text.substr(i));
        if (next < text.size() && (isDigit(text[next]) || text[next] == '('))
            i = next;
        else
            break;
    }
    if (w.groupCount == 0)
        return 0;
    w.core = text.substr(0, w.groups[w.groupCount - 1].end);
    return w.core.size();
}

// The same bytes: texts of a few bytes, too short to call for the comparison.
bool same(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// Spaces of any number are one kind of separator.
bool sameKind(std::string_view a, std::string_view b)
{
    return !a.empty() && !b.empty() && a[0] == b[0] && (a[0] == ' ' || same(a, b));
}

// The subscriber's eight digits, the last groups of the number, written as
// French numbers were: in four pairs (42 12 34 56), in two fours
// (4212 3456, as some firms printed them) or together (42123456), with one
// kind of separator. How many groups they take, 0 when they are written
// otherwise; and that separator.
std::size_t subscriber(const Written &w, std::string_view &separator)
{
    for (const std::size_t groups : {4u, 2u, 1u}) {
        const std::size_t digitsEach = groups == 4 ? 2 : groups == 2 ? 4 : 8; // no slow division
        if (w.groupCount < groups)
            continue;
        const std::size_t first = w.groupCount - groups;
        bool french = true;
        for (std::size_t k = first; french && k < w.groupCount; ++k) {
            french = !w.groups[k].bracket && w.groups[k].count == digitsEach
                && (k == first || sameKind(w.separator(k), w.separator(first + 1)));
        }
        if (french) {
            separator = groups > 1 ? w.separator(first + 1) : std::string_view();
            return groups;
        }
    }
    return 0;
}

// What may stand before the subscriber's digits, its groups written with a
// blank between them and brackets kept; and what it says.
struct Head
{
    std::string_view groups;
    bool paris;  // the zone of Paris, 1: the number is 16 1 and the eight digits
    bool abroad; // written for a call from abroad: kept, 33 and all
};

// clang-format off
constexpr std::array<Head, 20> heads{{
    // The number alone, as it was dialled within its zone.
    {"",             false, false},
    // Paris and its suburbs: the zone's 1 in brackets, as the directories
    // printed it.
    {"(1)",          true,  false},
    // The provinces dialled from Paris: 16 first, or in brackets when printed.
    {"16",           false, false},
    {"(16)",         false, false},
    // Paris dialled from the provinces: 16, then the zone's 1, each in its
    // usual brackets or none.
    {"16 1",         true,  false},
    {"161",          true,  false},
    {"16 (1)",       true,  false},
    {"(16) 1",       true,  false},
    {"(16) (1)",     true,  false},
    {"(161)",        true,  false}, // (16-1), (16 1)
    // From abroad: +33, or the international access, 00 now, 19 then, and 33.
    {"+33",          false, true},
    {"+33 (1)",      true,  true},
    {"00 33",        false, true},
    {"00 33 (1)",    true,  true},
    {"0033",         false, true},
    {"0033 (1)",     true,  true},
    {"19 33",        false, true},
    {"19 33 (1)",    true,  true},
    {"1933",         false, true},
    {"1933 (1)",     true,  true},
}};
// clang-format on

// The head's groups as the table writes them.
struct HeadText
{
    std::array<char, 64> bytes;
    std::size_t size = 0;
    void add(char c)
    {
        if (size < bytes.size())
            bytes[size++] = c;
    }
    bool operator==(std::string_view text) const { return same(text, {bytes.data(), size}); }
};

const Head *headOf(const Written &w, std::size_t groups)
{
    HeadText text;
    if (w.plus)
        text.add('+');
    for (std::size_t k = 0; k < groups; ++k) {
        if (k > 0)
            text.add(' ');
        if (w.groups[k].bracket)
            text.add('(');
        for (char c : w.groupDigits(k))
            text.add(c);
        if (w.groups[k].bracket)
            text.add(')');
    }
    for (const Head &head : heads) {
        if (text == head.groups)
            return &head;
    }
    return nullptr;
}

// What the rules made of a number: a whole number of the new plan is
// converted. `found` is made in place by its caller, never copied: read back
// whole right after it is written piecewise, it stalls.
Verdict verdictOf(const conversion::Found<char> &found)
{
    if (found.rule == conversion::Rule::NoRule)
        return Verdict::NoRule;
    return found.whole() ? Verdict::Converted : Verdict::Unchanged;
}

// The new number, written piece by piece where a number written by people,
// at most `longest` bytes, always fits.
struct Composed
{
    std::array<char, 2 * longest> bytes;
    std::size_t size = 0;
    void operator+=(std::string_view piece)
    {
        for (char c : piece) // a few bytes each: no call to copy them
            bytes[size++] = c;
    }
    std::string_view text() const { return {bytes.data(), size}; }
};

// The subscriber's digits, in pairs, each after the separator.
void writePairs(const conversion::Found<char> &found, std::string_view separator, Composed &out)
{
    for (std::size_t k = 0; k < found.digits.size(); k += 2) {
        out += separator;
        out += found.digits.substr(k, 2);
    }
}

// The old international access, 19, as the rules make it now (00).
std::string_view newAccess()
{
    static const conversion::Found<char> found = conversion::find("19");
    return found.prefix;
}

// The core up to `end`, with an old international access 19 that starts it
// written as the new one.
void withNewAccess(const Written &w, std::size_t end, Composed &out)
{
    const std::size_t start = out.size;
    out += w.core.substr(0, end);
    if (!w.plus && w.groupDigits(0).starts_with("19")) {
        out.bytes[start + w.at[0]] = newAccess()[0];
        out.bytes[start + w.at[1]] = newAccess()[1];
    }
}

// A number already of the new plan: 0 and nine digits, or the nine after
// +33 or 00 33, with the 0 in brackets or not.
bool ofNewPlan(const Written &w)
{
    std::string_view digits = w.digitText(0);
    if (w.plus && digits.starts_with("33"))
        digits.remove_prefix(2);
    else if (digits.starts_with("0033"))
        digits.remove_prefix(4);
    else
        return digits.size() == 10 && digits[0] == '0' && digits[1] != '0';
    if (digits.size() == 10 && digits[0] == '0')
        digits.remove_prefix(1); // +33 (0)1 45 67 89 01
    return digits.size() == 9 && digits[0] != '0';
}

Verdict rewriteCore(const Written &w, Composed &out)
{
    std::string_view separator;
    const std::size_t groups = subscriber(w, separator);
    const Head *head = groups ? headOf(w, w.groupCount - groups) : nullptr;
    if (head) {
        const std::size_t first = w.groups[w.groupCount - groups].first;
        const std::array<char, 3> paris{'1', '6', '1'};
        std::array<char, 11> number;
        std::size_t size = 0;
        if (head->paris) {
            for (char c : paris)
                number[size++] = c;
        }
        for (char c : w.digitText(first, 8))
            number[size++] = c;
        const conversion::Found<char> found = conversion::find({number.data(), size});
        const Verdict verdict = verdictOf(found);
        if (verdict != Verdict::Converted)
            return verdict;
        if (head->abroad) {
            // Kept as written to the 33 and what follows it; the national
            // number loses its 0, and Paris's (1) its brackets.
            const bool access = same(w.groupDigits(0), "00") || same(w.groupDigits(0), "19");
            const std::size_t headEnd = w.groups[access ? 1 : 0].end;
            const std::size_t nationalStart
                = w.groups[w.groupCount - groups - (head->paris ? 1 : 0)].start;
            withNewAccess(w, headEnd, out);
            out += w.core.substr(headEnd, nationalStart - headEnd);
            out += found.prefix.substr(1);
        } else {
            out += found.prefix;
        }
        writePairs(found, separator, out);
        return verdict;
    }
    if (ofNewPlan(w))
        return Verdict::NewPlan;
    // A call abroad through the old international access, 19, then a
    // country's number as that country writes it: the access alone is new.
    const std::string_view digits = w.digitText(0);
    if (!w.plus && w.groupCount > 1 && same(w.groupDigits(0), "19") && !w.groups[0].bracket
        && !w.separator(1).empty() && digits.size() >= 10 && digits.size() <= 17
        && digits[2] != '0') {
        withNewAccess(w, w.core.size(), out);
        return Verdict::Converted;
    }
    return Verdict::Unchanged;
}

// Eight digits alone, or in four pairs with one separator, as most fields
// hold them: their digits, and the separator (0 for none). False for any
// other field, which is read whole.
bool quickShape(std::string_view field, std::array<char, 8> &digits, char &separator)
{
    // The eight digits as one word, gathered in registers: written to memory
    // piecewise and read back whole, they would stall.
    std::uint64_t word;
    separator = 0;
    if (field.size() == 11) {
        separator = field[2];
        if ((separator != ' ' && separator != '.' && separator != '-' && separator != '/')
            || field[5] != separator || field[8] != separator)
            return false;
        const auto pair = [field](std::size_t k) {
            std::uint16_t two;
            std::memcpy(&two, field.data() + 3 * k, 2);
            const int shift = 16 * int(std::endian::native == std::endian::little ? k : 3 - k);
            return std::uint64_t(two) << shift;
        };
        word = pair(0) | pair(1) | pair(2) | pair(3);
    } else if (field.size() == 8) {
        std::memcpy(&word, field.data(), 8);
    } else {
        return false;
    }
    std::memcpy(digits.data(), &word, 8);
    // Each byte 0x30 to 0x39, which six more leaves under 0x40.
    constexpr std::uint64_t highs = 0xF0F0F0F0F0F0F0F0u, zeros = 0x3030303030303030u,
                            sixes = 0x0606060606060606u;
    return (word & highs) == zeros && ((word + sixes) & highs) == zeros;
}

// The new number of such a field, in its style, written at `to`: at most
// 0800, then three pairs each after a separator, 13 bytes.
std::size_t writeQuickly(const conversion::Found<char> &found, char separator, char *to)
{
    std::size_t size = 0;
    for (char c : found.prefix)
        to[size++] = c;
    for (std::size_t k = 0; k + 1 < found.digits.size(); k += 2) {
        if (separator)
            to[size++] = separator;
        to[size++] = found.digits[k];
        to[size++] = found.digits[k + 1];
    }
    return size;
}

// Such a field read once: false for any other field; else its verdict, and
// when it is converted, the new number written at `to` and its length.
bool readQuickly(std::string_view field, char *to, Verdict &verdict, std::size_t &size)
{
    std::array<char, 8> digits;
    char separator;
    if (!quickShape(field, digits, separator))
        return false;
    const conversion::Found<char> found = conversion::find({digits.data(), digits.size()});
    verdict = verdictOf(found);
    size = verdict == Verdict::Converted ? writeQuickly(found, separator, to) : 0;
    return true;
}

bool quickly(std::string_view field, std::string &out, Verdict &verdict)
{
    std::array<char, quickSize> made;
    std::size_t size;
    if (!readQuickly(field, made.data(), verdict, size))
        return false;
    if (size)
        out.append(made.data(), size);
    else
        out += field; // of the same shape, but not converted: as it came
    return true;
}

std::size_t blanksAt(std::string_view text)
{
    std::size_t i = 0;
    while (const std::size_t blank = blankAtStart(text.substr(i)))
        i += blank;
    return i;
}

// An extension after a number: poste 12, p. 12, x123, ext. 12; its length,
// or 0.
std::size_t extension(std::string_view text)
{
    for (std::string_view word : {"poste", "ext.", "ext", "extension", "p.", "p", "x", "#"}) {
        if (!sameLetters(text.substr(0, word.size()), word))
            continue;
        std::size_t i = word.size();
        i += blanksAt(text.substr(i));
        const std::size_t start = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        if (i > start && i - start <= 6)
            return i;
    }
    return 0;
}

// A joint between two numbers of one field: / ; or « ou » between blanks.
std::size_t joint(std::string_view text, bool blankBefore)
{
    if (text.starts_with('/') || text.starts_with(';'))
        return 1;
    if (blankBefore && sameLetters(text.substr(0, 2), "ou") && text.size() > 2
        && blankAtStart(text.substr(2)))
        return 2;
    return 0;
}

// What follows a number: nothing, an extension, a note in brackets, then
// perhaps a joint; the length of what is kept as it is, and where a field
// that follows the joint starts (npos: none). False for anything else.
bool tail(std::string_view text, std::size_t &kept, std::size_t &next)
{
    next = std::string_view::npos;
    std::size_t i = blanksAt(text);
    if (const std::size_t length = i < text.size() ? extension(text.substr(i)) : 0)
        i += length + blanksAt(text.substr(i + length));
    if (i < text.size() && text[i] == '(') {
        const std::size_t close = text.find(')', i);
        if (close == text.npos)
            return false;
        i = close + 1;
        i += blanksAt(text.substr(i));
    }
    if (const std::size_t length = i < text.size() ? joint(text.substr(i), i > 0) : 0) {
        kept = i + length;
        next = kept;
        return true;
    }
    kept = i;
    return i == text.size();
}

Verdict stronger(Verdict a, Verdict b)
{
    const auto rank = [](Verdict v) {
        return v == Verdict::Converted ? 3
            : v == Verdict::NoRule     ? 2
            : v == Verdict::NewPlan    ? 1
                                       : 0;
    };
    return rank(a) >= rank(b) ? a : b;
}

} // namespace

std::size_t convertQuickly(std::string_view field, char *to)
{
    Verdict verdict;
    std::size_t size;
    return readQuickly(field, to, verdict, size) ? size : 0;
}

Verdict rewriteField(std::string_view field, std::string &out, std::vector<Number> *numbers)
{
    const std::size_t start = out.size();
    if (Verdict verdict; quickly(field, out, verdict)) {
        if (numbers && verdict != Verdict::Unchanged)
            numbers->emplace_back(verdict, field, start, out.size() - start);
        return verdict;
    }
    const std::size_t lead = blanksAt(field);
    Written written;
    const std::size_t length = read(field.substr(lead), written);
    std::size_t kept = 0, next = 0;
    if (!length || !tail(field.substr(lead + length), kept, next)) {
        out += field;
        return Verdict::Unchanged;
    }
    Composed composed;
    const Verdict verdict = rewriteCore(written, composed);
    out += field.substr(0, lead);
    const std::size_t at = out.size();
    out += verdict == Verdict::Converted ? composed.text() : written.core;
    if (numbers && verdict != Verdict::Unchanged)
        numbers->emplace_back(verdict, written.core, at, out.size() - at);
    const std::size_t end = lead + length + kept;
    out += field.substr(lead + length, end - lead - length);
    if (next == std::string_view::npos) {
        out += field.substr(end);
        return verdict;
    }
    return stronger(verdict, rewriteField(field.substr(end), out, numbers));
}

} // namespace rewriting
