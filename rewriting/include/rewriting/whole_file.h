// A whole file converted for a window, off its thread: the bytes through the
// reader of their kind, and what is said of them, in the page's words.
#pragma once

#include <rewriting/formats.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rewriting {

// The reports shown of one file; past them, only how many more there were.
inline constexpr std::size_t shownReports = 1000;

// Where a report stands, said before it: "ligne 3 : ", "membres!C3 : ".
std::string where(const Report &report);

// The name a converted file is offered under: "contacts-converti.vcf".
std::string convertedName(std::string_view name);

// What is said of a file converted: "contacts.vcf (vCard) : convertis 3, …".
std::string saidOfFile(std::string_view name, Format format, const Counts &counts);

// What a file's reading and writing is, to the toolkit that does it.
class FileAccess
{
public:
    virtual ~FileAccess() = default;
    // Up to `size` bytes of the file, 0 at its end, or -1 on an error.
    virtual long read(char *to, std::size_t size) = 0;
    // The file again from its start.
    virtual bool rewind() = 0;
    virtual std::uint64_t size() = 0;
    virtual bool write(std::string_view bytes) = 0;
    // The system's words for the last failure.
    virtual std::string error() = 0;
    // How far the conversion is, from 0 to 1.
    virtual void progress(double) { }
    // Whether to give up: the window is closing.
    virtual bool stopped() { return false; }
};

struct Told
{
    bool written = false; // else nothing written is to be kept
    std::string said;     // the counts, or why nothing was written
    // The first shownReports, each with its place, then how many more.
    std::vector<std::string> reports;
    std::size_t more = 0;
};

// Converts the file named `name` (its name alone tells its kind, with its
// first bytes), said as the page says it. A file that is no text and no
// workbook is refused before anything is written.
Told convertWhole(std::string_view name, FileAccess &file);

} // namespace rewriting
