#include "../core/ConfigTestUtil.h"
#include "../core/StatisticsRows.h"
#include "RwCfg.h"
#include "records/CallHistory.h"
#include "records/CallWorkbook.h"
#include "records/ConfigFile.h"
#include "records/EntryLimits.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>

namespace rw {
namespace {

using test::FromHex;
using test::ReadWholeFile;

class RwCfgTest : public testing::Test {
protected:
    int Run(const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        return rwcfg::Run(args, out, err, *fs);
    }
    void WriteText(const std::string& path, const std::string& text) {
        test::WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    }

    test::CScratchDir dir;
    const std::string cfg = dir.Path("Ringwarden.cfg");
    const std::string csv = dir.Path("entries.csv");
    std::unique_ptr<CFileSystem> fs = CreateSystemFileSystem(false);
    std::ostringstream out, err;
};

TEST_F(RwCfgTest, DumpShowsEveryFieldAndWhereReadingStopped) {
    test::WriteWholeFile(cfg, FromHex(test::kOneEntryConfigHex));
    ASSERT_EQ(Run({"dump", cfg}), 0) << err.str();
    const std::string json = out.str();
    for (const char* expected :
         {R"("OutOfHoursStart": {"status": 0, "days": 0.95833333333333337},)",
          R"("OutOfHoursEnd": {"status": 0, "days": 0.33333333333333331},)",
          R"("MainPlacement": [0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0],)", R"("NotificationSeconds": 5,)",
          R"("SecurityKey1": "1",)", R"("SuspendMinutes": 2)", R"("entryCount": 1,)",
          R"("key": "1",)", R"("Name": "A",)", R"("InPhoneBook": 1,)", R"("AnswerMode": 1,)",
          R"("LastCallTime": {"status": 2, "days": 0})", R"("error": null)"}) {
        EXPECT_NE(json.find(expected), std::string::npos) << expected << "\n" << json;
    }

    // Cut inside the entry's fields: the load keeps the preferences and no
    // entry, and the dump says where it stopped.
    std::vector<uint8_t> cut = FromHex(test::kOneEntryConfigHex);
    cut.resize(200);
    test::WriteWholeFile(cfg, cut);
    EXPECT_EQ(Run({"dump", cfg}), 1);
    EXPECT_NE(out.str().find(R"("phoneBook": [],)"), std::string::npos) << out.str();
    // The entry's OwnHoursStart starts at byte 199 and needs 12.
    EXPECT_NE(out.str().find(R"("offset": 199,)"), std::string::npos) << out.str();
    EXPECT_NE(out.str().find(R"("section": "phoneBook",)"), std::string::npos);
    EXPECT_NE(err.str().find("damaged: reading stopped at byte 199 of 200 (phoneBook: "),
              std::string::npos)
        << err.str();
    EXPECT_NE(err.str().find("after 0 of the 1 entries the file gives."), std::string::npos)
        << err.str();
}

TEST_F(RwCfgTest, DumpEscapesTextAsUtf8Json) {
    CRingwardenPreferences prefs;
    prefs.DefaultMessageFile = "C:\\a \"b\"\n\xE9\x80";
    prefs.SecurityKey1 = '#';
    CPhoneBook book;
    CConfigFile config(*fs);
    ASSERT_TRUE(config.Save(cfg, prefs, book));
    ASSERT_EQ(Run({"dump", cfg}), 0);
    EXPECT_NE(out.str().find(R"("DefaultMessageFile": "C:\\a \"b\"\u000a)"
                             "\xC3\xA9\xE2\x82\xAC\""),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find(R"("SecurityKey1": "#",)"), std::string::npos);
}

TEST_F(RwCfgTest, ExportThenImportGivesTheSameEntries) {
    CRingwardenPreferences prefs;
    CPhoneBook book;
    auto e = std::make_unique<CPhoneBookEntry>();
    e->Name = "Smith, \"Jo\"";
    e->Number = "0123 45";
    e->MakeLookupKey();
    e->InPhoneBook = 1;
    e->Notes = "two\r\nlines, caf\xE9";
    e->FilterType = FilterBlockSometimes;
    e->UseOwnHours = 1;
    e->AnswerMode = AnswerOwnMessage;
    e->OwnHoursStart = CDateTime::TimeOfDay(21, 30);
    e->MessageFile = "C:\\msg.wav";
    e->LastCallTime = CDateTime::FromParts(2024, 2, 29, 18, 5, 7);
    book.SetAt("012345", std::move(e));
    const std::string csvText = rwcfg::ExportCsv(book);
    EXPECT_EQ(csvText, "Name,Number,LookupKey,Notes,InPhoneBook,FilterType,UseOwnHours,AnswerMode,"
                       "OwnHoursStart,OwnHoursEnd,MessageFile,LastCallTime\r\n"
                       "\"Smith, \"\"Jo\"\"\",0123 45,012345,\"two\r\nlines, caf\xC3\xA9\",1,"
                       "Block Sometimes,1,2,21:30,08:00,C:\\msg.wav,2024-02-29 18:05:07\r\n");

    rwcfg::CsvImport parsed = rwcfg::ParseCsv(csvText);
    ASSERT_TRUE(parsed.errors.empty()) << parsed.errors[0];
    ASSERT_EQ(parsed.rows.size(), 1u);
    EXPECT_TRUE(test::SameEntry(*parsed.rows[0].entry, *book.Lookup("012345")));
}

TEST_F(RwCfgTest, BadRowsAreReportedByLineAndNothingIsWritten) {
    const std::string text = "\xEF\xBB\xBFName,Number,FilterType,OwnHoursStart,LastCallTime\n"
                             "Good,1,Always Block,07:15,2020-01-02 03:04\n"
                             ",2,,,\n"                           // 3: no name
                             "\"multi\nline\",,,,\n"             // 4: no number (5 is inside)
                             "Bad filter,3,Sometimes,,\n"        // 6
                             "Bad time,4,0,24:00,\n"             // 7
                             "Bad time,4,0,7:5,\n"               // 8
                             "Not 1252,\xE2\x86\x92,0,,\n"       // 9: an arrow
                             "Bad UTF-8,\xC3,0,,\n"              // 10
                             "Short,5\n"                         // 11
                             "Bad date,6,1,,2020-02-30 10:00\n"; // 12
    rwcfg::CsvImport parsed = rwcfg::ParseCsv(text);
    const std::vector<std::string> lines = {"line 3", "line 4",  "line 6",  "line 7", "line 8",
                                            "line 9", "line 10", "line 11", "line 12"};
    ASSERT_EQ(parsed.errors.size(), lines.size());
    for (size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(parsed.errors[i].rfind(lines[i] + ":", 0), 0u) << parsed.errors[i];

    WriteText(csv, text);
    EXPECT_EQ(Run({"import-csv", csv, cfg}), 1);
    EXPECT_NE(err.str().find("line 12:"), std::string::npos) << err.str();
    EXPECT_FALSE(test::FileExists(cfg));

    EXPECT_EQ(rwcfg::ParseCsv("Name,Number,Colour\n").errors.at(0),
              "line 1: unknown column \"Colour\"");
    EXPECT_EQ(rwcfg::ParseCsv("Name,Notes\n").errors.at(0), "line 1: no Number column");
}

TEST_F(RwCfgTest, ImportAddsAndUpdatesByTheProgramsKey) {
    // A new file gets default preferences.
    WriteText(csv, "Name,Number,FilterType\nHome,home,2\nShop,0123-45,Never Block\n");
    ASSERT_EQ(Run({"import-csv", csv, cfg}), 0) << err.str();
    // Updates "0123-45" (same key) and adds one more.
    WriteText(csv, "Number,Name,Notes,LastCallTime\n0123 45,Shop 2,n,2021-06-01 12:00\n9,Nine,,\n");
    ASSERT_EQ(Run({"import-csv", csv, cfg}), 0) << err.str();
    EXPECT_EQ(out.str(), "rwcfg: 1 entry added, 1 changed, 0 already as the CSV says; 3 in "
                         "the phone book\n");

    CRingwardenPreferences prefs;
    CPhoneBook book;
    CConfigFile config(*fs);
    ASSERT_EQ(config.Load(cfg, prefs, book), CConfigFile::LoadResult::loaded);
    EXPECT_EQ(prefs.NotificationSeconds, 5);
    ASSERT_EQ(book.GetCount(), 3u);
    const CPhoneBookEntry* home = book.Lookup("HOME");
    ASSERT_TRUE(home);
    EXPECT_EQ(home->FilterType, FilterAlwaysBlock);
    EXPECT_EQ(home->InPhoneBook, 1);
    EXPECT_EQ(home->LastCallTime.GetStatus(), CDateTime::null);
    EXPECT_EQ(home->OwnHoursStart, CDateTime::TimeOfDay(23, 0));
    const CPhoneBookEntry* shop = book.Lookup("012345");
    ASSERT_TRUE(shop);
    EXPECT_EQ(shop->Name, "Shop 2");
    EXPECT_EQ(shop->LastCallTime, CDateTime::FromParts(2021, 6, 1, 12, 0, 0));
    EXPECT_EQ(book.Lookup("9")->Name, "Nine");
}

TEST_F(RwCfgTest, PrefixEntriesTravelUnchangedAndNeverMeetTheirDigits) {
    // "0900" and "0900*" are two entries; "09-00*" is the second again.
    WriteText(csv, "Name,Number,FilterType\nHelpline,0900,0\nPremium,0900*,2\nAbroad,+44 870*,2\n");
    ASSERT_EQ(Run({"import-csv", csv, cfg}), 0) << err.str();
    WriteText(csv, "Name,Number\nPremium rate,09-00*\n");
    ASSERT_EQ(Run({"import-csv", csv, cfg}), 0) << err.str();
    EXPECT_EQ(out.str(), "rwcfg: 0 entries added, 1 changed, 0 already as the CSV says; 3 in "
                         "the phone book\n");
    ASSERT_EQ(Run({"export-csv", cfg}), 0) << err.str();
    const std::string exported = out.str();
    EXPECT_NE(exported.find(",0900*,"), std::string::npos) << exported;
    EXPECT_NE(exported.find(",+44 870*,"), std::string::npos) << exported;

    CRingwardenPreferences prefs;
    CPhoneBook book;
    CConfigFile config(*fs);
    ASSERT_EQ(config.Load(cfg, prefs, book), CConfigFile::LoadResult::loaded);
    EXPECT_EQ(book.Lookup("0900")->Name, "Helpline");
    EXPECT_EQ(book.Lookup("0900*")->Name, "Premium rate");
    EXPECT_EQ(book.Lookup("0900*")->Number, "09-00*"); // as the CSV wrote it
    EXPECT_EQ(book.LookupPrefix("44870123")->Name, "Abroad");
}

// What an import over a stored entry changes, and what it refuses. Each case
// starts from a file holding one fully described entry under 0555.
TEST_F(RwCfgTest, ImportChangesOnlyWhatTheCsvSaysAndRefusesWhatTheProgramWouldNot) {
    const auto stored = [] {
        auto e = test::Entry("Shop", "0555");
        e->Notes = "rings at dinner";
        e->FilterType = FilterAlwaysBlock;
        e->UseOwnHours = 1;
        e->AnswerMode = AnswerOwnMessage;
        e->OwnHoursStart = CDateTime::TimeOfDay(9, 15);
        e->OwnHoursEnd = CDateTime::TimeOfDay(17, 45);
        e->MessageFile = "C:\\go away.wav";
        e->LastCallTime = CDateTime::FromParts(2024, 5, 6, 7, 8, 9);
        return e;
    };
    const std::string longName(kMaxEntryNameLength + 1, 'n');
    // 'é' is two bytes of UTF-8 but one character: the limit counts characters.
    std::string longestName;
    for (size_t i = 0; i < kMaxEntryNameLength; ++i)
        longestName += "\xC3\xA9";
    using Check = std::function<void(const CPhoneBook&)>;
    struct Case {
        const char* what;
        std::string csv;
        std::vector<std::string> said; // in the report, or in the errors when refused
        Check check;                   // the book afterwards; none: the file is unchanged
    };
    const Case cases[] = {
        {"only the columns the CSV has change; a new entry gets the defaults",
         "Name,Number\nJo Bloggs,0-555\nNew,777\n",
         {"1 entry added, 1 changed, 0 already as the CSV says; 2 in the phone book"},
         [&](const CPhoneBook& book) {
             auto expected = stored();
             expected->Name = "Jo Bloggs";
             expected->Number = "0-555";
             ASSERT_TRUE(book.Lookup("0555"));
             EXPECT_TRUE(test::SameEntry(*book.Lookup("0555"), *expected));
             ASSERT_TRUE(book.Lookup("777"));
             EXPECT_TRUE(test::SameEntry(*book.Lookup("777"), *test::Entry("New", "777")));
         }},
        {"an empty value keeps the field, an empty text empties it",
         "Number,Name,FilterType,LastCallTime,Notes\n0555,Shop,,,\n",
         {"0 entries added, 1 changed"},
         [&](const CPhoneBook& book) {
             auto expected = stored();
             expected->Notes.clear();
             ASSERT_TRUE(book.Lookup("0555"));
             EXPECT_TRUE(test::SameEntry(*book.Lookup("0555"), *expected));
         }},
        {"the entry as it is already",
         "Name,Number,FilterType\nShop,0555,Always Block\n",
         {"nothing to change (1 entry already as the CSV says)"},
         nullptr},
        {"a number that repeats by its key",
         "Name,Number\nA,0555\nB,1\nC,0-555\n",
         {"line 4: number 0-555 repeats the number on line 2 (same key 0555)"},
         nullptr},
        {"a name as long as the entry sheet takes",
         "Name,Number\n" + longestName + ",0555\n",
         {"1 changed"},
         [&](const CPhoneBook& book) {
             ASSERT_TRUE(book.Lookup("0555"));
             EXPECT_EQ(book.Lookup("0555")->Name, std::string(kMaxEntryNameLength, '\xE9'));
         }},
        {"a name longer than the entry sheet takes",
         "Name,Number\nA,1\n" + longName + ",2\n",
         {"line 3: Name is longer than 32767 characters"},
         nullptr},
        {"a message file path longer than Browse gives",
         "Name,Number,MessageFile\nA,1,C:\\" + std::string(kMaxMessageFilePathLength, 'm') + "\n",
         {"line 2: MessageFile is longer than 4095 characters"},
         nullptr},
        {"a 50 MiB field",
         "Name,Number,Notes\nA,1,\"" + std::string(50 << 20, 'x') + "\"\nB,2,\n",
         {"line 2: Notes is longer than 32767 characters"},
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRingwardenPreferences prefs;
        CPhoneBook book;
        book.SetAt("0555", stored());
        CConfigFile config(*fs);
        ASSERT_TRUE(config.Save(cfg, prefs, book));
        const std::vector<uint8_t> before = ReadWholeFile(cfg);
        WriteText(csv, c.csv);

        const bool refused = !c.check && c.said[0].rfind("line ", 0) == 0;
        EXPECT_EQ(Run({"import-csv", csv, cfg}), refused ? 1 : 0) << err.str();
        const std::string said = refused ? err.str() : out.str();
        for (const std::string& text : c.said)
            EXPECT_NE(said.find(text), std::string::npos) << text << "\n" << said.substr(0, 500);
        if (refused)
            EXPECT_NE(err.str().find("nothing written"), std::string::npos);
        if (!c.check) {
            EXPECT_EQ(ReadWholeFile(cfg), before);
            continue;
        }
        CPhoneBook after;
        ASSERT_EQ(config.Load(cfg, prefs, after), CConfigFile::LoadResult::loaded);
        c.check(after);
    }
}

TEST_F(RwCfgTest, ADamagedFileIsNeitherExportedNorImportedInto) {
    std::vector<uint8_t> cut = FromHex(test::kOneEntryConfigHex);
    cut.resize(200);
    test::WriteWholeFile(cfg, cut);
    EXPECT_EQ(Run({"export-csv", cfg}), 1);
    EXPECT_EQ(out.str(), "");
    WriteText(csv, "Name,Number\nA,2\n");
    EXPECT_EQ(Run({"import-csv", csv, cfg}), 1);
    EXPECT_EQ(ReadWholeFile(cfg), cut);
    EXPECT_EQ(Run({"dump"}), 2);
    EXPECT_EQ(Run({"dump", dir.Path("missing.cfg")}), 1);
}

TEST_F(RwCfgTest, WithoutAFileTheProgramsOwnIsUsed) {
    // The tool beside the program passes the program's file as the default.
    WriteText(csv, "Name,Number\nA,1\n");
    ASSERT_EQ(rwcfg::Run({"import-csv", csv}, out, err, *fs, cfg), 0) << err.str();
    ASSERT_EQ(rwcfg::Run({"export-csv"}, out, err, *fs, cfg), 0) << err.str();
    EXPECT_NE(out.str().find("A,1"), std::string::npos) << out.str();
    out.str("");
    ASSERT_EQ(rwcfg::Run({"where"}, out, err, *fs, cfg), 0);
    EXPECT_EQ(out.str(), cfg + "\n");
    // No default known: FILE stays required.
    EXPECT_EQ(Run({"export-csv"}), 2);
    EXPECT_EQ(Run({"where"}), 2);
    // The program's file is only looked for (which may create folders) when
    // the command names none.
    const std::pair<std::vector<std::string>, bool> commands[] = {
        {{"dump", cfg}, true},
        {{"dump"}, false},
        {{"export-csv", cfg}, true},
        {{"export-csv"}, false},
        {{"import-csv", csv, cfg}, true},
        {{"import-csv", csv}, false},
        {{"where"}, false},
        {{}, false},
    };
    for (const auto& [args, names] : commands)
        EXPECT_EQ(rwcfg::NamesItsFile(args), names) << (args.empty() ? "" : args[0]);
}

} // namespace
} // namespace rw

namespace rw {
namespace {

TEST(RwCfgHistory, PrintsTheHistoryNewestFirstFilteredByDateAndNumber) {
    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden-calls.csv");
    const std::string text =
        HistoryHeader() +
        "2026-02-27T09:00:00+01:00,Fred,0123-456,number,Block (always),yes\r\n"
        "2026-03-01T10:00:00+01:00,Caf\xC3\xA9,0777,name and number,Permit (never block),no\r\n"
        "not a row\r\n"
        "2026-03-02T11:00:00+01:00,Fred,0123 456,number,Block (always),yes\r\n";
    test::WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    std::unique_ptr<CFileSystem> fs = CreateSystemFileSystem(false);
    std::ostringstream out, err;
    auto lines = [&](const std::vector<std::string>& args) {
        out.str("");
        err.str("");
        EXPECT_EQ(rwcfg::Run(args, out, err, *fs), 0) << err.str();
        std::vector<std::string> found;
        std::istringstream in(out.str());
        for (std::string line; std::getline(in, line);)
            found.push_back(line.substr(0, 25));
        return found;
    };
    using Lines = std::vector<std::string>;
    const std::string head = "Time                      ";
    EXPECT_EQ(lines({"history", path}),
              (Lines{head.substr(0, 25), "2026-03-02T11:00:00+01:00", "2026-03-01T10:00:00+01:00",
                     "2026-02-27T09:00:00+01:00"}));
    EXPECT_NE(err.str().find("1 row of"), std::string::npos);
    EXPECT_NE(out.str().find("Caf\xC3\xA9  "), std::string::npos);
    EXPECT_EQ(
        lines({"history", path, "--since", "2026-03-01"}),
        (Lines{head.substr(0, 25), "2026-03-02T11:00:00+01:00", "2026-03-01T10:00:00+01:00"}));
    // The same number however it is written.
    EXPECT_EQ(
        lines({"history", "--number", "0123456", path}),
        (Lines{head.substr(0, 25), "2026-03-02T11:00:00+01:00", "2026-02-27T09:00:00+01:00"}));

    EXPECT_EQ(rwcfg::Run({"history", path, "--since", "March"}, out, err, *fs), 2);
    EXPECT_EQ(rwcfg::Run({"history", dir.Path("none.csv")}, out, err, *fs), 1);
    EXPECT_TRUE(rwcfg::NamesItsFile({"history", path}));
    EXPECT_FALSE(rwcfg::NamesItsFile({"history", "--number", "0123"}));
}

// The history as a workbook, read back by a reader no one here wrote
// (Debian's openpyxl): the numbers as written (leading zeros and spaces
// kept, as text), the times as dates, every byte of a name intact, the
// header row frozen; --number picks the same calls as the table does.
TEST(RwCfgHistory, WritesAWorkbookThatASpreadsheetReadsAsWritten) {
    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden-calls.csv");
    const std::string text =
        HistoryHeader() +
        "2026-02-27T09:00:00+01:00,Fred,0123 456,number,Block (always),yes\r\n"
        "2026-03-01T10:00:05+01:00,\"Zo\xC3\xAB \"\"&<x>\"\"\",00441632960555,name and number,"
        "Permit (never block),no\r\n"
        "2026-03-02T11:00:00+01:00,<Blocked>,<Blocked>,withheld,Block (always),yes,"
        "20260302-110000.wav,2500\r\n";
    test::WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    std::unique_ptr<CFileSystem> fs = CreateSystemFileSystem(false);
    std::ostringstream out, err;
    auto read = [&](const std::string& book) {
        std::string lines;
        const std::string command =
            std::string("/usr/bin/python3 ") + RW_XLSX_READER + " '" + book + "' 2>&1";
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char buffer[512];
            while (fgets(buffer, sizeof buffer, pipe))
                lines += buffer;
            pclose(pipe);
        }
        return lines;
    };
    const std::string book = dir.Path("calls.xlsx");
    ASSERT_EQ(rwcfg::Run({"history", path, "--xlsx", book}, out, err, *fs), 0) << err.str();
    EXPECT_EQ(out.str(), "3 calls written to " + book + "\n");
    EXPECT_EQ(read(book),
              "frozen A2\n"
              "format yyyy-mm-dd hh:mm:ss\n"
              "s:Time\ts:Name\ts:Number\ts:Caller ID\ts:Action\ts:Answered and dropped\t"
              "s:Message\ts:Message seconds\n"
              "d:2026-02-27 09:00:00\ts:Fred\ts:0123 456\ts:number\ts:Block (always)\ts:yes\t"
              "-:\t-:\n"
              "d:2026-03-01 10:00:05\ts:Zo\xC3\xAB \"&<x>\"\ts:00441632960555\ts:name and number\t"
              "s:Permit (never block)\ts:no\t-:\t-:\n"
              "d:2026-03-02 11:00:00\ts:<Blocked>\ts:<Blocked>\ts:withheld\ts:Block (always)\t"
              "s:yes\ts:20260302-110000.wav\tn:2.5\n");
    // One caller, however the number is written.
    ASSERT_EQ(rwcfg::Run({"history", path, "--number", "0123456", "--xlsx", book}, out, err, *fs),
              0);
    const std::string one = read(book);
    EXPECT_NE(one.find("s:0123 456"), std::string::npos) << one;
    EXPECT_EQ(one.find("Zo"), std::string::npos) << one;
    // A folder that is not there: told, not written.
    EXPECT_EQ(rwcfg::Run({"history", path, "--xlsx", dir.Path("none/calls.xlsx")}, out, err, *fs),
              1);
    EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

// The user's date and time pictures as a spreadsheet's number format.
TEST(CallWorkbook, TimeFormatFromTheUsersPictures) {
    struct Case {
        const char* date;
        const char* time;
        const char* format;
    } cases[] = {
        {"dd/MM/yyyy", "HH:mm:ss", "dd/mm/yyyy hh:mm:ss"},
        {"M/d/yyyy", "h:mm:ss tt", "m/d/yyyy h:mm:ss AM/PM"},
        {"yyyy-MM-dd", "H:mm", "yyyy-mm-dd h:mm"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CCallWorkbook::TimeFormatFrom(c.date, c.time), c.format) << c.date;
}

// The statistics core's week of calls, written as the program writes them:
// the same figures come out, as text.
TEST(RwCfgStats, PrintsTheFiguresOfTheCoresWeekOfCalls) {
    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden-calls.csv");
    std::string text = HistoryHeader();
    for (const CHistoryRow& row : test::StatisticsWeek())
        text += FormatHistoryRow(row);
    text += "not a row\r\n";
    test::WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
    std::unique_ptr<CFileSystem> fs = CreateSystemFileSystem(false);
    std::ostringstream out, err;
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {{"stats", path, "--days", "7", "--today", "2026-03-04"},
         {"Today: 7 calls, 4 blocked (57%)", "This week: 11 calls, 6 blocked (55%)",
          "Last 7 days: 12 calls, 6 blocked (50%)", "    3  Sales (0161-496-0000)",
          "    4  Friend (01632 960001)", "2026-03-04, 1, 3, 1, 2"}},
        {{"stats", "--today", "2026-03-04", path},
         {"Last 30 days: 13 calls, 7 blocked (54%)", "    4  Sales (0161-496-0000)"}},
    };
    for (const Case& c : cases) {
        out.str("");
        err.str("");
        ASSERT_EQ(rwcfg::Run(c.args, out, err, *fs), 0) << err.str();
        for (const std::string& line : c.lines)
            EXPECT_NE(out.str().find(line + "\n"), std::string::npos) << line << "\n" << out.str();
        EXPECT_NE(err.str().find("1 row of"), std::string::npos);
    }
    for (const auto& bad :
         std::vector<std::vector<std::string>>{{"stats", path, "--days", "0"},
                                               {"stats", path, "--days", "367"},
                                               {"stats", path, "--days", "7x"},
                                               {"stats", path, "--today", "March"},
                                               {"stats", path, "--weeks", "1"}})
        EXPECT_EQ(rwcfg::Run(bad, out, err, *fs), 2) << bad[2];
    EXPECT_EQ(rwcfg::Run({"stats", dir.Path("none.csv")}, out, err, *fs), 1);
    EXPECT_TRUE(rwcfg::NamesItsFile({"stats", path}));
    EXPECT_FALSE(rwcfg::NamesItsFile({"stats", "--days", "7"}));
}

// A WAV header of 8 kHz 16-bit mono PCM declaring `declared` bytes of
// samples, followed by `actual` bytes.
std::vector<uint8_t> Wave(uint32_t declared, uint32_t actual) {
    auto u32 = [](std::vector<uint8_t>& out, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F'};
    u32(file, 36 + declared);
    for (char c : std::string("WAVEfmt "))
        file.push_back(static_cast<uint8_t>(c));
    u32(file, 16);
    for (int b : {1, 0, 1, 0})
        file.push_back(static_cast<uint8_t>(b));
    u32(file, 8000);
    u32(file, 16000);
    for (int b : {2, 0, 16, 0, int('d'), int('a'), int('t'), int('a')})
        file.push_back(static_cast<uint8_t>(b));
    u32(file, declared);
    file.resize(file.size() + actual);
    return file;
}

// The messages newest first, with their callers and lengths; a file
// damaged, cut short or not a WAV at all is listed as such, never trusted.
TEST_F(RwCfgTest, MessagesAreListedNewestFirst) {
    const std::string folder = dir.Path("Messages");
    ASSERT_TRUE(fs->MakeFolder(folder));
    test::WriteWholeFile(folder + "/20260302-231005-0123456.wav", Wave(16000 * 42, 16000 * 42));
    // A crash mid-message: the header claims more than is there.
    test::WriteWholeFile(folder + "/20260303-080000.wav", Wave(16000 * 90, 16000 * 3));
    test::WriteWholeFile(folder + "/20260304-120000-0777.wav", {'M', 'Z', 0, 0});
    WriteText(folder + "/heard.txt", "20260302-231005-0123456.wav\r\n");
    ASSERT_EQ(Run({"messages", folder}), 0) << err.str();
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 4u) << out.str();
    EXPECT_EQ(lines[1], "2026-03-04 12:00:00  0777                  damaged  no");
    EXPECT_EQ(lines[2], "2026-03-03 08:00:00  -                        0:03  no");
    EXPECT_EQ(lines[3], "2026-03-02 23:10:05  0123456                  0:42  yes");
    EXPECT_TRUE(rwcfg::NamesItsFile({"messages", folder}));
}

} // namespace
} // namespace rw
