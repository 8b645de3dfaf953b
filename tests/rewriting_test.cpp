// Numbers as people write them: which fields are old numbers, what each
// becomes, and whole files converted with every other byte kept.
#include <rewriting/field.h>
#include <rewriting/formats.h>
#include <rewriting/whole_file.h>

#include <conversion/convert.h>
#include <conversion/utf8.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

using rewriting::Verdict;

namespace {

std::string rewritten(std::string_view field, Verdict *verdict = nullptr)
{
    std::string out;
    const Verdict v = rewriting::rewriteField(field, out);
    if (verdict)
        *verdict = v;
    return out;
}

} // namespace

TEST(Field, WrittenFormsTheirStylesAndWhatIsLeftAlone)
{
    const Verdict C = Verdict::Converted, U = Verdict::Unchanged, R = Verdict::NoRule,
                  N = Verdict::NewPlan;
    // The digits each form means, as the window converts them, and the
    // result that must come from them: checked against the rules, not only
    // against this table.
    const struct
    {
        std::string field;
        Verdict verdict;
        std::string becomes;
        std::u32string means;
    } cases[] = {
        {"42 12 34 56", C, "04 42 12 34 56", U"42123456"},
        {"4212 3456", C, "04 42 12 34 56", U"42123456"},
        {"42-12-34-56", C, "04-42-12-34-56", U"42123456"},
        {"42.12.34.56", C, "04.42.12.34.56", U"42123456"},
        {"42123456", C, "0442123456", U"42123456"},
        {"42/12/34/56", C, "04/42/12/34/56", U"42123456"},
        {"42  12  34  56", C, "04  42  12  34  56", U"42123456"},
        {"42\xC2\xA0"
         "12\xC2\xA0"
         "34\xC2\xA0"
         "56",
            C,
            "04\xC2\xA0"
            "42\xC2\xA0"
            "12\xC2\xA0"
            "34\xC2\xA0"
            "56",
            U"42123456"},
        {"42\xE2\x80\xAF"
         "12\xE2\x80\xAF"
         "34\xE2\x80\xAF"
         "56",
            C,
            "04\xE2\x80\xAF"
            "42\xE2\x80\xAF"
            "12\xE2\x80\xAF"
            "34\xE2\x80\xAF"
            "56",
            U"42123456"},
        {"42\xA0"
         "12\xA0"
         "34\xA0"
         "56",
            C,
            "04\xA0"
            "42\xA0"
            "12\xA0"
            "34\xA0"
            "56",
            U"42123456"}, // Latin-1
        {" \t42 12 34 56  ", C, " \t04 42 12 34 56  ", U"42123456"},
        {"05 12 34 56", C, "0800 12 34 56", U"05123456"},
        {"(1) 45 67 89 01", C, "01 45 67 89 01", U"16145678901"},
        {"(1)45.67.89.01", C, "01.45.67.89.01", U"16145678901"},
        {"16 (1) 45 67 89 01", C, "01 45 67 89 01", U"16145678901"},
        {"16 1 45 67 89 01", C, "01 45 67 89 01", U"16145678901"},
        {"161 45 67 89 01", C, "01 45 67 89 01", U"16145678901"},
        {"16 42 12 34 56", C, "04 42 12 34 56", U"42123456"},
        {"+33 42 12 34 56", C, "+33 4 42 12 34 56", U"42123456"},
        {"00 33 42 12 34 56", C, "00 33 4 42 12 34 56", U"42123456"},
        {"19 33 42 12 34 56", C, "00 33 4 42 12 34 56", U"42123456"},
        {"+33 (1) 45 67 89 01", C, "+33 1 45 67 89 01", U"16145678901"},
        {"+33.42.12.34.56", C, "+33.4.42.12.34.56", U"42123456"},
        {"+33 05 12 34 56", C, "+33 800 12 34 56", U"05123456"},
        {"19 44 20 7946 0958", C, "00 44 20 7946 0958", U"19442079460958"},
        {"04 42 12 34 56", N, "", U""},
        {"01 45 67 89 01", N, "", U""},
        {"+33 4 42 12 34 56", N, "", U""},
        {"00 33 4 42 12 34 56", N, "", U""},
        {"0800 12 34 56", N, "", U""},
        {"00 44 20 7946 0958", U, "", U""},
        {"+44 20 7946 0958", U, "", U""},
        {"36 15", U, "", U""},
        {"12", U, "", U""},
        {"4 42 12 34 56", U, "", U""},
        {"36 15 12 34", U, "", U""}, // kept as typed: not a whole new number
        {"19 44 12 34", U, "", U""}, // too short to be an international number
        {"42.12 34-56", U, "", U""}, // separators of three kinds
        {"42 12 34 56.", U, "", U""},
        // What follows a number is kept, and read too where it is a number.
        {"(1) 45 67 89 01 poste 12", C, "01 45 67 89 01 poste 12", U""},
        {"42 12 34 56 x123", C, "04 42 12 34 56 x123", U""},
        {"42 12 34 56 (bureau)", C, "04 42 12 34 56 (bureau)", U""},
        {"42 12 34 56 / 42 12 34 57", C, "04 42 12 34 56 / 04 42 12 34 57", U""},
        {"42 12 34 56 ou 45.67.89.01", C, "04 42 12 34 56 ou 05.45.67.89.01", U""},
        {"52 12 34 56;42 12 34 56", C, "52 12 34 56;04 42 12 34 56", U""},
        {"42 12 34 56 rue des Lilas", U, "", U""},
        {"42 12 34 56 (bureau", U, "", U""},
        // As printed before 1996, from Paris or to it.
        {"(16) 42.12.34.56", C, "04.42.12.34.56", U"42123456"},
        {"(16) 1 45 67 89 01", C, "01 45 67 89 01", U"16145678901"},
        {"(16-1) 45.67.89.01", C, "01.45.67.89.01", U"16145678901"},
        {"19 1 617 555 1234", C, "00 1 617 555 1234", U""},
        {"19 33 1 45 67 89 01", C, "00 33 1 45 67 89 01", U""},
        // Grouped as no French number was: a North American one, its 1 the
        // country's code, is not read, nor said to be French.
        {"1-617-679-1984", U, "", U""},
        {"1 617 236 0442", U, "", U""},
        {"1-919-676-9515", U, "", U""},
        {"1-555-1234", U, "", U""},
        {"16145678901", U, "", U""},
        {"421 234 56", U, "", U""},
        {"+33 1 45 67 89 01", N, "", U""},
        {"+33 (0)1 45 67 89 01", N, "", U""},
        {std::string(24, '3') + " (1) 45.67.89.01", U, "", U""},             // too many digits
        {"19" + std::string(300, ' ') + "44 20 7946 0958", U, "", U""},      // too long
        {"42 12 34 56/(52 12 34 56", C, "04 42 12 34 56/(52 12 34 56", U""}, // a bracket not closed
        {"Jean Dupont", U, "", U""},
        {"jean@exemple.fr", U, "", U""},
        {"", U, "", U""},
        {"   ", U, "", U""},
        {"52 12 34 56", R, "", U""},
        {"30 12 34 56", R, "", U""},
        {"+33 52 12 34 56", R, "", U""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.field);
        Verdict verdict;
        const std::string got = rewritten(c.field, &verdict);
        EXPECT_EQ(verdict, c.verdict);
        if (c.verdict != C) {
            EXPECT_EQ(got, c.field);
            continue;
        }
        EXPECT_EQ(got, c.becomes);
        // Converting again changes nothing.
        EXPECT_EQ(rewritten(got), got);
        if (c.means.empty())
            continue;
        // The digits of the rules' result, less its first 0, which +33 drops.
        std::string digits, rule;
        for (char ch : got)
            digits += ch >= '0' && ch <= '9' ? std::string(1, ch) : "";
        for (char32_t ch : conversion::convert(c.means))
            rule += ch >= U'0' && ch <= U'9' ? std::string(1, char(ch)) : "";
        EXPECT_TRUE(digits.ends_with(rule.substr(1))) << digits << " against the rules' " << rule;
    }
}

