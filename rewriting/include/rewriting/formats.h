// The kinds of file the program reads, each said once: its name, how it is
// told from a file's name or first bytes, the command line's option and the
// page's file picker; and a reader for each.
#pragma once

#include <rewriting/reader.h>

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rewriting {

enum class Format { List, VCard, Csv, Workbook };

struct FormatFacts
{
    Format format;
    std::string_view name;   // as the user is told it
    std::string_view option; // the command line's
    std::string_view said;   // what --help says of it
    std::array<std::string_view, 2> extensions;
    std::string_view mediaType; // what the page's file picker also accepts
};

// clang-format off
inline constexpr std::array<FormatFacts, 4> formats{{
    {Format::VCard, "vCard", "--vcard", "carnet d'adresses vCard (2.1, 3.0, 4.0) : les TEL",
        {"vcf", "vcard"}, "text/vcard"},
    {Format::Csv,   "CSV",   "--csv",   "tableau CSV (virgule, point-virgule ou tabulation) : les\n"
                                        "colonnes de téléphones, sous l'un de ces noms :",
        {"csv", "tsv"},   "text/csv"},
    {Format::Workbook, "classeur", "--tableur", "classeur .ods (LibreOffice) ou .xlsx (Excel), écrit sur\n"
                                        "une sortie redirigée : les colonnes de téléphones, comme\n"
                                        "pour --csv",
        {"ods", "xlsx"},  "application/vnd.oasis.opendocument.spreadsheet"},
    {Format::List,  "liste", "--liste", "un numéro par ligne",
        {"txt", ""},      "text/plain"},
}};
// clang-format on

const FormatFacts &factsOf(Format format);

// The format that a file's name, or else its first bytes, show: a vCard, a
// CSV (or tab-separated) file, a workbook, or else a list.
Format formatOf(std::string_view fileName, std::string_view start);

// Whether a file's first bytes are a ZIP archive's, or an old compound
// document's (.xls): a workbook, or no text at all.
bool isArchive(std::string_view start);

// The names of CSV columns that hold telephone numbers, as the user reads
// them; case, accents, punctuation and numbers do not count.
extern const std::vector<std::string_view> telephoneColumns;

// A reader of the format, or null for a workbook in the page. `columns`: the
// CSV or workbook columns to convert, by name; none, those whose name says
// they hold telephone numbers.
std::unique_ptr<Reader> readerOf(Format format, std::vector<std::string> columns = {});

} // namespace rewriting
