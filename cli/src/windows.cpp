// The command line's calls to Windows.
#include <cli/system.h>

#include <conversion/utf8.h>

#include <io.h>
#include <windows.h>

#include <fcntl.h>

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

bool isTerminal(std::FILE *stream)
{
    return _isatty(_fileno(stream)) != 0;
}

bool readAgain(std::FILE *in)
{
    return _lseeki64(_fileno(in), 0, SEEK_SET) == 0;
}

// The C library's tmpfile() writes to the root of the drive, where a user
// may not: in the user's own temporary folder instead.
std::FILE *temporaryFile()
{
    wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"qvr", 0, name)) {
        errno = EACCES;
        return nullptr;
    }
    const HANDLE file = CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
        FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        DeleteFileW(name);
        errno = EACCES;
        return nullptr;
    }
    const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_BINARY);
    return descriptor < 0 ? nullptr : _fdopen(descriptor, "w+b");
}

// Windows has no SIGPIPE: a write to a closed pipe fails with EINVAL.
bool isClosedPipe(int error)
{
    return error == EPIPE || error == EINVAL;
}

} // namespace cli
