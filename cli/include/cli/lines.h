// Lines in and out, streamed in blocks: memory grows with the longest line,
// never with the input. What is read is written before more is waited for.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

// Reads `in` and calls `take` with each line, without its end (LF or CRLF),
// until the input ends or `take` returns false; a last line without an end is
// a line too. Calls `paused` whenever the input has given all it had for
// now. False on a read error.
template <typename Take, typename Paused> bool forEachLine(std::FILE *in, Take take, Paused paused);

inline constexpr std::size_t blockSize = 64 * 1024;

// Reads what `in` holds now, up to `size` bytes, waiting only when it holds
// nothing: a pipe or a terminal gives what it has, not a whole block. The
// byte count, 0 at the end, or -1 on an error. The stream's own buffer is
// never used.
long readSome(std::FILE *in, char *to, std::size_t size);

// Buffers lines and writes them in blocks; the first failed write is kept.
class LineWriter
{
public:
    LineWriter(std::FILE *out, std::string_view end);
    bool write(std::string_view line)
    {
        open().append(line);
        return close();
    }
    // A line built in place: appended to what open() gives, then closed.
    std::string &open() { return buffer; }
    bool close()
    {
        for (char c : end) // one or two characters: no call to copy them
            buffer.push_back(c);
        return put();
    }
    // Bytes appended to what open() gives, written once a block is full.
    bool put() { return !failure && (buffer.size() < blockSize || flush()); }
    bool flush();                         // writes what is buffered now
    bool finish() { return flush(); }     // the same, at the end
    int error() const { return failure; } // errno of the failed write, or 0
    // Whether the write failed because the reader went away: on Linux the
    // program ends by SIGPIPE before it knows; Windows says EINVAL.
    bool readerGone() const;

private:
    std::FILE *out;
    std::string end;
    std::string buffer;
    int failure = 0;
};

template <typename Take, typename Paused> bool forEachLine(std::FILE *in, Take take, Paused paused)
{
    std::string block(blockSize, '\0');
    std::string partial; // a line that runs over the end of a block
    for (;;) {
        const long got = readSome(in, block.data(), block.size());
        if (got < 0)
            return false;
        std::string_view rest(block.data(), std::size_t(got));
        while (!rest.empty()) {
            const std::size_t end = rest.find('\n');
            if (end == rest.npos) {
                partial.append(rest);
                break;
            }
            std::string_view line = rest.substr(0, end);
            if (!partial.empty()) {
                partial.append(line);
                line = partial;
            }
            if (line.ends_with('\r'))
                line.remove_suffix(1);
            if (!take(line))
                return true;
            partial.clear();
            rest.remove_prefix(end + 1);
        }
        if (got > 0 && std::size_t(got) < block.size())
            paused();
        if (got == 0) {
            if (!partial.empty()) {
                std::string_view line = partial;
                if (line.ends_with('\r'))
                    line.remove_suffix(1);
                take(line);
            }
            return true;
        }
    }
}

} // namespace cli
