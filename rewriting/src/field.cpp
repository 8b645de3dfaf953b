// Reads how a number was written, asks the conversion for the new number and
// writes it back in the same style.
#include <rewriting/field.h>

#include <conversion/convert.h>

#include "bytes.h"

#include <array>

namespace rewriting {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A number is short: anything longer is not one.
constexpr std::size_t mostDigits = 24;
constexpr std::size_t longest = 64;
constexpr std::size_t none = std::size_t(-1);

struct Separator
{
    std::size_t digitsBefore, at, length;
};

// What a written number is made of: its digits and where they stand, a
// leading +, the (1) of a Paris number, and the separators between groups.
struct Written
{
    std::string_view core;
    bool plus = false;
    std::size_t count = 0;
    // Left as they are made, up to the counts: a field is read often.
    std::array<char, mostDigits> digits;
    std::array<std::size_t, mostDigits> at; // each digit's place in the core
    std::size_t paren = none;               // the digit that (1) holds
    std::size_t parenAt = 0;                // where its ( stands
    std::size_t separatorCount = 0;
    std::array<Separator, mostDigits> separators;

    std::string_view separator(std::size_t k) const
    {
        return core.substr(separators[k].at, separators[k].length);
    }

    std::string_view digitText(std::size_t from, std::size_t n = none) const
    {
        return std::string_view(digits.data(), count).substr(from, n);
    }
};

// Groups of digits, each but the first after one separator or none (spaces,
// one of . - /, or one no-break space), a + at the start, and "(1)" once.
// False for anything else.
bool read(std::string_view core, Written &w)
{
    if (core.size() > longest)
        return false;
    w.core = core;
    std::size_t i = 0, count = 0, separators = 0;
    if (core.starts_with('+')) {
        w.plus = true;
        i = 1;
    }
    bool afterSeparator = true; // a group must come next
    while (i < core.size() && count < mostDigits) {
        const char c = core[i];
        std::size_t length = 0;
        if (isDigit(c)) {
            w.digits[count] = c;
            w.at[count++] = i++;
            afterSeparator = false;
            continue;
        }
        if (c == '(' && w.paren == none && core.substr(i, 3) == "(1)") {
            w.paren = count;
            w.parenAt = i;
            w.digits[count] = '1';
            w.at[count++] = i + 1;
            i += 3;
            afterSeparator = false;
            continue;
        }
        if (c == ' ') {
            for (length = 1; i + length < core.size() && core[i + length] == ' ';)
                ++length;
        } else if (c == '.' || c == '-' || c == '/') {
            length = 1;
        } else {
            length = noBreakSpace(core.substr(i));
        }
        if (!length || afterSeparator || separators == mostDigits)
            return false;
        w.separators[separators++] = {count, i, length};
        i += length;
        afterSeparator = true;
    }
    w.count = count;
    w.separatorCount = separators;
    return i == core.size() && count > 0 && !afterSeparator;
}

// Spaces of any number are one kind of separator.
bool sameKind(std::string_view a, std::string_view b)
{
    return a[0] == b[0] && (a[0] == ' ' || a == b);
}

// The separator written between the subscriber's eight digits, the last
// eight; empty when they are written together. False when they mix kinds.
bool subscriberSeparator(const Written &w, std::string_view &separator)
{
    separator = {};
    for (std::size_t k = 0; k < w.separatorCount; ++k) {
        const Separator &s = w.separators[k];
        if (s.digitsBefore <= w.count - 8 || s.digitsBefore >= w.count)
            continue;
        if (!separator.empty() && !sameKind(separator, w.separator(k)))
            return false;
        if (separator.empty())
            separator = w.separator(k);
    }
    return true;
}

// Digits for the rules, in place: a field is read often.
struct Digits
{
    std::array<char, mostDigits + 2> bytes;
    std::size_t size = 0;
    Digits() = default;
    Digits(std::string_view first, std::string_view second = {})
    {
        for (char c : first)
            bytes[size++] = c;
        for (char c : second)
            bytes[size++] = c;
    }
    operator std::string_view() const { return {bytes.data(), size}; }
};

// The digits the conversion takes for the national number written from
// digit `from` on: eight digits, or (1) and eight, a Paris number, which the
// rule of 161 converts.
bool national(const Written &w, std::size_t from, Digits &number)
{
    const std::size_t n = w.count - from;
    if (n == 8 && w.paren == none)
        number = w.digitText(from);
    else if (n == 9 && w.paren == from)
        number = {"16", w.digitText(from)};
    else
        return false;
    return true;
}

// What the rules make of `number`: a whole number of the new plan is
// converted; its parts are in `found`, which reads into `number`.
Verdict converted(std::string_view number, conversion::Found<char> &found)
{
    found = conversion::find(number);
    if (found.rule == conversion::Rule::NoRule)
        return Verdict::NoRule;
    return found.whole() ? Verdict::Converted : Verdict::Unchanged;
}

// The new number, written piece by piece where a number written by people,
// at most `longest` bytes, always fits.
struct Composed
{
    std::array<char, 8 * longest> bytes;
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

// The core with the two digits of the old international access, 19, made
// the new one, 00; the rest as written.
void withNewAccess(const Written &w, std::size_t end, Composed &out)
{
    const std::size_t start = out.size;
    out += w.core.substr(0, end);
    if (w.digitText(0, 2) == "19") {
        out.bytes[start + w.at[0]] = '0';
        out.bytes[start + w.at[1]] = '0';
    }
}

// A French number written for a call from abroad: +33, 00 33 or 19 33, then
// the national number, which loses its 0 in the new plan.
Verdict international(const Written &w, std::size_t head, Composed &out)
{
    Digits number;
    std::string_view separator;
    conversion::Found<char> found;
    if (w.count - head == 9 && w.paren == none && w.digits[head] != '0')
        return Verdict::NewPlan; // 0 and nine digits, the 0 dropped
    if (!national(w, head, number) || !subscriberSeparator(w, separator))
        return Verdict::Unchanged;
    const Verdict verdict = converted(number, found);
    if (verdict != Verdict::Converted)
        return verdict;
    const std::size_t headEnd = w.at[head - 1] + 1;
    const std::size_t nationalStart = w.paren == head ? w.parenAt : w.at[head];
    withNewAccess(w, headEnd, out);
    out += w.core.substr(headEnd, nationalStart - headEnd);
    out += found.prefix.substr(1);
    writePairs(found, separator, out);
    return verdict;
}

Verdict rewriteCore(const Written &w, Composed &out)
{
    const std::string_view digits = w.digitText(0);
    if (w.plus)
        return digits.starts_with("33") ? international(w, 2, out) : Verdict::Unchanged;
    if (digits.starts_with("0033") || digits.starts_with("1933"))
        return international(w, 4, out);

    Digits number;
    const std::size_t n = w.count;
    if (national(w, 0, number)) {
    } else if (n == 11 && digits.starts_with("161") && (w.paren == none || w.paren == 2)) {
        number = Digits(digits); // Paris dialled from the provinces: 16, then (1)
    } else if (n == 10 && digits.starts_with("16") && w.paren == none) {
        number = Digits(digits.substr(2)); // the provinces dialled from Paris
    } else if (n >= 10 && n <= 17 && digits.starts_with("19") && digits[2] != '0'
        && w.paren == none) {
        // An international call with the old access code, written as it was.
        const conversion::Found<char> found = conversion::find(digits);
        if (found.rule != conversion::Rule::Joined || found.prefix != "00")
            return Verdict::Unchanged;
        withNewAccess(w, w.core.size(), out);
        return Verdict::Converted;
    } else if (n == 10 && digits[0] == '0' && digits[1] != '0' && w.paren == none) {
        return Verdict::NewPlan;
    } else {
        return Verdict::Unchanged;
    }

    std::string_view separator;
    conversion::Found<char> found;
    if (!subscriberSeparator(w, separator))
        return Verdict::Unchanged;
    const Verdict verdict = converted(number, found);
    if (verdict == Verdict::Converted) {
        out += found.prefix;
        writePairs(found, separator, out);
    }
    return verdict;
}

// Eight digits alone, or in four pairs with one separator, as most fields
// hold them: read at once. False for any other field, which is read whole.
bool quickly(std::string_view field, std::string &out, Verdict &verdict)
{
    std::array<char, 8> digits;
    char separator = 0;
    if (field.size() == 11) {
        separator = field[2];
        if ((separator != ' ' && separator != '.' && separator != '-' && separator != '/')
            || field[5] != separator || field[8] != separator)
            return false;
    } else if (field.size() != 8) {
        return false;
    }
    const std::size_t step = separator ? 3 : 2;
    for (std::size_t pair = 0; pair < 4; ++pair) {
        for (std::size_t k = 0; k < 2; ++k) {
            const char c = field[pair * step + k];
            if (!isDigit(c))
                return false;
            digits[2 * pair + k] = c;
        }
    }
    conversion::Found<char> found;
    verdict = converted({digits.data(), digits.size()}, found);
    if (verdict != Verdict::Converted) {
        out += field;
        return true;
    }
    Composed composed;
    composed += found.prefix;
    writePairs(found, {&field[2], separator ? 1u : 0u}, composed);
    out += composed.text();
    return true;
}

} // namespace

Verdict rewriteField(std::string_view field, std::string &out)
{
    if (Verdict verdict; quickly(field, out, verdict))
        return verdict;
    const std::string_view core = trimmed(field);
    const std::size_t lead = std::size_t(core.data() - field.data());
    const std::size_t end = lead + core.size();
    Written written;
    Composed composed;
    const Verdict verdict
        = read(core, written) ? rewriteCore(written, composed) : Verdict::Unchanged;
    if (verdict != Verdict::Converted) {
        out += field;
        return verdict;
    }
    out.append(field.substr(0, lead)).append(composed.text()).append(field.substr(end));
    return verdict;
}

} // namespace rewriting
