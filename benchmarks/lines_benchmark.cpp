// The command line over lists (10,000 and 1,000,000 lines, every one a number
// to convert), vCard files (10,000 and 100,000 cards, three numbers each) and
// CSV files (10,000 and 1,000,000 rows of 20 columns, two of them
// telephones, as Google writes them), and a 200 MB CSV whose header opens a
// quote that never closes, each against a plain block copy of the same file:
// time and peak memory of each, run in turn.
// Usage: lines_benchmark CONVQVR FLOOR_COPY [RUNS]
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
Sample run(const std::vector<const char *> &command, const char *input, int expected)
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
    if (!WIFEXITED(status) || WEXITSTATUS(status) != expected) {
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
    std::vector<const char *> arguments;
    const char *goal;
    std::vector<int> sizes;
    void (*write)(std::FILE *, int, std::mt19937 &);
    int status = 0; // the exit status it must end with
};

// Pairs with a rule, as most numbers of a real address book have.
constexpr unsigned pairs[] = {42, 45, 47, 78, 88, 93, 21, 61};

void writeDigits(std::FILE *file, int lines, std::mt19937 &random)
{
    for (int i = 0; i < lines; ++i)
        std::fprintf(file, "%08u\n", unsigned(random() % 100000000));
}

void writeNumbers(std::FILE *file, int lines, std::mt19937 &random)
{
    for (int i = 0; i < lines; ++i) {
        const unsigned n = unsigned(random() % 1000000);
        std::fprintf(
            file, "%02u %02u %02u %02u\n", pairs[n % 8], n % 100, n / 100 % 100, n / 10000 % 100);
    }
}

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

// Twenty columns, as Google Contacts names them, most of them empty.
void writeRows(std::FILE *file, int rows, std::mt19937 &random)
{
    std::fputs("Name,Given Name,Additional Name,Family Name,Nickname,Birthday,Gender,Notes,"
               "Group Membership,E-mail 1 - Type,E-mail 1 - Value,Phone 1 - Type,Phone 1 - Value,"
               "Phone 2 - Type,Phone 2 - Value,Address 1 - Type,Address 1 - Formatted,"
               "Organization 1 - Name,Organization 1 - Title,Website 1 - Value\r\n",
        file);
    for (int i = 0; i < rows; ++i) {
        const unsigned n = unsigned(random() % 100000000);
        std::fprintf(file,
            "Jean Dupont%u,Jean,,Dupont%u,,,,,* myContacts,* Home,jean%u@exemple.fr,Mobile,"
            "06 12 34 %02u,Work,%02u %02u %02u %02u,Home,\"12 rue des Lilas\n75011 Paris\","
            "Club,,\r\n",
            n % 1000000, n % 1000000, n % 1000000, n % 100, pairs[n % 8], n / 100 % 100,
            n / 10000 % 100, n / 1000000 % 100);
    }
}

// A header that opens a quote and never closes it, then rows with no quote:
// the whole file is copied as it came, and the quote said.
void writeUnclosed(std::FILE *file, int megabytes, std::mt19937 &random)
{
    std::fputs("Nom,\"T\xc3\xa9l\xc3\xa9phone\r\n", file);
    for (long bytes = long(megabytes) * 1000000; std::ftell(file) < bytes;) {
        const unsigned n = unsigned(random() % 100000000);
        std::fprintf(file, "Dupont%u,%02u %02u %02u %02u\r\n", n % 1000000, pairs[n % 8],
            n / 100 % 100, n / 10000 % 100, n / 1000000 % 100);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: lines_benchmark CONVQVR FLOOR_COPY [RUNS]\n");
        return 2;
    }
    const int runs = argc > 3 ? std::atoi(argv[3]) : 11;
    char folder[] = "/tmp/convqvr-lines-XXXXXX";
    if (!mkdtemp(folder))
        return 1;
    std::mt19937 random(1);
    const char *floor = argv[2];
    const Kind kinds[] = {
        {"convqvr -", "lines", {argv[1], "-"}, "5x the copy", {10000, 1000000}, writeDigits},
        {"convqvr --liste", "lines", {argv[1], "--liste"}, "5x the copy", {10000, 1000000},
            writeNumbers},
        {"convqvr --vcard", "cards", {argv[1], "--vcard"}, "3x the copy", {10000, 100000},
            writeCards},
        {"convqvr --csv", "rows", {argv[1], "--csv"}, "3x the copy", {10000, 1000000}, writeRows},
        {"convqvr --csv, header never closed", "MB", {argv[1], "--csv"}, "as fast, flat memory",
            {200}, writeUnclosed, 1},
    };
    for (const Kind &kind : kinds) {
        std::vector<double> peakAt;
        for (const int size : kind.sizes) {
            const std::string input = std::string(folder) + "/input-" + std::to_string(size);
            std::FILE *file = std::fopen(input.c_str(), "w");
            kind.write(file, size, random);
            const double megabytes = double(std::ftell(file)) / 1e6;
            std::fclose(file);

            std::vector<double> times, floorTimes, peaks, floorPeaks;
            for (int round = 0; round < runs; ++round) {
                const Sample converted = run(kind.arguments, input.c_str(), kind.status);
                const Sample copied = run({floor}, input.c_str(), 0);
                times.push_back(converted.milliseconds);
                peaks.push_back(converted.peakMegabytes);
                floorTimes.push_back(copied.milliseconds);
                floorPeaks.push_back(copied.peakMegabytes);
            }
            const double ms = median(times), floorMs = median(floorTimes);
            peakAt.push_back(median(peaks));
            std::printf("%s, %d %s (%.1f MB), %d runs each: %.1f ms (%.0f MB/s), copy %.1f ms, "
                        "ratio %.2fx; peak memory %.1f MiB, copy %.1f MiB\n",
                kind.name, size, kind.unit, megabytes, runs, ms, megabytes / ms * 1000.0, floorMs,
                ms / floorMs, median(peaks), median(floorPeaks));
            std::printf("row: %s, %d %s | %.1f ms, %.2fx the copy (%.1f ms) | %s\n", kind.name,
                size, kind.unit, ms, ms / floorMs, floorMs, kind.goal);
            std::remove(input.c_str());
        }
        std::printf("row: %s, peak memory | %s | no growth\n", kind.name,
            [&] {
                std::string said;
                for (std::size_t k = 0; k < peakAt.size(); ++k)
                    said += (k ? ", " : "") + std::to_string(peakAt[k]).substr(0, 4) + " MiB at "
                        + std::to_string(kind.sizes[k]);
                return said;
            }()
                .c_str());
    }
    rmdir(folder);
    return 0;
}
