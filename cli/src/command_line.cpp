// The command line: each argument, or each line of standard input, in; the
// text the window would show for it, out, one line each. Or whole files
// (vCard, CSV, lists) with their old numbers converted and nothing else
// changed.
#include <cli/command_line.h>

#include <cli/stream.h>
#include <cli/system.h>
#include <conversion/convert.h>
#include <conversion/utf8.h>
#include <convqvr/version.h>
#include <rewriting/formats.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace cli {

namespace {

using rewriting::Format;

// --help, with the kinds of file and the telephone words from their tables.
std::string usage()
{
    std::string options, modes;
    for (const rewriting::FormatFacts &facts : rewriting::formats) {
        modes += (modes.empty() ? "" : "|") + std::string(facts.option);
        std::string said(facts.said);
        for (std::size_t at = said.find('\n'); at != said.npos; at = said.find('\n', at + 1))
            said.replace(at, 1, "\n" + std::string(19, ' '));
        options += "  " + std::string(facts.option) + std::string(17 - facts.option.size(), ' ')
            + said + "\n";
        if (facts.format == Format::Csv) {
            // The names, wrapped under the option's text.
            std::string line(19, ' ');
            for (const std::string_view &name : rewriting::telephoneColumns) {
                const bool last = &name == &rewriting::telephoneColumns.back();
                const std::string word = std::string(name) + (last ? "" : ",");
                if (line.size() + word.size() >= 76) {
                    options += line + "\n";
                    line.assign(19, ' ');
                }
                line += (line.size() > 19 ? " " : "") + word;
            }
            options += line
                + "\n                   (casse, accents, ponctuation et numéros à part)\n"
                + "  --colonne NOM    avec " + std::string(facts.option) + " ou "
                + std::string(rewriting::factsOf(Format::Workbook).option)
                + ", la colonne NOM au lieu de\n                   celles-là ; se répète\n";
        }
    }
    return R"(Usage : convqvr [NUMÉRO]...
  ou : convqvr -
  ou : convqvr )"
        + modes + R"( [OPTION]... [FICHIER]...
Convertit les numéros de téléphone français à 8 chiffres en numéros à
10 chiffres. Sans argument, ouvre la fenêtre de conversion.

Pour chaque NUMÉRO, écrit une ligne : s'il n'a que des chiffres, ce que la
fenêtre montrerait pour lui ; écrit comme on l'écrit (42 12 34 56,
(1) 45.67.89.01...), le numéro à 10 chiffres dans le même style, un numéro
déjà à 10 chiffres tel quel, ou ?????????? si aucune règle ne s'applique.

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

)" + options
        + R"(  --verbeux        dit chaque conversion, avec son fichier et sa ligne, et
                   compte, pour chaque fichier, les numéros convertis,
                   laissés tels quels et signalés

Un numéro à 8 chiffres qu'aucune règle ne convertit est laissé tel quel et
signalé sur la sortie d'erreur, avec son fichier et sa ligne.

Un classeur est lu en entier avant que rien n'en soit écrit : abîmé,
protégé par un mot de passe, ancien .xls ou autre chose qu'un classeur, il
est signalé et rien n'est écrit. Une cellule convertie devient du texte.

Code de retour : 0 si tout va bien ; 1 si une ligne ou un argument n'est pas
de l'UTF-8 valide (sa ligne reste vide), si un fichier ne peut pas être lu,
si un CSV ou un classeur n'a pas la colonne demandée ou n'a aucune colonne
de téléphone (il est alors recopié tel quel), si un CSV a des guillemets
jamais fermés, si un classeur ne peut pas être lu, ou si l'écriture échoue ;
2 pour une option inconnue ou mal employée, ou pour un classeur écrit sur un
terminal.

Exemples :
  convqvr 42123456 05123456
  convqvr "42 12 34 56" "(1) 45.67.89.01"
  convqvr --vcard carnet.vcf > carnet-10.vcf
  convqvr --csv --colonne Portable membres.csv > membres-10.csv
  convqvr --tableur membres.xlsx > membres-10.xlsx
  convqvr --liste < numeros.txt
)";
}

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
    std::optional<Format> format;
    std::vector<std::string> columns;
    bool verbose = false;
    std::vector<Operand> operands;
};

