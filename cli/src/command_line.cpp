// The command line: each argument, or each line of standard input, in; the
// text the window would show for it, out, one line each. Or whole files
// (vCard, CSV, lists) with their old numbers converted and nothing else
// changed.
#include <cli/command_line.h>

#include <cli/lines.h>
#include <conversion/convert.h>
#include <form/utf8.h>
#include <form/version.h>
#include <rewriting/files.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace cli {

namespace {

constexpr std::string_view usage = R"(Usage : convqvr [NUMÉRO]...
  ou : convqvr -
  ou : convqvr --vcard|--csv|--liste [OPTION]... [FICHIER]...
Convertit les numéros de téléphone français à 8 chiffres en numéros à
10 chiffres. Sans argument, ouvre la fenêtre de conversion.

Pour chaque NUMÉRO, écrit une ligne : ce que la fenêtre montrerait pour lui.

  -          convertit l'entrée standard ligne à ligne : une ligne écrite
             pour chaque ligne lue, fins de ligne LF ou CRLF
  --         ce qui suit est un numéro, même s'il commence par « - »
  --help     affiche cette aide et quitte
  --version  affiche la version et quitte

Fichiers entiers, écrits sur la sortie standard (l'entrée standard sans
FICHIER ou pour « - ») : les numéros à 8 chiffres écrits comme on les
écrit (42 12 34 56, (1) 45.67.89.01, 16 42 12 34 56, +33 42 12 34 56...)
deviennent des numéros à 10 chiffres écrits dans le même style ; tout le
reste est recopié octet pour octet. Le fichier lu n'est jamais modifié.

  --vcard          carnet d'adresses vCard (2.1, 3.0, 4.0) : les TEL
  --csv            tableau CSV (virgule, point-virgule ou tabulation) : les
                   colonnes dont le nom dit un téléphone (Téléphone, Tél.,
                   Mobile, Portable, GSM, Fax, Télécopie...)
  --colonne NOM    avec --csv, la colonne NOM au lieu de celles-là ; se
                   répète
  --liste          un numéro par ligne
  --verbeux        compte, pour chaque fichier, les numéros convertis,
                   laissés tels quels et signalés

Un numéro à 8 chiffres qu'aucune règle ne convertit est laissé tel quel et
signalé sur la sortie d'erreur, avec son fichier et sa ligne.

Code de retour : 0 si tout va bien ; 1 si une ligne ou un argument n'est pas
de l'UTF-8 valide (sa ligne reste vide), si un fichier ne peut pas être lu,
si un CSV n'a pas la colonne demandée ou a des guillemets jamais fermés, ou
si l'écriture échoue ; 2 pour une option inconnue ou mal employée.

Exemples :
  convqvr 42123456 05123456
  convqvr --vcard carnet.vcf > carnet-10.vcf
  convqvr --csv --colonne Portable membres.csv > membres-10.csv
  convqvr --liste < numeros.txt
)";

constexpr std::string_view version = "Conversion QVR " CONVQVR_VERSION R"(
Copyright © 2026 )" CONVQVR_ORGANIZATION R"(.
Licence Expat (MIT) <https://opensource.org/license/mit>.
Ceci est un logiciel libre : vous êtes libre de le modifier et de le redistribuer.
Il n'y a AUCUNE GARANTIE, dans les limites permises par la loi.
)";

void say(std::FILE *err, std::string_view what)
{
    std::fprintf(err, "convqvr: %.*s\n", int(what.size()), what.data());
}

// An argument that is not an option, where it stands, and whether it came
// after "--", which makes "-" a number like any other.
struct Operand
{
    std::string_view text;
    std::size_t position;
    bool literal;
};

struct Settings
{
    std::optional<rewriting::Format> format;
    std::vector<std::string> columns;
    bool verbose = false;
    std::vector<Operand> operands;
};

std::FILE *openFile(std::string_view name)
{
#ifdef _WIN32
    // Windows opens names in UTF-16; a name that is not UTF-8 is not found.
    std::u32string characters;
    if (!form::decodeUtf8(name, characters)) {
        errno = ENOENT;
        return nullptr;
    }
    const std::u16string wide = form::utf16(characters);
    return _wfopen(reinterpret_cast<const wchar_t *>(wide.c_str()), L"rb");
#else
    return std::fopen(std::string(name).c_str(), "rb");
#endif
}

// Converts one text after another, and says what went wrong where.
class Converter
{
public:
    Converter(Streams streams_, std::string_view end)
        : streams(streams_)
        , writer(streams_.out, end)
    {
    }

    // False once writing has failed: nothing more can be said.
    bool convert(std::string_view bytes, const char *where, std::size_t number)
    {
        // Lists of numbers are mostly ASCII, which converts byte for byte.
        unsigned char seen = 0;
        for (char b : bytes)
            seen |= static_cast<unsigned char>(b);
        if (seen < 0x80)
            conversion::appendConversion(bytes, writer.open());
        else
            convertText(bytes, where, number);
        return writer.close() || failed();
    }

    bool standardInput()
    {
        std::size_t line = 0;
        bool writing = true;
        const bool read = forEachLine(
            streams.in,
            [&](std::string_view bytes) { return writing = convert(bytes, "ligne", ++line); },
            [&] { writing = writing && (writer.flush() || failed()); });
        if (writing && !read)
            problem("erreur de lecture : " + std::string(std::strerror(errno)));
        return writing;
    }

