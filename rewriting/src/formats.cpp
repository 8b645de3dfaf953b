// The kinds of file: told apart, and their readers made.
#include <rewriting/formats.h>

#include "bytes.h"
#include "readers.h"

#include <algorithm>

namespace rewriting {

const std::vector<std::string_view> telephoneColumns = {
#include "telephone_columns.inc"
};

const FormatFacts &factsOf(Format format)
{
    return *std::find_if(formats.begin(), formats.end(),
        [format](const FormatFacts &facts) { return facts.format == format; });
}

Format formatOf(std::string_view fileName, std::string_view start)
{
    const std::size_t dot = fileName.rfind('.');
    const std::string_view extension = dot == fileName.npos ? "" : fileName.substr(dot + 1);
    for (const FormatFacts &facts : formats) {
        for (std::string_view known : facts.extensions) {
            if (!known.empty() && sameLetters(extension, known))
                return facts.format;
        }
    }
    // In UTF-16, the ASCII of its first units is enough to tell.
    std::string ascii;
    if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
        const std::size_t low = start[0] == '\xFF' ? 0 : 1;
        for (std::size_t i = 2; i + 1 < start.size(); i += 2)
            ascii += start[i + low];
        start = ascii;
    }
    if (start.starts_with(byteOrderMark))
        start.remove_prefix(byteOrderMark.size());
    start.remove_prefix(std::min(start.find_first_not_of(" \t\r\n"), start.size()));
    if (sameLetters(start.substr(0, 11), "BEGIN:VCARD"))
        return Format::VCard;
    // A heading of several columns.
    const std::string_view first = start.substr(0, start.find('\n'));
    return first.find_first_of(",;\t") != first.npos ? Format::Csv : Format::List;
}

std::unique_ptr<Reader> readerOf(Format format, std::vector<std::string> columns)
{
    const auto reader = [&]() -> std::unique_ptr<Reader> {
        switch (format) {
        case Format::VCard:
            return vcardReader();
        case Format::Csv:
            return csvReader(std::move(columns));
        case Format::List:
            break;
        }
        return listReader();
    };
    return utf16Aware(reader());
}

} // namespace rewriting
