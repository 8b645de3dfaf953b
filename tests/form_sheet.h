// The form's declaration as plain lines for the test drivers, in UTF-8:
//   title TITLE
//   client WIDTH HEIGHT
//   control NAME LEFT TOP WIDTH HEIGHT   (pixels at 96 dpi)
#pragma once

#include <form/declaration.h>

#include <cstdio>
#include <string>

inline std::string utf8(std::u16string_view text)
{
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size())
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        if (c < 0x80) {
            bytes += char(c);
        } else {
            const unsigned char lead[] = {0, 0xC0, 0xE0, 0xF0};
            const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
            bytes += char(lead[extra] | (c >> (6 * extra)));
            for (int k = extra - 1; k >= 0; --k)
                bytes += char(0x80 | ((c >> (6 * k)) & 0x3F));
        }
    }
    return bytes;
}

inline void printFormSheet()
{
    std::printf("title %s\nclient %d %d\n", utf8(form::title).c_str(), form::width, form::height);
    for (const form::Control &c : form::controls) {
        std::printf("control %.*s %d %d %d %d\n", int(c.name.size()), c.name.data(), c.place.left,
            c.place.top, c.place.width, c.place.height);
    }
}
