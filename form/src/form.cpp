// The key filter and the UTF-16 side of the conversion.
#include <form/form.h>
#include <form/utf8.h>

#include <conversion/convert.h>

namespace form {

namespace {

// Calls `take` with each character of `text`: a surrogate pair as one, an
// unpaired surrogate as it stands.
template <typename Take> void forEachCharacter(std::u16string_view text, Take take)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()
            && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) {
            take(char32_t(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00)));
            ++i;
        } else {
            take(char32_t(unit));
        }
    }
}

std::u32string characters(std::u16string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    forEachCharacter(text, [&out](char32_t c) { out += c; });
    return out;
}

} // namespace

int filterKey(int keyAscii, std::size_t length)
{
    const bool digit = keyAscii >= '0' && keyAscii <= '9';
    if (!digit && keyAscii != backspaceCode)
        return 0;
    if (length > typedLimit - 1 && keyAscii != backspaceCode)
        return 0;
    return keyAscii;
}

std::size_t characterCount(std::u16string_view text)
{
    std::size_t count = 0;
    forEachCharacter(text, [&count](char32_t) { ++count; });
    return count;
}

std::string utf8(std::u16string_view text)
{
    return utf8(characters(text));
}

std::u16string convertText(std::u16string_view text)
{
    const std::u32string input = characters(text);
    return utf16(conversion::convert(input));
}

} // namespace form
