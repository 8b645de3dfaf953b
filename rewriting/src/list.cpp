// A list: each line a field.
#include "bytes.h"
#include "readers.h"

#include <array>

namespace rewriting {

namespace {

class ListReader final : public LineReader
{
public:
    ListReader()
        : LineReader(longestField)
    {
    }

private:
    bool line(std::string_view text, bool whole, std::string &out) override
    {
        if (!whole)
            return true;
        const std::string_view number = withoutLineEnd(text);
        const std::size_t start = out.size();
        if (field(number, out, lines) == Verdict::Converted) {
            out.append(text.substr(number.size()));
            return false;
        }
        out.resize(start);
        return true;
    }

    // Lines of eight digits, or four pairs, that convert: most lines of a
    // list, read here without a call for each.
    std::size_t quickLines(std::string_view text, char lineEnd, std::string &out) override
    {
        if (listingConversions())
            return 0;
        // Written a block at a time: one call for each line costs as much as the line.
        std::array<char, 4096> made;
        std::size_t at = 0, size = 0, length = 0;
        do {
            const std::size_t rest = text.size() - at;
            const std::size_t line = rest > 8 && text[at + 8] == lineEnd ? 8
                : rest > 11 && text[at + 11] == lineEnd                  ? 11
                                                                         : 0;
            length = line ? convertQuickly(text.substr(at, line), made.data() + size) : 0;
            if (length) {
                made[size + length] = lineEnd;
                size += length + 1;
                at += line + 1;
                ++lines;
                countConverted();
            }
            if (!length || size + quickSize + 1 > made.size()) {
                out.append(made.data(), size);
                size = 0;
            }
        } while (length);
        return at;
    }
};

} // namespace

std::unique_ptr<Reader> listReader()
{
    return std::make_unique<ListReader>();
}

} // namespace rewriting
