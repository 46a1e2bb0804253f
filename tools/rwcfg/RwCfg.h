// rwcfg: inspect, export and bulk-edit a Ringwarden.cfg from outside the
// program. The functions behind the commands, for the tool and its tests.
#pragma once

#include "records/CallHistory.h"
#include "records/FileSystem.h"
#include "records/PhoneBook.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace rw::rwcfg {

// Where and why reading a damaged file stopped.
struct DumpStop {
    uint64_t offset = 0;    // the byte the fault is at
    std::string section;    // "preferences", "entryCount" or "phoneBook"
    size_t entriesRead = 0; // the entries before it
    bool haveCount = false; // the file's entry count was read:
    uint32_t entryCount = 0;
    std::string reason;
};
// The whole file as one JSON object: preferences, the entry count, the
// pairs in file order and where reading stopped, if it did. `complete` is
// false when reading stopped early; `stop`, when given, then says where.
std::string DumpJson(CByteSource& source, bool& complete, DumpStop* stop = nullptr);

// The phone book as CSV in UTF-8: a header row of field names, then one
// row per entry in key order, lines ending CR LF.
std::string ExportCsv(const CPhoneBook& book);

// One data row of a CSV: its fields over a new entry's defaults, and which
// of them the row sets.
struct CsvRow {
    size_t line = 0;                        // where the row starts
    std::unique_ptr<CPhoneBookEntry> entry; // keyed, InPhoneBook 1
    uint32_t given = 0;                     // one bit per ExportCsv column the row sets
};
struct CsvImport {
    std::vector<CsvRow> rows;
    std::vector<std::string> errors; // "line N: why"
};
// Reads rows from UTF-8 CSV with a header row of field names. Bad rows,
// numbers that repeat (by their lookup key) and fields longer than the
// program accepts are reported by line; the rows are only for use when
// there is no error. A row sets the columns the header names, but for an
// empty FilterType, UseOwnHours, AnswerMode, time or LastCallTime field;
// LookupKey and InPhoneBook are made as the program makes them.
CsvImport ParseCsv(std::string_view csv);

struct MergeCounts {
    size_t added = 0;
    size_t changed = 0;
    size_t unchanged = 0; // stored already with every field the row sets
};
// Puts the rows into `book`: a new key stores the row's entry; an entry
// already there takes only the fields its row sets. The rows' entries are
// used up.
MergeCounts MergeRows(std::vector<CsvRow>& rows, CPhoneBook& book);

// `history [FILE] [--since YYYY-MM-DD] [--number TEXT] [--xlsx OUT]`: the
// call history (Ringwarden-calls.csv) as a table, newest first, or as an
// .xlsx workbook in OUT (oldest first, as a spreadsheet reads down).
struct HistoryArgs {
    std::string file; // empty: beside the program's configuration
    CDateTime since;  // null: every row
    std::string number;
    std::string xlsx; // the workbook to write, or empty
    bool valid = true;
};
HistoryArgs ParseHistoryArgs(const std::vector<std::string>& args);
// The rows newest first, in columns, one line each; only the rows whose
// number holds `number` (as typed, or as the same number written another
// way) when it is not empty.
std::string HistoryTable(const std::vector<CHistoryRow>& oldestFirst, const std::string& number);

// `stats [FILE] [--days N] [--today YYYY-MM-DD]`: the statistics window's
// figures (totals, the callers who rang most, calls per day) for the N days
// (default 30, 1 to 366) ending today, or the day given.
struct StatsArgs {
    std::string file; // empty: beside the program's configuration
    int days = 30;
    CDateTime today; // null: the system's today
    bool valid = true;
};
StatsArgs ParseStatsArgs(const std::vector<std::string>& args);

// True when the command line names the configuration file itself, so the
// program's own file need not be looked for.
bool NamesItsFile(const std::vector<std::string>& args);

// Runs the command line (without the program name); returns the exit code.
// A non-empty `defaultPath` is the file used when FILE is left out (the one
// the program beside rwcfg uses); "where" prints it.
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, CFileSystem& fs,
        const std::string& defaultPath = std::string());

} // namespace rw::rwcfg
