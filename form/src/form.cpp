// The key filter and the UTF-16 side of the conversion.
#include <form/form.h>

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
    std::string bytes;
    forEachCharacter(text, [&bytes](char32_t c) {
        const unsigned char lead[] = {0, 0xC0, 0xE0, 0xF0};
        const int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        bytes += char(lead[extra] | (c >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k)
            bytes += char(0x80 | ((c >> (6 * k)) & 0x3F));
    });
    return bytes;
}

std::u16string convertText(std::u16string_view text)
{
    std::u32string characters;
    characters.reserve(text.size());
    forEachCharacter(text, [&characters](char32_t c) { characters += c; });
    std::u16string result;
    result.reserve(characters.size() + 4);
    for (char32_t c : conversion::convert(characters)) {
        if (c >= 0x10000 && c <= 0x10FFFF) {
            result += char16_t(0xD800 + ((c - 0x10000) >> 10));
            result += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            result += char16_t(c);
        }
    }
    return result;
}

} // namespace form
