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
    return conversion::characters(text).size();
}

std::u16string convertText(std::u16string_view text)
{
    return conversion::utf16(conversion::convert(conversion::characters(text)));
}

} // namespace form