// The window's text for a text of UTF-8, appended; false when it is not
// UTF-8.
bool appendShown(std::string_view bytes, std::u32string &characters, std::string &out)
{
    // Lists of numbers are mostly ASCII, which converts byte for byte.
    unsigned char seen = 0;
    for (char b : bytes)
        seen |= static_cast<unsigned char>(b);
    if (seen < 0x80) {
        conversion::appendConversion(bytes, out);
        return true;
    }
    if (!conversion::decodeUtf8(bytes, characters))
        return false;
    conversion::appendUtf8(conversion::convert(characters), out);
    return true;
}

// Standard input a line at a time, each answered as the window would.
class ShownLines final : public rewriting::LineReader
{
public:
    explicit ShownLines(std::string_view end_)
        : LineReader(std::numeric_limits<std::size_t>::max())
        , end(end_)
    {
    }

private:
    bool line(std::string_view text, bool, std::string &out) override
    {
        if (text.ends_with('\n'))
            text.remove_suffix(1);
        while (text.ends_with('\r'))
            text.remove_suffix(1);
        // The empty line keeps the output in step with the input.
        if (!appendShown(text, characters, out))
            problem(lines, "ce n'est pas de l'UTF-8 valide");
        out += end;
        return false;
    }

    std::string end;
    std::u32string characters;
};

// Converts one text after another, and says what went wrong where.
class Converter
{
public:
    Converter(Streams streams_, std::string_view end_)
        : streams(streams_)
        , output(streams_.out)
        , end(end_)
    {
    }

    // A number given as an argument: digits alone as the window shows them;
    // written as people write it, as a line of a list reads.
    bool argument(std::string_view bytes, std::size_t position)
    {
        std::string &out = output.buffer();
        const bool digits
            = std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!conversion::decodeUtf8(bytes, characters)) {
            problem("argument " + std::to_string(position) + " : ce n'est pas de l'UTF-8 valide");
        } else if (digits) {
            appendShown(bytes, characters, out);
        } else {
            const std::size_t start = out.size();
            const rewriting::Verdict verdict = rewriting::rewriteField(bytes, out);
            if (verdict == rewriting::Verdict::NoRule) {
                out.resize(start);
                out += "??????????";
            } else if (verdict == rewriting::Verdict::Unchanged) {
                out.resize(start);
                appendShown(bytes, characters, out);
            }
        }
        out += end;
        return output.put() || failed();
    }

    bool standardInput()
    {
        ShownLines lines(end);
        return streamed(lines, "-", [](const rewriting::Report &report) {
            return "ligne " + std::to_string(report.line) + " : ";
        });
    }

    // A whole file, its old numbers converted, written as it is read; "-"
    // is standard input.
    bool rewriteFile(Operand name, const Settings &settings)
    {
        const std::string file(name.text);
        const auto reader = rewriting::readerOf(*settings.format, settings.columns);
        reader->listConversions(settings.verbose);
        const bool writing = streamed(*reader, name.text, [&](const rewriting::Report &report) {
            if (!report.place.empty())
                return file + ":" + report.place + ": ";
            return report.line ? file + ":" + std::to_string(report.line) + ": " : file + " : ";
        });
        if (writing && settings.verbose)
            say(streams.err, file + " : " + rewriting::said(reader->counts()));
        return writing;
    }

    int finish()
    {
        if (!output.flush())
            failed();
        return status;
    }

