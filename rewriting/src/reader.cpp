// What every reader shares: fields counted and reported, and lines split.
#include <rewriting/reader.h>

#include "bytes.h"

#include <array>
#include <cstring>

namespace rewriting {

std::string said(const Counts &counts)
{
    return "convertis " + std::to_string(counts.converted) + ", laissés tels quels "
        + std::to_string(counts.left) + ", signalés " + std::to_string(counts.reported);
}

Verdict Reader::field(
    std::string_view text, std::string &out, std::size_t line, std::string_view place)
{
    if (!listing) {
        // Most fields: no number to keep for a report.
        std::array<char, quickSize> made;
        if (const std::size_t size = convertQuickly(text, made.data())) {
            out.append(made.data(), size);
            ++counted.converted;
            return Verdict::Converted;
        }
    }
    numbers.clear();
    const Verdict verdict = rewriteField(text, out, &numbers);
    for (const Number &number : numbers) {
        const auto quoted = [&number] { return "« " + std::string(number.written) + " »"; };
        if (number.verdict == Verdict::Converted) {
            ++counted.converted;
            if (listing)
                reported.push_back(
                    {line, quoted() + " → « " + out.substr(number.at, number.size) + " »", false,
                        std::string(place)});
        } else if (number.verdict == Verdict::NoRule) {
            ++counted.reported;
            reported.push_back(
                {line, quoted() + " : aucune règle, laissé tel quel", false, std::string(place)});
        } else {
            ++counted.left;
        }
    }
    if (numbers.empty() && !trimmed(text).empty())
        ++counted.left;
    return verdict;
}

void Reader::takeFrom(Reader &inner)
{
    for (Report &report : inner.reported)
        reported.push_back(std::move(report));
    inner.reported.clear();
    counted = inner.counted;
    trouble = trouble || inner.trouble;
}

void Reader::problem(std::size_t line, std::string said)
{
    reported.push_back({line, std::move(said), true});
    trouble = true;
}

namespace {

// The byte that ends the lines of a file, from its first line end: LF (as
// LF, CRLF or CR CR LF), or CR alone, as old Macs wrote; 0 when it cannot
// be told yet.
char lineEndOf(std::string_view text)
{
    const std::size_t first = text.find_first_of("\r\n");
    if (first == text.npos)
        return 0;
    const std::size_t after = text.find_first_not_of('\r', first);
    if (after == text.npos)
        return 0;
    return text[after] == '\n' ? '\n' : '\r';
}

} // namespace

void LineReader::feed(std::string_view piece, std::string &out)
{
    if (ending) {
        split(piece, out);
        return;
    }
    undecided.append(piece);
    ending = lineEndOf(undecided);
    if (!ending && undecided.size() <= longest)
        return;
    const std::string bytes = std::move(undecided);
    undecided.clear();
    ending = ending ? ending : '\n';
    split(bytes, out);
}

void LineReader::split(std::string_view piece, std::string &out)
{
    std::size_t kept = 0; // the bytes from here on go out as they came, lazily
    for (std::size_t at = 0; at < piece.size();) {
        const char *found
            = static_cast<const char *>(std::memchr(piece.data() + at, ending, piece.size() - at));
        const std::size_t end = found ? std::size_t(found - piece.data()) + 1 : piece.size();
        if (!passing && partial.empty() && lines > 0 && kept == at) {
            if (const std::size_t read = quickLines(piece.substr(at), ending, out)) {
                at = kept = at + read;
                continue;
            }
        }
        if (passing) {
            passing = !found;
        } else if (partial.empty() && found) {
            // A line within the piece, mostly left as it came.
            std::size_t start = at;
            if (lines == 0 && piece.substr(at, end - at).starts_with(byteOrderMark))
                start += byteOrderMark.size();
            const std::string_view text = piece.substr(start, end - start);
            ++lines;
            const bool whole = text.size() <= longest;
            if (kept == start) {
                // Nothing waits to be copied: what the line writes goes out at once.
                kept = line(text, whole, out) || !whole ? start : end;
            } else {
                scratch.clear();
                const bool asItCame = line(text, whole, scratch) || !whole;
                if (!scratch.empty() || !asItCame) {
                    out.append(piece.substr(kept, start - kept)).append(scratch);
                    kept = asItCame ? start : end;
                }
            }
        } else {
            // A line that runs over the piece's end: held, then read from there.
            out.append(piece.substr(kept, at - kept));
            kept = end;
            partial.append(piece.substr(at, end - at));
            if (found || partial.size() > longest) {
                passing = !found;
                lineHeld(!found, out);
            }
        }
        at = end;
    }
    out.append(piece.substr(kept));
}

void LineReader::lineHeld(bool cut, std::string &out)
{
    const std::string text = std::move(partial);
    partial.clear();
    std::string_view line = text;
    if (lines++ == 0 && line.starts_with(byteOrderMark)) {
        out.append(byteOrderMark);
        line.remove_prefix(byteOrderMark.size());
    }
    const bool whole = !cut && line.size() <= longest;
    if (this->line(line, whole, out) || !whole)
        out.append(line);
}

void LineReader::finish(std::string &out)
{
    if (!ending) {
        ending = '\n';
        const std::string bytes = std::move(undecided);
        undecided.clear();
        split(bytes, out);
    }
    if (!partial.empty() && !passing)
        lineHeld(false, out);
    passing = false;
    end(out);
}

} // namespace rewriting
