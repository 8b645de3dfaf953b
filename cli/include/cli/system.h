// What the command line asks of the system, written once for each platform.
#pragma once

#include <cstdio>
#include <string_view>

namespace cli {

// Opens a file named in UTF-8 for reading bytes, or null with errno set.
std::FILE *openForReading(std::string_view name);

// Reads what `in` holds now, up to `size` bytes, waiting only when it holds
// nothing: a pipe or a terminal gives what it has, not a whole block. The
// byte count, 0 at the end, or -1 on an error. The stream's own buffer is
// never used.
long readSome(std::FILE *in, char *to, std::size_t size);

// Whether a write failed with `error` because the reader went away.
bool isClosedPipe(int error);

bool isTerminal(std::FILE *stream);

// Reads `in` again from its start; false when it cannot go back, as a pipe.
bool readAgain(std::FILE *in);

// A file of its own, for reading and writing, gone when closed; or null
// with errno set.
std::FILE *temporaryFile();

} // namespace cli
