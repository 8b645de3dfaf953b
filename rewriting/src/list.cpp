// A list: each line a field.
#include "bytes.h"
#include "readers.h"

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
};

} // namespace

std::unique_ptr<Reader> listReader()
{
    return std::make_unique<ListReader>();
}

} // namespace rewriting
