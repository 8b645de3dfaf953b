// The key filter and the UTF-16 side of the conversion.
#include <form/form.h>

#include <conversion/convert.h>
#include <conversion/utf8.h>

namespace form {

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
    // Counted in place, as it is on every keystroke: a surrogate pair is one.
    std::size_t count = text.size();
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] >= 0xD800 && text[i] <= 0xDBFF && text[i + 1] >= 0xDC00
            && text[i + 1] <= 0xDFFF) {
            --count;
            ++i;
        }
    }
    return count;
}

std::u16string convertText(std::u16string_view text)
{
    return conversion::utf16(conversion::convert(conversion::characters(text)));
}

} // namespace form
