// libFuzzer entry: arbitrary bytes, read as UTF-8 with invalid sequences
// kept, must convert without fault into one of the known result forms; and
// read as a list, a vCard or a CSV file, must come back the same whatever
// the pieces it is read in, and unchanged by a second pass.
#include <conversion/convert.h>
#include <rewriting/formats.h>

#include "result_forms.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Reads UTF-8 loosely: well-formed sequences give their code point, also
// surrogates, overlong forms and values past U+10FFFF, which the conversion
// must take too; a byte that starts no sequence gives U+FFFD.
std::u32string decode(const std::uint8_t *data, std::size_t size)
{
    std::u32string out;
    std::size_t i = 0;
    while (i < size) {
        const std::uint8_t lead = data[i];
        const int length = lead < 0x80 ? 1
            : lead < 0xC0              ? 0
            : lead < 0xE0              ? 2
            : lead < 0xF0              ? 3
            : lead < 0xF8              ? 4
                                       : 0;
        bool complete = length > 0 && i + std::size_t(length) <= size;
        for (int k = 1; complete && k < length; ++k)
            complete = (data[i + std::size_t(k)] & 0xC0) == 0x80;
        if (!complete) {
            out += U'\uFFFD';
            ++i;
            continue;
        }
        char32_t c = length == 1 ? lead : char32_t(lead & (0x7F >> length));
        for (int k = 1; k < length; ++k)
            c = (c << 6) | (data[i + std::size_t(k)] & 0x3F);
        out += c;
        i += std::size_t(length);
    }
    return out;
}

// What a reader holds stays under a bound of its own, whatever the input:
// memory flat in a file's size, and no byte read again and again.
constexpr std::size_t mostHeld = 80 * 1024;

std::string rewritten(rewriting::Format format, std::string_view file, std::size_t piece)
{
    const auto reader = rewriting::readerOf(format);
    std::string out;
    do { // a workbook is read more than once
        for (std::size_t at = 0; at < file.size(); at += piece) {
            reader->feed(file.substr(at, piece), out);
            if (reader->held() > mostHeld) {
                std::fprintf(
                    stderr, "a reader of %d holds %zu bytes\n", int(format), reader->held());
                std::abort();
            }
        }
        reader->finish(out);
    } while (reader->again());
    return out;
}

void checkFile(const std::uint8_t *data, std::size_t size)
{
    if (size == 0)
        return;
    const std::size_t kinds = rewriting::formats.size();
    const auto format = rewriting::Format(data[0] % kinds);
    const std::size_t piece = data[0] / kinds % 16 + 1;
    const std::string_view file(reinterpret_cast<const char *>(data) + 1, size - 1);
    const std::string once = rewritten(format, file, file.size() + 1);
    if (rewritten(format, file, piece) != once || rewritten(format, once, piece) != once) {
        std::fprintf(stderr, "a file read as %d comes back otherwise in pieces of %zu, or again\n",
            int(format), piece);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    checkFile(data, size);
    const std::u32string input = decode(data, size);
    const std::u32string result = conversion::convert(input);
    if (!isKnownForm(input, result) || conversion::convert(input) != result) {
        std::fprintf(stderr, "unexpected result\n  input:  %s\n  result: %s\n",
            conversion::utf8(input).c_str(), conversion::utf8(result).c_str());
        std::abort();
    }
    return 0;
}
