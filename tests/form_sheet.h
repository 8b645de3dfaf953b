// The form's declaration as plain lines for the test drivers, in UTF-8:
//   title TITLE
//   client WIDTH HEIGHT
//   control NAME LEFT TOP WIDTH HEIGHT   (pixels at 96 dpi)
#pragma once

#include <form/declaration.h>
#include <conversion/utf8.h>

#include <cstdio>
#include <string>

inline void printFormSheet()
{
    std::printf(
        "title %s\nclient %d %d\n", conversion::utf8(form::title).c_str(), form::width, form::height);
    for (const form::Control &c : form::controls) {
        std::printf("control %.*s %d %d %d %d\n", int(c.name.size()), c.name.data(), c.place.left,
            c.place.top, c.place.width, c.place.height);
    }
}
