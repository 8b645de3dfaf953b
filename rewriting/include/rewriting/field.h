// A number of the eight-digit plan as people write it, found in one field of
// a file (a vCard TEL value, a CSV cell, a line of a list) and written again
// in the ten-digit plan in the field's own style.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace rewriting {

enum class Verdict {
    Unchanged, // not a number of the old plan
    Converted, // an old number, now a whole number of the new plan
    NoRule,    // an old number that no rule converts: left as it is
    NewPlan,   // a number already of the new plan: left as it is
};

// One number of a field: as it was written, and what it became in `out`.
struct Number
{
    // Made where it is kept: a copy read whole right after it is written
    // piecewise stalls.
    Number(Verdict verdict_, std::string_view written_, std::size_t at_, std::size_t size_)
        : verdict(verdict_)
        , written(written_)
        , at(at_)
        , size(size_)
    {
    }

    Verdict verdict;
    std::string_view written;
    std::size_t at, size;
};

// Appends to `out` the field as it is to be written: each old number in it
// converted, every other byte as it was. A field is a number, with blanks
// around it, and after it an extension (poste 12, x123), a note in brackets
// or another field after / ; or « ou ». A field of any other shape is not
// read. Only ASCII is read, so any encoding that keeps ASCII works.
// `numbers`, when given, receives each number found. Converted when any
// number is, else NoRule when one is, else NewPlan when one is.
Verdict rewriteField(
    std::string_view field, std::string &out, std::vector<Number> *numbers = nullptr);

// The field most files hold, eight digits alone or in four pairs with one
// separator, when it converts: its new number, in its style, written at `to`
// (at most quickSize bytes), and the number's length. 0 for any other field,
// to be read by rewriteField.
inline constexpr std::size_t quickSize = 16;
std::size_t convertQuickly(std::string_view field, char *to);

} // namespace rewriting
