// Writes the page of the form from its declaration: the controls at their
// places with their texts, fonts and colours, and the script of the handlers.
// Run under node at build time.
//   page single|served OUT GLUE.js SCRIPT.js SKY.png SKY@2x.png ICON.png
//       single: one file with everything inside, for use from disk;
//       served: the page of a folder for a web host, naming those files
//       beside it
#include <form/declaration.h>
#include <form/utf8.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace {

// Texts of the form are plain: only the characters HTML gives a meaning.
std::string html(std::u16string_view text)
{
    std::string escaped;
    for (char c : form::utf8(text)) {
        if (c == '<')
            escaped += "&lt;";
        else if (c == '&')
            escaped += "&amp;";
        else if (c == '"')
            escaped += "&quot;";
        else
            escaped += c;
    }
    return escaped;
}

std::string read(const char *path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A file as the page beside it names it.
std::string nameOf(std::string_view path)
{
    return std::string(path.substr(path.find_last_of('/') + 1));
}

std::string dataUri(const char *type, const std::string &bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded = std::string("data:") + type + ";base64,";
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        unsigned value = 0;
        for (std::size_t k = 0; k < 3; ++k)
            value = value << 8 | (k < n ? static_cast<unsigned char>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k)
            encoded += k <= n ? digits[(value >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return encoded;
}

std::string rgb(form::Colour c)
{
    return "rgb(" + std::to_string(c.red) + " " + std::to_string(c.green) + " "
        + std::to_string(c.blue) + ")";
}

std::string style(const form::Control &c)
{
    std::ostringstream css;
    css << "#" << c.name << "{left:" << c.place.left << "px;top:" << c.place.top
        << "px;width:" << c.place.width << "px;height:" << c.place.height
        << "px;font-size:" << c.font.pixels << "px;font-weight:" << (c.font.bold ? 700 : 400);
    if (c.font.underline)
        css << ";text-decoration:underline";
    if (c.ink)
        css << ";color:" << rgb(*c.ink);
    if (c.backing)
        css << ";background:" << rgb(*c.backing);
    if (c.kind == form::Kind::Result)
        css << ";padding-left:" << form::resultIndent << "px;line-height:" << c.place.height
            << "px";
    css << "}\n";
    return css.str();
}

// A box is named by its label; anything else is described by it.
std::string describedBy(const form::Control &c)
{
    for (const form::Control &label : form::controls) {
        if (form::labelled(label) == &c)
            return " aria-describedby=\"" + std::string(label.name) + "\"";
    }
    return "";
}

std::string element(const form::Control &c)
{
    const std::string id = std::string(c.name);
    const form::Control *named = form::labelled(c);
    switch (c.kind) {
    case form::Kind::Box:
        return "<input id=\"" + id
            + "\" type=\"text\" inputmode=\"numeric\" autocomplete=\"off\""
              " spellcheck=\"false\" autofocus>\n";
    case form::Kind::Result:
        // A live region: each new result is announced.
        return "<output id=\"" + id + "\"" + describedBy(c) + " aria-live=\"polite\"></output>\n";
    case form::Kind::Button:
        return "<button id=\"" + id + "\" type=\"button\">" + html(c.text) + "</button>\n";
    case form::Kind::Label:
    case form::Kind::Notice:
        break;
    }
    if (named && named->kind == form::Kind::Box)
        return "<label id=\"" + id + "\" for=\"" + std::string(named->name) + "\">" + html(c.text)
            + "</label>\n";
    return "<div id=\"" + id + "\">" + html(c.text) + "</div>\n";
}

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc == 8 ? argv[1] : "";
    const bool single = mode == "single";
    if (!single && mode != "served") {
        std::fputs("usage: page single|served OUT GLUE SCRIPT SKY SKY2X ICON\n", stderr);
        return 2;
    }
    const auto picture = [single](const char *path) {
        return single ? dataUri("image/png", read(path)) : nameOf(path);
    };
    const std::string sky = picture(argv[5]), sky2x = picture(argv[6]), icon = picture(argv[7]);

    std::ostringstream page;
    // Blanks in a title collapse; no-break spaces keep the title's three.
    std::u16string title(form::title);
    for (std::size_t at = title.find(u"   "); at != title.npos; at = title.find(u"   "))
        title.replace(at, 2, u"\u00a0\u00a0");
    page << "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         << "<title>" << html(title) << "</title>\n"
         << "<link rel=\"icon\" href=\"" << icon << "\">\n";
    if (!single)
        page << "<link rel=\"manifest\" href=\"manifest.webmanifest\">\n";
    const std::string face = form::utf8(form::fontFace);
    page << "<style>\n:root{color-scheme:light dark}\nbody{margin:0}\n"
         << "#" << form::name << "{position:relative;width:" << form::width
         << "px;height:" << form::height << "px;overflow:hidden;"
         << "background:no-repeat 0 0/" << form::width << "px " << form::height << "px;"
         << "background-image:image-set(url(\"" << sky << "\") 1x,url(\"" << sky2x << "\") 2x);"
         << "font-family:\"" << face << "\",\"Liberation Sans\",Arial,sans-serif}\n"
         << "#" << form::name << ">*{position:absolute;box-sizing:border-box;margin:0;padding:0;"
         << "font-family:inherit;white-space:nowrap;overflow:hidden}\n"
         << "#" << form::name << " ::selection{color:" << rgb(form::selectedInk)
         << ";background:" << rgb(form::selection)
         << "}\n"
         // The box is pinned black on white, its edge and focus ring too.
         << "input{border:2px inset #808080;padding:0 2px;color-scheme:light}\n"
         << "output{user-select:text;cursor:text}\n"
         << "div{white-space:normal!important}\n"
         << "#menu{position:fixed;z-index:1;padding:2px 0;background:Canvas;color:CanvasText;"
         << "border:1px solid GrayText;box-shadow:2px 2px 4px #0004}\n"
         << "#menu button{all:unset;display:block;padding:2px 24px;font:13px sans-serif}\n"
         << "#menu button:focus,#menu button:hover{background:Highlight;color:HighlightText}\n";
    for (const form::Control &c : form::controls)
        page << style(c);
    page << "</style>\n</head>\n<body>\n<main id=\"" << form::name << "\">\n";
    for (const form::Control &c : form::controls)
        page << element(c);
    page << "</main>\n<div id=\"menu\" role=\"menu\" hidden><button role=\"menuitem\" "
         << "type=\"button\">" << html(form::copyEntry) << "</button></div>\n";
    if (single)
        page << "<script>\n"
             << read(argv[3]) << "\n</script>\n<script>\n"
             << read(argv[4]) << "</script>\n";
    else
        page << "<script src=\"" << nameOf(argv[3]) << "\"></script>\n<script src=\""
             << nameOf(argv[4]) << "\"></script>\n";
    page << "</body>\n</html>\n";

    std::ofstream out(argv[2], std::ios::binary);
    out << page.str();
    return out.good() ? 0 : 1;
}
