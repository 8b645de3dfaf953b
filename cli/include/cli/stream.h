// Files and standard input streamed through a reader in blocks: memory stays
// flat, and what is read is written before more is waited for.
#pragma once

#include <rewriting/reader.h>

#include <cstdio>
#include <functional>
#include <string>

namespace cli {

inline constexpr std::size_t blockSize = 64 * 1024;

// Buffers what is written and writes it in blocks; the first failed write
// is kept.
class Output
{
public:
    explicit Output(std::FILE *out);
    // What is to be written: appended to, then put().
    std::string &buffer() { return pending; }
    // Writes once a block is full.
    bool put() { return !failure && (pending.size() < blockSize || flush()); }
    bool flush();                         // writes what is buffered now
    int error() const { return failure; } // errno of the failed write, or 0
    // Whether the write failed because the reader went away: on Linux the
    // program ends by SIGPIPE before it knows.
    bool readerGone() const;

private:
    std::FILE *out;
    std::string pending;
    int failure = 0;
};

enum class Streamed { Done, ReadFailed, WriteFailed };

// Reads `in` to its end through `reader` into `out`, written as blocks fill
// and whenever a read comes back short, so that an input that pauses is
// answered; `told` is called after each block, for the reader's reports.
// A reader that reads the file more than once has it from its start again.
Streamed stream(
    std::FILE *in, rewriting::Reader &reader, Output &out, const std::function<void()> &told);

} // namespace cli
