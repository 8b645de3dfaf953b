// convqvr NUMÉRO…, convqvr -, --help and --version, as GNU programs answer them.
#pragma once

#include <cstdio>
#include <span>
#include <string_view>

namespace cli {

struct Streams
{
    std::FILE *in, *out, *err;
};

// Runs the command line on the arguments after the program's name, in UTF-8;
// lines end with `end`. Returns the exit status: 0, 1 when a line or an
// argument is not UTF-8 or a read or write fails, 2 for an unknown option.
int run(std::span<const std::string_view> arguments, Streams streams, std::string_view end = "\n");

} // namespace cli
