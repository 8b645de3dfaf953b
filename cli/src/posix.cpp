// The command line's calls to a POSIX system.
#include <cli/system.h>

#include <unistd.h>

#include <cerrno>
#include <string>

namespace cli {

std::FILE *openForReading(std::string_view name)
{
    return std::fopen(std::string(name).c_str(), "rb");
}

long readSome(std::FILE *in, char *to, std::size_t size)
{
    for (;;) {
        const long got = long(read(fileno(in), to, size));
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

bool isClosedPipe(int error)
{
    return error == EPIPE;
}

bool isTerminal(std::FILE *stream)
{
    return isatty(fileno(stream)) == 1;
}

bool readAgain(std::FILE *in)
{
    return lseek(fileno(in), 0, SEEK_SET) == 0;
}

std::FILE *temporaryFile()
{
    return std::tmpfile();
}

} // namespace cli
