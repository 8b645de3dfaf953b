// A vCard (2.1, 3.0, 4.0): the values of its TEL properties, read unfolded,
// each written back with its folds and parameters as they came.
#include "bytes.h"
#include "readers.h"

#include <vector>

namespace rewriting {

namespace {

// A property's name, after its group if any (item1.TEL), up to its
// parameters or its value; empty when the line holds neither.
std::string_view nameOf(std::string_view line)
{
    std::size_t end = 0;
    while (end < line.size() && line[end] != ';' && line[end] != ':') {
        if (++end > 64)
            return {}; // no name is so long
    }
    if (end == line.size())
        return {};
    std::string_view name = line.substr(0, end);
    const std::size_t dot = name.rfind('.');
    return dot == name.npos ? name : name.substr(dot + 1);
}

// A value encoded for transport is not read: quoted-printable or base64,
// named by ENCODING= or alone as vCard 2.1 allows; 8BIT and 7BIT are not
// such encodings.
bool encodedForTransport(std::string_view parameters)
{
    for (std::size_t start = parameters.find(';'); start != parameters.npos;) {
        const std::size_t end = std::min(parameters.find(';', start + 1), parameters.size());
        std::string_view parameter = parameters.substr(start + 1, end - start - 1);
        if (sameLetters(parameter.substr(0, 9), "ENCODING="))
            parameter.remove_prefix(9);
        for (std::string_view encoding : {"QUOTED-PRINTABLE", "BASE64", "B"}) {
            if (sameLetters(parameter, encoding))
                return true;
        }
        start = end < parameters.size() ? end : parameters.npos;
    }
    return false;
}

bool isFold(std::string_view line)
{
    return line.starts_with(' ') || line.starts_with('\t');
}

class VCardReader final : public LineReader
{
public:
    VCardReader()
        : LineReader(longestField)
    {
    }

private:
    enum class State {
        Properties,      // a property starts each line
        Tel,             // a TEL held: a fold may continue it
        QuotedPrintable, // a value whose soft line break continues it
    };

    bool line(std::string_view text, bool whole, std::string &out) override
    {
        if (state == State::QuotedPrintable) {
            state = softBreak(text) ? State::QuotedPrintable : State::Properties;
            return true;
        }
        if (state == State::Tel) {
            if (whole && isFold(text) && held.size() + text.size() <= longestField) {
                held += text;
                return false;
            }
            const bool continues = quotedPrintable(held);
            writeHeldTel(out);
            state = State::Properties;
            if (continues) {
                state = softBreak(text) ? State::QuotedPrintable : State::Properties;
                return true;
            }
        }
        const std::string_view name = nameOf(text);
        if (whole && (sameLetters(name, "TEL") || sameLetters(name, "X-MS-TEL"))) {
            held = text;
            heldLine = lines;
            state = State::Tel;
            return false;
        }
        if (quotedPrintable(text))
            state = State::QuotedPrintable;
        return true;
    }

    void end(std::string &out) override
    {
        if (state == State::Tel)
            writeHeldTel(out);
        state = State::Properties;
    }

    std::size_t heldByLines() const override { return held.size(); }

    // A quoted-printable line that ends in = goes on with the next line.
    static bool softBreak(std::string_view text) { return withoutLineEnd(text).ends_with('='); }
    static bool quotedPrintable(std::string_view property)
    {
        return softBreak(property)
            && containsLetters(property.substr(0, property.find(':')), "QUOTED-PRINTABLE");
    }

    void writeHeldTel(std::string &out);

    State state = State::Properties;
    std::string held; // the TEL property, folds and all
    std::size_t heldLine = 0;
    std::string unfolded;          // its value, unfolded
    std::vector<std::size_t> from; // where each byte of it stands in held
};

// The held TEL property, unfolded to read its value, written back as it came
// but for the number, which keeps no fold of its own.
void VCardReader::writeHeldTel(std::string &out)
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
    const bool encoded = encodedForTransport(parameters);
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

} // namespace

std::unique_ptr<Reader> vcardReader()
{
    return std::make_unique<VCardReader>();
}

} // namespace rewriting
