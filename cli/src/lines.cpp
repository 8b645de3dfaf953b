// Blocks of lines out.
#include <cli/lines.h>

#include <cerrno>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace cli {

LineWriter::LineWriter(std::FILE *out_, std::string_view end_)
    : out(out_)
    , end(end_)
{
    buffer.reserve(blockSize + 256);
}

bool LineWriter::flush()
{
    if (failure)
        return false;
    errno = 0;
    if ((!buffer.empty() && std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size())
        || std::fflush(out) != 0 || std::ferror(out))
        failure = errno ? errno : EIO;
    buffer.clear();
    return !failure;
}

bool LineWriter::readerGone() const
{
#ifdef _WIN32
    return failure == EPIPE || failure == EINVAL;
#else
    return failure == EPIPE;
#endif
}

long readSome(std::FILE *in, char *to, std::size_t size)
{
    for (;;) {
#ifdef _WIN32
        const long got = _read(_fileno(in), to, unsigned(size));
#else
        const long got = long(read(fileno(in), to, size));
#endif
        if (got >= 0 || errno != EINTR)
            return got;
    }
}

} // namespace cli
