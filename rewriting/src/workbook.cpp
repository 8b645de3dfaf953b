// A spreadsheet as LibreOffice (.ods) or Excel (.xlsx) keeps it: a ZIP
// archive read more than once from its start, so that nothing is written of
// one that cannot be read. First checked whole (every CRC) and its small
// parts read: shared strings, number formats, sheet names. Then its sheets
// planned: which cells convert, said and counted (an .ods's while it is
// checked). Then written: each entry with nothing to convert copied as its
// bytes came, the others inflated, their cells rewritten in place, and
// deflated again.
#include "bytes.h"
#include "readers.h"
#include "xml.h"
#include "zip.h"

#include <algorithm>
#include <charconv>
#include <optional>

namespace rewriting {

namespace {

using zip::read16;
using zip::read32;

// A cell, or a tag, longer than this is no number: it goes through as it is.
constexpr std::size_t longestCell = 64 * 1024;
// The small parts (workbook, styles, manifest) are read whole, up to this.
constexpr std::size_t longestPart = 32 * 1024 * 1024;
// An entry inflating past this, this many times its compressed size, is a
// bomb and not a spreadsheet.
constexpr std::uint64_t bombFloor = 64 * 1024 * 1024;
constexpr std::uint64_t bombRatio = 500;
constexpr std::uint64_t inflateStep = 64 * 1024;
// Past this, an archive's sizes need ZIP64.
constexpr std::uint64_t zip32Limit = 0xFFFFFFFF;

const std::string odsType = "application/vnd.oasis.opendocument.spreadsheet";
const std::string passwordSaid
    = "classeur protégé par un mot de passe : enregistrez-le sans mot de passe pour le convertir";
const std::string compoundSignature = "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
// The stream an encrypted workbook keeps its package in, in UTF-16.
const std::string encryptedPackage = [] {
    std::string name;
    for (char c : std::string_view("EncryptedPackage"))
        name.append({c, '\0'});
    return name;
}();

enum class Role {
    Other,
    Mimetype,
    ContentTypes,
    Manifest,
    Workbook,
    WorkbookLinks,
    Styles,
    SharedStrings,
    Sheet,   // an .xlsx worksheet
    Content, // an .ods's sheets, all in one
};

Role roleOf(std::string_view name)
{
    if (name == "mimetype")
        return Role::Mimetype;
    if (name == "[Content_Types].xml")
        return Role::ContentTypes;
    if (name == "META-INF/manifest.xml")
        return Role::Manifest;
    if (name == "content.xml")
        return Role::Content;
    if (name == "xl/workbook.xml")
        return Role::Workbook;
    if (name == "xl/_rels/workbook.xml.rels")
        return Role::WorkbookLinks;
    if (name == "xl/styles.xml")
        return Role::Styles;
    if (name == "xl/sharedStrings.xml")
        return Role::SharedStrings;
    if (name.starts_with("xl/worksheets/") && name.ends_with(".xml")
        && name.find('/', 14) == name.npos)
        return Role::Sheet;
    return Role::Other;
}

bool read(std::string_view digits, std::uint64_t &value)
{
    return !digits.empty()
        && std::from_chars(digits.data(), digits.data() + digits.size(), value).ptr
        == digits.data() + digits.size();
}

// Column 0 is A, 26 is AA.
std::string letters(std::uint64_t column)
{
    std::string made;
    for (++column; column > 0; column = (column - 1) / 26)
        made.insert(made.begin(), char('A' + (column - 1) % 26));
    return made;
}

// "C12": column 2, row 12.
bool readReference(std::string_view reference, std::uint64_t &column, std::uint64_t &row)
{
    std::size_t i = 0;
    std::uint64_t letters = 0;
    for (; i < reference.size() && reference[i] >= 'A' && reference[i] <= 'Z' && i < 4; ++i)
        letters = letters * 26 + std::uint64_t(reference[i] - 'A' + 1);
    if (i == 0 || !read(reference.substr(i), row))
        return false;
    column = letters - 1;
    return true;
}

// A number format that writes eight digits in groups, such as 00 00 00 00:
// the digits' places as '0' and what stands between them, or empty.
std::string groupingOf(std::string_view code)
{
    const std::string plain = xml::decoded(code.substr(0, code.find(';')));
    std::string made;
    for (std::size_t i = 0; i < plain.size(); ++i) {
        const char c = plain[i];
        if (c == '"') {
            const std::size_t end = plain.find('"', i + 1);
            if (end == plain.npos)
                return {};
            made.append(plain, i + 1, end - i - 1);
            i = end;
        } else if (c == '\\' && i + 1 < plain.size()) {
            made += plain[++i];
        } else if (c == '0' || c == '#') {
            made += '0';
        } else {
            made += c;
        }
    }
    if (std::count(made.begin(), made.end(), '0') != 8
        || made.find_first_not_of("0 .-/") != made.npos)
        return {};
    return made;
}

struct Entry
{
    std::uint64_t at = 0; // of its local header, in the file read
    std::string name;
    Role role = Role::Other;
    std::uint16_t flags = 0, method = 0;
    std::uint64_t data = 0;  // compressed bytes
    std::uint32_t crc = 0;   // said by the archive
    std::uint64_t size = 0;  // inflated, said by the archive
    std::uint32_t sheet = 0; // an .xlsx worksheet's place in sheetNames
    bool changes = false;
    bool planned = false; // its cells read, what changes known
    // The cells from here (inflated bytes) are counted and said as they are
    // written: an .ods's planning stops at its first converted cell.
    std::uint64_t countedFrom = ~std::uint64_t(0);
    bool checked = true; // its CRC and size, else checked when planned
    // As written.
    std::uint64_t written = 0;
    std::uint32_t newCrc = 0;
    std::uint64_t newData = 0, newSize = 0;
};

// One sheet as its rows are read: its header found, then its telephone
// columns converted.
struct Sheet
{
    std::string name;
    bool headed = false;
    std::vector<char> phone;  // the columns converted, none past their end
    bool skipping = false;    // the rest of a row, past the last converted column
    std::vector<char> naming; // before the header: the row's columns that name one
    bool rowText = false;
    std::uint64_t row = 0, rows = 1; // a row, and how many times it stands
    std::uint64_t column = 0;