namespace {

// A file made of fields and of the bytes around them, with what it must
// become: each field rewritten on its own, every other byte as it is; and
// what must be counted, and the lines (ended by `end`) where numbers with no
// rule stand.
struct Made
{
    std::string end;
    std::string file, expected;
    rewriting::Counts counts;
    std::vector<std::size_t> noRule;
    void text(std::string_view bytes)
    {
        file += bytes;
        expected += bytes;
    }
    void field(std::string_view bytes)
    {
        Verdict verdict;
        expected += rewritten(bytes, &verdict);
        counts.converted += verdict == Verdict::Converted;
        if (verdict == Verdict::NoRule) {
            ++counts.reported;
            std::size_t line = 1;
            for (std::size_t at = file.find(end); at != file.npos; at = file.find(end, at + 1))
                ++line;
            noRule.push_back(line);
        }
        file += bytes;
    }
};

struct Read
{
    std::string out;
    rewriting::Counts counts;
    std::vector<std::size_t> lines; // of the reports
};

Read convertedInPieces(rewriting::Format format, std::string_view file, std::mt19937 &random)
{
    const auto reader = rewriting::readerOf(format);
    std::string out;
    // Small pieces, or large ones, as a reader that reads many bytes at once sees them.
    const std::size_t largest = random() % 2 ? 40 : 1000;
    while (!file.empty()) {
        const std::size_t piece = std::min<std::size_t>(file.size(), random() % largest);
        reader->feed(file.substr(0, piece), out);
        file.remove_prefix(piece);
    }
    reader->finish(out);
    EXPECT_FALSE(reader->failed());
    Read read{out, reader->counts(), {}};
    for (const rewriting::Report &report : reader->reports())
        read.lines.push_back(report.line);
    return read;
}

// The text in UTF-16 with its mark, each byte that is not UTF-8 read as
// Latin-1, as a Windows program would save it.
std::string utf16(std::string_view bytes, bool bigEndian)
{
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    std::u32string characters;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::u32string one;
        if (conversion::decodeUtf8(bytes.substr(i, 2), one) && one.size() == 1) {
            characters += one;
            ++i;
        } else if (conversion::decodeUtf8(bytes.substr(i, 3), one) && one.size() == 1) {
            characters += one;
            i += 2;
        } else {
            characters += char32_t(static_cast<unsigned char>(bytes[i]));
        }
    }
    std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char16_t unit : conversion::utf16(characters)) {
        const char low = char(unit & 0xFF), high = char(unit >> 8);
        out += bigEndian ? high : low;
        out += bigEndian ? low : high;
    }
    return out;
}

} // namespace

