// Lines in and out, streamed in blocks: memory grows with the longest line,
// never with the input.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace cli {

// Reads `in` and calls `take` with each line, without its end (LF or CRLF),
// until the input ends or `take` returns false; a last line without an end is
// a line too. False on a read error.
template <typename Take> bool forEachLine(std::FILE *in, Take take);

inline constexpr std::size_t blockSize = 64 * 1024;

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
        return !failure && (buffer.size() < blockSize || flush());
    }
    bool finish();                        // writes what is buffered and flushes
    int error() const { return failure; } // errno of the failed write, or 0

private:
    bool flush();

    std::FILE *out;
    std::string end;
    std::string buffer;
    int failure = 0;
};

template <typename Take> bool forEachLine(std::FILE *in, Take take)
{
    std::string block(blockSize, '\0');
    std::string partial; // a line that runs over the end of a block
    for (;;) {
        const std::size_t got = std::fread(block.data(), 1, block.size(), in);
        std::string_view rest(block.data(), got);
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
        if (got < block.size()) {
            if (std::ferror(in))
                return false;
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
