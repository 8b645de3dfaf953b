// Just enough XML for the parts of a spreadsheet: tags found and named,
// attributes read and set, text decoded; every byte not touched stays.
#pragma once

#include <conversion/utf8.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace rewriting::xml {

// `what` in `text` from `from`: the C library's search, where it has one,
// skips through the rows whose cells are passed over far faster.
inline std::size_t find(std::string_view text, std::string_view what, std::size_t from)
{
#if defined(__GLIBC__) || defined(__EMSCRIPTEN__)
    if (from > text.size())
        return text.npos;
    const void *at = memmem(text.data() + from, text.size() - from, what.data(), what.size());
    return at ? std::size_t(static_cast<const char *>(at) - text.data()) : text.npos;
#else
    return text.find(what, from);
#endif
}

inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The end of the tag opened at `from` ('<'), past quoted values: the index of
// its '>', or npos when it is not all there.
inline std::size_t tagEnd(std::string_view text, std::size_t from)
{
    // Most tags have no '>' in a value: the first '>', when the quotes
    // before it pair up.
    const std::size_t first = text.find('>', from + 1);
    if (first == text.npos)
        return first;
    unsigned quotes = 0, apostrophes = 0;
    for (std::size_t i = from; i < first; ++i) {
        quotes += text[i] == '"';
        apostrophes += text[i] == '\'';
    }
    if (quotes % 2 == 0 && apostrophes == 0)
        return first;
    char quote = 0;
    for (std::size_t i = from + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote)
            quote = c == quote ? 0 : quote;
        else if (c == '"' || c == '\'')
            quote = c;
        else if (c == '>')
            return i;
    }
    return text.npos;
}

// A tag's name as written, prefix and all, without its '<' or '</'.
inline std::string_view nameOf(std::string_view tag)
{
    std::size_t start = tag.starts_with("</") ? 2 : 1;
    std::size_t end = start;
    while (end < tag.size() && !isSpace(tag[end]) && tag[end] != '>' && tag[end] != '/')
        ++end;
    return tag.substr(start, end - start);
}

inline std::string_view localName(std::string_view name)
{
    const std::size_t colon = name.find(':');
    return colon == name.npos ? name : name.substr(colon + 1);
}

inline std::string_view prefixOf(std::string_view name)
{
    const std::size_t colon = name.find(':');
    return colon == name.npos ? std::string_view() : name.substr(0, colon + 1);
}

inline bool closes(std::string_view tag)
{
    return tag.starts_with("</");
}

inline bool empty(std::string_view tag)
{
    return tag.ends_with("/>");
}

// Where the value of attribute `name` stands in a start tag, as written.
struct Attribute
{
    std::size_t at = 0;    // the name's first byte
    std::size_t value = 0; // the value's first byte, after the quote
    std::size_t size = 0;  // the value's bytes
    std::string_view text; // the value
};

inline std::optional<Attribute> attributeAt(std::string_view tag, std::string_view name)
{
    for (std::size_t at = tag.find(name); at != tag.npos; at = tag.find(name, at + 1)) {
        const std::size_t after = at + name.size();
        if (!isSpace(tag[at - 1]) || after + 1 >= tag.size() || tag[after] != '=')
            continue;
        const char quote = tag[after + 1];
        const std::size_t end = tag.find(quote, after + 2);
        if ((quote != '"' && quote != '\'') || end == tag.npos)
            return std::nullopt;
        return Attribute{at, after + 2, end - after - 2, tag.substr(after + 2, end - after - 2)};
    }
    return std::nullopt;
}

inline std::string_view attribute(std::string_view tag, std::string_view name)
{
    const std::optional<Attribute> found = attributeAt(tag, name);
    return found ? found->text : std::string_view();
}

// The start tag with the attribute set to `value` (added before the end
// when it is not there), or taken away when `value` is null.
inline std::string withAttribute(
    std::string_view tag, std::string_view name, std::optional<std::string_view> value)
{
    std::string made(tag);
    if (const std::optional<Attribute> found = attributeAt(tag, name)) {
        if (value)
            made.replace(found->value, found->size, *value);
        else
            made.erase(found->at - 1, found->value + found->size + 1 - (found->at - 1));
    } else if (value) {
        const std::size_t end = made.size() - (empty(tag) ? 2 : 1);
        made.insert(end, " " + std::string(name) + "=\"" + std::string(*value) + "\"");
    }
    return made;
}

// Text with its entities read: &amp; &lt; &gt; &quot; &apos; and numbered.
inline std::string decoded(std::string_view text)
{
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t end = text[i] == '&' ? text.find(';', i) : text.npos;
        if (end == text.npos || end - i > 10) {
            plain += text[i];
            continue;
        }
        const std::string_view entity = text.substr(i + 1, end - i - 1);
        std::uint32_t code = 0;
        if (entity == "amp")
            code = '&';
        else if (entity == "lt")
            code = '<';
        else if (entity == "gt")
            code = '>';
        else if (entity == "quot")
            code = '"';
        else if (entity == "apos")
            code = '\'';
        else if (entity.starts_with('#')) {
            const bool hex = entity.starts_with("#x");
            const char *first = entity.data() + (hex ? 2 : 1),
                       *last = entity.data() + entity.size();
            if (std::from_chars(first, last, code, hex ? 16 : 10).ptr != last)
                code = 0;
        }
        if (code == 0 || code > 0x10FFFF) {
            plain += text[i];
            continue;
        }
        const char32_t character = code;
        conversion::appendUtf8({&character, 1}, plain);
        i = end;
    }
    return plain;
}

// The content of the first element named `name` (as written) in `text`,
// when it has one with a content.
inline std::optional<std::string_view> contentOf(std::string_view text, std::string_view name)
{
    const std::string open = "<" + std::string(name);
    for (std::size_t at = text.find(open); at != text.npos; at = text.find(open, at + 1)) {
        const std::size_t after = at + open.size();
        if (after >= text.size() || (text[after] != '>' && !isSpace(text[after])))
            continue;
        const std::size_t start = tagEnd(text, at);
        if (start == text.npos || text[start - 1] == '/')
            return std::nullopt;
        const std::size_t end = text.find("</" + std::string(name) + ">", start);
        if (end == text.npos)
            return std::nullopt;
        return text.substr(start + 1, end - start - 1);
    }
    return std::nullopt;
}

} // namespace rewriting::xml
