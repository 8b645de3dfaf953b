// The command line: each argument, or each line of standard input, in; the
// text the window would show for it, out, one line each.
#include <cli/command_line.h>

#include <cli/lines.h>
#include <conversion/convert.h>
#include <form/utf8.h>
#include <form/version.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace cli {

namespace {

constexpr std::string_view usage = R"(Usage : convqvr [NUMÉRO]...
  ou : convqvr -
Convertit les numéros de téléphone français à 8 chiffres en numéros à
10 chiffres. Sans argument, ouvre la fenêtre de conversion.

Pour chaque NUMÉRO, écrit une ligne : ce que la fenêtre montrerait pour lui.

  -          convertit l'entrée standard ligne à ligne : une ligne écrite
             pour chaque ligne lue, fins de ligne LF ou CRLF
  --         ce qui suit est un numéro, même s'il commence par « - »
  --help     affiche cette aide et quitte
  --version  affiche la version et quitte

Code de retour : 0 si tout va bien ; 1 si une ligne ou un argument n'est pas
de l'UTF-8 valide (sa ligne reste vide), ou si la lecture ou l'écriture
échoue ; 2 pour une option inconnue.

Exemple : convqvr 42123456 05123456
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
        const bool read = forEachLine(streams.in,
            [&](std::string_view bytes) { return writing = convert(bytes, "ligne", ++line); });
        if (writing && !read) {
            say(streams.err, std::string("erreur de lecture : ") + std::strerror(errno));
            status = 1;
        }
        return writing;
    }

    void convertText(std::string_view bytes, const char *where, std::size_t number)
    {
        if (form::decodeUtf8(bytes, characters)) {
            shown.clear();
            conversion::appendConversion(characters, shown);
            form::appendUtf8(shown, writer.open());
        } else {
            // The empty line keeps the output in step with the input.
            say(streams.err,
                where + (" " + std::to_string(number)) + " : ce n'est pas de l'UTF-8 valide");
            status = 1;
        }
    }

    int finish()
    {
        if (!writer.finish())
            failed();
        return status;
    }

private:
    bool failed()
    {
        if (status != writeFailed)
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

} // namespace

int run(std::span<const std::string_view> arguments, Streams streams, std::string_view end)
{
    // Options are read first, so that a mistyped one writes nothing at all.
    for (std::string_view argument : arguments) {
        if (argument == "--")
            break;
        if (argument == "--help" || argument == "--version") {
            const std::string_view text = argument == "--help" ? usage : version;
            LineWriter writer(streams.out, "");
            if (writer.write(text) && writer.finish())
                return 0;
            say(streams.err, std::string("erreur d'écriture : ") + std::strerror(writer.error()));
            return 1;
        }
        if (argument.size() > 1 && argument.starts_with('-')) {
            say(streams.err, "option inconnue « " + std::string(argument) + " »");
            std::fputs("Essayez « convqvr --help » pour plus d'informations.\n", streams.err);
            return 2;
        }
    }

    Converter converter(streams, end);
    bool numbersOnly = false;
    std::size_t position = 0;
    for (std::string_view argument : arguments) {
        ++position;
        bool writing = true;
        if (argument == "--" && !numbersOnly)
            numbersOnly = true;
        else if (argument == "-" && !numbersOnly)
            writing = converter.standardInput();
        else
            writing = converter.convert(argument, "argument", position);
        if (!writing)
            break;
    }
    const int status = converter.finish();
    return status < 0 ? 1 : status;
}

} // namespace cli
