// The command line's calls to Windows.
#include <cli/system.h>

#include <conversion/utf8.h>

#include <io.h>

#include <cerrno>

namespace cli {

std::FILE *openForReading(std::string_view name)
{
    // Windows opens names in UTF-16; a name that is not UTF-8 is not found.
    std::u32string characters;
    if (!conversion::decodeUtf8(name, characters)) {
        errno = ENOENT;
        return nullptr;
    }
    const std::u16string wide = conversion::utf16(characters);
    return _wfopen(reinterpret_cast<const wchar_t *>(wide.c_str()), L"rb");
}

long readSome(std::FILE *in, char *to, std::size_t size)
{
    for (;;) {
        const long got = _read(_fileno(in), to, unsigned(size));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

// Windows has no SIGPIPE: a write to a closed pipe fails with EINVAL.
bool isClosedPipe(int error)
{
    return error == EPIPE || error == EINVAL;
}

} // namespace cli
