// Writes the page of the form from its declaration: the controls at their
// places with their texts, fonts and colours, and the script of the handlers.
// Run under node at build time.
//   page served OUT GLUE.js SCRIPT.js WORKER.js SKY.png SKY@2x.png ICON.png
//   page single OUT GLUE.js SCRIPT.js WORKER.js SKY.png SKY@2x.png ICON.png RULES.wasm.gz
//       single: one file with everything inside, for use from disk;
//       served: the page of a folder for a web host, naming those files
//       beside it
#include <conversion/utf8.h>
#include <form/declaration.h>
#include <rewriting/formats.h>

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
    for (char c : conversion::utf8(text)) {
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

std::string base64(const std::string &bytes)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string encoded;
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

std::string dataUri(const char *type, const std::string &bytes)
{
    return std::string("data:") + type + ";base64," + base64(bytes);
}

std::string rgb(form::Colour c)
{
    return "rgb(" + std::to_string(c.red) + " " + std::to_string(c.green) + " "
        + std::to_string(c.blue) + ")";
}

// A length of the form: its pixels at 96 dpi, times the page's scale.
std::string scaled(int pixels)
{
    return "calc(var(--u)*" + std::to_string(pixels) + ")";
}

std::string style(const form::Control &c)
{
    std::ostringstream css;
    css << "#" << c.name << "{left:" << scaled(c.place.left) << ";top:" << scaled(c.place.top)
        << ";width:" << scaled(c.place.width) << ";height:" << scaled(c.place.height)
        << ";font-size:" << scaled(c.font.pixels) << ";font-weight:" << (c.font.bold ? 700 : 400);
    if (c.font.underline)
        css << ";text-decoration:underline";
    if (c.ink)
        css << ";color:" << rgb(*c.ink);
    if (c.backing)
        css << ";background:" << rgb(*c.backing);
    if (c.kind == form::Kind::Result)
        css << ";padding-left:" << scaled(form::resultIndent)
            << ";line-height:" << scaled(c.place.height);
    css << "}\n";
    return css.str();
}

// The name of the label that names `c`, if any.
std::string labelOf(const form::Control &c)
{
    for (const form::Control &label : form::controls) {
        if (form::labelled(label) == &c)
            return std::string(label.name);
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
        // A live region: each new result is announced, under its label's name.
        return "<output id=\"" + id + "\" aria-labelledby=\"" + labelOf(c)
            + "\" aria-live=\"polite\"></output>\n";
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

// Under the form: a whole address book, dropped on the page or chosen,
// converted in it, and offered back.
constexpr int panelHeight = 112;
std::string panel()
{
    // The picker offers every kind of file the page converts.
    std::string accepted;
    for (const rewriting::FormatFacts &facts : rewriting::formats) {
        for (std::string_view extension : facts.extensions)
            accepted += extension.empty() ? "" : "." + std::string(extension) + ",";
        accepted += std::string(facts.mediaType) + ",";
    }
    accepted.pop_back();
    return "<section id=\"carnet\" aria-label=\"Un carnet entier\">\n"
           "<p>Un carnet d'adresses (vCard, CSV, liste) ou un classeur : déposez-le ici ou "
           "choisissez-le. Il est converti sur place, sans rien envoyer.</p>\n"
           "<button id=\"choisir\" type=\"button\">Choisir un fichier…</button>\n"
           "<input id=\"fichier\" type=\"file\" hidden accept=\""
        + accepted
        + "\">\n"
          "<progress id=\"avance\" max=\"1\" value=\"0\" hidden></progress>\n"
          "<p id=\"dit\" role=\"status\"></p>\n"
          "<p><a id=\"converti\" hidden></a></p>\n"
          "<ul id=\"signales\" hidden></ul>\n"
          "</section>\n";
}

constexpr const char *description = CONVQVR_DESCRIPTION;

} // namespace

int main(int argc, char *argv[])
{
    const std::string mode = argc > 1 ? argv[1] : "";
    const bool single = mode == "single" && argc == 10;
    if (!single && (mode != "served" || argc != 9)) {
        std::fputs("usage: page served OUT GLUE SCRIPT WORKER SKY SKY2X ICON\n"
                   "       page single OUT GLUE SCRIPT WORKER SKY SKY2X ICON RULES.wasm.gz\n",
            stderr);
        return 2;
    }
    const auto picture = [single](const char *path) {
        return single ? dataUri("image/png", read(path)) : nameOf(path);
    };
    const std::string sky = picture(argv[6]), sky2x = picture(argv[7]), icon = picture(argv[8]);

    std::ostringstream page;
    // Blanks in a title collapse; no-break spaces keep the title's three.
    std::u16string title(form::title);
    for (std::size_t at = title.find(u"   "); at != title.npos; at = title.find(u"   "))
        title.replace(at, 2, u"\u00a0\u00a0");
    page << "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
         << "<title>" << html(title) << "</title>\n"
         << "<meta name=\"description\" content=\"" << description << "\">\n"
         << "<meta property=\"og:title\" content=\"" << html(title) << "\">\n"
         << "<meta property=\"og:description\" content=\"" << description << "\">\n"
         << "<link rel=\"icon\" href=\"" << icon << "\">\n";
    if (!single)
        page << "<link rel=\"manifest\" href=\"manifest.webmanifest\">\n";
    const std::string face = conversion::utf8(form::fontFace);
    const std::string form = "#" + std::string(form::name);
    // --u is the form's pixel in CSS pixels. It follows the text size the
    // reader chose; a large screen draws the form at a whole multiple of its
    // size, and a phone or a narrow window scales it to its width, less a
    // margin either side, and to its height where no text then falls below
    // 12 px or the reader's size. The form and the panel stand a gap apart,
    // with a gap above and below.
    const int margin = 8, gap = 8;
    const std::string content = std::to_string(form::height + panelHeight + 3 * gap);
    const std::string sides = "(100cqw - " + std::to_string(2 * margin) + "px)/";
    page << "<style>\n:root{color-scheme:light dark;--u:calc(1rem/16);--sky:image-set(url(\"" << sky
         << "\") 1x,url(\"" << sky2x << "\") 2x)}\n"
         << "body{margin:0;container-type:inline-size;font-family:\"" << face
         << "\",\"Liberation Sans\",Arial,sans-serif}\n"
         // The sky fills the page, softened behind the form's own.
         << "body::before{content:\"\";position:fixed;inset:-10%;z-index:-1;"
         << "background:var(--sky) center/cover;filter:blur(12px)}\n"
         << "main{display:flex;flex-direction:column;align-items:center;justify-content:center;"
         << "gap:" << scaled(gap)
         << ";box-sizing:border-box;min-height:100svh;padding:" << scaled(gap) << " " << margin
         << "px}\n"
         // A desktop keeps some sky above and below the form, and centres it
         // on whole pixels, so that its picture stays sharp.
         << "@supports (width:round(down,1px,1px)){@media (min-width:40em){"
         << ":root{--u:max(calc(1rem/16),round(down,min(" << sides << 2 * form::width
         << ",(100svh - 64px)/" << content << "),1px))}\n"
         << "main{align-items:flex-start;justify-content:flex-start;padding:max(" << scaled(gap)
         << ",round(down,(100svh - " << scaled(form::height + panelHeight + gap) << ")/2,1px)) 0 "
         << scaled(gap) << " round(down,(100cqw - " << scaled(form::width) << ")/2,1px)}}}\n"
         << "@media (max-width:40em),(pointer:coarse){:root{--u:min(" << sides << form::width
         << ",max((100svh - " << 2 * margin << "px)/" << content << ",12px/11,1rem/16))}}\n"
         << form << "{position:relative;flex:none;width:" << scaled(form::width)
         << ";height:" << scaled(form::height)
         << ";overflow:hidden;background:var(--sky) no-repeat 0 0/100% 100%;"
         << "box-shadow:0 2px 12px #0006}\n"
         << form << ">*{position:absolute;box-sizing:border-box;margin:0;padding:0;"
         << "font-family:inherit;white-space:nowrap;overflow:hidden}\n"
         << form << " ::selection{color:" << rgb(form::selectedInk)
         << ";background:" << rgb(form::selection)
         << "}\n"
         // The box is pinned black on white, its edge and focus ring too.
         << "input{border:" << scaled(2) << " inset #808080;padding:0 " << scaled(2)
         << ";color-scheme:light}\n"
         << "output{user-select:text;cursor:text}\n"
         << form
         << " div{white-space:normal!important}\n"
         // Under the form, on the result's pale backing: a whole file.
         << "#carnet{box-sizing:border-box;width:" << scaled(form::width)
         << ";min-height:" << scaled(panelHeight) << ";padding:" << scaled(6)
         << ";font-size:" << scaled(12) << ";line-height:1.25;color:" << rgb(form::ink)
         << ";background:" << rgb(form::resultBacking)
         << ";color-scheme:light;box-shadow:0 2px 12px #0006}\n"
         << "#carnet p,#carnet ul{margin:0 0 " << scaled(4) << "}\n"
         << "#carnet ul{padding-left:" << scaled(16) << ";overflow-wrap:anywhere}\n"
         << "#carnet button{min-height:" << scaled(24) << ";margin-bottom:" << scaled(4)
         << ";padding:0 " << scaled(8) << ";font:inherit}\n"
         << "#carnet progress{display:block;width:100%;height:" << scaled(8) << "}\n"
         << "#carnet [hidden]{display:none}\n"
         << "#menu{position:fixed;z-index:1;padding:2px 0;background:Canvas;color:CanvasText;"
         << "border:1px solid GrayText;box-shadow:2px 2px 4px #0004}\n"
         << "#menu button{all:unset;display:block;padding:" << scaled(5) << " " << scaled(24)
         << ";font-size:" << scaled(13) << "}\n"
         << "#menu button:focus,#menu button:hover{background:Highlight;color:HighlightText}\n";
    for (const form::Control &c : form::controls)
        page << style(c);
    page << "</style>\n</head>\n<body>\n<main>\n<div id=\"" << form::name << "\">\n";
    for (const form::Control &c : form::controls)
        page << element(c);
    page << "</div>\n"
         << panel() << "</main>\n<div id=\"menu\" role=\"menu\" hidden><button "
         << "role=\"menuitem\" type=\"button\">" << html(form::copyEntry) << "</button></div>\n";
    // The worker runs the same rules: from a file of its own beside the page,
    // or from the page's own copy of them, the module gzipped.
    if (single)
        page << "<script id=\"rules\">\n"
             << read(argv[3]) << "\n</script>\n<script id=\"packed\" type=\"application/gzip\">"
             << base64(read(argv[9])) << "</script>\n<script id=\"worker\" type=\"text/plain\">\n"
             << read(argv[5]) << "</script>\n<script>\n"
             << read(argv[4]) << "</script>\n";
    else
        page << "<script src=\"" << nameOf(argv[3]) << "\"></script>\n<script src=\""
             << nameOf(argv[4]) << "\"></script>\n";
    page << "</body>\n</html>\n";

    std::ofstream out(argv[2], std::ios::binary);
    out << page.str();
    return out.good() ? 0 : 1;
}
