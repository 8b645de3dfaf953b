// A CSV file (RFC 4180, or the semicolons and tabs of spreadsheets): the cells
// of its telephone columns, found from its header, each read as a field.
#include "bytes.h"
#include "readers.h"

#include <rewriting/formats.h>

#include <algorithm>
#include <array>

namespace rewriting {

namespace {

// A column's name in lower-case ASCII: accents of Latin-1 letters dropped,
// in UTF-8 or in a single-byte code page, anything else a blank.
std::string plainName(std::string_view name)
{
    static constexpr std::string_view latin1 = "aaaaaaaceeeeiiiidnooooo ouuuuyts"
                                               "aaaaaaaceeeeiiiidnooooo ouuuuyty";
    std::string plain;
    for (std::size_t i = 0; i < name.size(); ++i) {
        auto c = static_cast<unsigned char>(name[i]);
        if (c == 0xC3 && i + 1 < name.size()
            && (static_cast<unsigned char>(name[i + 1]) & 0xC0) == 0x80)
            c = static_cast<unsigned char>(0xC0 | (static_cast<unsigned char>(name[++i]) & 0x3F));
        if (c >= 0xC0)
            plain += latin1[c - 0xC0];
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            plain += char(c);
        else
            plain += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : ' ';
    }
    return plain;
}

// A column of telephone numbers says so in its name, but not the column of
// their kinds (Phone 1 - Type).
bool namesTelephone(std::string_view name)
{
    std::vector<std::string> stems;
    for (std::string_view word : telephoneWords) {
        stems.push_back(plainName(word));
        stems.back().erase(stems.back().find_last_not_of(' ') + 1); // Tél.
    }
    const std::string plain = plainName(name);
    bool telephone = false;
    for (std::size_t start = 0; start < plain.size();) {
        const std::size_t end = std::min(plain.find(' ', start), plain.size());
        const std::string_view word = std::string_view(plain).substr(start, end - start);
        if (word == "type")
            return false;
        for (const std::string &stem : stems)
            telephone = telephone || word.starts_with(stem);
        start = end + 1;
    }
    return telephone;
}

// The cells of one CSV record, quotes taken off.
std::vector<std::string> cellsOf(std::string_view record, char delimiter)
{
    std::vector<std::string> cells(1);
    bool inQuotes = false;
    for (std::size_t i = 0; i < record.size(); ++i) {
        const char c = record[i];
        if (c == '"' && inQuotes && i + 1 < record.size() && record[i + 1] == '"')
            cells.back() += record[++i];
        else if (c == '"')
            inQuotes = !inQuotes;
        else if (c == delimiter && !inQuotes)
            cells.emplace_back();
        else
            cells.back() += c;
    }
    return cells;
}

// Google Contacts puts several numbers in one cell, joined so.
constexpr std::string_view numberJoint = " ::: ";

// The header is a line of names: one that runs on past this is not one.
constexpr std::size_t longestHeader = 64 * 1024;

const std::string unclosed = "guillemets jamais fermés, la suite est recopiée telle quelle";

class CsvReader final : public Reader
{
public:
    explicit CsvReader(std::vector<std::string> columns)
        : wanted(std::move(columns))
    {
    }

    void feed(std::string_view piece, std::string &out) override;
    void finish(std::string &out) override;
    std::size_t held() const override { return header.size() + cell.size(); }

private:
    enum class State {
        Header,        // the first record, held until it ends
        CellStart,     // a cell of a column up to the last converted one
        Plain,         // in a cell without quotes
        Quoted,        // in quotes
        QuoteInQuotes, // a quote in quotes: doubled, or their end
        Tail,          // past the record's last converted cell: only its end matters
        TailQuoted,    // in quotes there
        Unreadable,    // the header's quotes never close: copied as it comes
    };

    void readHeader(std::string_view record);
    void endCell(std::string &out, bool atLineEnd);
    std::size_t countLines(std::string_view text) const
    {
        return std::size_t(std::count(text.begin(), text.end(), '\n'));
    }

