#include "ConfigTestUtil.h"
#include "records/CallAction.h"
#include "records/CallHistory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

namespace rw {
namespace {

using test::ReadWholeFile;
using test::WriteWholeFile;

CHistoryRow Row(const std::string& name, const std::string& number, int minute,
                int32_t action = ActionBlockAlways, CallerIdType kind = CallerIdNameAndNumber) {
    CHistoryRow row;
    row.time = CDateTime::FromParts(2026, 3, 1, 14, minute % 60, 9);
    row.utcOffsetMinutes = 60;
    row.name = name;
    row.number = number;
    row.kind = kind;
    row.action = action;
    row.answeredAndDropped = IsBlockingAction(action);
    return row;
}

std::string Text(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteText(const std::string& path, const std::string& text) {
    WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

CHistoryReadResult Read(const std::string& text, const CHistoryReadOptions& options = {}) {
    CMemorySource source(text.data(), text.size());
    return ReadHistory(source, options);
}

// The system's files, with the history file held by another program (its
// append refused) while `locked` is set, and another copy of the program
// appending at the worst moment.
class CLockableFileSystem : public CFileSystem {
public:
    bool locked = false;
    // Called as a temporary file is created: after a rewrite's read, before
    // its replace.
    std::function<void()> onCreate;
    std::unique_ptr<CReadFile> OpenRead(const std::string& path) override {
        return locked ? nullptr : m_real->OpenRead(path);
    }
    std::unique_ptr<CWriteFile> Create(const std::string& path) override {
        if (onCreate)
            onCreate();
        return m_real->Create(path);
    }
    std::unique_ptr<CAppendFile> OpenAppend(const std::string& path) override {
        return locked ? nullptr : m_real->OpenAppend(path);
    }
    bool Replace(const std::string& from, const std::string& to) override {
        return m_real->Replace(from, to);
    }
    bool Remove(const std::string& path) override { return m_real->Remove(path); }
    bool Exists(const std::string& path) override { return m_real->Exists(path); }

private:
    std::unique_ptr<CFileSystem> m_real = CreateSystemFileSystem(false);
};

class CallHistoryTest : public testing::Test {
protected:
    test::CScratchDir dir;
    const std::string path = HistoryPathFor(dir.Path("Ringwarden.cfg"));
    CLockableFileSystem fs;

    CHistoryReadResult Load() {
        CCallHistoryFile file(fs, path);
        CHistoryReadResult result;
        EXPECT_TRUE(file.Load({}, result));
        return result;
    }
};

TEST_F(CallHistoryTest, RowsWrittenByOneRunAreReadByTheNext) {
    const std::vector<CHistoryRow> rows = {
        Row("Fred \"the\" Bloggs, Jr", "01632 960001", 1),
        Row("Caf\xE9 line two", "01632 960002", 2, ActionPermitNeverBlock, CallerIdNumber),
        Row("<Blocked>", "<Blocked>", 3, ActionBlockAlways, CallerIdWithheld),
        Row("", "", 4, ActionWaitingForCallerId, CallerIdNone),
        Row("Night Owl", "01632 960003", 5, ActionPermitRepeatedCall, CallerIdNumber),
        Row("Sales", "01632 960004", 6, ActionBlockFailed, CallerIdNumber),
        Row("Second caller", "01632 960005", 7, ActionNotAnsweredLineBusy, CallerIdNumber),
        [] {
            CHistoryRow r = Row("Surgery", "01632 960006", 8, ActionBlockByTime);
            r.message = "20260301-140809-01632960006.wav";
            r.messageMs = 4200;
            return r;
        }(),
    };
    {
        CCallHistoryFile file(fs, path);
        for (CHistoryRow row : rows) {
            // A line break in a caller ID's name is written as a space: a
            // line end always ends a row.
            if (row.name == "Caf\xE9 line two")
                row.name = "Caf\xE9\nline two";
            EXPECT_TRUE(file.Append(row));
        }
        EXPECT_EQ(file.RowCount(), rows.size());
    }
    const std::string text = Text(path);
    EXPECT_EQ(text.substr(0, HistoryHeader().size()), HistoryHeader());
    EXPECT_EQ(text.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(text.find("2026-03-01T14:01:09+01:00,\"Fred \"\"the\"\" Bloggs, Jr\",01632 960001,"
                        "name and number,Block (always),yes,,\r\n"),
              std::string::npos);
    EXPECT_NE(text.find(",yes,20260301-140809-01632960006.wav,4200\r\n"), std::string::npos);
    EXPECT_NE(text.find(",Caf\xC3\xA9 line two,"), std::string::npos); // UTF-8

    const CHistoryReadResult read = Load();
    EXPECT_EQ(read.rows, rows);
    EXPECT_EQ(read.skipped, 0u);
    EXPECT_FALSE(read.tornTail);
}

// The writer cuts a name only where the reader would refuse it (past
// kHistoryMaxFieldBytes of UTF-8), and never inside a character.
TEST_F(CallHistoryTest, AnOverlongNameIsCutSoThatItsRowReadsBack) {
    const size_t max = kHistoryMaxFieldBytes;
    struct Case {
        std::string name;
        std::string read;
    };
    const Case cases[] = {
        {std::string(max, 'a'), std::string(max, 'a')}, // the longest kept whole
        {std::string(max + 1, 'a'), std::string(max, 'a')},
        {std::string(32767, '\xE9'), std::string(max / 2, '\xE9')}, // 2 bytes each
        {"a" + std::string(max / 2, '\xE9'), "a" + std::string(max / 2 - 1, '\xE9')},
        {std::string(max, '\x80'), std::string(max / 3, '\x80')}, // the euro sign: 3 bytes
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.size());
        const std::string text = HistoryHeader() + FormatHistoryRow(Row(c.name, "1", 1));
        const CHistoryReadResult read = Read(text);
        ASSERT_EQ(read.rows.size(), 1u);
        EXPECT_EQ(read.rows[0].name, c.read);
    }
}

TEST_F(CallHistoryTest, ALateCallerIdReplacesTheWaitingRow) {
    CCallHistoryFile file(fs, path);
    file.Append(Row("", "", 5, ActionWaitingForCallerId, CallerIdNone));
    file.Append(Row("Other", "0555", 6, ActionPermitNeverBlock));
    file.Append(Row("Neighbour", "01632 960003", 5, ActionPermitNeverBlock));
    const CHistoryReadResult read = Load();
    ASSERT_EQ(read.rows.size(), 2u);
    EXPECT_EQ(read.rows[0].name, "Neighbour");
    EXPECT_EQ(read.rows[1].name, "Other");
    EXPECT_EQ(read.rowsInFile, 3u);
}

TEST_F(CallHistoryTest, ATornLastRowIsIgnoredAndTheNextRowStartsALineOfItsOwn) {
    {
        CCallHistoryFile file(fs, path);
        file.Append(Row("A", "1", 1));
        file.Append(Row("B", "2", 2));
    }
    const std::string whole = Text(path);
    WriteText(path, whole + FormatHistoryRow(Row("C", "3", 3)).substr(0, 30));
    CHistoryReadResult read = Load();
    EXPECT_EQ(read.rows.size(), 2u);
    EXPECT_TRUE(read.tornTail);
    EXPECT_EQ(read.skipped, 0u);

    CCallHistoryFile file(fs, path);
    file.Append(Row("D", "4", 4));
    read = Load();
    ASSERT_EQ(read.rows.size(), 3u);
    EXPECT_EQ(read.rows[2].name, "D");
    EXPECT_EQ(read.skipped, 1u); // the torn row, now a line of its own
    EXPECT_FALSE(read.tornTail);
}

// A row torn anywhere (inside a quoted name, between its CR and LF ...)
// is ended before the next rows, so that every later row reads back, here
// and in any other CSV reader (Python's csv module reads these files as
// the same rows).
TEST_F(CallHistoryTest, ARowTornInsideAQuotedNameHidesNoLaterRow) {
    const std::string row = FormatHistoryRow(Row("Smith, John \"Jr\"", "3", 3));
    struct Case {
        const char* what;
        std::string torn;
        size_t skipped; // the torn row, when it is not whole
    };
    const Case cases[] = {
        {"inside the quoted name", row.substr(0, row.find("John") + 2), 1},
        {"inside a doubled quote", row.substr(0, row.find("\"\"") + 1), 1},
        {"after the closing quote", row.substr(0, row.find("\",") + 1), 1},
        {"between CR and LF", row.substr(0, row.size() - 1), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        {
            CCallHistoryFile file(fs, path);
            file.Append(Row("A", "1", 1));
        }
        WriteText(path, Text(path) + c.torn);
        {
            // The next run, then the next call after it.
            CCallHistoryFile file(fs, path);
            CHistoryReadResult read;
            ASSERT_TRUE(file.Load({}, read));
            EXPECT_TRUE(read.tornTail);
            EXPECT_TRUE(file.Append(Row("D", "4", 4)));
            EXPECT_TRUE(file.Append(Row("E", "5", 5)));
        }
        const CHistoryReadResult read = Load();
        std::vector<std::string> numbers;
        for (const CHistoryRow& r : read.rows)
            numbers.push_back(r.number);
        EXPECT_EQ(numbers, (c.skipped ? std::vector<std::string>{"1", "4", "5"}
                                      : std::vector<std::string>{"1", "3", "4", "5"}));
        EXPECT_EQ(read.skipped, c.skipped);
        EXPECT_FALSE(read.tornTail);
        fs.Remove(path);
    }
    // A file an earlier version appended to: the line end right after the
    // torn row, read as part of its quoted name.
    const CHistoryReadResult read =
        Read(HistoryHeader() + row.substr(0, row.find("John")) + "\r\n" +
             FormatHistoryRow(Row("B", "2", 2)) + FormatHistoryRow(Row("C", "6", 6)));
    EXPECT_EQ(read.rows.size(), 2u);
    EXPECT_EQ(read.rowsInFile, 3u);
    EXPECT_EQ(read.skipped, 1u);
}

// A message's name is used to open a file in the Messages folder: read back
// only as a plain .wav name there, or the row reads as one without a
// message. Files of earlier versions (six columns) read as before.
TEST_F(CallHistoryTest, AMessageIsReadBackOnlyAsAPlainWaveFileName) {
    const std::string start =
        "2026-03-01T14:00:00+01:00,A,1,number,Block (based on time of call),yes,";
    struct Case {
        const char* what;
        std::string fields; // the last two
        std::string message;
        uint32_t ms;
    };
    const Case cases[] = {
        {"none", ",", "", 0},
        {"a message", "20260301-140000-1.wav,61000", "20260301-140000-1.wav", 61000},
        {"upper-case extension", "call.WAV,5", "call.WAV", 5},
        {"a length without a message", ",5", "", 0},
        {"a folder", "..\\Ringwarden.cfg.wav,5", "", 0},
        {"a forward slash", "sub/a.wav,5", "", 0},
        {"a drive", "C:a.wav,5", "", 0},
        {"an absolute path", "\"C:\\Windows\\a.wav\",5", "", 0},
        {"a UNC path", "\\\\server\\share\\a.wav,5", "", 0},
        {"two dots", "a..wav,5", "", 0},
        {"not a wave file", "a.exe,5", "", 0},
        {"only the extension", ".wav,5", "", 0},
        {"a control character", "a\x01.wav,5", "", 0},
        {"a length that is not a number", "a.wav,-5", "", 0},
        {"a length too long", "a.wav,12345678901", "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CHistoryReadResult read = Read(HistoryHeader() + start + c.fields + "\r\n");
        ASSERT_EQ(read.rows.size(), 1u);
        EXPECT_EQ(read.skipped, 0u);
        EXPECT_EQ(read.rows[0].message, c.message);
        EXPECT_EQ(read.rows[0].messageMs, c.ms);
        // Written back as read: an unsafe name never reaches the file.
        const CHistoryReadResult again = Read(HistoryHeader() + FormatHistoryRow(read.rows[0]));
        ASSERT_EQ(again.rows.size(), 1u);
        EXPECT_EQ(again.rows[0], read.rows[0]);
    }
    // An earlier version's file, header and rows of six columns, then rows
    // this version appended.
    const std::string old = "\xEF\xBB\xBFTime,Name,Number,Caller ID,Action,Answered and dropped\r\n"
                            "2026-03-01T14:00:00+01:00,A,1,number,Block (always),no\r\n"
                            "2026-03-01T14:00:00+01:00,A,1,number,Block (always),yes\r\n";
    CHistoryRow added = Row("B", "2", 5, ActionBlockByTime);
    added.message = "b.wav";
    added.messageMs = 900;
    const CHistoryReadResult read = Read(old + FormatHistoryRow(added));
    ASSERT_EQ(read.rows.size(), 2u) << "a screened row and its update count once";
    EXPECT_EQ(read.skipped, 0u);
    EXPECT_TRUE(read.rows[0].answeredAndDropped);
    EXPECT_EQ(read.rows[0].message, "");
    EXPECT_EQ(read.rows[1], added);
}

// Each line stands between two good rows; the good rows must always be read.
TEST_F(CallHistoryTest, DamagedRowsAreSkippedAndCounted) {
    const std::string first = "2026-03-01T14:00:00+01:00,A,0,number,Block (always),yes\r\n";
    const std::string good = "2026-03-01T14:00:00+01:00,A,1,number,Block (always),yes\r\n";
    const std::string big(5000, 'x');
    struct Case {
        const char* what;
        std::string line;
        bool readable;
    };
    const Case cases[] = {
        {"a good row", "2026-03-01T14:00:00+01:00,A,2,number,Block (always),yes\r\n", true},
        {"Z for UTC", "2026-03-01T14:00:00Z,A,2,number,Block (always),no\r\n", true},
        {"LF alone", "2026-03-01T14:00:00-05:30,A,2,number,Block (always),no\n", true},
        {"a NUL in a name",
         "2026-03-01T14:00:00+01:00,A" + std::string(1, '\0') + "B,2,number,Block (always),no\r\n",
         true},
        {"too few columns", "2026-03-01T14:00:00+01:00,A,1,number,Block (always)\r\n", false},
        {"too many columns", "2026-03-01T14:00:00+01:00,A,1,number,Block (always),yes,x\r\n",
         false},
        {"too many columns after the message",
         "2026-03-01T14:00:00+01:00,A,1,number,Block (always),yes,a.wav,1,x\r\n", false},
        {"hundreds of columns", std::string(500, ',') + "\r\n", false},
        {"no offset", "2026-03-01T14:00:00,A,1,number,Block (always),yes\r\n", false},
        {"month 13", "2026-13-01T14:00:00+01:00,A,1,number,Block (always),yes\r\n", false},
        {"30 February", "2026-02-30T14:00:00+01:00,A,1,number,Block (always),yes\r\n", false},
        {"hour 24", "2026-03-01T24:00:00+01:00,A,1,number,Block (always),yes\r\n", false},
        {"offset 25 hours", "2026-03-01T14:00:00+25:00,A,1,number,Block (always),yes\r\n", false},
        {"unknown kind", "2026-03-01T14:00:00+01:00,A,1,fax,Block (always),yes\r\n", false},
        {"unknown action", "2026-03-01T14:00:00+01:00,A,1,number,Explode,yes\r\n", false},
        {"answered maybe", "2026-03-01T14:00:00+01:00,A,1,number,Block (always),maybe\r\n", false},
        {"a stray quote", "2026-03-01T14:00:00+01:00,A\"B,1,number,Block (always),yes\r\n", false},
        {"a quote left open", "2026-03-01T14:00:00+01:00,\"A,1,number,Block (always),yes\r\n",
         false},
        {"text after a closing quote",
         "2026-03-01T14:00:00+01:00,\"A\"B,1,number,Block (always),yes\r\n", false},
        {"a field too long",
         "2026-03-01T14:00:00+01:00," + big + ",1,number,Block (always),yes\r\n", false},
        {"a huge quoted field",
         "2026-03-01T14:00:00+01:00,\"" + std::string(1 << 20, 'y') +
             "\",1,number,Block (always),yes\r\n",
         false},
        {"bad UTF-8", "2026-03-01T14:00:00+01:00,\xC3(,1,number,Block (always),yes\r\n", false},
        {"a character 1252 lacks",
         "2026-03-01T14:00:00+01:00,\xE4\xB8\xAD,1,number,Block (always),yes\r\n", false},
        {"bytes of every value",
         [] {
             std::string s;
             for (int i = 0; i < 256; ++i)
                 if (i != '\n')
                     s += static_cast<char>(i);
             return s + "\r\n";
         }(),
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CHistoryReadResult read = Read(HistoryHeader() + first + c.line + good);
        EXPECT_EQ(read.rows.size(), c.readable ? 3u : 2u);
        EXPECT_EQ(read.skipped, c.readable ? 0u : 1u);
        EXPECT_EQ(read.rowsInFile, 3u);
        ASSERT_GE(read.rows.size(), 2u);
        EXPECT_EQ(read.rows.back().number, "1");
    }
}

// A million rows, made as they are read, never held whole: only the newest
// rows asked for are kept.
class CGeneratedRows : public CByteSource {
public:
    explicit CGeneratedRows(size_t rows) : m_left(rows) {}
    size_t Read(void* buffer, size_t size) override {
        size_t done = 0;
        while (done < size) {
            if (m_at == m_line.size()) {
                if (m_left == 0)
                    break;
                --m_left;
                CHistoryRow row = Row("Caller", std::to_string(m_left), 0);
                row.time = CDateTime::FromParts(2026, 1, 1, 0, 0, 0);
                m_line = m_left % 7 == 0 ? "junk\r\n" : FormatHistoryRow(row);
                m_at = 0;
            }
            const size_t n = std::min(size - done, m_line.size() - m_at);
            std::copy_n(m_line.data() + m_at, n, static_cast<char*>(buffer) + done);
            m_at += n;
            done += n;
        }
        return done;
    }
    uint64_t Remaining() const override { return m_left ? ~0ull : m_line.size() - m_at; }

private:
    size_t m_left;
    std::string m_line;
    size_t m_at = 0;
};

TEST_F(CallHistoryTest, AMillionRowsKeepOnlyTheNewestAskedFor) {
    CGeneratedRows source(1000000);
    const CHistoryReadResult read = ReadHistory(source, {CDateTime(), 10000});
    EXPECT_EQ(read.rowsInFile, 1000000u);
    EXPECT_EQ(read.skipped, 1000000u / 7 + 1);
    ASSERT_EQ(read.rows.size(), 10000u);
    EXPECT_EQ(read.rows.back().number, "1");
}

TEST_F(CallHistoryTest, OnlyRowsSinceTheDayAskedForAreKept) {
    std::string text = HistoryHeader();
    for (int day = 1; day <= 28; ++day) {
        CHistoryRow row = Row("A", std::to_string(day), 0);
        row.time = CDateTime::FromParts(2026, 2, day, 12, 0, 0);
        text += FormatHistoryRow(row);
    }
    const CHistoryReadResult read = Read(text, {CDateTime::FromParts(2026, 2, 20, 0, 0, 0), 0});
    ASSERT_EQ(read.rows.size(), 9u);
    EXPECT_EQ(read.rows.front().number, "20");
}

// A file at the bound: rows numbered from 0, each at its own second.
std::string FullHistory() {
    std::string text = HistoryHeader();
    for (size_t i = 0; i < kHistoryMaxRows; ++i) {
        CHistoryRow row = Row("A", std::to_string(i), 0, ActionPermitNeverBlock);
        row.time = CDateTime::FromParts(2026, 1, 1 + static_cast<int>(i / 86400 % 28),
                                        static_cast<int>(i / 3600 % 24),
                                        static_cast<int>(i / 60 % 60), static_cast<int>(i % 60));
        text += FormatHistoryRow(row);
    }
    return text;
}

bool AnyTemporaryFile(const test::CScratchDir& dir) {
    for (const auto& e : std::filesystem::directory_iterator(dir.Path("")))
        if (e.path().extension() == ".tmp")
            return true;
    return false;
}

TEST_F(CallHistoryTest, PastTheBoundTheOldestRowsGoThroughATemporaryFile) {
    WriteText(path, FullHistory());
    CCallHistoryFile file(fs, path);
    CHistoryReadResult read;
    ASSERT_TRUE(file.Load({}, read));
    EXPECT_EQ(file.RowCount(), kHistoryMaxRows);
    EXPECT_TRUE(file.Append(Row("Newest", "999", 59)));
    EXPECT_EQ(file.RowCount(), kHistoryTrimmedRows);
    EXPECT_FALSE(AnyTemporaryFile(dir));

    read = Load();
    ASSERT_EQ(read.rows.size(), kHistoryTrimmedRows);
    EXPECT_EQ(read.rows.front().number, std::to_string(kHistoryMaxRows + 1 - kHistoryTrimmedRows));
    EXPECT_EQ(read.rows.back().name, "Newest");
    EXPECT_EQ(Text(path).substr(0, HistoryHeader().size()), HistoryHeader());
}

// Two copies of the program on one folder: the rows the other appends
// while this one rewrites the file at the bound are kept, whole rows only.
TEST_F(CallHistoryTest, RowsAnotherCopyAppendsDuringTheRewriteAreKept) {
    WriteText(path, FullHistory());
    CCallHistoryFile file(fs, path);
    CHistoryReadResult read;
    ASSERT_TRUE(file.Load({}, read));
    fs.onCreate = [this] {
        // A whole row, and one still being written when the file is replaced.
        const std::string text = FormatHistoryRow(Row("Other", "700", 30)) +
                                 FormatHistoryRow(Row("Other", "701", 31)).substr(0, 20);
        auto other = CreateSystemFileSystem(false)->OpenAppend(path);
        ASSERT_TRUE(other && other->Write(text.data(), text.size()));
    };
    EXPECT_TRUE(file.Append(Row("Newest", "999", 59)));
    fs.onCreate = nullptr;
    read = Load();
    ASSERT_EQ(read.rows.size(), kHistoryTrimmedRows + 1);
    EXPECT_EQ(read.rows[read.rows.size() - 2].name, "Newest");
    EXPECT_EQ(read.rows.back().number, "700");
    EXPECT_FALSE(read.tornTail);
    EXPECT_EQ(file.RowCount(), kHistoryTrimmedRows + 1);
}

TEST_F(CallHistoryTest, RowsWaitInMemoryWhileTheFileIsLocked) {
    CCallHistoryFile file(fs, path);
    EXPECT_TRUE(file.Append(Row("A", "1", 1)));
    fs.locked = true;
    EXPECT_FALSE(file.Append(Row("B", "2", 2)));
    EXPECT_FALSE(file.Append(Row("C", "3", 3)));
    EXPECT_EQ(file.Pending(), 2u);
    EXPECT_FALSE(file.Flush());
    fs.locked = false;
    EXPECT_TRUE(file.Flush());
    EXPECT_EQ(file.Pending(), 0u);
    const CHistoryReadResult read = Load();
    ASSERT_EQ(read.rows.size(), 3u);
    EXPECT_EQ(read.rows[1].name, "B");
    EXPECT_EQ(read.rows[2].name, "C");
}

TEST(HistoryTime, FormatsAndParsesLocalTimeWithItsOffset) {
    const CDateTime t = CDateTime::FromParts(2026, 12, 11, 2, 3, 4);
    struct Case {
        int offset;
        const char* text;
    };
    for (const Case c :
         {Case{0, "2026-12-11T02:03:04+00:00"}, Case{-330, "2026-12-11T02:03:04-05:30"},
          Case{825, "2026-12-11T02:03:04+13:45"}}) {
        EXPECT_EQ(FormatHistoryTime(t, c.offset), c.text);
        CDateTime back;
        int offset = 1;
        ASSERT_TRUE(ParseHistoryTime(c.text, back, offset));
        EXPECT_EQ(back, t);
        EXPECT_EQ(offset, c.offset);
    }
    EXPECT_EQ(FormatHistoryTime(CDateTime(), 0), "");
}

} // namespace
} // namespace rw
