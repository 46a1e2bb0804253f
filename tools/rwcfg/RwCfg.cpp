#include "RwCfg.h"
#include "app/CallStatistics.h"
#include "app/MessageStore.h"

#include "records/Archive.h"
#include "records/CallAction.h"
#include "records/CallHistory.h"
#include "records/CallWorkbook.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/Cp1252.h"
#include "records/CsvField.h"
#include "records/EntryLimits.h"
#include "records/LookupKey.h"
#include "records/RingwardenPreferences.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>
#include <unordered_map>

namespace rw::rwcfg {
namespace {

// ---- JSON

void AppendJsonString(std::string& out, std::string_view cp1252) {
    out += '"';
    for (char ch : Cp1252ToUtf8(cp1252)) {
        const auto c = static_cast<unsigned char>(ch);
        if (ch == '"' || ch == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    out += '"';
}

std::string JsonNumber(double d) {
    // JSON has no NaN or infinity; a foreign file may hold them.
    if (std::isnan(d))
        return "\"NaN\"";
    if (std::isinf(d))
        return d > 0 ? "\"Infinity\"" : "\"-Infinity\"";
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.17g", d);
    return buf;
}

class CJsonObject {
public:
    explicit CJsonObject(std::string& out, const std::string& indent)
        : m_out(out), m_indent(indent) {
        m_out += "{";
    }
    void Key(const char* name) {
        m_out += m_first ? "\n" : ",\n";
        m_first = false;
        m_out += m_indent + "  \"" + name + "\": ";
    }
    void Field(const char* name, int32_t v) {
        Key(name);
        m_out += std::to_string(v);
    }
    void Field(const char* name, const std::string& v) {
        Key(name);
        AppendJsonString(m_out, v);
    }
    void Field(const char* name, const CDateTime& v) {
        Key(name);
        m_out += "{\"status\": " + std::to_string(static_cast<int32_t>(v.GetStatus())) +
                 ", \"days\": " + JsonNumber(v.GetDays()) + "}";
    }
    void Field(const char* name, const RwWindowPlacement& p) {
        Key(name);
        m_out += "[";
        const int32_t values[] = {p.length,    p.flags,       p.showCmd,     p.minX,
                                  p.minY,      p.maxX,        p.maxY,        p.normalLeft,
                                  p.normalTop, p.normalRight, p.normalBottom};
        for (size_t i = 0; i < std::size(values); ++i)
            m_out += (i ? ", " : "") + std::to_string(values[i]);
        m_out += "]";
    }
    void Close() { m_out += "\n" + m_indent + "}"; }

private:
    std::string& m_out;
    std::string m_indent;
    bool m_first = true;
};

void AppendPreferences(std::string& out, CRingwardenPreferences& p) {
    CJsonObject o(out, "  ");
    o.Field("OutOfHoursStart", p.OutOfHoursStart);
    o.Field("OutOfHoursEnd", p.OutOfHoursEnd);
    o.Field("DefaultMessageFile", p.DefaultMessageFile);
    o.Field("NonPhoneBookRule", p.NonPhoneBookRule);
    o.Field("StartMinimised", p.StartMinimised);
    o.Field("ShowNotification", p.ShowNotification);
    o.Field("MainPlacementValid", p.MainPlacementValid);
    o.Field("MainPlacement", p.MainPlacement);
    o.Field("NotifyPlacementValid", p.NotifyPlacementValid);
    o.Field("NotifyPlacement", p.NotifyPlacement);
    o.Field("NotificationSeconds", p.NotificationSeconds);
    o.Field("AllowSuspend", p.AllowSuspend);
    o.Field("SecurityKey1", std::string(1, p.SecurityKey1));
    o.Field("SecurityKey2", std::string(1, p.SecurityKey2));
    o.Field("SuspendMinutes", p.SuspendMinutes);
    o.Close();
}

void AppendEntry(std::string& out, const std::string& key, const CPhoneBookEntry& e) {
    CJsonObject o(out, "    ");
    o.Field("key", key);
    o.Field("Name", e.Name);
    o.Field("Number", e.Number);
    o.Field("LookupKey", e.LookupKey);
    o.Field("Notes", e.Notes);
    o.Field("InPhoneBook", e.InPhoneBook);
    o.Field("FilterType", e.FilterType);
    o.Field("UseOwnHours", e.UseOwnHours);
    o.Field("AnswerMode", e.AnswerMode);
    o.Field("OwnHoursStart", e.OwnHoursStart);
    o.Field("OwnHoursEnd", e.OwnHoursEnd);
    o.Field("MessageFile", e.MessageFile);
    o.Field("LastCallTime", e.LastCallTime);
    o.Close();
}

// ---- CSV

const char* const kColumns[] = {"Name",          "Number",      "LookupKey",   "Notes",
                                "InPhoneBook",   "FilterType",  "UseOwnHours", "AnswerMode",
                                "OwnHoursStart", "OwnHoursEnd", "MessageFile", "LastCallTime"};
enum ColumnIndex : size_t {
    kName,
    kNumber,
    kLookupKey,
    kNotes,
    kInPhoneBook,
    kFilterType,
    kUseOwnHours,
    kAnswerMode,
    kOwnHoursStart,
    kOwnHoursEnd,
    kMessageFile,
    kLastCallTime,
    kColumnCount
};
static_assert(std::size(kColumns) == kColumnCount);
// The most characters a field may hold: the texts as the program takes
// them, the rest far more than any value they can have.
constexpr size_t kShortFieldLength = 64;
constexpr size_t kColumnLimits[] = {
    kMaxEntryNameLength, kMaxEntryNumberLength, kMaxEntryNumberLength,     kMaxEntryNotesLength,
    kShortFieldLength,   kShortFieldLength,     kShortFieldLength,         kShortFieldLength,
    kShortFieldLength,   kShortFieldLength,     kMaxMessageFilePathLength, kShortFieldLength};
static_assert(std::size(kColumnLimits) == kColumnCount);
// A Windows-1252 character takes at most 3 bytes of UTF-8.
constexpr size_t kMaxUtf8PerChar = 3;
// The bytes of a header field that are kept: more than any column's name,
// so a longer field is an unknown column.
constexpr size_t kHeaderFieldBytes = 32;
// Errors listed; the rest are counted, so that a file of bad rows cannot
// make the report larger than the file.
constexpr size_t kMaxListedErrors = 100;

const char* const kFilterNames[] = {"Never Block", "Block Sometimes", "Always Block"};

std::string TimeOfDayText(const CDateTime& t) {
    CDateTimeParts p;
    if (!t.GetParts(p))
        return std::string();
    char buf[8];
    std::snprintf(buf, sizeof buf, "%02d:%02d", p.hour, p.minute);
    return buf;
}

std::string DateTimeText(const CDateTime& t) {
    CDateTimeParts p;
    if (!t.GetParts(p))
        return std::string();
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour,
                  p.minute, p.second);
    return buf;
}

// One CSV record as read: the reader keeps only so many fields of so many
// bytes each; `fieldCount` counts them all, and `tooLong` marks the kept
// fields that were cut.
struct CsvRecord {
    size_t line = 0; // where the record starts
    size_t fieldCount = 0;
    std::vector<std::string> fields;
    std::vector<bool> tooLong;
};

// Reads RFC 4180 records one at a time; a quoted field may hold commas,
// quotes and line breaks. Nothing it keeps is larger than the limits it is
// given, whatever the text holds.
class CCsvReader {
public:
    explicit CCsvReader(std::string_view text) : m_text(text) {}

    bool AtEnd() const { return m_pos >= m_text.size(); }
    // Reads the next record, keeping its first `maxFields` fields and of
    // field i the first maxBytes(i) bytes. False (with `error`) for a stray
    // quote or an unclosed one.
    bool Next(CsvRecord& record, size_t maxFields, const std::function<size_t(size_t)>& maxBytes,
              std::string& error) {
        record.line = m_line;
        record.fieldCount = 0;
        record.fields.clear();
        record.tooLong.clear();
        for (;;) {
            const bool keep = record.fieldCount < maxFields;
            std::string field;
            bool cut = false;
            if (!ReadField(field, keep ? maxBytes(record.fieldCount) : 0, cut, record.line, error))
                return false;
            if (keep) {
                record.fields.push_back(std::move(field));
                record.tooLong.push_back(cut);
            }
            ++record.fieldCount;
            if (Peek() == ',') {
                ++m_pos;
                continue;
            }
            if (Peek() == '\r')
                ++m_pos;
            if (Peek() == '\n')
                ++m_pos;
            ++m_line;
            return true;
        }
    }

private:
    int Peek() const {
        return m_pos < m_text.size() ? static_cast<unsigned char>(m_text[m_pos]) : -1;
    }
    static bool EndsField(int c) { return c == ',' || c == '\r' || c == '\n' || c < 0; }
    void Append(std::string& field, char c, size_t maxBytes, bool& cut) {
        if (field.size() < maxBytes)
            field += c;
        else
            cut = true;
    }

    bool ReadField(std::string& field, size_t maxBytes, bool& cut, size_t recordLine,
                   std::string& error) {
        if (Peek() != '"') {
            while (!EndsField(Peek())) {
                if (Peek() == '"') {
                    error = "line " + std::to_string(m_line) + ": quote inside a field";
                    return false;
                }
                Append(field, m_text[m_pos++], maxBytes, cut);
            }
            return true;
        }
        ++m_pos;
        for (;;) {
            if (AtEnd()) {
                error = "line " + std::to_string(recordLine) + ": unclosed quote";
                return false;
            }
            if (m_text[m_pos] == '"') {
                if (m_pos + 1 < m_text.size() && m_text[m_pos + 1] == '"') {
                    Append(field, '"', maxBytes, cut);
                    m_pos += 2;
                    continue;
                }
                ++m_pos;
                break;
            }
            if (m_text[m_pos] == '\n')
                ++m_line;
            Append(field, m_text[m_pos++], maxBytes, cut);
        }
        if (!EndsField(Peek())) {
            error = "line " + std::to_string(m_line) + ": text after a closing quote";
            return false;
        }
        return true;
    }

    std::string_view m_text;
    size_t m_pos = 0;
    size_t m_line = 1;
};

bool IsBlank(const CsvRecord& record) {
    return record.fieldCount == 1 && record.fields[0].empty();
}

bool ParseInt(const std::string& s, int lo, int hi, int& out) {
    if (s.empty() || s.size() > 4 ||
        !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    out = std::stoi(s);
    return out >= lo && out <= hi;
}

bool ParseTimeOfDay(const std::string& s, CDateTime& out) {
    int h, m;
    const size_t colon = s.find(':');
    if (colon == std::string::npos || !ParseInt(s.substr(0, colon), 0, 23, h) ||
        s.size() - colon != 3 || !ParseInt(s.substr(colon + 1), 0, 59, m))
        return false;
    out = CDateTime::TimeOfDay(h, m);
    return true;
}

bool ParseDateTime(const std::string& s, CDateTime& out) {
    // YYYY-MM-DD HH:MM[:SS]
    CDateTimeParts p;
    if ((s.size() != 16 && s.size() != 19) || s[4] != '-' || s[7] != '-' || s[10] != ' ' ||
        s[13] != ':' || (s.size() == 19 && s[16] != ':'))
        return false;
    if (!ParseInt(s.substr(0, 4), 100, 9999, p.year) || !ParseInt(s.substr(5, 2), 1, 12, p.month) ||
        !ParseInt(s.substr(8, 2), 1, 31, p.day) || !ParseInt(s.substr(11, 2), 0, 23, p.hour) ||
        !ParseInt(s.substr(14, 2), 0, 59, p.minute) ||
        (s.size() == 19 && !ParseInt(s.substr(17, 2), 0, 59, p.second)))
        return false;
    out = CDateTime::FromParts(p);
    return out.IsValid();
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// Fills the field of `column` in `e` from its text (already in
// Windows-1252); returns why it is bad, or an empty text. `given` says
// whether the row sets the field: an empty field of a value that is not
// text leaves it as it is.
std::string SetField(CPhoneBookEntry& e, size_t column, const std::string& v, bool& given) {
    given = false;
    int n;
    switch (column) {
    case kName:
        e.Name = v;
        break;
    case kNumber:
        e.Number = v;
        break;
    case kNotes:
        e.Notes = v;
        break;
    case kMessageFile:
        e.MessageFile = v;
        break;
    case kLookupKey:
    case kInPhoneBook:
        return std::string(); // made from the number, and set, as the program does
    default:
        if (v.empty())
            return std::string();
        break;
    }
    given = true;
    switch (column) {
    case kFilterType:
        for (n = 0; n < 3 && !EqualsIgnoringCase(v, kFilterNames[n]); ++n) {
        }
        if (n == 3 && !ParseInt(v, 0, 2, n))
            return "FilterType must be Never Block, Block Sometimes, Always Block or 0 to 2";
        e.FilterType = n;
        break;
    case kUseOwnHours:
        if (!ParseInt(v, 0, 1, n))
            return "UseOwnHours must be 0 or 1";
        e.UseOwnHours = n;
        break;
    case kAnswerMode:
        if (!ParseInt(v, 0, 2, n))
            return "AnswerMode must be 0 to 2";
        e.AnswerMode = n;
        break;
    case kOwnHoursStart:
        if (!ParseTimeOfDay(v, e.OwnHoursStart))
            return "OwnHoursStart must be a time HH:MM";
        break;
    case kOwnHoursEnd:
        if (!ParseTimeOfDay(v, e.OwnHoursEnd))
            return "OwnHoursEnd must be a time HH:MM";
        break;
    case kLastCallTime:
        if (!ParseDateTime(v, e.LastCallTime))
            return "LastCallTime must be YYYY-MM-DD HH:MM[:SS]";
        break;
    default:
        break;
    }
    return std::string();
}

template <class T> bool Assign(T& to, const T& from) {
    if (to == from)
        return false;
    to = from;
    return true;
}

// Copies the fields `given` marks from `from` to `to`; true when any of
// them differed.
bool CopyGiven(const CPhoneBookEntry& from, uint32_t given, CPhoneBookEntry& to) {
    bool changed = false;
    for (size_t column = 0; column < kColumnCount; ++column) {
        if (!(given & (uint32_t{1} << column)))
            continue;
        switch (column) {
        case kName:
            changed |= Assign(to.Name, from.Name);
            break;
        case kNumber:
            changed |= Assign(to.Number, from.Number);
            changed |= Assign(to.LookupKey, from.LookupKey);
            break;
        case kNotes:
            changed |= Assign(to.Notes, from.Notes);
            break;
        case kFilterType:
            changed |= Assign(to.FilterType, from.FilterType);
            break;
        case kUseOwnHours:
            changed |= Assign(to.UseOwnHours, from.UseOwnHours);
            break;
        case kAnswerMode:
            changed |= Assign(to.AnswerMode, from.AnswerMode);
            break;
        case kOwnHoursStart:
            changed |= Assign(to.OwnHoursStart, from.OwnHoursStart);
            break;
        case kOwnHoursEnd:
            changed |= Assign(to.OwnHoursEnd, from.OwnHoursEnd);
            break;
        case kMessageFile:
            changed |= Assign(to.MessageFile, from.MessageFile);
            break;
        case kLastCallTime:
            changed |= Assign(to.LastCallTime, from.LastCallTime);
            break;
        default:
            break;
        }
    }
    return changed;
}

// ---- files

bool ReadTextFile(const std::string& path, std::string& out) {
    // The path is UTF-8, as the file system's are.
    std::ifstream in(std::filesystem::path(std::u8string(path.begin(), path.end())),
                     std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

int Dump(const std::string& path, std::ostream& out, std::ostream& err, CFileSystem& fs) {
    std::unique_ptr<CReadFile> file = fs.OpenRead(path);
    if (!file) {
        err << "rwcfg: cannot open " << path << "\n";
        return 1;
    }
    const uint64_t size = file->Remaining();
    bool complete = false;
    DumpStop stop;
    out << DumpJson(*file, complete, &stop);
    if (!complete) {
        // What Ringwarden reads of it too; nothing after the fault can be
        // read by either, so the rest can only come from an older copy.
        err << "rwcfg: " << path << " is damaged: reading stopped at byte " << stop.offset << " of "
            << size << " (" << stop.section << ": " << stop.reason << ") after "
            << stop.entriesRead;
        if (stop.haveCount)
            err << " of the " << stop.entryCount << " entries the file gives";
        else
            err << (stop.entriesRead == 1 ? " entry" : " entries");
        err << ".\nEverything before that is in the output above, as Ringwarden reads it; "
               "what comes after cannot be read, by rwcfg or Ringwarden. Entries missing can be "
               "taken from an older copy or a backup with export-csv and import-csv (see the "
               "help, \"Where the configuration lives\").\n";
        return 1;
    }
    return 0;
}

int Export(const std::string& path, std::ostream& out, std::ostream& err, CFileSystem& fs) {
    CRingwardenPreferences prefs;
    CPhoneBook book;
    CConfigFile config(fs);
    switch (config.Load(path, prefs, book)) {
    case CConfigFile::LoadResult::missing:
    case CConfigFile::LoadResult::unreadable:
        err << "rwcfg: cannot open " << path << "\n";
        return 1;
    case CConfigFile::LoadResult::damaged:
        err << "rwcfg: " << path << " is damaged (see rwcfg dump); nothing exported\n";
        return 1;
    case CConfigFile::LoadResult::loaded:
        break;
    }
    out << ExportCsv(book);
    return 0;
}

std::string Entries(size_t n) {
    return std::to_string(n) + (n == 1 ? " entry" : " entries");
}

int Import(const std::string& csvPath, const std::string& path, std::ostream& out,
           std::ostream& err, CFileSystem& fs) {
    std::string csv;
    if (!ReadTextFile(csvPath, csv)) {
        err << "rwcfg: cannot read " << csvPath << "\n";
        return 1;
    }
    CsvImport parsed = ParseCsv(csv);
    if (!parsed.errors.empty()) {
        for (const std::string& e : parsed.errors)
            err << csvPath << ": " << e << "\n";
        err << "rwcfg: nothing written\n";
        return 1;
    }

    CRingwardenPreferences prefs;
    CPhoneBook book;
    CConfigFile config(fs);
    switch (config.Load(path, prefs, book)) {
    case CConfigFile::LoadResult::unreadable:
        err << "rwcfg: cannot read " << path << "\n";
        return 1;
    case CConfigFile::LoadResult::missing:
        break; // a new file with default preferences
    case CConfigFile::LoadResult::damaged:
        // Writing now would lose the entries after the fault.
        err << "rwcfg: " << path << " is damaged (see rwcfg dump); nothing written\n";
        return 1;
    case CConfigFile::LoadResult::loaded:
        break;
    }
    const MergeCounts counts = MergeRows(parsed.rows, book);
    if (counts.added == 0 && counts.changed == 0) {
        out << "rwcfg: nothing to change (" << Entries(counts.unchanged)
            << " already as the CSV says); " << path << " is unchanged\n";
        return 0;
    }
    if (!config.Save(path, prefs, book)) {
        err << "rwcfg: cannot write " << path << "; it is unchanged\n";
        return 1;
    }
    out << "rwcfg: " << Entries(counts.added) << " added, " << counts.changed << " changed, "
        << counts.unchanged << " already as the CSV says; " << book.GetCount()
        << " in the phone book\n";
    return 0;
}

} // namespace

std::string DumpJson(CByteSource& source, bool& complete, DumpStop* stop) {
    CRingwardenPreferences prefs;
    std::vector<std::pair<std::string, std::unique_ptr<CPhoneBookEntry>>> pairs;
    bool haveCount = false;
    uint32_t count = 0;
    const char* section = "preferences";
    std::string error = "null";
    CArchive ar(source);
    // The same steps as the program's load, so reading stops where it would.
    try {
        prefs.Serialize(ar);
        section = "entryCount";
        count = ar.ReadDword();
        haveCount = true;
        section = "phoneBook";
        CPhoneBook::ReadPairs(ar, [&pairs](std::string key, std::unique_ptr<CPhoneBookEntry> e) {
            pairs.emplace_back(std::move(key), std::move(e));
        });
        complete = true;
    } catch (const CArchiveException& e) {
        complete = false;
        error.clear();
        CJsonObject o(error, "  ");
        o.Key("offset");
        error += std::to_string(e.GetOffset());
        o.Field("section", std::string(section));
        o.Key("entriesRead");
        error += std::to_string(pairs.size());
        o.Field("reason", std::string(e.what()));
        o.Close();
        if (stop)
            *stop = DumpStop{e.GetOffset(), section, pairs.size(), haveCount, count, e.what()};
    }

    std::string out;
    CJsonObject root(out, "");
    root.Key("preferences");
    AppendPreferences(out, prefs);
    root.Key("entryCount");
    out += haveCount ? std::to_string(count) : "null";
    root.Key("phoneBook");
    out += "[";
    for (size_t i = 0; i < pairs.size(); ++i) {
        out += i ? ",\n    " : "\n    ";
        AppendEntry(out, pairs[i].first, *pairs[i].second);
    }
    out += pairs.empty() ? "]" : "\n  ]";
    root.Key("error");
    out += error;
    root.Close();
    out += "\n";
    return out;
}

std::string ExportCsv(const CPhoneBook& book) {
    std::vector<std::pair<std::string, const CPhoneBookEntry*>> sorted;
    book.ForEach(
        [&sorted](const std::string& key, CPhoneBookEntry& e) { sorted.emplace_back(key, &e); });
    std::sort(sorted.begin(), sorted.end());
    std::string out;
    for (size_t i = 0; i < std::size(kColumns); ++i)
        out += std::string(i ? "," : "") + kColumns[i];
    out += "\r\n";
    for (const auto& [key, e] : sorted) {
        const std::string filter = e->FilterType >= 0 && e->FilterType <= 2
                                       ? kFilterNames[e->FilterType]
                                       : std::to_string(e->FilterType);
        const std::string fields[] = {
            Cp1252ToUtf8(e->Name),           Cp1252ToUtf8(e->Number),
            Cp1252ToUtf8(e->LookupKey),      Cp1252ToUtf8(e->Notes),
            std::to_string(e->InPhoneBook),  filter,
            std::to_string(e->UseOwnHours),  std::to_string(e->AnswerMode),
            TimeOfDayText(e->OwnHoursStart), TimeOfDayText(e->OwnHoursEnd),
            Cp1252ToUtf8(e->MessageFile),    DateTimeText(e->LastCallTime)};
        for (size_t i = 0; i < std::size(fields); ++i) {
            if (i)
                out += ',';
            AppendCsvField(out, fields[i]);
        }
        out += "\r\n";
    }
    return out;
}

CsvImport ParseCsv(std::string_view csv) {
    CsvImport result;
    size_t unlisted = 0;
    const auto fail = [&result, &unlisted](std::string why) {
        if (result.errors.size() < kMaxListedErrors)
            result.errors.push_back(std::move(why));
        else
            ++unlisted;
    };
    if (csv.substr(0, 3) == "\xEF\xBB\xBF")
        csv.remove_prefix(3);
    CCsvReader reader(csv);
    CsvRecord record;
    std::string error;
    // The header: blank lines before it are skipped, as between rows.
    do {
        if (reader.AtEnd()) {
            result.errors.push_back("line 1: no header row");
            return result;
        }
        if (!reader.Next(
                record, kColumnCount + 1, [](size_t) { return kHeaderFieldBytes; }, error)) {
            result.errors.push_back(error);
            return result;
        }
    } while (IsBlank(record));
    const std::string headerLine = "line " + std::to_string(record.line) + ": ";
    std::vector<size_t> columns; // the header's columns, as kColumns indexes
    if (record.fieldCount > kColumnCount)
        fail(headerLine + std::to_string(record.fieldCount) + " columns; there are " +
             std::to_string(kColumnCount));
    for (size_t i = 0; i < record.fields.size() && i < kColumnCount; ++i) {
        const std::string& name = record.fields[i];
        const size_t column =
            std::find(std::begin(kColumns), std::end(kColumns), name) - std::begin(kColumns);
        if (column == kColumnCount || record.tooLong[i])
            fail(headerLine + "unknown column \"" + name + (record.tooLong[i] ? "...\"" : "\""));
        else if (std::find(columns.begin(), columns.end(), column) != columns.end())
            fail(headerLine + "column " + name + " twice");
        columns.push_back(column);
    }
    for (size_t required : {kName, kNumber}) {
        if (std::find(columns.begin(), columns.end(), required) == columns.end())
            fail(headerLine + "no " + kColumns[required] + " column");
    }
    if (!result.errors.empty())
        return result;

    // Each number's key and the line that first gave it.
    std::unordered_map<std::string, size_t> keyLines;
    const auto maxBytes = [&columns](size_t i) {
        return kColumnLimits[columns[i]] * kMaxUtf8PerChar;
    };
    while (!reader.AtEnd()) {
        if (!reader.Next(record, columns.size(), maxBytes, error)) {
            fail(error);
            break;
        }
        if (IsBlank(record))
            continue;
        const std::string where = "line " + std::to_string(record.line) + ": ";
        if (record.fieldCount != columns.size()) {
            fail(where + std::to_string(record.fieldCount) + " fields, not " +
                 std::to_string(columns.size()));
            continue;
        }
        CsvRow row;
        row.line = record.line;
        row.entry = std::make_unique<CPhoneBookEntry>();
        std::string bad;
        for (size_t i = 0; i < columns.size() && bad.empty(); ++i) {
            const size_t column = columns[i];
            const auto tooLong = [column] {
                return std::string(kColumns[column]) + " is longer than " +
                       std::to_string(kColumnLimits[column]) + " characters";
            };
            std::optional<std::string> text;
            bool given = false;
            if (record.tooLong[i])
                bad = tooLong();
            else if (!(text = Utf8ToCp1252(record.fields[i])))
                bad =
                    std::string(kColumns[column]) + " is not UTF-8 text that Windows-1252 can hold";
            else if (text->size() > kColumnLimits[column])
                bad = tooLong();
            else
                bad = SetField(*row.entry, column, *text, given);
            if (given)
                row.given |= uint32_t{1} << column;
        }
        if (bad.empty() && row.entry->Name.empty())
            bad = "a name is required";
        if (bad.empty() && row.entry->Number.empty())
            bad = "a number is required";
        if (!bad.empty()) {
            fail(where + bad);
            continue;
        }
        row.entry->MakeLookupKey();
        row.entry->InPhoneBook = 1;
        const auto [first, isNew] = keyLines.emplace(row.entry->LookupKey, row.line);
        if (!isNew) {
            fail(where + "number " + Cp1252ToUtf8(row.entry->Number) +
                 " repeats the number on line " + std::to_string(first->second) + " (same key " +
                 Cp1252ToUtf8(row.entry->LookupKey) + ")");
            continue;
        }
        if (result.errors.empty())
            result.rows.push_back(std::move(row));
    }
    if (unlisted > 0)
        result.errors.push_back("and " + std::to_string(unlisted) + " more bad lines");
    if (!result.errors.empty())
        result.rows.clear();
    return result;
}

MergeCounts MergeRows(std::vector<CsvRow>& rows, CPhoneBook& book) {
    MergeCounts counts;
    for (CsvRow& row : rows) {
        if (!row.entry)
            continue;
        CPhoneBookEntry* stored = book.Lookup(row.entry->LookupKey);
        if (!stored) {
            const std::string key = row.entry->LookupKey;
            book.SetAt(key, std::move(row.entry));
            ++counts.added;
        } else if (CopyGiven(*row.entry, row.given, *stored)) {
            ++counts.changed;
        } else {
            ++counts.unchanged;
        }
    }
    return counts;
}

namespace {

// The width of a UTF-8 text in characters, near enough for a table.
size_t Columns(const std::string& utf8) {
    size_t n = 0;
    for (unsigned char c : utf8)
        n += (c & 0xC0) != 0x80;
    return n;
}

// A table's cell: cut to `width` characters (line breaks become spaces).
std::string Cell(const std::string& utf8, size_t width) {
    std::string out;
    size_t n = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if ((c & 0xC0) != 0x80 && ++n > width)
            break;
        out += c == '\r' || c == '\n' || c == '\t' ? ' ' : static_cast<char>(c);
    }
    return out;
}

bool ContainsNoCase(const std::string& text, const std::string& part) {
    return std::search(text.begin(), text.end(), part.begin(), part.end(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           }) != text.end();
}

} // namespace

// "YYYY-MM-DD" as that day at `hour`; false for anything else.
bool ParseDay(const std::string& text, int hour, CDateTime& day) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    return std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) == 3 &&
           (day = CDateTime::FromParts(y, m, d, hour, 0, 0)).IsValid();
}

HistoryArgs ParseHistoryArgs(const std::vector<std::string>& args) {
    HistoryArgs parsed;
    for (size_t i = 1; i < args.size() && parsed.valid; ++i) {
        const std::string& arg = args[i];
        if ((arg == "--since" || arg == "--number" || arg == "--xlsx") && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (arg == "--number") {
                parsed.number = value;
                continue;
            }
            if (arg == "--xlsx") {
                parsed.xlsx = value;
                continue;
            }
            if (!ParseDay(value, 0, parsed.since))
                parsed.valid = false;
        } else if (arg.rfind("--", 0) != 0 && parsed.file.empty()) {
            parsed.file = arg;
        } else {
            parsed.valid = false;
        }
    }
    return parsed;
}

// Either the text as typed, or the same number written another way
// ("0123 456" finds "0123-456"); everything without `number`.
bool NumberMatches(const std::string& rowNumber, const std::string& number,
                   const std::string& key) {
    return number.empty() || ContainsNoCase(rowNumber, number) ||
           (!key.empty() && MakeLookupKeyFrom(rowNumber).find(key) != std::string::npos);
}

StatsArgs ParseStatsArgs(const std::vector<std::string>& args) {
    StatsArgs parsed;
    for (size_t i = 1; i < args.size() && parsed.valid; ++i) {
        const std::string& arg = args[i];
        if (arg == "--days" && i + 1 < args.size()) {
            const std::string& value = args[++i];
            int days = 0;
            char tail = 0;
            if (value.size() > 3 || std::sscanf(value.c_str(), "%d%c", &days, &tail) != 1 ||
                days < 1 || days > 366)
                parsed.valid = false;
            parsed.days = days;
        } else if (arg == "--today" && i + 1 < args.size()) {
            if (!ParseDay(args[++i], 12, parsed.today))
                parsed.valid = false;
        } else if (arg.rfind("--", 0) != 0 && parsed.file.empty()) {
            parsed.file = arg;
        } else {
            parsed.valid = false;
        }
    }
    return parsed;
}

std::string HistoryTable(const std::vector<CHistoryRow>& oldestFirst, const std::string& number) {
    const std::string key = MakeLookupKeyFrom(number);
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"Time", "Name", "Number", "Caller ID", "Action", "Answered and dropped"});
    for (auto it = oldestFirst.rbegin(); it != oldestFirst.rend(); ++it) {
        const CHistoryRow& r = *it;
        if (!NumberMatches(r.number, number, key))
            continue;
        rows.push_back({FormatHistoryTime(r.time, r.utcOffsetMinutes), Cp1252ToUtf8(r.name),
                        Cp1252ToUtf8(r.number), CallerIdKindText(r.kind),
                        Cp1252ToUtf8(ActionText(r.action)), r.answeredAndDropped ? "yes" : "no"});
    }
    // Long names are cut so that one caller cannot push the table apart.
    constexpr size_t kMaxWidth = 40;
    size_t widths[6] = {};
    for (auto& row : rows)
        for (size_t c = 0; c < 6; ++c) {
            row[c] = Cell(row[c], kMaxWidth);
            widths[c] = std::max(widths[c], Columns(row[c]));
        }
    std::string out;
    for (const auto& row : rows) {
        std::string line;
        for (size_t c = 0; c < 6; ++c) {
            line += row[c];
            if (c + 1 < 6)
                line += std::string(widths[c] - Columns(row[c]) + 2, ' ');
        }
        out += line + "\n";
    }
    return out;
}

namespace {

int History(const HistoryArgs& args, std::ostream& out, std::ostream& err, CFileSystem& fs) {
    std::unique_ptr<CReadFile> file = fs.OpenRead(args.file);
    if (!file) {
        err << "rwcfg: cannot open " << args.file << "\n";
        return 1;
    }
    CHistoryReadOptions options;
    options.since = args.since;
    const CHistoryReadResult read = ReadHistory(*file, options);
    if (!args.xlsx.empty()) {
        std::vector<CHistoryRow> rows;
        const std::string key = MakeLookupKeyFrom(args.number);
        for (const CHistoryRow& row : read.rows)
            if (NumberMatches(row.number, args.number, key))
                rows.push_back(row);
        std::string error;
        if (!CCallWorkbook::Write(args.xlsx, rows, CCallWorkbook::kDefaultTimeFormat, error)) {
            err << "rwcfg: cannot write " << args.xlsx << ": " << error << "\n";
            return 1;
        }
        out << rows.size() << (rows.size() == 1 ? " call" : " calls") << " written to " << args.xlsx
            << "\n";
    } else {
        out << HistoryTable(read.rows, args.number);
    }
    if (read.skipped)
        err << "rwcfg: " << read.skipped << (read.skipped == 1 ? " row" : " rows") << " of "
            << args.file << " could not be read\n";
    return 0;
}

int Stats(StatsArgs args, std::ostream& out, std::ostream& err, CFileSystem& fs) {
    std::unique_ptr<CReadFile> file = fs.OpenRead(args.file);
    if (!file) {
        err << "rwcfg: cannot open " << args.file << "\n";
        return 1;
    }
    if (!args.today.IsValid())
        args.today = CSystemClock().Now();
    CHistoryReadResult read = ReadHistory(*file);
    const CCallStatistics stats =
        ComputeCallStatistics(std::move(read.rows), args.today, args.days);
    // Names are the system code page's in memory; the output is UTF-8.
    out << Cp1252ToUtf8(FormatCallStatistics(stats));
    if (read.skipped)
        err << "rwcfg: " << read.skipped << (read.skipped == 1 ? " row" : " rows") << " of "
            << args.file << " could not be read\n";
    return 0;
}

// The messages in `folder`, newest first: time, caller, length, heard.
int Messages(const std::string& folder, std::ostream& out, CFileSystem& fs) {
    CMessageStore store(fs);
    store.Open(folder);
    const auto& messages = store.Messages();
    char line[160];
    std::snprintf(line, sizeof line, "%-19s  %-20s  %7s  %s\n", "Time", "Caller", "Length",
                  "Heard");
    out << line;
    for (auto it = messages.rbegin(); it != messages.rend(); ++it) {
        uint32_t ms = 0;
        const bool readable = CMessageStore::ReadLengthMs(fs, store.PathOf(it->name), ms);
        char length[16];
        if (readable)
            std::snprintf(length, sizeof length, "%u:%02u", ms / 60000, ms / 1000 % 60);
        else
            std::snprintf(length, sizeof length, "%s", "damaged");
        const std::string time = CMessageStore::TimeOf(it->name);
        const std::string caller = CMessageStore::CallerOf(it->name);
        std::snprintf(line, sizeof line, "%-19s  %-20s  %7s  %s\n",
                      time.empty() ? it->name.c_str() : time.c_str(),
                      caller.empty() ? "-" : caller.c_str(), length, it->heard ? "yes" : "no");
        out << line;
    }
    return 0;
}

} // namespace

bool NamesItsFile(const std::vector<std::string>& args) {
    if (args.empty())
        return false;
    if (args[0] == "history")
        return !ParseHistoryArgs(args).file.empty();
    if (args[0] == "stats")
        return !ParseStatsArgs(args).file.empty();
    return (args.size() == 2 &&
            (args[0] == "dump" || args[0] == "export-csv" || args[0] == "messages")) ||
           (args.size() == 3 && args[0] == "import-csv");
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, CFileSystem& fs,
        const std::string& defaultPath) {
    // FILE may be left out when the program's own file is known.
    const bool hasDefault = !defaultPath.empty();
    if (args.size() == 1 && args[0] == "where" && hasDefault) {
        out << defaultPath << "\n";
        return 0;
    }
    if (args.size() == 2 && args[0] == "dump")
        return Dump(args[1], out, err, fs);
    if (args.size() == 1 && args[0] == "dump" && hasDefault)
        return Dump(defaultPath, out, err, fs);
    if (args.size() == 2 && args[0] == "export-csv")
        return Export(args[1], out, err, fs);
    if (args.size() == 1 && args[0] == "export-csv" && hasDefault)
        return Export(defaultPath, out, err, fs);
    if (args.size() == 3 && args[0] == "import-csv")
        return Import(args[1], args[2], out, err, fs);
    if (!args.empty() && args[0] == "history") {
        HistoryArgs history = ParseHistoryArgs(args);
        if (history.valid && history.file.empty() && hasDefault)
            history.file = HistoryPathFor(defaultPath);
        if (history.valid && !history.file.empty())
            return History(history, out, err, fs);
    }
    if (!args.empty() && args[0] == "stats") {
        StatsArgs stats = ParseStatsArgs(args);
        if (stats.valid && stats.file.empty() && hasDefault)
            stats.file = HistoryPathFor(defaultPath);
        if (stats.valid && !stats.file.empty())
            return Stats(stats, out, err, fs);
    }
    if (args.size() == 2 && args[0] == "messages")
        return Messages(args[1], out, fs);
    if (args.size() == 1 && args[0] == "messages" && hasDefault)
        return Messages(CMessageStore::FolderBeside(defaultPath), out, fs);
    if (args.size() == 2 && args[0] == "import-csv" && hasDefault)
        return Import(args[1], defaultPath, out, err, fs);
    if (hasDefault)
        err << "usage: rwcfg dump [FILE]\n"
               "       rwcfg export-csv [FILE] > entries.csv\n"
               "       rwcfg import-csv CSV [FILE]\n"
               "       rwcfg history [FILE] [--since YYYY-MM-DD] [--number TEXT] [--xlsx OUT]\n"
               "       rwcfg stats [FILE] [--days N] [--today YYYY-MM-DD]\n"
               "       rwcfg messages [FOLDER]\n"
               "       rwcfg where\n"
               "Without FILE: the Ringwarden.cfg that Ringwarden beside rwcfg uses (rwcfg "
               "where).\n";
    else
        err << "usage: rwcfg dump FILE\n"
               "       rwcfg export-csv FILE > entries.csv\n"
               "       rwcfg import-csv CSV FILE\n"
               "       rwcfg history FILE [--since YYYY-MM-DD] [--number TEXT] [--xlsx OUT]\n"
               "       rwcfg stats FILE [--days N] [--today YYYY-MM-DD]\n"
               "       rwcfg messages FOLDER\n";
    return 2;
}

} // namespace rw::rwcfg