    std::vector<std::string> wanted;
    State state = State::Header;
    std::string header;
    bool headerQuoted = false; // its quotes are open
    char delimiter = ',';
    std::vector<char> converted; // by column, up to the last converted one
    std::size_t column = 0;
    std::size_t line = 1;
    bool keeping = false; // the cell is held, to be read as a field
    bool quoted = false;  // it began with a quote
    std::string cell;
    std::size_t cellLine = 0;
};

void CsvReader::feed(std::string_view piece, std::string &out)
{
    std::size_t copied = 0; // the bytes before it are written or held
    std::size_t i = 0;
    const auto toCell = [&](std::size_t to) {
        cell.append(piece.substr(copied, to - copied));
        copied = to;
    };
    while (i < piece.size()) {
        switch (state) {
        case State::Header: {
            std::size_t end = i;
            while (end < piece.size() && (headerQuoted || piece[end] != '\n'))
                headerQuoted ^= piece[end++] == '"';
            const bool ended = end < piece.size();
            header.append(piece.substr(i, end + ended - i));
            i = copied = end + ended;
            if (ended) {
                out += header;
                line += countLines(header);
                readHeader(withoutLineEnd(header));
                header.clear();
                state = State::CellStart;
            } else if (header.size() > longestHeader) {
                out += header;
                header.clear();
                state = State::Unreadable;
            }
            break;
        }
        case State::Unreadable:
            i = piece.size();
            break;
        case State::CellStart:
            if (column >= converted.size()) {
                state = State::Tail;
                break;
            }
            keeping = converted[column];
            cellLine = line;
            if (!keeping && piece[i] != '"') {
                // Cells passed over, as most are: to the next one read, at once.
                std::size_t at = column, lines = line;
                for (;;) {
                    i = firstOf(piece, i, delimiter, '\n');
                    if (i == piece.size()) {
                        state = State::Plain;
                        break;
                    }
                    const bool lineEnd = piece[i++] == '\n';
                    lines += lineEnd;
                    at = lineEnd ? 0 : at + 1;
                    if (i == piece.size() || at >= converted.size() || converted[at]
                        || piece[i] == '"')
                        break;
                }
                column = at;
                line = lines;
                break;
            }
            if (keeping) {
                out.append(piece.substr(copied, i - copied));
                copied = i;
                cell.clear();
            }
            quoted = piece[i] == '"';
            state = quoted ? State::Quoted : State::Plain;
            i += quoted;
            break;
        case State::Plain:
        case State::QuoteInQuotes:
            if (state == State::QuoteInQuotes && piece[i] == '"') {
                state = State::Quoted; // a doubled quote
                ++i;
                break;
            }
            state = State::Plain;
            i = firstOf(piece, i, delimiter, '\n');
            if (i < piece.size()) {
                const bool lineEnd = piece[i] == '\n';
                if (keeping) {
                    toCell(i);
                    endCell(out, lineEnd);
                }
                column = lineEnd ? 0 : column + 1;
                line += lineEnd;
                state = State::CellStart;
                ++i;
                if (keeping)
                    out.append(piece.substr(copied, i - copied));
                copied = keeping ? i : copied;
                keeping = false;
            }
            break;
        case State::Quoted:
        case State::TailQuoted: {
            const std::size_t quote = std::min(piece.find('"', i), piece.size());
            line += countLines(piece.substr(i, quote - i));
            i = quote;
            if (i < piece.size()) {
                state = state == State::Quoted ? State::QuoteInQuotes : State::Tail;
                ++i;
            }
            break;
        }
        case State::Tail:
            i = firstOf(piece, i, '"', '\n');
            if (i < piece.size()) {
                if (piece[i] == '\n') {
                    column = 0;
                    ++line;
                    state = State::CellStart;
                } else {
                    state = State::TailQuoted;
                    cellLine = line;
                }
                ++i;
            }
            break;
        }
    }
    if (state == State::Header)
        return;
    if (keeping) {
        toCell(piece.size());
        if (cell.size() > longestField) {
            out += cell; // no number: copied as it comes
            cell.clear();
            keeping = false;
        }
    } else {
        out.append(piece.substr(copied));
    }
}

void CsvReader::readHeader(std::string_view record)
{
    // The separator is the one the names are separated by: the most common
    // outside quotes, a semicolon first, as French spreadsheets write.
    std::size_t most = 0;
    for (char candidate : {';', ',', '\t'}) {
        bool quotedName = false;
        std::size_t count = 0;
        for (char c : record) {
            quotedName ^= c == '"';
            if (c == candidate && !quotedName)
                ++count;
        }
        if (count > most) {
            most = count;
            delimiter = candidate;
        }
    }
    const std::vector<std::string> names = cellsOf(record, delimiter);
    std::vector<bool> found(wanted.size());
    for (const std::string &name : names) {
        bool convert = wanted.empty() && namesTelephone(name);
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            if (plainName(name) == plainName(wanted[k]))
                convert = found[k] = true;
        }
        converted.push_back(convert);
    }
    // Past the last converted column, cells need not be told apart.
    while (!converted.empty() && !converted.back())
        converted.pop_back();
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        if (!found[k])
            problem(1, "pas de colonne « " + wanted[k] + " »");
    }
}

// Writes the held cell, each number in it rewritten; at a line end, its CR
// stays after it.
void CsvReader::endCell(std::string &out, bool atLineEnd)
{
    std::string_view text = cell;
    const bool carriageReturn = atLineEnd && text.ends_with('\r');
    if (carriageReturn)
        text.remove_suffix(1);
    std::string_view inner = text;
    const bool wholeQuotes = quoted && text.size() >= 2 && text.ends_with('"');
    if (wholeQuotes) {
        inner = text.substr(1, text.size() - 2);
        out += '"';
    }
    if (!quoted || wholeQuotes) {
        const bool several = inner.find(':') != inner.npos;
        for (std::size_t start = 0;;) {
            const std::size_t joint = several ? inner.find(numberJoint, start) : inner.npos;
            field(inner.substr(start, joint - start), out, cellLine);
            if (joint == inner.npos)
                break;
            out += numberJoint;
            start = joint + numberJoint.size();
        }
        if (wholeQuotes)
            out += '"';
    } else {
        out += text; // text after the closing quote: not a cell to read
    }
    if (carriageReturn)
        out += '\r';
    cell.clear();
}

void CsvReader::finish(std::string &out)
{
    switch (state) {
    case State::Header:
        out += header;
        if (headerQuoted)
            problem(1, unclosed);
        else if (!header.empty())
            readHeader(withoutLineEnd(header));
        header.clear();
        break;
    case State::Unreadable:
        problem(1, unclosed);
        break;
    case State::Quoted:
    case State::TailQuoted:
        out += cell;
        problem(cellLine, unclosed);
        break;
    case State::Plain:
    case State::QuoteInQuotes:
        if (keeping)
            endCell(out, false);
        break;
    case State::CellStart:
    case State::Tail:
        break;
    }
    cell.clear();
    keeping = false;
    state = State::CellStart;
}

} // namespace

std::unique_ptr<Reader> csvReader(std::vector<std::string> columns)
{
    return std::make_unique<CsvReader>(std::move(columns));
}

} // namespace rewriting
