// A number of the eight-digit plan as people write it, found in one field of
// a file (a vCard TEL value, a CSV cell, a line of a list) and written again
// in the ten-digit plan in the field's own style.
#pragma once

#include <string>
#include <string_view>

namespace rewriting {

enum class Verdict {
    Unchanged, // not a number of the old plan
    Converted, // an old number, now a whole number of the new plan
    NoRule,    // an old number that no rule converts: left as it is
    NewPlan,   // a number already of the new plan: left as it is
};

// Appends to `out` the field as it is to be written: the converted number,
// or the field byte for byte. Blanks around the number are kept. Only ASCII
// digits and separators are read, so any encoding that keeps ASCII works.
Verdict rewriteField(std::string_view field, std::string &out);

} // namespace rewriting
