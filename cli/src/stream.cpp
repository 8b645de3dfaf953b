// Blocks in, through a reader, blocks out.
#include <cli/stream.h>
#include <cli/system.h>

#include <cerrno>

namespace cli {

Output::Output(std::FILE *out_)
    : out(out_)
{
    pending.reserve(2 * blockSize);
}

bool Output::flush()
{
    if (failure)
        return false;
    errno = 0;
    if ((!pending.empty() && std::fwrite(pending.data(), 1, pending.size(), out) != pending.size())
        || std::fflush(out) != 0 || std::ferror(out))
        failure = errno ? errno : EIO;
    pending.clear();
    return !failure;
}

bool Output::readerGone() const
{
    return isClosedPipe(failure);
}

Streamed stream(
    std::FILE *in, rewriting::Reader &reader, Output &out, const std::function<void()> &told)
{
    std::string block(blockSize, '\0');
    for (;;) {
        const long got = readSome(in, block.data(), block.size());
        if (got < 0) {
            reader.finish(out.buffer()); // what was read is not lost
            told();
            return out.flush() ? Streamed::ReadFailed : Streamed::WriteFailed;
        }
        if (got == 0)
            reader.finish(out.buffer());
        else
            reader.feed({block.data(), std::size_t(got)}, out.buffer());
        told();
        const bool paused = std::size_t(got) < block.size();
        if (!(paused ? out.flush() : out.put()))
            return Streamed::WriteFailed;
        if (got == 0 && reader.again()) {
            if (!readAgain(in))
                return Streamed::ReadFailed;
        } else if (got == 0) {
            return Streamed::Done;
        }
    }
}

} // namespace cli
