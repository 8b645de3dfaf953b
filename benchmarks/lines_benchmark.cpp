// The command line over lists of eight-digit numbers (100,000 and 1,000,000
// lines) against a floor program that reads the same lines and writes them
// back unchanged in the same way: time and peak memory of each, run in turn.
// Usage: lines_benchmark CONVQVR FLOOR_LINES [RUNS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <random>
#include <string>
#include <vector>

namespace {

struct Sample
{
    double milliseconds;
    double peakMegabytes;
};

// Runs the program with the file on its standard input and its output thrown
// away; the peak memory is the child's own, from wait4.
Sample run(const std::vector<const char *> &command, const char *input)
{
    const auto started = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        dup2(open(input, O_RDONLY), 0);
        dup2(open("/dev/null", O_WRONLY), 1);
        std::vector<const char *> argv = command;
        argv.push_back(nullptr);
        execv(argv[0], const_cast<char *const *>(argv.data()));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const std::chrono::duration<double, std::milli> took
        = std::chrono::steady_clock::now() - started;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", command[0]);
        std::exit(1);
    }
    return {took.count(), double(usage.ru_maxrss) / 1024.0};
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: lines_benchmark CONVQVR FLOOR_LINES [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 15;
    char folder[] = "/tmp/convqvr-lines-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    std::mt19937 random(1);
    double peakAt[2] = {};
    int index = 0;
    for (const int lines : {100000, 1000000}) {
        const std::string input = std::string(folder) + "/numbers-" + std::to_string(lines);
        std::FILE *file = std::fopen(input.c_str(), "w");
        for (int i = 0; i < lines; ++i)
            std::fprintf(file, "%08u\n", unsigned(random() % 100000000));
        std::fclose(file);

        std::vector<double> times, floorTimes, peaks, floorPeaks;
        for (int round = 0; round < runs; ++round) {
            const Sample converted = run({argv[1], "-"}, input.c_str());
            const Sample floor = run({argv[2]}, input.c_str());
            times.push_back(converted.milliseconds);
            peaks.push_back(converted.peakMegabytes);
            floorTimes.push_back(floor.milliseconds);
            floorPeaks.push_back(floor.peakMegabytes);
        }
        const double ms = median(times), floorMs = median(floorTimes);
        peakAt[index++] = median(peaks);
        std::printf(
            "%d lines, %d runs each: convqvr - %.1f ms (%.1f million lines/s), floor %.1f ms, "
            "ratio %.2fx; peak memory %.1f MiB, floor %.1f MiB\n",
            lines, runs, ms, lines / ms / 1000.0, floorMs, ms / floorMs, median(peaks),
            median(floorPeaks));
        std::printf(
            "row: convqvr -, %d lines | %.1f ms, %.2fx the floor (%.1f ms) | 2x the floor\n", lines,
            ms, ms / floorMs, floorMs);
        std::remove(input.c_str());
    }
    std::printf("row: convqvr -, peak memory | %.1f MiB at 100,000 lines, %.1f MiB at 1,000,000 | "
                "no growth\n",
        peakAt[0], peakAt[1]);
    rmdir(folder);
    return 0;
}
