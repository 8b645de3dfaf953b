// Blocks of lines out.
#include <cli/lines.h>

#include <cerrno>

namespace cli {

LineWriter::LineWriter(std::FILE *out_, std::string_view end_)
    : out(out_)
    , end(end_)
{
    buffer.reserve(blockSize + 256);
}

bool LineWriter::flush()
{
    errno = 0;
    if (!buffer.empty() && std::fwrite(buffer.data(), 1, buffer.size(), out) != buffer.size())
        failure = errno ? errno : EIO;
    buffer.clear();
    return !failure;
}

bool LineWriter::finish()
{
    if (!flush())
        return false;
    errno = 0;
    if (std::fflush(out) != 0 || std::ferror(out))
        failure = errno ? errno : EIO;
    return !failure;
}

} // namespace cli