// Random lists, vCards and CSV files, with any line ends, in UTF-8 or UTF-16,
// fed in pieces of random sizes: the fields are rewritten and nothing else;
// a second pass changes nothing.
TEST(Files, OnlyTheFieldsChangeAndASecondPassChangesNothing)
{
    const std::vector<std::string> fields
        = {"42 12 34 56", "(1)45.67.89.01", "+33 42-12-34-56", "19 44 20 7946 0958",
            "04 42 12 34 56", "52 12 34 56", "Jean Dupont", "", " 42123456 ", "36 15",
            "42\xA0"
            "12\xA0"
            "34\xA0"
            "56",
            "caf\xC3\xA9"};
    const std::vector<std::string> ends = {"\n", "\r\n", "\r\r\n", "\r"};
    std::mt19937 random(20261209);
    const auto pick
        = [&random](const std::vector<std::string> &from) { return from[random() % from.size()]; };
    for (int round = 0; round < 300; ++round) {
        const std::string end = pick(ends);
        Made list, vcard, csv;
        list.end = vcard.end = csv.end = end;
        if (round % 3 == 0)
            list.text("\xEF\xBB\xBF");
        for (int k = 0; k < 6; ++k) {
            list.field(pick(fields));
            list.text(end);

            vcard.text("BEGIN:VCARD" + end + "VERSION:3.0" + end + "NOTE:" + pick(fields) + end);
            vcard.text("item1.TEL;TYPE=\"voice,cell\":");
            vcard.field(pick(fields));
            vcard.text(end + "TEL;VALUE=uri:tel:");
            vcard.field("+33-42-12-34-56");
            vcard.text(";ext=12" + end + "TEL;ENCODING=QUOTED-PRINTABLE:42 12 34 56" + end);
            vcard.text("tel;type=WORK;" + end + " type=pref:");
            vcard.field(pick(fields));
            vcard.text(end + "PHOTO;ENCODING=b:AAAA" + end + " 42123456" + end + "END:VCARD" + end);
        }
        csv.text("Nom;\"Adresse; ville\";T\xC3\xA9l\xC3\xA9phone;Fax;Note" + end);
        for (int k = 0; k < 6; ++k) {
            csv.text(k % 2 ? "Dupont;\"Paris; 11e\";"
                           : "\"Dupont \"\"Jean\"\"; fils\";\"42 12 34 56" + end + "Paris\";");
            csv.field(pick(fields));
            csv.text(";\"");
            csv.field(pick(fields));
            csv.text(" ::: ");
            csv.field(pick(fields));
            // A note over two lines, what it holds no cell of its own.
            csv.text(k % 3 ? "\";" + end : "\";\"vu" + end + "a;b;42 12 34 56;\"\"x\"\"\"" + end);
        }
        if (round % 2)
            list.field(pick(fields)); // a last line without an end
        for (auto [format, made] :
            {std::pair{rewriting::Format::List, &list}, std::pair{rewriting::Format::VCard, &vcard},
                std::pair{rewriting::Format::Csv, &csv}}) {
            if (round % 4 == 1) { // the same, in UTF-16
                made->file = utf16(made->file, round % 8 == 1);
                made->expected = utf16(made->expected, round % 8 == 1);
            }
            const Read once = convertedInPieces(format, made->file, random);
            ASSERT_EQ(once.out, made->expected) << "format " << int(format) << ", round " << round;
            EXPECT_EQ(once.counts.converted, made->counts.converted);
            EXPECT_EQ(once.counts.reported, made->counts.reported);
            if (format != rewriting::Format::VCard) { // a card's are its properties' first lines
                EXPECT_EQ(once.lines, made->noRule) << "round " << round;
            }
            ASSERT_EQ(convertedInPieces(format, once.out, random).out, once.out);
        }
    }
}

