// Whole files of fields, read in pieces of any size and written back with
// every byte kept but the old numbers, converted: a list (a field a line), a
// vCard (its TEL values) or a CSV (the cells of its telephone columns).
#pragma once

#include <rewriting/field.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rewriting {

enum class Format { List, VCard, Csv };

struct Counts
{
    std::size_t converted = 0;
    std::size_t left = 0;     // numbers or texts left as they were
    std::size_t reported = 0; // old numbers that no rule converts, left too
};

// An old number that no rule converts, and the line it stands on.
struct Report
{
    std::size_t line;
    std::string number;
};

// The format that a file's name, or else its first bytes, show: a vCard, a
// CSV (or tab-separated) file, or else a list.
Format formatOf(std::string_view fileName, std::string_view start);

// What is said of a report and of the counts, wherever they are shown.
std::string said(const Report &report);
std::string said(const Counts &counts);

class FileRewriter
{
public:
    // `columns`: the CSV columns to convert, by name; none, those whose name
    // says they hold telephone numbers.
    explicit FileRewriter(Format format, std::vector<std::string> columns = {});

    // Reads the next piece of the file and appends to `out` all that can be
    // written by then: every line read whole, less what a fold or a quote
    // may still continue.
    void feed(std::string_view piece, std::string &out);
    // The end of the file: writes what is left.
    void finish(std::string &out);

    // The reports since they were last taken; the caller clears them.
    std::vector<Report> &reports() { return reported; }
    const Counts &counts() const { return counted; }
    // Set when the file is not what its format says (a CSV quote never
    // closed, a column that is not there), with the line it concerns.
    const std::string &problem() const { return trouble; }
    std::size_t problemLine() const { return troubleLine; }

private:
    void line(std::string_view text, std::string &out);
    Verdict field(std::string_view text, std::string &out, std::size_t at);
    void listLine(std::string_view text, std::string &out);
    void vcardLine(std::string_view text, std::string &out);
    void writeHeldTel(std::string &out);
    void csvLine(std::string_view text, std::string &out);
    void readHeader(std::string_view text);
    std::size_t endCell(std::string &out, bool atLineEnd);
    void endFile(std::string &out);

    Format format;
    std::vector<std::string> wanted;
    std::string partial; // a line not yet whole
    std::size_t lines = 0;
    std::vector<Report> reported;
    Counts counted;
    std::string trouble;
    std::size_t troubleLine = 0;

    // vCard: a TEL property held until the next line shows it is not folded,
    // and its value unfolded, with where each byte of it stands in held.
    std::string held;
    std::size_t heldLine = 0;
    std::string unfolded;
    std::vector<std::size_t> from;

    // CSV
    std::string header;
    bool headerRead = false;
    char delimiter = ',';
    std::vector<bool> converted; // by column, up to the last converted one
    std::size_t column = 0;
    bool inCell = false, quoted = false, inQuotes = false, keeping = false;
    bool inTail = false; // in quotes, past the last converted column
    std::string cell;    // a cell of a converted column, until it ends
    std::size_t cellLine = 0;
};

} // namespace rewriting
