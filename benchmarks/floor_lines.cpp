// The floor for the command line's benchmarks: reads lines and writes them
// back unchanged, in the same blocks and the same way, converting nothing.
#include <cli/lines.h>

int main()
{
    cli::LineWriter writer(stdout, "\n");
    const bool read = cli::forEachLine(
        stdin, [&](std::string_view line) { return writer.write(line); }, [&] { writer.flush(); });
    return read && writer.finish() ? 0 : 1;
}