    bool converts(std::uint64_t at) const
    {
        return headed && at < phone.size() && phone[std::size_t(at)];
    }
};

class WorkbookReader final : public Reader
{
public:
    explicit WorkbookReader(std::vector<std::string> columns)
        : wanted(std::move(columns))
        , found(wanted.size())
    {
        for (const std::string &name : wanted)
            wantedKeys.push_back(columnKey(name));
    }

    void feed(std::string_view piece, std::string &out) override;
    void finish(std::string &out) override;
    std::size_t held() const override
    {
        return record.size() + window.size() + part.size() + heldStrings.size()
            + sizeof(stringAt[0]) * stringAt.size() + entries.size() * sizeof(Entry);
    }
    bool again() override { return pass != Pass::Done && !refused; }
    int passes() const override { return int(Pass::Done); } // each pass before Done

private:
    enum class Pass { Survey, Plan, Write, Done };
    enum class Step { Start, Record, Data, Descriptor, Trailing, Refused, Compound };

    // The archive's records. Takes bytes of `piece` into `record` until it
    // holds `size`.
    bool gather(std::string_view &piece, std::size_t size);
    void nextRecord(std::string_view &piece, std::string &out);
    void localHeader(std::string &out);
    void centralHeader(std::string &out);
    void endRecord(std::string &out);
    void data(std::string_view &piece, std::string &out);
    void descriptor(std::string_view &piece, std::string &out);
    void endOfData(std::string &out);
    void endOfEntry(std::string &out);
    void emit(std::string_view bytes, std::string &out)
    {
        out.append(bytes);
        written += bytes.size();
    }
    void broken(std::string said)
    {
        if (!refused)
            problem(0, std::move(said));
        refused = true;
        step = Step::Refused;
    }
    Entry &current() { return entries[entryIndex]; }
    // Whether this pass checks the entry read: every one when the archive is
    // first read, a worksheet left for later when it is planned.
    bool checking() { return pass == Pass::Survey || (pass == Pass::Plan && !current().checked); }
    // Whether the cell read is counted and said in this pass.
    bool counting() { return pass != Pass::Write || cellAt >= current().countedFrom; }
    Entry *entryAt(std::uint64_t at);

    // An entry's bytes, inflated.
    void content(std::string_view bytes, bool last, std::string &out);
    void readStrings(bool last);
    void readSmallParts();
    void scanSheet(bool last, std::string *out);
    bool wants(std::string_view start, bool isOds);
    // Each makes `replacement` and says whether the cell is converted.
    bool xlsxCell(std::string_view inner, std::string_view start);
    bool odsCell(std::string_view element, std::string_view start);
    void endRow();
    // Which columns asked for a name is: a bit for each of `wanted`, or
    // bit 0 for a telephone's.
    std::uint64_t namesOf(std::string_view written) const;
    // The cell being read, in the header's row, names a column so.
    void named(std::uint64_t mask);
    Verdict convert(std::string_view text, std::string &out, std::uint64_t column);
    std::optional<std::string_view> sharedText(std::uint64_t index) const;

    std::vector<std::string> wanted, wantedKeys;
    std::vector<char> found; // each wanted column, once seen
    bool anyPhone = false;
    bool refused = false; // nothing is written

    Pass pass = Pass::Survey;
    Step step = Step::Start;
    std::string record;
    std::uint64_t at = 0;      // bytes read in this pass
    std::uint64_t written = 0; // bytes written
    std::vector<Entry> entries;
    std::size_t entryIndex = 0;
    std::uint64_t left = 0; // of the entry's data, when known
    bool centralSeen = false;
    std::size_t centralCount = 0;
    std::uint64_t centralStart = 0;

    zip::Inflater inflater;
    zip::Deflater deflater;
    std::uint32_t crc = 0;
    std::uint64_t inflated = 0, compressed = 0;
    std::string window;  // inflated, not yet read
    std::string part;    // a small part, whole
    std::string changed; // a rewritten entry's bytes, to deflate
    // The inflated bytes before the window, and before the cell read.
    std::uint64_t windowAt = 0, cellAt = 0;
    std::string deflated;
    bool reading = false; // whether the entry's content is read in this pass

    // What the survey found.
    std::string mimetype;
    bool ods = false, encrypted = false;
    std::vector<std::pair<std::string, std::string>> sheetLinks; // rId, target
    std::vector<std::pair<std::string, std::string>> sheetIds;   // rId, name
    std::vector<std::string> sheetNames;
    std::vector<std::string> xfGroupings; // by style index
    // Shared strings: those that are numbers, or name columns, by index.
    std::uint64_t strings = 0;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> stringAt; // index, offset
    std::string heldStrings;
    std::vector<std::pair<std::uint64_t, std::uint64_t>> namingStrings; // index, namesOf()

