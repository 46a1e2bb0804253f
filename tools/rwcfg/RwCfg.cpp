#include "RwCfg.h"

#include "records/Archive.h"
#include "records/ConfigFile.h"
#include "records/Cp1252.h"
#include "records/RingwardenPreferences.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <ostream>
#include <sstream>

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
const char* const kFilterNames[] = {"Never Block", "Block Sometimes", "Always Block"};

void AppendCsvField(std::string& out, const std::string& utf8) {
    if (utf8.find_first_of(",\"\r\n") == std::string::npos) {
        out += utf8;
        return;
    }
    out += '"';
    for (char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

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

struct CsvRecord {
    size_t line; // where the record starts
    std::vector<std::string> fields;
};

// RFC 4180 records; a quoted field may hold commas, quotes and line breaks.
// False (with `error`) for a stray quote or an unclosed one.
bool SplitCsv(std::string_view text, std::vector<CsvRecord>& records, std::string& error) {
    size_t line = 1;
    size_t i = 0;
    while (i < text.size()) {
        CsvRecord record{line, {}};
        std::string field;
        bool endOfRecord = false;
        while (!endOfRecord) {
            field.clear();
            if (i < text.size() && text[i] == '"') {
                ++i;
                for (;;) {
                    if (i >= text.size()) {
                        error = "line " + std::to_string(record.line) + ": unclosed quote";
                        return false;
                    }
                    if (text[i] == '"') {
                        if (i + 1 < text.size() && text[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (text[i] == '\n')
                        ++line;
                    field += text[i++];
                }
                if (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                    error = "line " + std::to_string(line) + ": text after a closing quote";
                    return false;
                }
            } else {
                while (i < text.size() && text[i] != ',' && text[i] != '\r' && text[i] != '\n') {
                    if (text[i] == '"') {
                        error = "line " + std::to_string(line) + ": quote inside a field";
                        return false;
                    }
                    field += text[i++];
                }
            }
            record.fields.push_back(field);
            if (i < text.size() && text[i] == ',') {
                ++i;
                continue;
            }
            if (i < text.size() && text[i] == '\r')
                ++i;
            if (i < text.size() && text[i] == '\n')
                ++i;
            ++line;
            endOfRecord = true;
        }
        const bool blank = record.fields.size() == 1 && record.fields[0].empty();
        if (!blank)
            records.push_back(std::move(record));
    }
    return true;
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

// Fills one field of `e` from its CSV text (already in Windows-1252);
// returns why it is bad, or an empty text. Empty fields keep the default.
std::string SetField(CPhoneBookEntry& e, const std::string& column, const std::string& v) {
    int n;
    if (column == "Name") {
        e.Name = v;
    } else if (column == "Number") {
        e.Number = v;
    } else if (column == "Notes") {
        e.Notes = v;
    } else if (column == "MessageFile") {
        e.MessageFile = v;
    } else if (column == "LookupKey" || column == "InPhoneBook") {
        // Remade from the number, and set, as the program does.
    } else if (v.empty()) {
        // default
    } else if (column == "FilterType") {
        for (n = 0; n < 3 && !EqualsIgnoringCase(v, kFilterNames[n]); ++n) {
        }
        if (n == 3 && !ParseInt(v, 0, 2, n))
            return "FilterType must be Never Block, Block Sometimes, Always Block or 0 to 2";
        e.FilterType = n;
    } else if (column == "UseOwnHours") {
        if (!ParseInt(v, 0, 1, n))
            return "UseOwnHours must be 0 or 1";
        e.UseOwnHours = n;
    } else if (column == "AnswerMode") {
        if (!ParseInt(v, 0, 2, n))
            return "AnswerMode must be 0 to 2";
        e.AnswerMode = n;
    } else if (column == "OwnHoursStart") {
        if (!ParseTimeOfDay(v, e.OwnHoursStart))
            return "OwnHoursStart must be a time HH:MM";
    } else if (column == "OwnHoursEnd") {
        if (!ParseTimeOfDay(v, e.OwnHoursEnd))
            return "OwnHoursEnd must be a time HH:MM";
    } else if (column == "LastCallTime") {
        if (!ParseDateTime(v, e.LastCallTime))
            return "LastCallTime must be YYYY-MM-DD HH:MM[:SS]";
    }
    return std::string();
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
    bool complete = false;
    out << DumpJson(*file, complete);
    if (!complete) {
        err << "rwcfg: " << path << " is damaged; reading stopped where the \"error\" says\n";
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
    const size_t imported = parsed.entries.size();
    for (auto& entry : parsed.entries) {
        const std::string key = entry->LookupKey;
        book.SetAt(key, std::move(entry));
    }
    if (!config.Save(path, prefs, book)) {
        err << "rwcfg: cannot write " << path << "; it is unchanged\n";
        return 1;
    }
    out << "rwcfg: " << imported << " entries imported; " << book.GetCount()
        << " in the phone book\n";
    return 0;
}

} // namespace

std::string DumpJson(CByteSource& source, bool& complete) {
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
    if (csv.substr(0, 3) == "\xEF\xBB\xBF")
        csv.remove_prefix(3);
    std::vector<CsvRecord> records;
    std::string error;
    if (!SplitCsv(csv, records, error)) {
        result.errors.push_back(error);
        return result;
    }
    if (records.empty()) {
        result.errors.push_back("line 1: no header row");
        return result;
    }
    const std::vector<std::string>& header = records[0].fields;
    for (size_t i = 0; i < header.size(); ++i) {
        const bool known =
            std::find(std::begin(kColumns), std::end(kColumns), header[i]) != std::end(kColumns);
        if (!known)
            result.errors.push_back("line 1: unknown column \"" + header[i] + "\"");
        else if (std::find(header.begin(), header.begin() + i, header[i]) != header.begin() + i)
            result.errors.push_back("line 1: column " + header[i] + " twice");
    }
    for (const char* required : {"Name", "Number"}) {
        if (std::find(header.begin(), header.end(), required) == header.end())
            result.errors.push_back(std::string("line 1: no ") + required + " column");
    }
    if (!result.errors.empty())
        return result;

    for (size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& rec = records[r];
        const std::string where = "line " + std::to_string(rec.line) + ": ";
        if (rec.fields.size() != header.size()) {
            result.errors.push_back(where + std::to_string(rec.fields.size()) + " fields, not " +
                                    std::to_string(header.size()));
            continue;
        }
        auto entry = std::make_unique<CPhoneBookEntry>();
        std::string bad;
        for (size_t i = 0; i < header.size() && bad.empty(); ++i) {
            const std::optional<std::string> text = Utf8ToCp1252(rec.fields[i]);
            if (!text)
                bad = header[i] + " is not UTF-8 text that Windows-1252 can hold";
            else
                bad = SetField(*entry, header[i], *text);
        }
        if (bad.empty() && entry->Name.empty())
            bad = "a name is required";
        if (bad.empty() && entry->Number.empty())
            bad = "a number is required";
        if (!bad.empty()) {
            result.errors.push_back(where + bad);
            continue;
        }
        entry->MakeLookupKey();
        entry->InPhoneBook = 1;
        result.entries.push_back(std::move(entry));
    }
    return result;
}

bool NamesItsFile(const std::vector<std::string>& args) {
    if (args.empty())
        return false;
    return (args.size() == 2 && (args[0] == "dump" || args[0] == "export-csv")) ||
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
    if (args.size() == 2 && args[0] == "import-csv" && hasDefault)
        return Import(args[1], defaultPath, out, err, fs);
    if (hasDefault)
        err << "usage: rwcfg dump [FILE]\n"
               "       rwcfg export-csv [FILE] > entries.csv\n"
               "       rwcfg import-csv CSV [FILE]\n"
               "       rwcfg where\n"
               "Without FILE: the Ringwarden.cfg that Ringwarden beside rwcfg uses (rwcfg "
               "where).\n";
    else
        err << "usage: rwcfg dump FILE\n"
               "       rwcfg export-csv FILE > entries.csv\n"
               "       rwcfg import-csv CSV FILE\n";
    return 2;
}

} // namespace rw::rwcfg