    // A whole file, its old numbers converted, written as it is read; "-"
    // is standard input.
    bool rewriteFile(Operand name, const Settings &settings)
    {
        const std::string file(name.text);
        std::FILE *in = name.text == "-" ? streams.in : openFile(name.text);
        if (!in) {
            problem(file + " : " + std::strerror(errno));
            return true;
        }
        rewriting::FileRewriter rewriter(*settings.format, settings.columns);
        std::string block(blockSize, '\0');
        bool writing = true;
        for (long got; writing && (got = readSome(in, block.data(), block.size())) != 0;) {
            if (got < 0) {
                problem(file + " : erreur de lecture : " + std::strerror(errno));
                break;
            }
            rewriter.feed({block.data(), std::size_t(got)}, writer.open());
            tell(rewriter, file);
            writing = writer.put() && (std::size_t(got) == block.size() || writer.flush());
        }
        if (in != streams.in)
            std::fclose(in);
        if (!writing)
            return failed();
        rewriter.finish(writer.open());
        tell(rewriter, file);
        if (!rewriter.problem().empty())
            problem(
                file + ":" + std::to_string(rewriter.problemLine()) + ": " + rewriter.problem());
        if (settings.verbose)
            say(streams.err, file + " : " + rewriting::said(rewriter.counts()));
        return writer.put() || failed();
    }

    void convertText(std::string_view bytes, const char *where, std::size_t number)
    {
        if (form::decodeUtf8(bytes, characters)) {
            shown.clear();
            conversion::appendConversion(characters, shown);
            form::appendUtf8(shown, writer.open());
        } else {
            // The empty line keeps the output in step with the input.
            problem(where + (" " + std::to_string(number)) + " : ce n'est pas de l'UTF-8 valide");
        }
    }

    int finish()
    {
        if (!writer.finish())
            failed();
        return status;
    }

private:
    void problem(std::string_view what)
    {
        say(streams.err, what);
        status = status ? status : 1;
    }

    void tell(rewriting::FileRewriter &rewriter, const std::string &name)
    {
        for (const rewriting::Report &r : rewriter.reports())
            say(streams.err, name + ":" + std::to_string(r.line) + ": " + rewriting::said(r));
        rewriter.reports().clear();
    }

    // A reader that went away wants nothing more, not even a word.
    bool failed()
    {
        if (status != writeFailed && !writer.readerGone())
            say(streams.err, std::string("erreur d'écriture : ") + std::strerror(writer.error()));
        status = writeFailed;
        return false;
    }

    static constexpr int writeFailed = -1;
    Streams streams;
    LineWriter writer;
    std::u32string characters, shown;
    int status = 0;
};

// Reads the options, so that a mistyped one writes nothing at all, and
// leaves the operands; the exit status when there is nothing more to do.
std::optional<int> readOptions(
    std::span<const std::string_view> arguments, Streams streams, Settings &settings)
{
    const auto misused = [&](const std::string &what) {
        say(streams.err, what);
        std::fputs("Essayez « convqvr --help » pour plus d'informations.\n", streams.err);
        return 2;
    };
    const std::pair<std::string_view, rewriting::Format> formats[]
        = {{"--vcard", rewriting::Format::VCard}, {"--csv", rewriting::Format::Csv},
            {"--liste", rewriting::Format::List}};
    bool options = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const bool option = options && argument.size() > 1 && argument.starts_with('-');
        if (!option) {
            settings.operands.push_back({argument, i + 1, !options});
        } else if (argument == "--") {
            options = false;
        } else if (argument == "--help" || argument == "--version") {
            LineWriter writer(streams.out, "");
            if (writer.write(argument == "--help" ? usage : version) && writer.finish())
                return 0;
            if (!writer.readerGone())
                say(streams.err,
                    std::string("erreur d'écriture : ") + std::strerror(writer.error()));
            return 1;
        } else if (argument == "--colonne" || argument.starts_with("--colonne=")) {
            if (argument == "--colonne" && i + 1 == arguments.size())
                return misused("l'option « --colonne » demande un NOM");
            settings.columns.emplace_back(
                argument == "--colonne" ? arguments[++i] : argument.substr(10));
        } else if (argument == "--verbeux") {
            settings.verbose = true;
        } else {
            const auto *format = std::find_if(std::begin(formats), std::end(formats),
                [&](const auto &f) { return f.first == argument; });
            if (format == std::end(formats))
                return misused("option inconnue « " + std::string(argument) + " »");
            if (settings.format && *settings.format != format->second)
                return misused("un seul de --vcard, --csv et --liste à la fois");
            settings.format = format->second;
        }
    }
    if (!settings.columns.empty() && settings.format != rewriting::Format::Csv)
        return misused("l'option « --colonne » va avec --csv");
    if (settings.verbose && !settings.format)
        return misused("l'option « --verbeux » va avec --vcard, --csv ou --liste");
    return std::nullopt;
}

} // namespace

int run(std::span<const std::string_view> arguments, Streams streams, std::string_view end)
{
    Settings settings;
    if (const std::optional<int> status = readOptions(arguments, streams, settings))
        return *status;
    if (settings.format && settings.operands.empty())
        settings.operands.push_back({"-", 0, false});

    Converter converter(streams, end);
    for (const Operand &operand : settings.operands) {
        bool writing = true;
        if (settings.format)
            writing = converter.rewriteFile(operand, settings);
        else if (operand.text == "-" && !operand.literal)
            writing = converter.standardInput();
        else
            writing = converter.convert(operand.text, "argument", operand.position);
        if (!writing)
            break;
    }
    const int status = converter.finish();
    return status < 0 ? 1 : status;
}

} // namespace cli