    Sheet sheet;
    std::uint64_t cellColumn = 0, cellRepeat = 1;
    std::string closedName, closing; // the last cell's name, and its end tag
    std::string rowClose;            // a row's end tag
    std::string replacement;
    std::string place; // of the cell said
    std::string scratch;
};

Entry *WorkbookReader::entryAt(std::uint64_t offset)
{
    const auto hit = std::lower_bound(entries.begin(), entries.end(), offset,
        [](const Entry &entry, std::uint64_t value) { return entry.at < value; });
    return hit != entries.end() && hit->at == offset ? &*hit : nullptr;
}

void WorkbookReader::feed(std::string_view piece, std::string &out)
{
    while (!piece.empty()) {
        if (step == Step::Start) {
            if (!gather(piece, 8))
                return;
            if (record == compoundSignature) {
                step = Step::Compound;
            } else if (read32(record, 0) == zip::localSignature) {
                step = Step::Record;
            } else {
                broken("ce n'est pas un classeur .ods ou .xlsx");
                return;
            }
            continue;
        }
        switch (step) {
        case Step::Record:
            nextRecord(piece, out);
            break;
        case Step::Data:
            data(piece, out);
            break;
        case Step::Descriptor:
            descriptor(piece, out);
            break;
        case Step::Trailing:
            if (pass == Pass::Write)
                emit(piece, out);
            at += piece.size();
            piece = {};
            break;
        case Step::Compound:
            // Encrypted workbooks are kept in this format too: tell them.
            record += piece.substr(0, 64 * 1024);
            encrypted = encrypted || record.find(encryptedPackage) != record.npos;
            record.erase(0, record.size() - std::min(record.size(), encryptedPackage.size()));
            piece = piece.substr(std::min(piece.size(), std::size_t(64 * 1024)));
            break;
        default:
            piece = {};
            break;
        }
    }
}

bool WorkbookReader::gather(std::string_view &piece, std::size_t size)
{
    const std::size_t taken = std::min(piece.size(), size - std::min(size, record.size()));
    record.append(piece.substr(0, taken));
    piece.remove_prefix(taken);
    at += taken;
    return record.size() >= size;
}

void WorkbookReader::nextRecord(std::string_view &piece, std::string &out)
{
    if (!gather(piece, 4))
        return;
    const std::uint32_t signature = read32(record, 0);
    if (signature == zip::localSignature) {
        if (centralSeen)
            return broken("archive abîmée : une entrée après le répertoire");
        if (!gather(piece, zip::localSize)
            || !gather(piece, zip::localSize + read16(record, 26) + read16(record, 28)))
            return;
        localHeader(out);
    } else if (signature == zip::centralSignature) {
        if (!gather(piece, zip::centralSize)
            || !gather(piece,
                zip::centralSize + read16(record, 28) + read16(record, 30) + read16(record, 32)))
            return;
        centralHeader(out);
    } else if (signature == zip::endSignature) {
        if (!gather(piece, zip::endSize) || !gather(piece, zip::endSize + read16(record, 20)))
            return;
        endRecord(out);
    } else if (signature == zip::zip64EndSignature || signature == zip::zip64LocatorSignature) {
        broken("archive ZIP64 (plus de 4 Gio ou de 65 535 entrées) : non prise en charge");
    } else {
        broken("archive abîmée : rien de lisible à l'octet " + std::to_string(at - 4));
    }
}

void WorkbookReader::localHeader(std::string &out)
{
    const std::uint64_t start = at - record.size();
    if (pass == Pass::Survey) {
        Entry entry;
        entry.at = start;
        entry.flags = std::uint16_t(read16(record, 6));
        entry.method = std::uint16_t(read16(record, 8));
        entry.crc = read32(record, 14);
        entry.data = read32(record, 18);
        entry.size = read32(record, 22);
        entry.name = record.substr(zip::localSize, read16(record, 26));
        entry.role = roleOf(entry.name);
        entries.push_back(std::move(entry));
        entryIndex = entries.size() - 1;
        const Entry &e = current();
        if (e.flags & zip::encrypted) {
            encrypted = true;
            return broken(passwordSaid);
        }
        if (e.method != 0 && e.method != zip::deflated)
            return broken("« " + e.name + " » est compressé d'une façon inconnue (méthode "
                + std::to_string(e.method) + ")");
        if (e.method == 0 && (e.flags & zip::sizesAfter))
            return broken("archive abîmée : « " + e.name + " » sans sa taille");
        if (e.data == zip32Limit || e.size == zip32Limit)
            return broken(
                "archive ZIP64 (plus de 4 Gio ou de 65 535 entrées) : non prise en charge");
        left = (e.flags & zip::sizesAfter) ? ~std::uint64_t(0) : e.data;
        // A worksheet whose size is told is checked as it is planned, not
        // inflated once more for its CRC alone.
        current().checked
            = !(e.role == Role::Sheet && e.method == zip::deflated && left != ~std::uint64_t(0));
        reading = current().checked;
    } else {
        Entry *known = entryAt(start);
        if (!known)
            return broken("le fichier a changé pendant sa lecture");
        entryIndex = std::size_t(known - entries.data());
        left = known->data;
        reading = (pass == Pass::Plan && !known->planned
                      && (known->role == Role::Sheet || known->role == Role::Content))
            || (pass == Pass::Write && known->changes);
    }
    Entry &entry = current();
    if (pass == Pass::Write) {
        entry.written = written;
        if (entry.changes) {
            std::string header = record;
            const std::uint16_t flags = entry.flags | zip::sizesAfter;
            header[6] = char(flags & 0xFF);
            header[7] = char(flags >> 8);
            header[8] = char(zip::deflated);
            header[9] = 0;
            for (std::size_t k = 14; k < 26; ++k)
                header[k] = 0;
            emit(header, out);
        } else {
            emit(record, out);
        }
    }
    record.clear();
    crc = 0;
    inflated = compressed = 0;
    window.clear();
    windowAt = 0;
    part.clear();
    changed.clear();
    inflater.reset();
    deflater.reset();
    sheet = Sheet{};
    if (entry.role == Role::Sheet && entry.sheet < sheetNames.size())
        sheet.name = sheetNames[entry.sheet];
    step = Step::Data;
    if (left == 0)
        endOfData(out);
}

void WorkbookReader::data(std::string_view &piece, std::string &out)
{
    Entry &entry = current();
    // Inflated a slice at a time, so that a bomb is caught before it fills
    // memory, however large the pieces fed.
    const std::uint64_t most = reading && entry.method != 0 ? std::min(left, inflateStep) : left;
    const std::string_view some
        = piece.substr(0, std::size_t(std::min<std::uint64_t>(piece.size(), most)));
    std::size_t used = some.size();
    if (pass == Pass::Write && !entry.changes)
        emit(some, out);
    if (reading) {
        if (entry.method == 0) {
            content(some, false, out);
        } else {
            std::string &inflatedTo = entry.role == Role::Sheet || entry.role == Role::Content
                    || entry.role == Role::SharedStrings
                ? window
                : part;
            const std::size_t had = inflatedTo.size();
            used = inflater.inflate(some, inflatedTo);
            if (inflater.broken())
                return broken("archive abîmée : « " + entry.name + " » ne se décompresse pas");
            const std::string_view fresh = std::string_view(inflatedTo).substr(had);
            if (checking())
                crc = zip::crc(crc, fresh);
            inflated += fresh.size();
            compressed += used;
            if (checking() && inflated > bombFloor && inflated > bombRatio * compressed)
                return broken(
                    "« " + entry.name + " » se décompresse démesurément : archive piégée, refusée");
            if (&inflatedTo == &window)
                content({}, false, out);
            else if (part.size() > longestPart && entry.role != Role::Other)
                return broken("« " + entry.name + " » est trop grand pour être lu");
            else if (entry.role == Role::Other)
                part.clear();
        }
    }
    piece.remove_prefix(used);
    at += used;
    if (left != ~std::uint64_t(0))
        left -= used;
    const bool ended = left == 0 || (left == ~std::uint64_t(0) && inflater.ended());
    if (!ended && reading && entry.method != 0 && inflater.ended() && checking())
        return broken("archive abîmée : « " + entry.name + " » plus long que ses données");
    if (checking() && reading && left == 0 && entry.method != 0 && !inflater.ended())
        return broken("archive abîmée : « " + entry.name + " » tronqué");
    if (ended) {
        if (pass == Pass::Survey && entry.method != 0 && reading)
            entry.data = compressed;
        endOfData(out);
    }
}

void WorkbookReader::endOfData(std::string &out)
{
    if (reading)
        content({}, true, out);
    Entry &entry = current();
    entry.planned = entry.planned || (pass == Pass::Plan && reading);
    if (entry.flags & zip::sizesAfter) {
        step = Step::Descriptor;
        record.clear();
    } else {
        endOfEntry(out);
    }
}

void WorkbookReader::descriptor(std::string_view &piece, std::string &out)
{
    if (!gather(piece, 4)
        || !gather(piece, read32(record, 0) == zip::descriptorSignature ? 16 : 12))
        return;
    Entry &entry = current();
    const std::size_t skip = record.size() == 16 ? 4 : 0;
    if (pass == Pass::Survey) {
        entry.crc = read32(record, skip);
        if (read32(record, skip + 4) != entry.data)
            return broken("archive abîmée : « " + entry.name + " » n'a pas la taille dite");
        entry.size = read32(record, skip + 8);
    }
    if (pass == Pass::Write && !entry.changes)
        emit(record, out);
    endOfEntry(out);
}

void WorkbookReader::endOfEntry(std::string &out)
{
    Entry &entry = current();
    if (checking() && (pass != Pass::Survey || entry.checked)) {
        if (entry.method == 0)
            inflated = entry.data;
        if (crc != entry.crc || inflated != entry.size)
            return broken(
                "archive abîmée : « " + entry.name + " » ne correspond pas à sa somme de contrôle");
        entry.checked = true;
    }
    if (pass == Pass::Survey) {
        if (entry.role == Role::Mimetype) {
            mimetype = part;
            ods = mimetype.starts_with(odsType);
        } else if (entry.role == Role::Manifest)
            encrypted = encrypted || part.find("encryption-data") != part.npos;
        else if (entry.role != Role::Other && entry.role != Role::Sheet
            && entry.role != Role::Content && entry.role != Role::SharedStrings)
            readSmallParts();
    }
    if (pass == Pass::Write && entry.changes) {
        deflater.deflate({}, deflated, true);
        emit(deflated, out);
        entry.newData += deflated.size();
        deflated.clear();
        std::string tail;
        zip::append32(tail, zip::descriptorSignature);
        zip::append32(tail, entry.newCrc);
        zip::append32(tail, std::uint32_t(entry.newData));
        zip::append32(tail, std::uint32_t(entry.newSize));
        emit(tail, out);
        if (entry.newData > zip32Limit || entry.newSize > zip32Limit || written > zip32Limit)
            return broken("le classeur converti dépasserait 4 Gio : non pris en charge");
    }
    part.clear();
    window.clear();
    record.clear();
    step = Step::Record;
}

void WorkbookReader::centralHeader(std::string &out)
{
    centralSeen = true;
    if (centralCount++ == 0)
        centralStart = written;
    Entry *entry = entryAt(read32(record, 42));
    const std::string_view name
        = std::string_view(record).substr(zip::centralSize, read16(record, 28));
    if (!entry || entry->name != name)
        return broken("archive abîmée : son répertoire ne correspond pas à ses entrées");
    if (pass == Pass::Write) {
        if (entry->changes) {
            const std::uint16_t flags = entry->flags | zip::sizesAfter;
            record[8] = char(flags & 0xFF);
            record[9] = char(flags >> 8);
            record[10] = char(zip::deflated);
            record[11] = 0;
            zip::write32(record, 16, entry->newCrc);
            zip::write32(record, 20, std::uint32_t(entry->newData));
            zip::write32(record, 24, std::uint32_t(entry->newSize));
        }
        zip::write32(record, 42, std::uint32_t(entry->written));
        emit(record, out);
    }
    record.clear();
}

void WorkbookReader::endRecord(std::string &out)
{
    if (read16(record, 10) != centralCount || centralCount != entries.size())
        return broken("archive abîmée : son répertoire ne correspond pas à ses entrées");
    if (pass == Pass::Write) {
        zip::write32(record, 16, std::uint32_t(centralCount ? centralStart : written));
        emit(record, out);
    }
    record.clear();
    step = Step::Trailing;
}

void WorkbookReader::content(std::string_view bytes, bool last, std::string &out)
{
    Entry &entry = current();
    if (entry.method == 0) {
        if (checking())
            crc = zip::crc(crc, bytes);
        if (entry.role == Role::Sheet || entry.role == Role::Content
            || entry.role == Role::SharedStrings)
            window.append(bytes);
        else if (entry.role != Role::Other)
            part.append(bytes);
    }
    if (pass == Pass::Survey && entry.role == Role::SharedStrings) {
        readStrings(last);
        return;
    }
    // An .ods's sheets need nothing from the rest: planned as they are checked.
    entry.planned = entry.planned || (pass == Pass::Survey && entry.role == Role::Content && ods);
    if (pass == Pass::Survey && (!entry.planned || entry.changes)) {
        window.clear(); // its CRC was all this pass needs
        return;
    }
    if (pass != Pass::Write) {
        scanSheet(last, nullptr);
        return;
    }
    scanSheet(last, &changed);
    entry.newCrc = zip::crc(entry.newCrc, changed);
    entry.newSize += changed.size();
    deflater.deflate(changed, deflated, false);
    changed.clear();
    if (deflated.size() >= 64 * 1024) {
        emit(deflated, out);
        entry.newData += deflated.size();
        deflated.clear();
    }
}

void WorkbookReader::finish(std::string &)
{
    if (step == Step::Start && !failed())
        broken("ce n'est pas un classeur .ods ou .xlsx");
    if (step == Step::Compound) {
        broken(encrypted ? passwordSaid
                         : "ancien classeur Excel (.xls) : enregistrez-le en .xlsx ou .ods pour le "
                           "convertir");
    }
    if (refused) {
        pass = Pass::Done;
        return;
    }
    if (step != Step::Trailing)
        return broken("archive tronquée");
    if (pass == Pass::Survey) {
        const bool xlsx = std::any_of(entries.begin(), entries.end(),
            [](const Entry &entry) { return entry.role == Role::Workbook; });
        if (encrypted)
            return broken(passwordSaid);
        if (!ods && !xlsx)
            return broken(mimetype.empty()
                    ? "archive ZIP qui n'est pas un classeur .ods ou .xlsx"
                    : "document OpenDocument qui n'est pas un classeur (" + mimetype + ")");
        // Each worksheet's name, from the workbook and its links.
        for (Entry &entry : entries) {
            if (entry.role != Role::Sheet)
                continue;
            sheetNames.push_back(entry.name.substr(3));
            entry.sheet = std::uint32_t(sheetNames.size() - 1);
            for (const auto &[id, target] : sheetLinks) {
                if (target != entry.name)
                    continue;
                for (const auto &[sheetId, name] : sheetIds) {
                    if (sheetId == id)
                        sheetNames.back() = name;
                }
            }
        }
        pass = Pass::Plan;
    }
    const bool planned = std::all_of(entries.begin(), entries.end(), [](const Entry &entry) {
        return entry.planned || (entry.role != Role::Sheet && entry.role != Role::Content);
    });
    if (pass == Pass::Plan && planned) {
        for (std::size_t k = 0; k < wanted.size(); ++k) {
            if (!found[k])
                problem(0, "pas de colonne « " + wanted[k] + " »");
        }
        if (wanted.empty() && !anyPhone)
            problem(0,
                "aucune colonne de téléphone : nommez-la avec --colonne NOM ; le classeur est "
                "recopié tel quel");
        pass = Pass::Write;
    } else if (pass == Pass::Write) {
        pass = Pass::Done;
        return;
    }
    step = Step::Start;
    at = 0;
    record.clear();
    centralSeen = false;
    centralCount = 0;
}

std::uint64_t WorkbookReader::namesOf(std::string_view text) const
{
    const std::string name = xml::decoded(text);
    if (wanted.empty())
        return namesTelephone(name) ? 1 : 0;
    const std::string key = columnKey(name);
    std::uint64_t mask = 0;
    for (std::size_t k = 0; k < wanted.size() && k < 64; ++k)
        mask |= std::uint64_t(!key.empty() && key == wantedKeys[k]) << k;
    return mask;
}

void WorkbookReader::named(std::uint64_t mask)
{
    sheet.rowText = true;
    if (!mask)
        return;
    for (std::size_t k = 0; k < found.size() && k < 64; ++k)
        found[k] = found[k] || (mask >> k & 1);
    const std::uint64_t last = cellColumn + std::min<std::uint64_t>(cellRepeat, 1024);
    sheet.naming.resize(std::max(sheet.naming.size(), std::size_t(last)));
    std::fill(sheet.naming.begin() + std::ptrdiff_t(cellColumn),
        sheet.naming.begin() + std::ptrdiff_t(last), 1);
}

std::optional<std::string_view> WorkbookReader::sharedText(std::uint64_t index) const
{
    const auto hit = std::lower_bound(stringAt.begin(), stringAt.end(), index,
        [](const auto &pair, std::uint64_t value) { return pair.first < value; });
    if (hit == stringAt.end() || hit->first != index)
        return std::nullopt;
    const std::size_t end = hit + 1 == stringAt.end() ? heldStrings.size() : (hit + 1)->second;
    return std::string_view(heldStrings).substr(hit->second, end - hit->second);
}

// The shared strings, each <si> in turn: those that are numbers held, and
// those that name a column marked.
void WorkbookReader::readStrings(bool last)
{
    std::string_view text = window;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t open = text.find("<", pos);
        if (open == text.npos) {
            pos = text.size();
            break;
        }
        const std::size_t end = xml::tagEnd(text, open);
        if (end == text.npos) {
            pos = text.size() - open > longestCell ? text.size() : open;
            break;
        }
        const std::string_view tag = text.substr(open, end + 1 - open);
        const std::string_view name = xml::nameOf(tag);
        if (xml::closes(tag) || xml::localName(name) != "si") {
            pos = end + 1;
            continue;
        }
        if (xml::empty(tag)) {
            ++strings;
            pos = end + 1;
            continue;
        }
        const std::string close = "</" + std::string(name) + ">";
        const std::size_t closed = text.find(close, end);
        if (closed == text.npos) {
            if (text.size() - open <= longestCell) {
                pos = open;
                break;
            }
            ++strings; // too long for a number
            pos = end + 1;
            continue;
        }
        const std::string_view item = text.substr(end + 1, closed - end - 1);
        const std::string t = std::string(xml::prefixOf(name)) + "t";
        const std::optional<std::string_view> plain = xml::contentOf(item, t);
        if (plain && plain->find('<') == plain->npos
            && item.find("<" + std::string(xml::prefixOf(name)) + "r>") == item.npos) {
            scratch.clear();
            const Verdict verdict = rewriteField(*plain, scratch);
            if (verdict == Verdict::Converted || verdict == Verdict::NoRule) {
                stringAt.emplace_back(std::uint32_t(strings), std::uint32_t(heldStrings.size()));
                heldStrings.append(*plain);
            }
            if (const std::uint64_t mask = namesOf(*plain))
                namingStrings.emplace_back(strings, mask);
        }
        ++strings;
        pos = closed + close.size();
    }
    window.erase(0, last ? window.size() : pos);
}

// The workbook's sheet names and their links, and the number formats.
void WorkbookReader::readSmallParts()
{
    const Role role = current().role;
    std::string_view text = part;
    std::vector<std::pair<std::string, std::string>> formats; // id, grouping
    bool inCellStyles = false;
    for (std::size_t open = text.find('<'); open != text.npos; open = text.find('<', open + 1)) {
        const std::size_t end = xml::tagEnd(text, open);
        if (end == text.npos)
            break;
        const std::string_view tag = text.substr(open, end + 1 - open);
        const std::string_view name = xml::localName(xml::nameOf(tag));
        if (role == Role::Workbook && name == "sheet" && !xml::closes(tag)) {
            sheetIds.emplace_back(
                xml::attribute(tag, "r:id"), xml::decoded(xml::attribute(tag, "name")));
        } else if (role == Role::WorkbookLinks && name == "Relationship") {
            std::string target = xml::decoded(xml::attribute(tag, "Target"));
            target = target.starts_with('/') ? target.substr(1) : "xl/" + target;
            sheetLinks.emplace_back(xml::attribute(tag, "Id"), target);
        } else if (role == Role::Styles && name == "numFmt") {
            formats.emplace_back(
                xml::attribute(tag, "numFmtId"), groupingOf(xml::attribute(tag, "formatCode")));
        } else if (role == Role::Styles && name == "cellXfs") {
            inCellStyles = !xml::closes(tag) && !xml::empty(tag);
        } else if (role == Role::Styles && name == "xf" && inCellStyles && !xml::closes(tag)) {
            const std::string_view id = xml::attribute(tag, "numFmtId");
            std::string grouping;
            for (const auto &[formatId, made] : formats) {
                if (formatId == id)
                    grouping = made;
            }
            xfGroupings.push_back(grouping);
        }
        open = end;
    }
}

Verdict WorkbookReader::convert(std::string_view text, std::string &out, std::uint64_t column)
{
    out.clear();
    if (!counting())
        return rewriteField(text, out);
    Verdict verdict = Verdict::Unchanged;
    // Each row a repeated one stands for, counted and said.
    for (std::uint64_t k = 0; k < sheet.rows; ++k) {
        out.clear();
        place.assign(sheet.name)
            .append("!")
            .append(letters(column))
            .append(std::to_string(sheet.row + k));
        verdict = field(text, out, 0, place);
    }
    return verdict;
}

void WorkbookReader::endRow()
{
    if (!sheet.headed && sheet.rowText) {
        sheet.headed = true;
        sheet.phone = std::move(sheet.naming);
        while (!sheet.phone.empty() && !sheet.phone.back())
            sheet.phone.pop_back();
        anyPhone
            = anyPhone || std::find(sheet.phone.begin(), sheet.phone.end(), 1) != sheet.phone.end();
    }
    sheet.naming.clear();
    sheet.rowText = false;
}

// Through the sheets' XML: rows and cells followed, each cell that may
// convert, or name a column, read whole; with `out`, written again.
void WorkbookReader::scanSheet(bool last, std::string *out)
{
    const bool isOds = current().role == Role::Content;
    const std::string_view row = isOds ? "table:table-row" : "row";
    const std::string_view text = window;
    std::size_t pos = 0, copied = 0;
    for (;;) {
        if (sheet.skipping) {
            // Past the last converted column, cells need not be told apart.
            const std::size_t rowEnd = xml::find(text, rowClose, pos);
            if (rowEnd == text.npos) {
                pos = last
                    ? text.size()
                    : std::max(pos, text.size() - std::min(text.size(), rowClose.size() - 1));
                break;
            }
            sheet.skipping = false;
            pos = rowEnd;
        }
        const std::size_t open = text.find('<', pos);
        if (open == text.npos) {
            pos = text.size();
            break;
        }
        const std::size_t end = xml::tagEnd(text, open);
        if (end == text.npos) {
            pos = !last && text.size() - open <= longestCell ? open : text.size();
            break;
        }
        const std::string_view tag = text.substr(open, end + 1 - open);
        const std::string_view name = xml::nameOf(tag);
        const std::string_view local = isOds ? name : xml::localName(name);
        pos = end + 1;
        if (xml::closes(tag)) {
            if (local == row)
                endRow();
            continue;
        }
        if (local == row) {
            if (rowClose.size() != name.size() + 3)
                rowClose = "</" + std::string(name) + ">";
            std::uint64_t number = 0;
            sheet.row += sheet.rows;
            sheet.rows = 1;
            if (isOds)
                read(xml::attribute(tag, "table:number-rows-repeated"), sheet.rows);
            else if (read(xml::attribute(tag, "r"), number))
                sheet.row = number;
            sheet.column = 0;
            if (xml::empty(tag))
                endRow();
            continue;
        }
        if (isOds && local == "table:table") {
            sheet = Sheet{};
            sheet.name = xml::decoded(xml::attribute(tag, "table:name"));
            continue;
        }
        if (isOds ? local != "table:table-cell" && local != "table:covered-table-cell"
                  : local != "c")
            continue;
        // A cell: read whole when it may convert or name a column, else
        // passed over whole.
        const std::uint64_t column = sheet.column, rowNumber = sheet.row;
        const bool whole = wants(tag, isOds);
        if (xml::empty(tag))
            continue;
        if (name != closedName) {
            closedName = name;
            closing = "</" + std::string(name) + ">";
        }
        const std::size_t closed = xml::find(text, closing, end);
        if (closed == text.npos) {
            if (last || text.size() - open > longestCell)
                continue; // no number: it goes as it is
            sheet.column = column;
            sheet.row = rowNumber;
            pos = open;
            break;
        }
        const std::size_t after = closed + closing.size();
        replacement.clear();
        cellAt = windowAt + open;
        if (whole
            && (isOds ? odsCell(text.substr(open, after - open), tag)
                      : xlsxCell(text.substr(end + 1, closed - end - 1), tag))) {
            current().changes = true;
            // What an .ods's cells are asked for (the columns, a telephone's
            // among them) is known now: the rest is counted as it is
            // written, read once instead of twice.
            if (pass == Pass::Survey && isOds && wanted.empty()) {
                current().countedFrom = cellAt + 1;
                window.clear();
                return;
            }
            if (out) {
                out->append(text.substr(copied, open - copied));
                out->append(replacement);
                copied = after;
            }
        }
        pos = after;
        sheet.skipping = sheet.headed && sheet.column >= sheet.phone.size();
    }
    if (out)
        out->append(text.substr(copied, pos - copied));
    const std::size_t read = last ? window.size() : pos;
    windowAt += read;
    window.erase(0, read);
}

// A cell's column, from its start tag, and whether it is read: to find the
// header, or to convert.
bool WorkbookReader::wants(std::string_view start, bool isOds)
{
    cellRepeat = 1;
    if (isOds) {
        read(xml::attribute(start, "table:number-columns-repeated"), cellRepeat);
        cellRepeat = std::max<std::uint64_t>(cellRepeat, 1);
        cellColumn = sheet.column;
        sheet.column += cellRepeat;
        if (xml::nameOf(start) != "table:table-cell")
            return false;
    } else {
        std::uint64_t column = sheet.column, row = 0;
        if (readReference(xml::attribute(start, "r"), column, row))
            sheet.row = row;
        cellColumn = column;
        sheet.column = column + 1;
    }
    if (xml::empty(start))
        return false;
    if (!sheet.headed)
        return true;
    for (std::uint64_t k = cellColumn; k < cellColumn + cellRepeat && k < sheet.phone.size(); ++k) {
        if (sheet.phone[std::size_t(k)])
            return true;
    }
    return false;
}

// An .xlsx cell, its content `inner`: a shared string, an inline one, or a
// number of eight digits, written again as an inline string.
bool WorkbookReader::xlsxCell(std::string_view inner, std::string_view start)
{
    const std::string_view type = xml::attribute(start, "t");
    const std::string prefix(xml::prefixOf(xml::nameOf(start)));
    const std::optional<std::string_view> value = xml::contentOf(inner, prefix + "v");
    std::optional<std::string_view> text;
    if (type == "inlineStr") {
        if (const auto is = xml::contentOf(inner, prefix + "is");
            is && is->find("<" + prefix + "r>") == is->npos) {
            text = xml::contentOf(*is, prefix + "t");
            if (text && text->find('<') != text->npos)
                text.reset();
        }
    }
    const bool inlined = text.has_value();
    std::uint64_t index = 0;
    const bool shared = type == "s" && value && read(*value, index);
    if (!sheet.headed) {
        if (shared) {
            const auto hit = std::lower_bound(namingStrings.begin(), namingStrings.end(), index,
                [](const auto &pair, std::uint64_t key) { return pair.first < key; });
            named(hit != namingStrings.end() && hit->first == index ? hit->second : 0);
        } else if (text && !trimmed(*text).empty()) {
            named(namesOf(*text));
        }
        return false;
    }
    std::string shown;
    if (shared) {
        text = sharedText(index);
        if (!text && pass != Pass::Write)
            countLeft();
    } else if (type.empty() || type == "n") {
        if (!value || xml::contentOf(inner, prefix + "f") || value->size() != 8
            || (*value)[0] == '0' || value->find_first_not_of("0123456789") != value->npos)
            return false;
        // As its number format showed it.
        std::uint64_t style = 0;
        read(xml::attribute(start, "s"), style);
        shown = style < xfGroupings.size() ? xfGroupings[std::size_t(style)] : std::string();
        if (shown.empty())
            shown = *value;
        else
            for (std::size_t i = 0, k = 0; i < shown.size(); ++i)
                shown[i] = shown[i] == '0' ? (*value)[k++] : shown[i];
        text = shown;
    }
    if (!text || convert(*text, scratch, cellColumn) != Verdict::Converted)
        return false;
    if (pass != Pass::Write) {
        return true;
    } else if (inlined) {
        const std::size_t where = std::size_t(text->data() - start.data());
        const std::string_view element(start.data(),
            std::size_t(inner.data() + inner.size() - start.data()) + prefix.size() + 4);
        replacement.append(element.substr(0, where))
            .append(scratch)
            .append(element.substr(where + text->size()));
    } else {
        replacement = xml::withAttribute(start, "t", "inlineStr");
        replacement += "<" + prefix + "is><" + prefix + "t>" + scratch + "</" + prefix + "t></"
            + prefix + "is></" + prefix + "c>";
    }
    return true;
}

// An .ods cell, whole: a string, or a number of eight digits made a string,
// its paragraph's text converted.
bool WorkbookReader::odsCell(std::string_view element, std::string_view start)
{
    const std::string_view type = xml::attribute(start, "office:value-type");
    constexpr std::string_view close = "</table:table-cell>";
    const std::string_view inner
        = element.substr(start.size(), element.size() - start.size() - close.size());
    if (!sheet.headed) {
        if (type == "string") {
            std::string plain;
            for (std::size_t i = 0; i < inner.size(); ++i) {
                const std::size_t tagClose = inner[i] == '<' ? inner.find('>', i) : inner.npos;
                if (tagClose == inner.npos)
                    plain += inner[i];
                else
                    i = tagClose;
            }
            named(namesOf(plain));
        }
        return false;
    }
    // A cell of one paragraph of plain text.
    constexpr std::string_view open = "<text:p>", closeParagraph = "</text:p>";
    if (!inner.starts_with(open) || !inner.ends_with(closeParagraph))
        return false;
    const std::string_view text
        = inner.substr(open.size(), inner.size() - open.size() - closeParagraph.size());
    std::uint64_t number = 0;
    const std::string_view value = xml::attribute(start, "office:value");
    if (text.find('<') != text.npos || (type != "string" && type != "float")
        || (type == "float" && (value.size() != 8 || value[0] == '0' || !read(value, number))))
        return false;
    std::string converted;
    Verdict verdict = Verdict::Unchanged;
    for (std::uint64_t k = cellColumn; k < cellColumn + cellRepeat; ++k) {
        if (sheet.converts(k) && (counting() || converted.empty())) {
            verdict = convert(text, scratch, k);
            converted = scratch;
        }
    }
    if (verdict != Verdict::Converted || pass != Pass::Write)
        return verdict == Verdict::Converted;
    std::string startTag(start);
    if (type == "float") {
        startTag = xml::withAttribute(startTag, "office:value-type", "string");
        startTag = xml::withAttribute(startTag, "office:value", std::nullopt);
        if (xml::attributeAt(startTag, "calcext:value-type"))
            startTag = xml::withAttribute(startTag, "calcext:value-type", "string");
    }
    const std::string convertedCell = startTag + std::string(open) + converted
        + std::string(closeParagraph) + std::string(close);
    // A cell repeated over columns converted and not: one cell for each run.
    for (std::uint64_t k = cellColumn; k < cellColumn + cellRepeat;) {
        const bool phone = sheet.converts(k);
        std::uint64_t run = 1;
        while (k + run < cellColumn + cellRepeat && sheet.converts(k + run) == phone)
            ++run;
        const std::string_view model = phone ? std::string_view(convertedCell) : element;
        if (run == cellRepeat) {
            replacement += model;
        } else {
            const std::size_t tagSize = xml::tagEnd(model, 0) + 1;
            const std::string count = std::to_string(run);
            replacement
                += xml::withAttribute(model.substr(0, tagSize), "table:number-columns-repeated",
                    run == 1 ? std::nullopt : std::optional<std::string_view>(count));
            replacement += model.substr(tagSize);
        }
        k += run;
    }
    return true;
}

} // namespace

std::unique_ptr<Reader> workbookReader(std::vector<std::string> columns)
{
    return std::make_unique<WorkbookReader>(std::move(columns));
}

} // namespace rewriting
