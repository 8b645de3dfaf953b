// UTF-8 both ways.
#include <conversion/utf8.h>

namespace conversion {

bool decodeUtf8(std::string_view bytes, std::u32string &characters)
{
    // Never more characters than bytes: written in place, then cut to size.
    characters.resize(bytes.size());
    char32_t *out = characters.data();
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            *out++ = lead;
            ++i;
            continue;
        }
        // The length a lead byte announces, and the least value that needs it.
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        const char32_t least = length == 4 ? 0x10000 : length == 3 ? 0x800 : 0x80;
        if (length == 0 || lead > 0xF4 || i + length > bytes.size())
            return false;
        char32_t c = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            c = (c << 6) | (next & 0x3F);
        }
        if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            return false;
        *out++ = c;
        i += length;
    }
    characters.resize(std::size_t(out - characters.data()));
    return true;
}

void appendUtf8(std::u32string_view characters, std::string &bytes)
{
    // At most four bytes a character: written in place, then cut to size.
    const std::size_t start = bytes.size();
    bytes.resize(start + 4 * characters.size());
    char *out = bytes.data() + start;
    for (char32_t c : characters) {
        if (c < 0x80) {
            *out++ = char(c);
            continue;
        }
        const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        const unsigned lead[] = {0, 0xC0, 0xE0, 0xF0};
        *out++ = char(lead[extra] | (c >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k)
            *out++ = char(0x80 | ((c >> (6 * k)) & 0x3F));
    }
    bytes.resize(std::size_t(out - bytes.data()));
}

std::u16string utf16(std::u32string_view characters)
{
    std::u16string text;
    text.reserve(characters.size() + 4);
    for (char32_t c : characters) {
        if (c >= 0x10000 && c <= 0x10FFFF) {
            text += char16_t(0xD800 + ((c - 0x10000) >> 10));
            text += char16_t(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            text += char16_t(c);
        }
    }
    return text;
}

std::string utf8(std::u32string_view characters)
{
    std::string bytes;
    appendUtf8(characters, bytes);
    return bytes;
}

std::u32string characters(std::u16string_view text)
{
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()
            && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (pair) {
            out += char32_t(0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out += char32_t(unit);
        }
    }
    return out;
}

std::string utf8(std::u16string_view text)
{
    return utf8(characters(text));
}

} // namespace conversion
