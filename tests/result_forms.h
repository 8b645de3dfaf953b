// What any result of the conversion may look like, checked without the prefix table.
#pragma once

#include <conversion/utf8.h>

#include <algorithm>
#include <array>
#include <string>
#include <string_view>

// Four pieces of at most two characters, each after a dot.
inline std::u32string inPairs(std::u32string_view rest)
{
    std::u32string out;
    for (std::size_t pos = 0; pos < 8; pos += 2) {
        out += U'.';
        if (pos < rest.size())
            out += rest.substr(pos, 2);
    }
    return out;
}

// True when `result` is a form the rules can give for `input`: the marker for
// no rule, the short number 3611, or a prefix followed by the rest of the
// input (the whole of it, or less the pair it replaces, or less a leading 161
// after that),
// either as it stands or in pairs.
inline bool isKnownForm(std::u32string_view input, std::u32string_view result)
{
    if (result == U"??????????" || result == U"3611")
        return true;
    struct Shape
    {
        std::size_t dropped;
        std::u32string_view prefix;
        bool grouped;
    };
    static constexpr std::array shapes{
        Shape{0, U"", false},
        Shape{0, U"02", true},
        Shape{0, U"03", true},
        Shape{0, U"04", true},
        Shape{0, U"05", true},
        Shape{0, U"06", true},
        Shape{2, U"", false},
        Shape{2, U"00", false},
        Shape{2, U"0800", true},
        Shape{3, U"01", true},
        Shape{5, U"01", true},
    };
    return std::any_of(shapes.begin(), shapes.end(), [&](const Shape &shape) {
        if (input.size() < shape.dropped || !result.starts_with(shape.prefix))
            return false;
        const std::u32string_view rest = input.substr(shape.dropped);
        const std::u32string_view shown = result.substr(shape.prefix.size());
        return shape.grouped ? shown == inPairs(rest) : shown == rest;
    });
}
