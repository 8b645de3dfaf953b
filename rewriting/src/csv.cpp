// A CSV file (RFC 4180, or the semicolons and tabs of spreadsheets): the cells
// of its telephone columns, found from its header, each read as a field.
#include "bytes.h"
#include "readers.h"

#include <rewriting/formats.h>

#include <algorithm>
#include <array>

namespace rewriting {

namespace {

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
// Titles and blank rows above the header, at most.
constexpr std::size_t mostTitles = 10;

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
        Header,        // the rows up to the header, each held until it ends
        CellStart,     // a cell of a column up to the last converted one
        Plain,         // in a cell without quotes
        Quoted,        // in quotes
        QuoteInQuotes, // a quote in quotes: doubled, or their end
        Tail,          // past the record's last converted cell: only its end matters
        TailQuoted,    // in quotes there
        Unread,        // no header to read it by: copied as it comes
    };

    std::size_t readRow(std::string_view piece, std::size_t from);
    void headerRow(std::string_view row);
    void endCell(std::string &out, bool atLineEnd);
    std::size_t countLines(std::string_view text) const
    {
        return std::size_t(std::count(text.begin(), text.end(), lineEnd));
    }

    std::vector<std::string> wanted;
    State state = State::Header;
    std::string header;           // the row being read above the data
    bool headerQuoted = false;    // its quotes are open
    bool carriageReturns = false; // it ends in CRs, and what follows says how lines end
    bool rowEnded = false;
    std::size_t rows = 0;                   // read above the data
    char delimiter = 0;                     // given by a sep= line, or found from the header
    char lineEnd = 0;                       // LF (LF, CRLF, CR CR LF), or CR as old Macs wrote
    std::vector<std::string> seen;          // the names of the widest row above the data
    std::vector<char> converted;            // by column, up to the last converted one
    std::vector<std::size_t> nextConverted; // by column, the next converted, or past them
    std::size_t column = 0;
    std::size_t line = 1;
    bool keeping = false; // the cell is held, to be read as a field
    bool quoted = false;  // it began with a quote
    std::string cell;
    std::size_t cellLine = 0;
};

// Reads the row above the data into header from `from`, a byte at a time, as
// it is short; where the piece is read to. rowEnded when the row is whole.
std::size_t CsvReader::readRow(std::string_view piece, std::size_t from)
{
    std::size_t i = from;
    while (i < piece.size() && !rowEnded) {
        const char c = piece[i];
        if (carriageReturns && c != '\r') {
            // CRs, then LF: lines end with LF; then anything else: with CR,
            // and the row ended before it.
            carriageReturns = false;
            lineEnd = c == '\n' ? '\n' : '\r';
            rowEnded = true;
            if (lineEnd == '\r')
                break;
        }
        header += c;
        ++i;
        if (c == '"')
            headerQuoted = !headerQuoted;
        else if (headerQuoted)
            continue;
        else if (c == '\n' && lineEnd != '\r') {
            rowEnded = true;
            lineEnd = '\n';
        } else if (c == '\r' && lineEnd == '\r')
            rowEnded = true;
        else if (c == '\r' && !lineEnd)
            carriageReturns = true;
    }
    return i;
}

