// The kinds of file: told apart, and their readers made.
#include <rewriting/formats.h>

#include "bytes.h"
#include "readers.h"

#include <algorithm>

namespace rewriting {

const std::vector<std::string_view> telephoneColumns = {
#include "telephone_columns.inc"
};

// A column's name as it is compared: lower-case ASCII letters, accents of
// Latin-1 letters dropped (in UTF-8, in Latin-1 or Windows-1252, or in the
// Mac Roman of Excel for Mac's CSV), words of digits left out, anything else
// one blank between words.
std::string columnKey(std::string_view name)
{
    static constexpr std::string_view latin1 = "aaaaaaaceeeeiiiidnooooo ouuuuyts"
                                               "aaaaaaaceeeeiiiidnooooo ouuuuyty";
    static constexpr std::string_view macRoman = "aacenouaaaaaaceeeeiiiinooooouuuu";
    std::string plain;
    for (std::size_t i = 0; i < name.size(); ++i) {
        unsigned c = static_cast<unsigned char>(name[i]);
        const std::size_t length = c < 0xC2 || c > 0xF4 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        bool utf8 = length > 1 && i + length <= name.size();
        for (std::size_t k = 1; utf8 && k < length; ++k)
            utf8 = (static_cast<unsigned char>(name[i + k]) & 0xC0) == 0x80;
        if (utf8) {
            c = c == 0xC3 ? 0xC0 | (static_cast<unsigned char>(name[i + 1]) & 0x3F) : ' ';
            i += length - 1;
        }
        if (c >= 0xC0)
            plain += latin1[c - 0xC0];
        else if (c >= 0x80 && c < 0xA0)
            plain += macRoman[c - 0x80];
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            plain += char(c);
        else
            plain += c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : ' ';
    }
    std::string key;
    for (std::size_t start = 0; start < plain.size();) {
        const std::size_t end = std::min(plain.find(' ', start), plain.size());
        const std::string_view word = std::string_view(plain).substr(start, end - start);
        if (!word.empty() && word.find_first_not_of("0123456789") != word.npos)
            key.append(key.empty() ? "" : " ").append(word);
        start = end + 1;
    }
    return key;
}

// A column of telephone numbers is named as one of the list.
bool namesTelephone(std::string_view name)
{
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> made;
        for (std::string_view column : telephoneColumns)
            made.push_back(columnKey(column));
        return made;
    }();
    const std::string key = columnKey(name);
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

const FormatFacts &factsOf(Format format)
{
    return *std::find_if(formats.begin(), formats.end(),
        [format](const FormatFacts &facts) { return facts.format == format; });
}

bool isArchive(std::string_view start)
{
    return start.starts_with("PK\x03\x04") || start.starts_with("\xD0\xCF\x11\xE0");
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
    if (isArchive(start))
        return Format::Workbook;
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
    if (format == Format::Workbook)
        return workbookReader(std::move(columns));
    const auto reader = [&]() -> std::unique_ptr<Reader> {
        switch (format) {
        case Format::VCard:
            return vcardReader();
        case Format::Csv:
            return csvReader(std::move(columns));
        case Format::Workbook:
            break;
        case Format::List:
            break;
        }
        return listReader();
    };
    return utf16Aware(reader());
}

} // namespace rewriting
