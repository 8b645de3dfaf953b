// What the page asks of the form, as plain functions for its script: the key
// filter, and counting and converting the box's text in UTF-16, as the
// browser holds it, like Windows; and, for its worker, whole files rewritten
// a piece at a time.
#include <form/form.h>
#include <rewriting/whole_file.h>

#include <emscripten/emscripten.h>

#include <memory>
#include <string>

namespace {

std::u16string shown; // the last result, read by the script before the next call

std::unique_ptr<rewriting::Reader> file; // the file being rewritten
std::string written, notes;              // read by the script before the next call

// The reports since the last piece, a line each.
void note()
{
    for (const rewriting::Report &r : file->reports())
        notes += rewriting::where(r) + r.said + "\n";
    file->reports().clear();
}

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

// A file's format from its name and first bytes, both UTF-8.
EMSCRIPTEN_KEEPALIVE int convqvr_format_of(
    const char *name, int nameLength, const char *start, int startLength)
{
    return int(
        rewriting::formatOf({name, std::size_t(nameLength)}, {start, std::size_t(startLength)}));
}

// How many times the file is to be fed, each from its start.
EMSCRIPTEN_KEEPALIVE int convqvr_file_open(int format)
{
    file = rewriting::readerOf(rewriting::Format(format));
    return file->passes();
}

// Whether the file is to be fed again, once its end is.
EMSCRIPTEN_KEEPALIVE bool convqvr_file_again()
{
    return file->again();
}

// The next piece of the file, or its end with none; what can be written by
// then is at convqvr_written(), and what is to be said of it at convqvr_notes().
EMSCRIPTEN_KEEPALIVE int convqvr_file_feed(const char *piece, int length)
{
    written.clear();
    notes.clear();
    if (piece)
        file->feed({piece, std::size_t(length)}, written);
    else
        file->finish(written);
    note();
    return int(written.size());
}

// What was done, once the file named `name` (UTF-8) is read.
EMSCRIPTEN_KEEPALIVE const char *convqvr_file_said(const char *name, int length, int format)
{
    notes = rewriting::saidOfFile(
        {name, std::size_t(length)}, rewriting::Format(format), file->counts());
    return notes.c_str();
}

// The name the converted file `name` (UTF-8) is offered under.
EMSCRIPTEN_KEEPALIVE const char *convqvr_converted_name(const char *name, int length)
{
    notes = rewriting::convertedName({name, std::size_t(length)});
    return notes.c_str();
}

EMSCRIPTEN_KEEPALIVE const char *convqvr_written()
{
    return written.data();
}

EMSCRIPTEN_KEEPALIVE const char *convqvr_notes()
{
    return notes.c_str();
}

} // extern "C"