void CsvReader::feed(std::string_view piece, std::string &out)
{
    std::size_t copied = 0; // the bytes before it are written or held
    std::size_t i = 0;
#if defined(__SSE2__)
    CsvMarks marks(piece, delimiter, lineEnd);
#endif
    const auto toCell = [&](std::size_t to) {
        cell.append(piece.substr(copied, to - copied));
        copied = to;
    };
    while (i < piece.size()) {
        switch (state) {
        case State::Header:
            i = copied = readRow(piece, i);
            if (rowEnded) {
                out += header;
                line += countLines(header);
                rowEnded = false;
                headerRow(withoutLineEnd(header));
                header.clear();
#if defined(__SSE2__)
                marks = CsvMarks(piece, delimiter, lineEnd);
#endif
            } else if (header.size() > longestHeader) {
                out += header;
                header.clear();
                state = State::Unread;
                if (headerQuoted)
                    problem(line, unclosed);
            }
            break;
        case State::Unread:
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
#if defined(__SSE2__)
                const std::size_t next = nextConverted[column];
                if (const std::size_t past = marks.pastDelimiters(i, next - column);
                    past != std::string_view::npos) {
                    i = past;
                    column = next;
                    break;
                }
#endif
                std::size_t at = column, lines = line;
                for (;;) {
                    i = firstOf(piece, i, delimiter, lineEnd);
                    if (i == piece.size()) {
                        state = State::Plain;
                        break;
                    }
                    const bool ended = piece[i++] == lineEnd;
                    lines += ended;
                    at = ended ? 0 : at + 1;
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
            i = firstOf(piece, i, delimiter, lineEnd);
            if (i < piece.size()) {
                const bool ended = piece[i] == lineEnd;
                if (keeping) {
                    toCell(i);
                    endCell(out, ended);
                }
                column = ended ? 0 : column + 1;
                line += ended;
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
#if defined(__SSE2__)
            if (const std::size_t end = marks.pastRowEnd(i, line); end != std::string_view::npos) {
                column = 0;
                ++line;
                state = State::CellStart;
                i = end;
                break;
            }
#endif
            i = firstOf(piece, i, '"', lineEnd);
            if (i < piece.size()) {
                if (piece[i] == lineEnd) {
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

// A row above the data: Excel's sep= line, a title or a blank row, or the
// header, which names the columns to convert; when no header is found, the
// file is copied as it came, and said.
void CsvReader::headerRow(std::string_view row)
{
    ++rows;
    if (rows == 1 && row.size() == 5 && sameLetters(row.substr(0, 4), "sep=")) {
        delimiter = row[4];
        return;
    }
    char separator = delimiter;
    if (!separator) {
        // The one the names are separated by: the most common outside
        // quotes, a semicolon first, as French spreadsheets write.
        std::size_t most = 0;
        separator = ',';
        for (char candidate : {';', ',', '\t'}) {
            bool quotedName = false;
            std::size_t count = 0;
            for (char c : row) {
                quotedName ^= c == '"';
                count += c == candidate && !quotedName;
            }
            if (count > most) {
                most = count;
                separator = candidate;
            }
        }
    }
    const std::vector<std::string> names = cellsOf(row, separator);
    std::vector<char> found(wanted.size());
    std::vector<char> columns;
    std::size_t named = 0;
    for (const std::string &name : names) {
        bool convert = wanted.empty() && namesTelephone(name);
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            if (!columnKey(name).empty() && columnKey(name) == columnKey(wanted[k])) {
                found[k] = 1;
                convert = true;
            }
        }
        columns.push_back(convert);
        named += !trimmed(name).empty();
    }
    const bool naming = std::find(columns.begin(), columns.end(), 1) != columns.end();
    if (!naming && named <= 1 && rows <= mostTitles)
        return; // a title, or a blank row
    if (named > 1 || seen.empty())
        seen = names;
    delimiter = separator;
    state = State::CellStart;
    converted = std::move(columns);
    // Past the last converted column, cells need not be told apart.
    while (!converted.empty() && !converted.back())
        converted.pop_back();
    nextConverted.assign(converted.size(), converted.size());
    for (std::size_t k = converted.size(); k-- > 1;)
        nextConverted[k - 1] = converted[k] ? k : nextConverted[k];
    for (std::size_t k = 0; k < wanted.size(); ++k) {
        if (!found[k])
            problem(line - 1, "pas de colonne « " + wanted[k] + " »");
    }
    if (!naming && wanted.empty()) {
        std::string listed;
        for (const std::string &name : seen)
            listed += (listed.empty() ? "« " : ", « ") + name + " »";
        problem(line - 1,
            "aucune colonne de téléphone parmi " + listed
                + " : nommez-la avec --colonne NOM ; le fichier est recopié tel quel");
        state = State::Unread;
    }
}

// Writes the held cell, each number in it rewritten; at a line end, its CRs
// stay after it. A cell Excel keeps as text, ="42123456", is read inside.
void CsvReader::endCell(std::string &out, bool atLineEnd)
{
    std::string_view text = cell;
    std::size_t returns = 0;
    while (atLineEnd && text.ends_with('\r')) {
        text.remove_suffix(1);
        ++returns;
    }
    std::string_view inner = text;
    const bool wholeQuotes = quoted && text.size() >= 2 && text.ends_with('"');
    if (wholeQuotes)
        inner = text.substr(1, text.size() - 2);
    // ="..." as is, or "=""...""" in quotes.
    const std::string_view formulaQuote = wholeQuotes ? "\"\"" : "\"";
    std::string_view before = wholeQuotes ? "\"" : "", after = before;
    if (inner.starts_with('=') && inner.substr(1).starts_with(formulaQuote)
        && inner.size() >= 1 + 2 * formulaQuote.size() && inner.ends_with(formulaQuote)) {
        before = text.substr(0, before.size() + 1 + formulaQuote.size());
        after = text.substr(text.size() - after.size() - formulaQuote.size());
        inner = inner.substr(1 + formulaQuote.size(), inner.size() - 1 - 2 * formulaQuote.size());
    }
    if (!quoted || wholeQuotes) {
        out += before;
        const bool several = inner.find(':') != inner.npos;
        for (std::size_t start = 0;;) {
            const std::size_t joint = several ? inner.find(numberJoint, start) : inner.npos;
            field(inner.substr(start, joint - start), out, cellLine);
            if (joint == inner.npos)
                break;
            out += numberJoint;
            start = joint + numberJoint.size();
        }
        out += after;
    } else {
        out += text; // text after the closing quote: not a cell to read
    }
    out.append(returns, '\r');
    cell.clear();
}

void CsvReader::finish(std::string &out)
{
    switch (state) {
    case State::Header:
        out += header;
        if (headerQuoted)
            problem(line, unclosed);
        else if (!header.empty())
            headerRow(withoutLineEnd(header));
        if (state == State::Header && rows > 0 && wanted.empty())
            problem(line, "aucune colonne de téléphone : nommez-la avec --colonne NOM");
        for (std::size_t k = 0; state == State::Header && k < wanted.size(); ++k)
            problem(line, "pas de colonne « " + wanted[k] + " »");
        header.clear();
        break;
    case State::Unread:
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
