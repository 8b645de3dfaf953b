// What the page asks of the form, as plain functions for its script: the key
// filter, and counting and converting the box's text in UTF-16, as the
// browser holds it, like Windows.
#include <form/form.h>

#include <emscripten/emscripten.h>

#include <string>

namespace {

std::u16string shown; // the last result, read by the script before the next call

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int convqvr_filter(int code, int length)
{
    return form::filterKey(code, std::size_t(length));
}

EMSCRIPTEN_KEEPALIVE int convqvr_count(const char16_t *text, int length)
{
    return int(form::characterCount({text, std::size_t(length)}));
}

EMSCRIPTEN_KEEPALIVE const char16_t *convqvr_convert(const char16_t *text, int length)
{
    shown = form::convertText({text, std::size_t(length)});
    return shown.data();
}

EMSCRIPTEN_KEEPALIVE int convqvr_shown_length()
{
    return int(shown.size());
}

} // extern "C"
