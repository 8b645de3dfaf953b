// What every reader of a kind of file is: pieces of the file in, in any sizes,
// the same bytes out with the old numbers rewritten, and what it saw said as
// reports and counts.
#pragma once

#include <rewriting/field.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace rewriting {

struct Counts
{
    std::size_t converted = 0;
    std::size_t left = 0;     // numbers or texts left as they were
    std::size_t reported = 0; // old numbers that no rule converts, left too
};

// Something to say of a line: an old number no rule converts (or, when
// asked, one converted), or a line or a file the reader could not read as
// its kind.
struct Report
{
    std::size_t line;
    std::string said;       // the sentence, with no place
    bool problem;           // the file was not read as it should be: status 1
    std::string place = {}; // where, when not a line: a sheet's cell
};

// What is said of the counts, wherever they are shown.
std::string said(const Counts &counts);

class Reader
{
public:
    virtual ~Reader() = default;

    // Reads the next piece and appends to `out` all that can be written by
    // then; what a line or a cell still to come may change is held, and
    // never more than a bound of the reader's own, whatever the input.
    virtual void feed(std::string_view piece, std::string &out) = 0;
    // The end of the file: writes what is held.
    virtual void finish(std::string &out) = 0;
    // The bytes held now: memory flat in the file's size.
    virtual std::size_t held() const = 0;
    // Whether the file is to be fed again from its start, after finish();
    // asked before the first piece, whether it may be. An archive is read
    // to be checked, then planned, then written.
    virtual bool again() { return false; }
    // How many times the file is read, for a share of the work done.
    virtual int passes() const { return 1; }

    // The reports since they were last taken; the caller clears them.
    std::vector<Report> &reports() { return reported; }
    const Counts &counts() const { return counted; }
    bool failed() const { return trouble; }
    // Whether each conversion is reported too, for a person to review.
    virtual void listConversions(bool on) { listing = on; }

protected:
    // One field through the rewriting, counted, and reported when no rule
    // converts it; a blank field is not counted.
    Verdict field(
        std::string_view text, std::string &out, std::size_t line, std::string_view place = {});
    void problem(std::size_t line, std::string said);
    void countLeft() { ++counted.left; }
    void countConverted() { ++counted.converted; }
    // Whether each conversion is to be said: then every field goes through field().
    bool listingConversions() const { return listing; }
    // What a reader this one reads through has said and counted.
    void takeFrom(Reader &inner);

private:
    std::vector<Report> reported;
    std::vector<Number> numbers; // of the last field
    Counts counted;
    bool trouble = false;
    bool listing = false;
};

// A reader that takes a file a line at a time, its end kept: LF, CRLF, CR CR
// LF, or CR alone, whichever the file's first line ends with.
class LineReader : public Reader
{
public:
    void feed(std::string_view piece, std::string &out) final;
    void finish(std::string &out) final;
    std::size_t held() const final { return undecided.size() + partial.size() + heldByLines(); }

protected:
    // Lines longer than `longest` bytes are not read: they go through as
    // they come, the first part after a call with `whole` false.
    explicit LineReader(std::size_t longest_)
        : longest(longest_)
    {
    }

    // A line with its end, numbered `lines` from 1, or the start of one too
    // long to read (`whole` false). Appends to `out` what goes before the
    // line, and says whether the line itself then goes as it came: most
    // lines do, and are copied many at a time.
    virtual bool line(std::string_view text, bool whole, std::string &out) = 0;
    // Whole lines at the start of `text`, each ending in `ending`, that a
    // reader takes many at a time, as most lines of a file are alike: it
    // appends what they become, counts them in `lines`, and gives the bytes
    // it read, 0 when it leaves the next line to line().
    virtual std::size_t quickLines(std::string_view, char /*ending*/, std::string &) { return 0; }
    // After the last line.
    virtual void end(std::string &) { }
    virtual std::size_t heldByLines() const { return 0; }

    std::size_t lines = 0;

private:
    void split(std::string_view piece, std::string &out);
    void lineHeld(bool cut, std::string &out);

    std::size_t longest;
    char ending = 0;       // the byte that ends lines, once told
    std::string undecided; // the bytes read before it is told
    std::string partial;   // a line not yet whole
    std::string scratch;   // what a line read in place becomes
    bool passing = false;  // in a line too long to read, copied as it comes
};

} // namespace rewriting
