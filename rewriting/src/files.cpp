// Finds the fields of lists, vCards and CSV files in their bytes, hands each
// to the field's rewriting and copies every other byte through as it came.
#include <rewriting/field.h>
#include <rewriting/files.h>

#include <algorithm>
#include <array>

namespace rewriting {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
        return lower(x) == lower(y);
    });
}

bool containsLetters(std::string_view text, std::string_view part)
{
    for (std::size_t i = 0; i + part.size() <= text.size(); ++i) {
        if (lower(text[i]) == lower(part[0]) && sameLetters(text.substr(i, part.size()), part))
            return true;
    }
    return false;
}

// Where the first of two bytes stands from `from` on; find_first_of looks
// each byte up in the set, which is slower.
std::size_t firstOf(std::string_view text, char a, char b, std::size_t from = 0)
{
    for (std::size_t i = from; i < text.size(); ++i) {
        if (text[i] == a || text[i] == b)
            return i;
    }
    return text.npos;
}

std::string_view withoutLineEnd(std::string_view line)
{
    if (line.ends_with('\n'))
        line.remove_suffix(1);
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

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

// A column of telephone numbers says so in its name: Téléphone, Tél.
// mobile, Phone 1 - Value, Portable, GSM, Fax, Télécopie... but not the
// column of their kinds (Phone 1 - Type).
bool namesTelephone(std::string_view name)
{
    static constexpr std::array<std::string_view, 7> stems
        = {"tel", "phone", "mobil", "portable", "gsm", "fax", "cell"};
    const std::string plain = plainName(name);
    bool telephone = false;
    for (std::size_t start = 0; start < plain.size();) {
        const std::size_t end = std::min(plain.find(' ', start), plain.size());
        const std::string_view word = std::string_view(plain).substr(start, end - start);
        if (word == "type")
            return false;
        for (std::string_view stem : stems)
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

// The longest cell of a converted column that is read as a number: a longer
// one is copied through as it comes.
constexpr std::size_t longestCell = 4096;

} // namespace

Format formatOf(std::string_view fileName, std::string_view start)
{
    const std::size_t dot = fileName.rfind('.');
    const std::string_view extension = dot == fileName.npos ? "" : fileName.substr(dot + 1);
    for (std::string_view vcard : {"vcf", "vcard"}) {
        if (sameLetters(extension, vcard))
            return Format::VCard;
    }
    for (std::string_view csv : {"csv", "tsv"}) {
        if (sameLetters(extension, csv))
            return Format::Csv;
    }
    if (sameLetters(extension, "txt"))
        return Format::List;
    if (start.starts_with("\xEF\xBB\xBF"))
        start.remove_prefix(3);
    start.remove_prefix(std::min(start.find_first_not_of(" \t\r\n"), start.size()));
    if (sameLetters(start.substr(0, 11), "BEGIN:VCARD"))
        return Format::VCard;
    // A heading of several columns.
    const std::string_view first = start.substr(0, start.find('\n'));
    return first.find_first_of(",;\t") != first.npos ? Format::Csv : Format::List;
}

std::string said(const Report &report)
{
    return "« " + report.number + " » : aucune règle, laissé tel quel";
}

std::string said(const Counts &counts)
{
    return "convertis " + std::to_string(counts.converted) + ", laissés tels quels "
        + std::to_string(counts.left) + ", signalés " + std::to_string(counts.reported);
}

FileRewriter::FileRewriter(Format format_, std::vector<std::string> columns)
    : format(format_)
    , wanted(std::move(columns))
{
}

void FileRewriter::feed(std::string_view piece, std::string &out)
{
    while (!piece.empty()) {
        const std::size_t end = piece.find('\n');
        if (end == piece.npos) {
            partial.append(piece);
            return;
        }
        if (partial.empty()) {
            line(piece.substr(0, end + 1), out);
        } else {
            partial.append(piece.substr(0, end + 1));
            line(partial, out);
            partial.clear();
        }
        piece.remove_prefix(end + 1);
    }
}

void FileRewriter::finish(std::string &out)
{
    if (!partial.empty())
        line(partial, out);
    partial.clear();
    endFile(out);
}

void FileRewriter::line(std::string_view text, std::string &out)
{
    // A byte-order mark belongs to no field.
    if (++lines == 1 && text.starts_with("\xEF\xBB\xBF")) {
        out += text.substr(0, 3);
        text.remove_prefix(3);
    }
    switch (format) {
    case Format::List:
        listLine(text, out);
        break;
    case Format::VCard:
        vcardLine(text, out);
        break;
    case Format::Csv:
        csvLine(text, out);
        break;
    }
}

// One field through the rewriting, counted, and reported when no rule
// converts it; a blank field is not counted.
Verdict FileRewriter::field(std::string_view text, std::string &out, std::size_t at)
{
    const Verdict verdict = rewriteField(text, out);
    if (verdict == Verdict::Converted) {
        ++counted.converted;
    } else if (verdict == Verdict::NoRule) {
        ++counted.reported;
        const std::size_t start = text.find_first_not_of(" \t");
        const std::size_t end = text.find_last_not_of(" \t");
        reported.push_back({at, std::string(text.substr(start, end - start + 1))});
    } else if (std::any_of(
                   text.begin(), text.end(), [](char c) { return c != ' ' && c != '\t'; })) {
        ++counted.left;
    }
    return verdict;
}

void FileRewriter::listLine(std::string_view text, std::string &out)
{
    const std::string_view number = withoutLineEnd(text);
    field(number, out, lines);
    out += text.substr(number.size());
}

void FileRewriter::vcardLine(std::string_view text, std::string &out)
{
    if (!held.empty()) {
        if (text.starts_with(' ') || text.starts_with('\t')) {
            held += text;
            return;
        }
        writeHeldTel(out);
    }
    // A property's name, after its group if any (item1.TEL), up to its
    // parameters or its value.
    const std::size_t nameEnd = firstOf(text, ';', ':');
    std::string_view name = text.substr(0, nameEnd);
    name.remove_prefix(name.rfind('.') == name.npos ? 0 : name.rfind('.') + 1);
    if (nameEnd != text.npos && sameLetters(name, "TEL")) {
        held = text;
        heldLine = lines;
    } else {
        out += text;
    }
}

// The held TEL property, unfolded to read its value, written back as it came
// but for the number, which keeps no fold of its own.
void FileRewriter::writeHeldTel(std::string &out)
{
    const std::string_view raw = withoutLineEnd(held);
    std::size_t colon = 0;
    for (bool quotedParameter = false; colon < raw.size(); ++colon) {
        if (raw[colon] == '"')
            quotedParameter = !quotedParameter;
        else if (raw[colon] == ':' && !quotedParameter)
            break;
    }
    const std::string_view parameters = raw.substr(0, colon);
    std::string_view value = raw.substr(std::min(colon + 1, raw.size()));
    // Where each byte of the value stands in the property as written: where
    // it is folded, each line end and the blank after it are not the value's.
    const std::size_t valueStart = raw.size() - value.size();
    const bool folded = value.find('\n') != value.npos;
    if (folded) {
        unfolded.clear();
        from.clear();
        for (std::size_t i = valueStart; i < raw.size(); ++i) {
            if (raw[i] == '\r' || raw[i] == '\n') {
                i += raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n' ? 2u : 1u;
                continue;
            }
            unfolded += raw[i];
            from.push_back(i);
        }
        value = unfolded;
    }
    const auto written = [&](std::size_t i) { return folded ? from[i] : valueStart + i; };
    std::size_t offset = 0;
    std::string_view number = value;
    if (sameLetters(value.substr(0, 4), "tel:")) {
        offset = 4;
        number = value.substr(4, value.find(';') == value.npos ? value.npos : value.find(';') - 4);
    }
    // A value encoded for transport is not read.
    const bool encoded = containsLetters(parameters, "ENCODING=")
        || containsLetters(parameters, "QUOTED-PRINTABLE") || containsLetters(parameters, "BASE64");
    const std::size_t start = out.size();
    bool changed = false;
    if (!encoded && !number.empty()) {
        out += std::string_view(held).substr(0, written(offset));
        changed = field(number, out, heldLine) == Verdict::Converted;
        if (changed)
            out += std::string_view(held).substr(written(offset + number.size() - 1) + 1);
    }
    if (!changed) {
        out.resize(start);
        out += held;
    }
    held.clear();
}

void FileRewriter::readHeader(std::string_view text)
{
    header += text;
    if (std::count(header.begin(), header.end(), '"') % 2 != 0)
        return; // a quoted name runs on
    headerRead = true;
    const std::string_view record = withoutLineEnd(header);
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
        if (!found[k] && trouble.empty()) {
            trouble = "pas de colonne « " + wanted[k] + " »";
            troubleLine = 1;
        }
    }
}

// Copies a line of records through, holding the cells of converted columns
// until they end; past the last of those, only quotes matter, for where the
// record ends.
void FileRewriter::csvLine(std::string_view text, std::string &out)
{
    if (!headerRead) {
        readHeader(text);
        if (headerRead)
            out += header;
        return;
    }
    const std::size_t lineEnd = text.ends_with('\n') ? text.size() - 1 : text.size();
    std::size_t copied = 0; // what is before it is written
    const auto hold = [&](std::string_view part) {
        if (keeping)
            cell += part;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        if (inQuotes) {
            const std::size_t close = text.find('"', i);
            hold(text.substr(i, close == text.npos ? close : close + 1 - i));
            if (close == text.npos)
                break;
            i = close + 1;
            inQuotes = i < text.size() && text[i] == '"'; // a doubled quote
            if (inQuotes)
                hold(text.substr(i++, 1));
        } else if (!inCell && column >= converted.size()) {
            // The record's last converted cell is behind.
            for (std::size_t quote = text.find('"', i); quote != text.npos;
                 quote = text.find('"', quote + 1))
                inTail = !inTail;
            column = inTail || lineEnd == text.size() ? column : 0;
            break;
        } else if (!inCell) {
            inCell = true;
            keeping = converted[column];
            quoted = inQuotes = text[i] == '"';
            cellLine = lines;
            if (keeping) {
                out.append(text.substr(copied, i - copied));
                copied = i;
                cell.clear();
            }
            if (quoted)
                hold(text.substr(i++, 1));
        } else {
            const std::size_t end = std::min(text.find(delimiter, i), lineEnd);
            hold(text.substr(i, end - i));
            i = end;
            if (end == text.size())
                break; // the last line has no end: the cell ends with the file
            if (keeping)
                copied = i - endCell(out, end == lineEnd);
            inCell = false;
            column = end == lineEnd ? 0 : column + 1;
            ++i;
        }
        if (keeping && cell.size() > longestCell) {
            out += cell;
            cell.clear();
            keeping = false;
            copied = i;
        }
    }
    if (!(inCell && keeping))
        out.append(text.substr(copied));
}

// Writes a cell of a converted column, each number in it rewritten; a line
// end's CR is left to the caller: the count of bytes it left.
std::size_t FileRewriter::endCell(std::string &out, bool atLineEnd)
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
    keeping = false;
    return carriageReturn ? 1 : 0;
}

void FileRewriter::endFile(std::string &out)
{
    if (format == Format::VCard && !held.empty())
        writeHeldTel(out);
    if (format != Format::Csv)
        return;
    const std::string unclosed = "guillemets jamais fermés, la suite est recopiée telle quelle";
    if (!headerRead) {
        out += header;
        if (!header.empty() && trouble.empty()) {
            trouble = unclosed;
            troubleLine = 1;
        }
    } else if (inQuotes || inTail) {
        out += keeping ? cell : "";
        trouble = unclosed;
        troubleLine = cellLine;
    } else if (inCell && keeping) {
        endCell(out, false);
    }
    inCell = keeping = false;
}

} // namespace rewriting