// A file dropped on the page is read as its name, or else its first bytes, say.
TEST(Files, FormatFromNameOrContent)
{
    using enum rewriting::Format;
    const struct
    {
        std::string_view name, start;
        rewriting::Format format;
    } cases[] = {
        {"carnet.VCF", "", VCard},
        {"carnet.vcard", "", VCard},
        {"contacts.csv", "42 12 34 56\n", Csv},
        {"membres.tsv", "", Csv},
        {"numeros.txt", "BEGIN:VCARD\n", List},
        {"export", "\xEF\xBB\xBF\r\n  begin:vcard\r\nVERSION:2.1", VCard},
        {"export.dat", "Nom;Tel\n", Csv},
        {"export", "Nom\tTel", Csv},
        {"numeros", "42 12 34 56\n45.67.89.01, 2e\n", List},
        {"carnet.vcf.bak", "", List},
        {"", "", List},
    };
    for (const auto &c : cases)
        EXPECT_EQ(rewriting::formatOf(c.name, c.start), c.format) << c.name << " " << c.start;
}

namespace {

// A file in memory, read in small pieces, that can fail as a disk does.
class MemoryFile : public rewriting::FileAccess
{
public:
    MemoryFile(std::string content_, bool readFails_ = false, bool writeFails_ = false)
        : content(std::move(content_))
        , readFails(readFails_)
        , writeFails(writeFails_)
    {
    }

