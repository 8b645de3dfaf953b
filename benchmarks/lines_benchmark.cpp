// The command line over lists of eight-digit numbers (100,000 and 1,000,000
// lines), vCard files (10,000 and 100,000 cards, three numbers each) and CSV
// files (100,000 and 1,000,000 rows), each against a floor program that
// reads the same file and writes it back unchanged in the same way: time and
// peak memory of each, run in turn.
// Usage: lines_benchmark CONVQVR FLOOR_LINES [RUNS]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
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
        dup2(1, 2);
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

// What one kind of input is measured as, and how its files are made.
struct Kind
{
    const char *name; // in the table
    const char *unit; // what a size counts
    std::vector<const char *> arguments, floorArguments;
    const char *goal;
    std::array<int, 2> sizes;
    void (*write)(std::FILE *, int, std::mt19937 &);
};

void writeNumbers(std::FILE *file, int lines, std::mt19937 &random)
{
    for (int i = 0; i < lines; ++i)
        std::fprintf(file, "%08u\n", unsigned(random() % 100000000));
}

// Pairs with a rule, as most numbers of a real address book have.
constexpr unsigned pairs[] = {42, 45, 47, 78, 88, 93, 21, 61};

void writeCards(std::FILE *file, int cards, std::mt19937 &random)
{
    for (int i = 0; i < cards; ++i) {
        const unsigned n = unsigned(random() % 1000000);
        std::fprintf(file,
            "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Dupont%06u;Jean;;;\r\nFN:Jean Dupont%06u\r\n"
            "EMAIL;TYPE=INTERNET:jean.dupont%06u@exemple.fr\r\nTEL;TYPE=CELL:%02u %02u %02u "
            "%02u\r\n"
            "TEL;TYPE=HOME:(1) 45.%02u.%02u.%02u\r\nitem1.TEL:+33 42 12 34 56\r\n"
            "ADR;TYPE=HOME:;;12 rue des Lilas;Paris;;75011;France\r\nNOTE:Rencontr\xc3\xa9 au "
            "club\r\n"
            "END:VCARD\r\n",
            n, n, n, pairs[n % 8], n % 100, n / 100 % 100, n / 10000 % 100, n % 100, n / 100 % 100,
            n / 10000 % 100);
    }
}

void writeRows(std::FILE *file, int rows, std::mt19937 &random)
{
    std::fputs("Nom;Pr\xc3\xa9nom;Courriel;T\xc3\xa9l\xc3\xa9phone;Portable;Adresse\r\n", file);
    for (int i = 0; i < rows; ++i) {
        const unsigned n = unsigned(random() % 100000000);
        std::fprintf(file,
            "Dupont%u;Jean;jean@exemple.fr;%02u %02u %02u %02u;06 12 34 56 78;\"12, rue des "
            "Lilas\"\r\n",
            n % 1000000, pairs[n % 8], n / 100 % 100, n / 10000 % 100, n / 1000000 % 100);
    }
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
    const Kind kinds[] = {
        {"convqvr -", "lines", {argv[1], "-"}, {argv[2]}, "2x the floor", {100000, 1000000},
            writeNumbers},
        {"convqvr --vcard", "cards", {argv[1], "--vcard"}, {argv[2]}, "3x the floor",
            {10000, 100000}, writeCards},
        {"convqvr --csv", "rows", {argv[1], "--csv"}, {argv[2]}, "3x the floor", {100000, 1000000},
            writeRows},
    };
    for (const Kind &kind : kinds) {
        const int sizes[] = {
            kind.write == writeCards ? 10000 : 100000, kind.write == writeCards ? 100000 : 1000000};
        double peakAt[2] = {};
        for (int index = 0; index < 2; ++index) {
            const int size = sizes[index];
            const std::string input = std::string(folder) + "/input-" + std::to_string(size);
            std::FILE *file = std::fopen(input.c_str(), "w");
            kind.write(file, size, random);
            const double megabytes = double(std::ftell(file)) / 1e6;
            std::fclose(file);

            std::vector<double> times, floorTimes, peaks, floorPeaks;
            for (int round = 0; round < runs; ++round) {
                const Sample converted = run(kind.arguments, input.c_str());
                const Sample floor = run(kind.floorArguments, input.c_str());
                times.push_back(converted.milliseconds);
                peaks.push_back(converted.peakMegabytes);
                floorTimes.push_back(floor.milliseconds);
                floorPeaks.push_back(floor.peakMegabytes);
            }
            const double ms = median(times), floorMs = median(floorTimes);
            peakAt[index] = median(peaks);
            std::printf("%s, %d %s (%.1f MB), %d runs each: %.1f ms (%.0f MB/s), floor %.1f ms, "
                        "ratio %.2fx; peak memory %.1f MiB, floor %.1f MiB\n",
                kind.name, size, kind.unit, megabytes, runs, ms, megabytes / ms * 1000.0, floorMs,
                ms / floorMs, median(peaks), median(floorPeaks));
            std::printf("row: %s, %d %s | %.1f ms, %.2fx the floor (%.1f ms) | %s\n", kind.name,
                size, kind.unit, ms, ms / floorMs, floorMs, kind.goal);
            std::remove(input.c_str());
        }
        std::printf("row: %s, peak memory | %.1f MiB at %d %s, %.1f MiB at %d | no growth\n",
            kind.name, peakAt[0], sizes[0], kind.unit, peakAt[1], sizes[1]);
    }
    rmdir(folder);
    return 0;
}