private:
    template <typename Where>
    bool streamed(rewriting::Reader &reader, std::string_view name, Where where)
    {
        const bool standard = name == "-";
        std::FILE *in = standard ? streams.in : openForReading(name);
        if (!in) {
            problem(std::string(name) + " : " + std::strerror(errno));
            return true;
        }
        // A reader that reads the file again needs one it can go back in.
        std::FILE *copy = nullptr;
        if (reader.again() && !readAgain(in)) {
            copy = temporaryFile();
            if (!copy || !copied(in, copy)) {
                const int error = errno;
                if (copy)
                    std::fclose(copy);
                if (!standard)
                    std::fclose(in);
                problem((standard ? "" : std::string(name) + " : ")
                    + "copie temporaire impossible : " + std::strerror(error));
                return true;
            }
            if (!standard)
                std::fclose(in);
            in = copy;
        }
        const Streamed done = stream(in, reader, output, [&] {
            for (const rewriting::Report &r : reader.reports()) {
                say(streams.err, where(r) + r.said);
                if (r.problem)
                    status = status ? status : 1;
            }
            reader.reports().clear();
        });
        const int error = errno;
        if (!standard || copy)
            std::fclose(in);
        if (done == Streamed::ReadFailed)
            problem((standard ? "" : std::string(name) + " : ")
                + "erreur de lecture : " + std::strerror(error));
        return done != Streamed::WriteFailed || failed();
    }

    static bool copied(std::FILE *from, std::FILE *to)
    {
        std::string block(blockSize, '\0');
        for (long got; (got = readSome(from, block.data(), block.size())) != 0;) {
            if (got < 0 || std::fwrite(block.data(), 1, std::size_t(got), to) != std::size_t(got))
                return false;
        }
        return std::fflush(to) == 0 && readAgain(to);
    }

    void problem(std::string_view what)
    {
        say(streams.err, what);
        status = status ? status : 1;
    }

    // A reader that went away wants nothing more, not even a word.
    bool failed()
    {
        if (status != writeFailed && !output.readerGone())
            say(streams.err, std::string("erreur d'écriture : ") + std::strerror(output.error()));
        status = writeFailed;
        return false;
    }

    static constexpr int writeFailed = -1;
    Streams streams;
    Output output;
    std::string end;
    std::u32string characters;
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
    std::string options;
    for (const rewriting::FormatFacts &facts : rewriting::formats)
        options += (options.empty()                                           ? ""
                           : facts.format == rewriting::formats.back().format ? " et "
                                                                              : ", ")
            + std::string(facts.option);
    const std::string csv(rewriting::factsOf(Format::Csv).option);
    bool reading = true;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        const auto *format = std::find_if(rewriting::formats.begin(), rewriting::formats.end(),
            [&](const rewriting::FormatFacts &facts) { return facts.option == argument; });
        if (!reading || argument.size() < 2 || !argument.starts_with('-')) {
            settings.operands.push_back({argument, i + 1, !reading});
        } else if (argument == "--") {
            reading = false;
        } else if (argument == "--help" || argument == "--version") {
            Output out(streams.out);
            out.buffer() = argument == "--help" ? usage() : std::string(version);
            if (out.flush())
                return 0;
            if (!out.readerGone())
                say(streams.err, std::string("erreur d'écriture : ") + std::strerror(out.error()));
            return 1;
        } else if (argument == "--colonne" || argument.starts_with("--colonne=")) {
            if (argument == "--colonne" && i + 1 == arguments.size())
                return misused("l'option « --colonne » demande un NOM");
            settings.columns.emplace_back(
                argument == "--colonne" ? arguments[++i] : argument.substr(10));
        } else if (argument == "--verbeux") {
            settings.verbose = true;
        } else if (format == rewriting::formats.end()) {
            return misused("option inconnue « " + std::string(argument) + " »");
        } else if (settings.format && *settings.format != format->format) {
            return misused("un seul de " + options + " à la fois");
        } else {
            settings.format = format->format;
        }
    }
    const std::string workbook(rewriting::factsOf(Format::Workbook).option);
    if (!settings.columns.empty() && settings.format != Format::Csv
        && settings.format != Format::Workbook)
        return misused("l'option « --colonne » va avec " + csv + " ou " + workbook);
    if (settings.format == Format::Workbook && settings.operands.size() > 1)
        return misused(workbook + " convertit un seul classeur à la fois");
    // Written to a terminal, a workbook is garbage, and lost.
    if (settings.format == Format::Workbook && isTerminal(streams.out)) {
        say(streams.err,
            "un classeur converti ne s'écrit pas sur un terminal : redirigez la sortie (> "
            "classeur-10.xlsx)");
        return 2;
    }
    if (settings.verbose && !settings.format)
        return misused("l'option « --verbeux » va avec " + options);
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
            writing = converter.argument(operand.text, operand.position);
        if (!writing)
            break;
    }
    const int status = converter.finish();
    return status < 0 ? 1 : status;
}

} // namespace cli
