// The floor for the command line's benchmarks: standard input copied to
// standard output a block of 64 KiB at a time, as any program that reads a
// file and writes it must at least do.
#include <unistd.h>

#include <cstddef>

int main()
{
    static char block[64 * 1024];
    for (;;) {
        const ssize_t got = read(0, block, sizeof block);
        if (got <= 0)
            return got == 0 ? 0 : 1;
        for (ssize_t done = 0; done < got;) {
            const ssize_t written = write(1, block + done, std::size_t(got - done));
            if (written < 0)
                return 1;
            done += written;
        }
    }
}
