// A whole file converted for a window, told as the page tells it.
#include <rewriting/formats.h>
#include <rewriting/whole_file.h>

#include <algorithm>

namespace rewriting {

std::string where(const Report &report)
{
    if (!report.place.empty())
        return report.place + " : ";
    return report.line ? "ligne " + std::to_string(report.line) + " : " : "";
}

std::string convertedName(std::string_view name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == 0 || dot == name.npos)
        return std::string(name) + "-converti";
    return std::string(name.substr(0, dot)) + "-converti" + std::string(name.substr(dot));
}

std::string saidOfFile(std::string_view name, Format format, const Counts &counts)
{
    return std::string(name) + " (" + std::string(factsOf(format).name) + ") : " + said(counts)
        + ".";
}

namespace {

constexpr std::size_t pieceSize = std::size_t(1) << 20;

// A NUL is in no text of one byte a character; UTF-16 says itself by its mark.
bool isText(std::string_view start)
{
    return start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")
        || start.find('\0') == start.npos;
}

class Conversion
{
public:
    Conversion(std::string_view name_, FileAccess &file_)
        : name(name_)
        , file(file_)
    {
    }

    Told run()
    {
        std::string piece(pieceSize, '\0');
        long got = filled(piece);
        if (got < 0)
            return failed("la lecture a échoué (" + file.error() + ")");
        const std::string_view start(piece.data(), std::size_t(got));
        // A workbook is told by its content, whatever its name says.
        const Format format = isArchive(start) ? Format::Workbook : formatOf(name, start);
        if (format != Format::Workbook && !isText(start))
            return failed("ce n'est ni un carnet d'adresses, ni un tableau, ni une liste, ni un "
                          "classeur");
        const auto reader = readerOf(format);
        const double passes = reader->passes();
        const double size = double(std::max<std::uint64_t>(file.size(), 1));
        double done = 0;
        std::string out;
        bool wrote = false;
        for (;;) {
            if (file.stopped())
                return failed("conversion interrompue");
            if (got == 0)
                reader->finish(out);
            else
                reader->feed({piece.data(), std::size_t(got)}, out);
            take(*reader);
            if (!out.empty()) {
                if (!file.write(out))
                    return failed("l'écriture a échoué (" + file.error() + ")");
                wrote = true;
                out.clear();
            }
            done += double(got);
            file.progress(std::min(done / (size * passes), 1.0));
            if (got == 0 && !reader->again())
                break;
            if (got == 0 && !file.rewind())
                return failed("la lecture a échoué (" + file.error() + ")");
            got = filled(piece);
            if (got < 0)
                return failed("la lecture a échoué (" + file.error() + ")");
        }
        // A reader that wrote nothing of a file that had something has
        // nothing to offer: only why.
        if (!wrote && done > 0 && reader->failed())
            return failed(firstProblem);
        told.written = true;
        told.said = saidOfFile(name, format, reader->counts());
        return told;
    }

private:
    // A whole piece, or what is left: the kind is told from the first.
    long filled(std::string &piece)
    {
        std::size_t have = 0;
        for (long got; have < piece.size(); have += std::size_t(got)) {
            if ((got = file.read(piece.data() + have, piece.size() - have)) <= 0) {
                if (got < 0)
                    return -1;
                break;
            }
        }
        return long(have);
    }

    void take(Reader &reader)
    {
        for (const Report &report : reader.reports()) {
            if (report.problem && firstProblem.empty())
                firstProblem = where(report) + report.said;
            if (told.reports.size() < shownReports) {
                told.reports.push_back(where(report) + report.said);
                continue;
            }
            if (++told.more == 1)
                told.reports.emplace_back();
            told.reports.back() = "… et " + std::to_string(told.more) + " de plus";
        }
        reader.reports().clear();
    }

    Told failed(const std::string &why)
    {
        told.written = false;
        told.said = std::string(name) + " : " + why + ".";
        return told;
    }

    std::string_view name;
    FileAccess &file;
    Told told;
    std::string firstProblem;
};

} // namespace

Told convertWhole(std::string_view name, FileAccess &file)
{
    return Conversion(name, file).run();
}

} // namespace rewriting
