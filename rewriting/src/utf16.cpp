// Files in UTF-16, with their byte-order mark, as some address books are
// exported: read by the same readers through UTF-8, and written back in
// UTF-16 with every code unit as it came.
#include "readers.h"

#include <rewriting/formats.h>

namespace rewriting {

namespace {

class Utf16Reader final : public Reader
{
public:
    explicit Utf16Reader(std::unique_ptr<Reader> inner_)
        : inner(std::move(inner_))
    {
    }

    void feed(std::string_view piece, std::string &out) override
    {
        if (state == State::Start) {
            const std::size_t taken = std::min(piece.size(), 4 - start.size());
            start.append(piece.substr(0, taken));
            piece.remove_prefix(taken);
            if (start.size() < 4)
                return;
            begin(out);
        }
        if (state == State::Binary)
            return;
        if (state == State::Bytes)
            pass(piece, out);
        else
            transcode(piece, false, out);
    }

    void finish(std::string &out) override
    {
        if (state == State::Start && start.size() >= 2)
            begin(out);
        if (state == State::Binary)
            return;
        if (state == State::Start)
            pass(start, out);
        if (state == State::Start || state == State::Bytes) {
            inner->finish(out);
            takeFrom(*inner);
        } else {
            transcode({}, true, out);
        }
    }

    std::size_t held() const override
    {
        return inner->held() + text.size() + written.size() + carried.size() + unwritten.size();
    }

    void listConversions(bool on) override { inner->listConversions(on); }

private:
    enum class State { Start, Bytes, LittleEndian, BigEndian, Binary };

    // The first bytes tell UTF-16 by its mark, and a spreadsheet, which is
    // no text: written to a text file, it would be garbage.
    void begin(std::string &out)
    {
        if (isArchive(start)) {
            state = State::Binary;
            problem(0, "classeur ou archive, pas du texte : pour un classeur, utilisez --tableur");
            return;
        }
        state = start.starts_with("\xFF\xFE") ? State::LittleEndian
            : start.starts_with("\xFE\xFF")   ? State::BigEndian
                                              : State::Bytes;
        if (state == State::Bytes) {
            pass(start, out);
        } else {
            out += start.substr(0, 2); // the mark, as it came
            transcode(std::string_view(start).substr(2), false, out);
        }
    }

    void pass(std::string_view bytes, std::string &out)
    {
        inner->feed(bytes, out);
        takeFrom(*inner);
    }

    // Units in, as WTF-8 (UTF-8 that also carries unpaired surrogates, so
    // that any units come back), through the reader, and out as units.
    void transcode(std::string_view piece, bool last, std::string &out)
    {
        carried.append(piece);
        text.clear();
        std::size_t i = 0;
        for (; i + 2 <= carried.size(); i += 2) {
            const auto a = static_cast<unsigned char>(carried[i]);
            const auto b = static_cast<unsigned char>(carried[i + 1]);
            const auto unit = char32_t(state == State::LittleEndian ? a | b << 8 : b | a << 8);
            if (high && unit >= 0xDC00 && unit <= 0xDFFF) {
                append(0x10000 + ((high - 0xD800) << 10) + (unit - 0xDC00));
                high = 0;
                continue;
            }
            if (high)
                append(high);
            high = unit >= 0xD800 && unit <= 0xDBFF ? unit : 0;
            if (!high)
                append(unit);
        }
        carried.erase(0, i);
        if (last && high)
            append(high);
        written.clear();
        if (!text.empty())
            inner->feed(text, written);
        if (last)
            inner->finish(written);
        takeFrom(*inner);
        toUnits(out);
        if (last)
            out += carried; // an odd byte at the end, as it came
    }

    void append(char32_t c)
    {
        if (c < 0x80) {
            text += char(c);
            return;
        }
        const int extra = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
        const unsigned lead[] = {0, 0xC0, 0xE0, 0xF0};
        text += char(lead[extra] | (c >> (6 * extra)));
        for (int k = extra - 1; k >= 0; --k)
            text += char(0x80 | ((c >> (6 * k)) & 0x3F));
    }

    void unit(char32_t u, std::string &out) const
    {
        const char low = char(u & 0xFF), highByte = char(u >> 8);
        out += state == State::LittleEndian ? low : highByte;
        out += state == State::LittleEndian ? highByte : low;
    }

    // What the reader wrote, back in units; a sequence cut at the end of
    // what it wrote waits for the rest.
    void toUnits(std::string &out)
    {
        unwritten.append(written);
        std::size_t i = 0;
        while (i < unwritten.size()) {
            const auto lead = static_cast<unsigned char>(unwritten[i]);
            const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            if (i + length > unwritten.size())
                break;
            char32_t c = length == 1 ? lead : char32_t(lead & (0x7Fu >> length));
            for (std::size_t k = 1; k < length; ++k)
                c = (c << 6) | (static_cast<unsigned char>(unwritten[i + k]) & 0x3F);
            if (c >= 0x10000) {
                unit(0xD800 + ((c - 0x10000) >> 10), out);
                unit(0xDC00 + ((c - 0x10000) & 0x3FF), out);
            } else {
                unit(c, out);
            }
            i += length;
        }
        unwritten.erase(0, i);
    }

    std::unique_ptr<Reader> inner;
    State state = State::Start;
    std::string start;     // the first four bytes, until they are read
    std::string carried;   // an odd byte, until its pair comes
    char32_t high = 0;     // a high surrogate, until the next unit shows its pair
    std::string text;      // units as WTF-8, for the reader
    std::string written;   // what the reader wrote
    std::string unwritten; // of it, what is not yet back in units
};

} // namespace

std::unique_ptr<Reader> utf16Aware(std::unique_ptr<Reader> inner)
{
    return std::make_unique<Utf16Reader>(std::move(inner));
}

} // namespace rewriting
