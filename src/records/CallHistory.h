// The call history kept across runs: one CSV row per call, written once its
// outcome is final and appended to Ringwarden-calls.csv beside the
// configuration. (Files of earlier versions may hold a second row of the same
// call when its outcome changed; the reader merges them.) The file is UTF-8 with a byte-order mark,
// CRLF line ends, RFC 4180 quoting and a header row, so that a spreadsheet opens it as it is.
// Reading never trusts the file: a torn last row (a power cut in the middle of a write) is ignored,
// a row that cannot be read is skipped and counted, and nothing is allocated beyond what the file's
// own bytes hold.
#pragma once

#include "records/DateTime.h"
#include "records/Enums.h"
#include "records/FileSystem.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace rw {

struct CHistoryRow {
    CDateTime time;           // local time of the call, to the second
    int utcOffsetMinutes = 0; // local time minus UTC at that moment
    std::string name;         // as the list shows it (system code page)
    std::string number;       // the number, or the call type's text
    CallerIdType kind = CallerIdNone;
    int32_t action = 0; // a CallAction
    bool answeredAndDropped = false;
    // The message the caller left: its file's name in the Messages folder
    // (empty: none) and its length. Read back only as a plain .wav name.
    std::string message;
    uint32_t messageMs = 0;

    friend bool operator==(const CHistoryRow&, const CHistoryRow&) = default;
};

// The history file's name, beside Ringwarden.cfg.
inline constexpr const char* kHistoryFileName = "Ringwarden-calls.csv";
// The file never holds more rows than this. 100,000 rows of typical calls
// are about 10 MB (a row is under 100 bytes).
inline constexpr size_t kHistoryMaxRows = 100000;
// When the bound is passed the oldest rows go down to this many, so that the
// rewrite comes once per 10,000 calls rather than with every call.
inline constexpr size_t kHistoryTrimmedRows = 90000;
// A field longer than this (in the file's bytes) makes its row unreadable:
// no caller ID comes near it.
inline constexpr size_t kHistoryMaxFieldBytes = 4096;

// The path of the history file beside the configuration file `configPath`.
std::string HistoryPathFor(const std::string& configPath);

// The byte-order mark and the header row, with its CRLF.
std::string HistoryHeader();
// One row as the file holds it, ending in CRLF. Texts are converted from the
// system code page to UTF-8.
std::string FormatHistoryRow(const CHistoryRow& row);
// "2026-03-01T14:05:09+01:00"; empty for a time that is not valid.
std::string FormatHistoryTime(CDateTime time, int utcOffsetMinutes);
// The reverse; false for anything else.
bool ParseHistoryTime(const std::string& text, CDateTime& time, int& utcOffsetMinutes);
// The caller-ID kind's word in the file ("number", "withheld" ...), and back.
std::string CallerIdKindText(CallerIdType kind);
bool ParseCallerIdKind(const std::string& text, CallerIdType& kind);
// A message file's name as the history may name one: a plain file name in
// the Messages folder ending in .wav, with no folder and no way out of it.
bool IsPlainMessageName(const std::string& name);

// A later row of the same call: the same moment, and the earlier row was
// still waiting for caller ID or names the same caller. (Files of earlier
// versions wrote a call again when its outcome changed.)
bool IsSameCall(const CHistoryRow& earlier, const CHistoryRow& later);

struct CHistoryReadOptions {
    // Rows older than this are passed over (a null time keeps every row).
    CDateTime since;
    // Only the newest this many rows are kept (0: all).
    size_t maxRows = 0;
};

struct CHistoryReadResult {
    // The rows kept, oldest first. A later row of the same call (the same
    // time, and the same caller or an earlier row still waiting for caller
    // ID) takes the place of the earlier one.
    std::vector<CHistoryRow> rows;
    size_t rowsInFile = 0;     // complete rows in the file, readable or not
    size_t skipped = 0;        // rows that could not be read
    bool tornTail = false;     // the file ends in the middle of a row
    bool endsInNewline = true; // an append may start right away
    // The file's bytes up to the end of its last complete row: where rows
    // appended after the read begin.
    uint64_t completeBytes = 0;
};

// Reads a whole history file from `source`.
CHistoryReadResult ReadHistory(CByteSource& source, const CHistoryReadOptions& options = {});

// The history file on disk. Rows are appended with one write call each, and
// the rows of one Flush are then pushed through to the disk; a row that cannot be written now (the
// file locked by a backup or a spreadsheet) waits in memory for the next try. Not thread-safe.
class CCallHistoryFile {
public:
    CCallHistoryFile(CFileSystem& fs, std::string path) : m_fs(fs), m_path(std::move(path)) {}

    const std::string& Path() const { return m_path; }

    // Reads the file for the list, and learns how many rows it holds. A
    // missing file reads as empty; false when it is there but cannot be read
    // (the rows then wait for Flush as usual).
    bool Load(const CHistoryReadOptions& options, CHistoryReadResult& result);

    // Queues a row and tries to write everything queued. False when rows
    // are still waiting.
    bool Append(const CHistoryRow& row);
    // Tries again to write the rows that wait; true when none waits.
    bool Flush();
    size_t Pending() const { return m_pending.size(); }
    // The rows that wait, formatted as the file holds them, oldest first.
    const std::deque<std::string>& PendingRows() const { return m_pending; }
    // Rows the file holds, as far as this object knows.
    size_t RowCount() const { return m_rowCount; }

    // Rows that wait beyond this many are dropped oldest first: a file
    // locked for ever must not grow memory for ever.
    static constexpr size_t kMaxPending = kHistoryMaxRows;

private:
    // Keeps the newest kHistoryTrimmedRows rows, through a temporary file
    // and a replace.
    bool Trim();
    // Copies to `sink` the whole rows the file holds past `offset`, and moves
    // `offset` past them; the number of rows. Throws when the file cannot be
    // read or is now shorter.
    size_t CopyRowsAppendedSince(CByteSink& sink, uint64_t& offset);
    // Rounds of copying rows appended during a rewrite.
    static constexpr int kCatchUpRounds = 4;

    CFileSystem& m_fs;
    std::string m_path;
    std::deque<std::string> m_pending; // formatted rows, oldest first
    size_t m_rowCount = 0;
    bool m_counted = false; // m_rowCount was read from the file
};

} // namespace rw
