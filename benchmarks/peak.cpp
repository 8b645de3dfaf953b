// Runs a command with its standard input from a file and its output thrown
// away, and prints its time in seconds and its peak memory in MiB. A child
// of this small program starts small: one forked from a large parent (the
// Python that makes the benchmark's files) would count the parent's memory
// as its own.
// Usage: peak INPUT COMMAND [ARGUMENT]...
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fcntl.h>

int main(int argc, char **argv)
{
    if (argc < 3)
        return 2;
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(open(argv[1], O_RDONLY), 0);
        dup2(open("/dev/null", O_WRONLY), 1);
        dup2(1, 2);
        execv(argv[2], argv + 2);
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - started;
    std::printf("%.3f %.1f\n", took.count(), double(usage.ru_maxrss) / 1024.0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