    long read(char *to, std::size_t size) override
    {
        if (readFails && at > 0)
            return -1;
        const std::size_t n = std::min({size, content.size() - at, std::size_t(7)});
        std::copy_n(content.data() + at, n, to);
        at += n;
        return long(n);
    }
    bool rewind() override { return !(at = 0); }
    std::uint64_t size() override { return content.size(); }
    bool write(std::string_view bytes) override { return !writeFails && (written += bytes, true); }
    std::string error() override { return "disque plein"; }
    void progress(double done) override { lastProgress = done; }

    std::string content, written;
    std::size_t at = 0;
    bool readFails, writeFails;
    double lastProgress = -1;
};

} // namespace

TEST(WholeFile, SaidAsThePageSaysItAndNothingKeptOfAFailure)
{
    std::string manyReports;
    for (int i = 0; i < 1003; ++i)
        manyReports += "52 12 34 56\n";
    struct Case
    {
        std::string name, content;
        bool readFails, writeFails;
        bool written;
        std::string said, out;
        std::vector<std::string> firstReports;
    };
    // clang-format off
    const Case cases[] = {
        {"a.vcf", "BEGIN:VCARD\r\nTEL:42 12 34 56\r\nEND:VCARD\r\n", false, false, true,
         "a.vcf (vCard) : convertis 1, laissés tels quels 0, signalés 0.",
         "BEGIN:VCARD\r\nTEL:04 42 12 34 56\r\nEND:VCARD\r\n", {}},
        {"liste", "42 12 34 56\n52 12 34 56\n", false, false, true,
         "liste (liste) : convertis 1, laissés tels quels 0, signalés 1.", "04 42 12 34 56\n52 12 34 56\n",
         {"ligne 2 : « 52 12 34 56 » : aucune règle, laissé tel quel"}},
        {"beaucoup.txt", manyReports, false, false, true,
         "beaucoup.txt (liste) : convertis 0, laissés tels quels 0, signalés 1003.", manyReports, {}},
        {"photo.txt", std::string("\x89PNG\r\n\x1a\n\0\0", 10), false, false, false,
         "photo.txt : ce n'est ni un carnet d'adresses, ni un tableau, ni une liste, ni un classeur.", "", {}},
        // An archive, whatever its name says, is read as a workbook.
        {"tronque.csv", "PK\x03\x04 plus rien", false, false, false,
         "tronque.csv : archive tronquée.", "", {}},
        {"a.txt", "42 12 34 56\n42 12 34 56\n", true, false, false,
         "a.txt : la lecture a échoué (disque plein).", "", {}},
        {"a.txt", "42 12 34 56\n", false, true, false,
         "a.txt : l'écriture a échoué (disque plein).", "", {}},
    };
    // clang-format on
    for (const Case &c : cases) {
        MemoryFile file(c.content, c.readFails, c.writeFails);
        const rewriting::Told told = rewriting::convertWhole(c.name, file);
        SCOPED_TRACE(c.name);
        EXPECT_EQ(told.written, c.written);
        EXPECT_EQ(told.said, c.said);
        if (c.written) {
            EXPECT_EQ(file.written, c.out);
            EXPECT_EQ(file.lastProgress, 1.0);
        }
        for (std::size_t i = 0; i < c.firstReports.size(); ++i)
            EXPECT_EQ(told.reports.at(i), c.firstReports[i]);
    }
    // The first thousand reports, then how many more.
    MemoryFile many(manyReports);
    const rewriting::Told told = rewriting::convertWhole("beaucoup.txt", many);
    ASSERT_EQ(told.reports.size(), rewriting::shownReports + 1);
    EXPECT_EQ(told.reports[999], "ligne 1000 : « 52 12 34 56 » : aucune règle, laissé tel quel");
    EXPECT_EQ(told.reports.back(), "… et 3 de plus");
}

TEST(WholeFile, ConvertedNameBesideTheFile)
{
    const std::pair<std::string_view, std::string_view> names[]
        = {{"contacts.vcf", "contacts-converti.vcf"}, {"a.b.csv", "a.b-converti.csv"},
            {"liste", "liste-converti"}, {".profil", ".profil-converti"}};
    for (const auto &[name, converted] : names)
        EXPECT_EQ(rewriting::convertedName(name), converted);
}
