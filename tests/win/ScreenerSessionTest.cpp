// The session's decisions about the user's data, driven by hand without a
// window: its timers fire when the test says, its calls are a list the test
// fills, and its file system can hold a file locked or refuse to write.
#include "../core/ConfigTestUtil.h"
#include "app/ScreenerSession.h"
#include "records/CallAction.h"
#include "records/CallHistory.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/LoggedCall.h"
#include "records/VerifiedFile.h"
#include "app/CallHookEvent.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace rw {
namespace {

using test::Entry;
using test::FileExists;
using test::ReadWholeFile;

class CManualTimers : public CSessionTimers {
public:
    std::map<Timer, unsigned> started;
    std::set<Timer> posted;
    uint32_t now = 1000;
    unsigned waited = 0;

    void Start(Timer timer, unsigned ms) override { started[timer] = ms; }
    void Post(Timer timer) override { posted.insert(timer); }
    void Stop(Timer timer) override {
        started.erase(timer);
        posted.erase(timer);
    }
    uint32_t Now() override { return now; }
    void Wait(unsigned ms) override {
        waited += ms;
        now += ms;
    }
    bool Due(Timer timer) const { return started.count(timer) || posted.count(timer); }
    // The timer comes round (a posted one only once).
    void Fire(CScreenerSession& session, Timer timer) {
        posted.erase(timer);
        session.OnTimer(timer);
    }
};

class CListedCalls : public CSessionCallLog {
public:
    std::vector<std::unique_ptr<CLoggedCall>> calls;
    size_t live = 0;

    size_t CallCount() const override { return calls.size(); }
    CLoggedCall& Call(size_t index) override { return *calls[index]; }
    size_t LiveCallCount() const override { return live; }
    std::set<size_t> recording; // calls whose message is still being finished
    std::set<size_t> writing;   // the same, as the hook's tests name them
    bool MessagePending(size_t index) const override {
        return recording.count(index) != 0 || writing.count(index) != 0;
    }

    size_t Add(const std::string& name, const std::string& number) {
        auto call = std::make_unique<CLoggedCall>();
        call->SetCallTime(CDateTime::FromParts(2026, 12, 1, 10, 0, static_cast<int>(calls.size())));
        call->SetName(name);
        call->SetNumber(number);
        call->SetCallerIdKind(CallerIdNameAndNumber);
        call->MakeLookupKey();
        call->SetAction(ActionPermitNeverBlockDefault);
        calls.push_back(std::move(call));
        return calls.size() - 1;
    }
};

class CRecordedReports : public CScreenerSessionNotify {
public:
    std::vector<std::string> said;

    void OnConfigurationUnreadable(const std::string&, const std::string&) override {
        said.push_back("unreadable");
    }
    void OnConfigurationReadOnly(const std::string&) override { said.push_back("read-only"); }
    void OnConfigurationDamaged(const std::string&, size_t read, size_t declared,
                                const std::string& keptAs) override {
        said.push_back("damaged " + std::to_string(read) + "/" + std::to_string(declared) +
                       (keptAs.empty() ? "" : " kept"));
    }
    void OnConfigurationRead() override { said.push_back("read"); }
    void OnSaveFailed(const std::string& path, const std::string&) override {
        said.push_back("save failed " + std::filesystem::path(path).filename().string());
    }
    void OnEarlierCallsReady(size_t, size_t count) override {
        said.push_back("earlier " + std::to_string(count));
    }
    void OnCallerRenamed(size_t) override {}
    void OnHistoryWaiting(const std::string&, const std::string&, size_t rows) override {
        said.push_back("rows waiting " + std::to_string(rows));
    }
    void OnOverrideChanged() override { said.push_back("override"); }
    void OnOverrideReminder() override { said.push_back("reminder"); }
    void OnCallHookFailed(const std::string& command, const std::string& reason) override {
        said.push_back("hook failed " + command + (reason.empty() ? "" : " (reason)"));
    }
};

// The system's files, with some held by "another program": a locked file
// is there but cannot be opened, and a refused folder takes no new file.
class CHeldFileSystem : public CFileSystem {
public:
    std::set<std::string> locked;
    bool refuseCreate = false;

    std::unique_ptr<CReadFile> OpenRead(const std::string& path) override {
        return locked.count(path) ? nullptr : m_real->OpenRead(path);
    }
    std::unique_ptr<CWriteFile> Create(const std::string& path) override {
        return refuseCreate ? nullptr : m_real->Create(path);
    }
    std::unique_ptr<CAppendFile> OpenAppend(const std::string& path) override {
        return locked.count(path) ? nullptr : m_real->OpenAppend(path);
    }
    bool Replace(const std::string& from, const std::string& to) override {
        return !locked.count(to) && m_real->Replace(from, to);
    }
    bool Remove(const std::string& path) override { return m_real->Remove(path); }
    bool Exists(const std::string& path) override {
        return locked.count(path) || m_real->Exists(path);
    }
    bool Stamp(const std::string& path, CFileStamp& stamp) override {
        return m_real->Stamp(path, stamp);
    }
    std::vector<std::string> FindFiles(const std::string& prefix) override {
        return m_real->FindFiles(prefix);
    }
    bool MakeFolder(const std::string& path) override { return m_real->MakeFolder(path); }
    std::string LastErrorText() const override {
        return refuseCreate ? "refused" : m_real->LastErrorText();
    }

private:
    std::unique_ptr<CFileSystem> m_real = CreateSystemFileSystem(false);
};

class ScreenerSessionTest : public testing::Test {
protected:
    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden.cfg");
    const std::string historyPath = HistoryPathFor(path);
    CSettableClock clock{CDateTime::FromParts(2026, 12, 1, 12, 0, 0)};
    CManualTimers timers;
    CListedCalls calls;
    CRecordedReports reports;
    CHeldFileSystem* fs = nullptr;

    std::unique_ptr<CScreenerSession> Session() {
        auto held = std::make_unique<CHeldFileSystem>();
        fs = held.get();
        auto session = std::make_unique<CScreenerSession>(clock, timers, &reports, std::move(held));
        session->SetConfigPath(path);
        session->SetCallLog(&calls);
        return session;
    }
    std::unique_ptr<CScreenerSession> Started() {
        auto session = Session();
        session->LoadSettings();
        session->OpenHistory();
        session->LoadConfiguration();
        session->LoadEarlierCalls();
        return session;
    }
    // A file holding the entries `names` (numbered 1, 2 ...), as another
    // program (rwcfg, a backup) writes it.
    void WriteBook(const std::vector<std::string>& names) {
        CRingwardenPreferences preferences;
        CPhoneBook book;
        for (size_t i = 0; i < names.size(); ++i) {
            auto entry = Entry(names[i], std::to_string(i + 1));
            const std::string key = entry->LookupKey;
            book.SetAt(key, std::move(entry));
        }
        auto system = CreateSystemFileSystem(false);
        CConfigFile file(*system);
        ASSERT_TRUE(file.Save(path, preferences, book));
    }
    std::vector<std::string> BookOnDisk() {
        CRingwardenPreferences preferences;
        CPhoneBook book;
        auto system = CreateSystemFileSystem(false);
        CConfigFile(*system).Load(path, preferences, book);
        std::vector<std::string> names;
        book.ForEach([&](const std::string&, CPhoneBookEntry& e) { names.push_back(e.Name); });
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<CHistoryRow> HistoryOnDisk() {
        auto system = CreateSystemFileSystem(false);
        std::unique_ptr<CReadFile> file = system->OpenRead(historyPath);
        return file ? ReadHistory(*file).rows : std::vector<CHistoryRow>();
    }
};

// Loading, retrying and saving, from the start to a save, as sequences of
// what the session reports and leaves on disk.
TEST_F(ScreenerSessionTest, LoadRetryAndSaveSequences) {
    struct Case {
        const char* name;
        bool exists;
        bool lockedAtStart;
        bool refuseCreate;
        std::vector<std::string> said; // after the start, a retry and two saves
        std::vector<std::string> onDisk;
    };
    const Case cases[] = {
        {"missing: created by the first save", false, false, false, {}, {"B"}},
        {"read: saved with the change", true, false, false, {}, {"A", "B"}},
        {"locked, then read by the background retry",
         true,
         true,
         false,
         {"unreadable", "read"},
         {"A", "B"}},
        {"save refused: told once for the same reason",
         true,
         false,
         true,
         {"save failed Ringwarden.cfg"},
         {"A"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(path);
        reports.said.clear();
        timers = CManualTimers();
        if (c.exists)
            WriteBook({"A"});
        auto session = Session();
        session->SetLoadRetry({3, 100, 5000});
        if (c.lockedAtStart)
            fs->locked.insert(path);
        session->LoadConfiguration();
        if (c.lockedAtStart) {
            EXPECT_EQ(timers.waited, 200u); // three quick tries
            EXPECT_TRUE(session->ConfigurationUnread());
            EXPECT_FALSE(session->Save(true)) << "nothing is written over an unread file";
            EXPECT_EQ(timers.started[CSessionTimers::LoadRetry], 5000u);
            timers.Fire(*session, CSessionTimers::LoadRetry); // still locked
            fs->locked.clear();
            timers.Fire(*session, CSessionTimers::LoadRetry);
            EXPECT_FALSE(timers.Due(CSessionTimers::LoadRetry));
        }
        fs->refuseCreate = c.refuseCreate;
        auto entry = Entry("B", "2");
        const std::string key = entry->LookupKey;
        session->PhoneBook().SetAt(key, std::move(entry));
        session->Save(true);
        session->Save(true);
        EXPECT_EQ(reports.said, c.said);
        EXPECT_EQ(BookOnDisk(), c.onDisk);
    }
}

TEST_F(ScreenerSessionTest, TheCallSaveWaitsWhileACallIsUpOrASheetIsOpen) {
    WriteBook({"A"});
    auto session = Started();
    session->SetCallSaveDelay(3000);
    const size_t call = calls.Add("A", "1");
    const std::vector<uint8_t> before = ReadWholeFile(path);
    session->PhoneBook().Lookup("1")->LastCallTime = calls.calls[call]->GetCallTime();
    session->OnCallLogged(call);
    session->OnCallChanged(call); // coalesced with the first
    EXPECT_EQ(timers.started[CSessionTimers::CallSave], 3000u);

    calls.live = 1;
    timers.Fire(*session, CSessionTimers::CallSave);
    EXPECT_EQ(ReadWholeFile(path), before) << "saved while a call was up";
    calls.live = 0;
    session->SetSheetOpen(true);
    timers.Fire(*session, CSessionTimers::CallSave);
    EXPECT_EQ(ReadWholeFile(path), before) << "saved under an open sheet";
    session->SetSheetOpen(false);
    timers.Fire(*session, CSessionTimers::CallSave);
    EXPECT_NE(ReadWholeFile(path), before);
    EXPECT_FALSE(timers.Due(CSessionTimers::CallSave));
}

TEST_F(ScreenerSessionTest, HistoryRowsWaitWhileTheFileIsLockedAndOutliveTheRun) {
    {
        auto session = Started();
        session->SetHistoryRetryInterval(10000);
        fs->locked.insert(historyPath);
        for (const char* name : {"A", "B"}) {
            const size_t call = calls.Add(name, name);
            session->OnCallLogged(call);
            session->OnCallEnded(call);
        }
        EXPECT_TRUE(timers.posted.count(CSessionTimers::HistoryWrite));
        timers.Fire(*session, CSessionTimers::HistoryWrite);
        EXPECT_EQ(session->HistoryLog().Waiting(), 2u);
        EXPECT_EQ(timers.started[CSessionTimers::HistoryWrite], 10000u);
        // Told once, when they have waited a few minutes.
        timers.now += CScreenerSession::kHistoryWaitTellMs;
        timers.Fire(*session, CSessionTimers::HistoryWrite);
        timers.Fire(*session, CSessionTimers::HistoryWrite);
        EXPECT_EQ(reports.said, (std::vector<std::string>{"earlier 0", "rows waiting 2"}));
        // Still locked at exit: kept for the next start.
        session->Quit();
        session->WriteLastRows();
        EXPECT_TRUE(FileExists(CCallHistoryLog::WaitingPathFor(historyPath)));
    }
    calls.calls.clear();
    auto next = Started();
    timers.Fire(*next, CSessionTimers::HistoryWrite);
    next->OnCallLogged(calls.Add("C", "3"));
    next->OnCallEnded(0);
    timers.Fire(*next, CSessionTimers::HistoryWrite);
    std::vector<std::string> written;
    for (const CHistoryRow& row : HistoryOnDisk())
        written.push_back(row.name);
    EXPECT_EQ(written, (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_FALSE(FileExists(CCallHistoryLog::WaitingPathFor(historyPath)));
}

// Each call makes one row, written once its outcome is final, however often
// it changed on the way; until then it is kept in the unfinished file.
TEST_F(ScreenerSessionTest, EachCallIsWrittenOnceWithItsLastOutcome) {
    const std::string unfinished = CCallHistoryLog::UnfinishedPathFor(historyPath);
    struct Case {
        const char* what;
        // What happens to call 0 after it is logged; the session is the
        // second argument.
        std::function<void(CLoggedCall&, CScreenerSession&)> events;
        bool endsAtExit; // still up: written by the exit
        int32_t action;
        std::string name;
        bool answeredAndDropped;
        std::string message;
    };
    const Case cases[] = {
        {"blocked, answered, dropped",
         [](CLoggedCall& call, CScreenerSession& s) {
             s.OnCallChanged(0); // answered
             call.SetAnsweredAndDropped(true);
             s.OnCallEnded(0);
         },
         false, ActionBlockAlways, "Sales", true, ""},
        {"caller ID after the first ring",
         [](CLoggedCall& call, CScreenerSession& s) {
             call.SetName("Neighbour");
             call.SetAction(ActionPermitNeverBlock);
             s.OnCallChanged(0);
             s.OnCallEnded(0);
         },
         false, ActionPermitNeverBlock, "Neighbour", false, ""},
        {"a message finished after the call went idle",
         [this](CLoggedCall& call, CScreenerSession& s) {
             calls.recording.insert(0);
             call.SetAnsweredAndDropped(true);
             s.OnCallEnded(0);
             timers.Fire(s, CSessionTimers::HistoryWrite);
             EXPECT_TRUE(HistoryOnDisk().empty()) << "written before its message was known";
             calls.recording.clear();
             call.SetRecording("20261201-100000-1.wav", 3000);
             s.OnCallChanged(0);
         },
         false, ActionBlockAlways, "Sales", true, "20261201-100000-1.wav"},
        {"still up at exit",
         [](CLoggedCall& call, CScreenerSession& s) {
             call.SetAction(ActionBlockByTime);
             s.OnCallChanged(0);
         },
         true, ActionBlockByTime, "Sales", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(historyPath);
        calls.calls.clear();
        timers = CManualTimers();
        auto session = Started();
        const size_t index = calls.Add("Sales", "1");
        CLoggedCall& call = *calls.calls[index];
        call.SetAction(c.name == "Neighbour" ? ActionWaitingForCallerId : ActionBlockAlways);
        if (c.name == "Neighbour")
            call.SetName("");
        session->OnCallLogged(index);
        timers.Fire(*session, CSessionTimers::HistoryWrite);
        EXPECT_TRUE(FileExists(unfinished)) << "a call up is kept for a crash";
        c.events(call, *session);
        timers.Fire(*session, CSessionTimers::HistoryWrite);
        EXPECT_EQ(FileExists(unfinished), c.endsAtExit);
        session->Quit();
        session->WriteLastRows();
        EXPECT_FALSE(FileExists(unfinished));

        auto system = CreateSystemFileSystem(false);
        std::unique_ptr<CReadFile> file = system->OpenRead(historyPath);
        ASSERT_TRUE(file);
        const CHistoryReadResult read = ReadHistory(*file);
        EXPECT_EQ(read.rowsInFile, 1u) << "one call, one row";
        ASSERT_EQ(read.rows.size(), 1u);
        EXPECT_EQ(read.rows[0].action, c.action);
        EXPECT_EQ(read.rows[0].name, c.name);
        EXPECT_EQ(read.rows[0].answeredAndDropped, c.answeredAndDropped);
        EXPECT_EQ(read.rows[0].message, c.message);
    }
}

// A run that ends without quitting (a crash, the power) leaves the calls it
// had up in the unfinished file; the next start writes them once.
TEST_F(ScreenerSessionTest, ACallUpAtACrashIsWrittenAtTheNextStart) {
    const std::string unfinished = CCallHistoryLog::UnfinishedPathFor(historyPath);
    {
        auto session = Started();
        const size_t done = calls.Add("Done", "1");
        session->OnCallLogged(done);
        session->OnCallEnded(done);
        session->OnCallLogged(calls.Add("Up", "2"));
        timers.Fire(*session, CSessionTimers::HistoryWrite);
        // Destroyed with no exit: what a crash leaves.
    }
    ASSERT_TRUE(FileExists(unfinished));
    calls.calls.clear();
    for (int run = 0; run < 2; ++run) {
        auto next = Started();
        timers.Fire(*next, CSessionTimers::HistoryWrite);
        EXPECT_FALSE(FileExists(unfinished));
        next->Quit();
        next->WriteLastRows();
    }
    std::vector<std::string> written;
    for (const CHistoryRow& row : HistoryOnDisk())
        written.push_back(row.name);
    EXPECT_EQ(written, (std::vector<std::string>{"Done", "Up"}));
    auto system = CreateSystemFileSystem(false);
    std::unique_ptr<CReadFile> file = system->OpenRead(historyPath);
    ASSERT_TRUE(file);
    EXPECT_EQ(ReadHistory(*file).rowsInFile, 2u) << "written once";
}

// Each way the review found of losing the user's data, lived through the
// session: the data is there at the end.
TEST_F(ScreenerSessionTest, ImportedWhileRunningTheEntriesStayAndTheStampsToo) {
    WriteBook({"A"});
    auto session = Started();
    // rwcfg import-csv, a restored backup or a second copy writes the file.
    WriteBook({"A", "B", "C"});
    const size_t call = calls.Add("A", "1");
    const CDateTime stamped = calls.calls[call]->GetCallTime();
    session->PhoneBook().Lookup("1")->LastCallTime = stamped;
    session->OnCallLogged(call);
    timers.Fire(*session, CSessionTimers::CallSave);
    EXPECT_EQ(BookOnDisk(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_NE(session->PhoneBook().Lookup("3"), nullptr);
    EXPECT_EQ(session->PhoneBook().Lookup("1")->LastCallTime, stamped);
    // The one-click block after it keeps them too.
    WriteBook({"A", "B", "C", "D"});
    EXPECT_TRUE(session->SetCallerFilter(call, FilterAlwaysBlock));
    EXPECT_EQ(BookOnDisk(), (std::vector<std::string>{"A", "B", "C", "D"}));
    EXPECT_EQ(session->PhoneBook().Lookup("1")->FilterType, FilterAlwaysBlock);
}

TEST_F(ScreenerSessionTest, OneClickWaitsForAnOpenSheetAndAnEditKeepsTheCallsTimes) {
    WriteBook({"A"});
    auto session = Started();
    const size_t call = calls.Add("A", "1");
    CPhoneBookEntry edited = *session->PhoneBook().Lookup("1");
    session->SetSheetOpen(true);
    EXPECT_FALSE(session->SetCallerFilter(call, FilterAlwaysBlock));
    // A call stamps the entry while its sheet is open; OK keeps the stamp.
    session->PhoneBook().Lookup("1")->LastCallTime = calls.calls[call]->GetCallTime();
    edited.Notes = "from the sheet";
    session->SetSheetOpen(false);
    session->ConfirmEntryEdit("1", edited);
    const CPhoneBookEntry* entry = session->PhoneBook().Lookup("1");
    EXPECT_EQ(entry->Notes, "from the sheet");
    EXPECT_EQ(entry->LastCallTime, calls.calls[call]->GetCallTime());
}

TEST_F(ScreenerSessionTest, ADamagedFileIsKeptWholeAndToldBeforeAnythingIsSaved) {
    WriteBook({"A", "B", "C"});
    std::vector<uint8_t> bytes = ReadWholeFile(path);
    bytes.resize(bytes.size() - 20); // torn in the last entry
    test::WriteWholeFile(path, bytes);
    auto session = Started();
    ASSERT_EQ(reports.said.size(), 2u);
    EXPECT_EQ(reports.said[0], "damaged 2/3 kept");
    EXPECT_EQ(ReadWholeFile(CConfigFile::BackupPath(path)), bytes);
    EXPECT_FALSE(session->Save(true)) << "saved before the user chose";
    session->GoOnWithDamagedFile(true);
    EXPECT_TRUE(session->Save(true));
    EXPECT_TRUE(session->Save(true));
    EXPECT_EQ(BookOnDisk(), (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(FileExists(CConfigFile::BackupPath(path, 2))) << "one copy per damage";

    // Not going on: nothing is written over the file.
    test::WriteWholeFile(path, bytes);
    auto declined = Started();
    declined->GoOnWithDamagedFile(false);
    EXPECT_FALSE(declined->Save(true));
    EXPECT_EQ(ReadWholeFile(path), bytes);
}

TEST_F(ScreenerSessionTest, ASettingThatCannotBeWrittenIsTold) {
    auto session = Started();
    const std::string ini = session->SettingsPath();
    test::WriteWholeFile(ini, {'\n'});
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_READONLY);
    CSettings settings = session->Settings();
    settings.SetRepeatedCallMinutes(7);
    session->ConfirmConfiguration(settings);
    SetFileAttributesA(ini.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(reports.said.back(), "save failed Ringwarden.ini");
    EXPECT_EQ(session->Rules().RepeatedCalls().Minutes(), 7) << "still holds for this run";
}

// The numbers that passed the key check outlive a restart; a damaged or
// hostile list never stops the start.
TEST_F(ScreenerSessionTest, VerifiedCallersOutliveARestartAndADamagedListIsHarmless) {
    {
        auto session = Started();
        const size_t call = calls.Add("A", "01632 960555");
        session->Rules().Verified().Verify(calls.calls[call]->GetLookupKey(), clock.UtcSeconds());
        session->OnCallChanged(call);
        timers.Fire(*session, CSessionTimers::CallSave);
        EXPECT_TRUE(FileExists(VerifiedPathFor(path)));
    }
    {
        auto session = Started();
        EXPECT_TRUE(session->Rules().Verified().IsVerified("01632960555", clock.UtcSeconds()));
    }
    std::vector<uint8_t> hostile(70000, '\t');
    for (size_t i = 0; i < hostile.size(); i += 7)
        hostile[i] = static_cast<uint8_t>(i * 31);
    test::WriteWholeFile(VerifiedPathFor(path), hostile);
    auto session = Started();
    EXPECT_FALSE(session->Rules().Verified().IsVerified("01632960555", clock.UtcSeconds()));
}

// An override outlives a restart in Ringwarden.ini, ends when its end
// comes (by the clock, or by the time that has really passed when the
// clock is set back), and one without an end is recalled at each start.
TEST_F(ScreenerSessionTest, AnOverrideOutlivesARestartAndNeverLastsLongerThanChosen) {
    {
        auto session = Started();
        session->SetOverrideFor(OverrideMode::Quiet, 30);
        EXPECT_EQ(session->OverrideNow(), OverrideMode::Quiet);
        EXPECT_EQ(timers.started[CSessionTimers::OverrideCheck],
                  CScreenerSession::kOverrideCheckMs);
    }
    {
        // Restarted ten minutes later: still on, with the same end.
        clock.Set(CDateTime(clock.Now().GetDays() + 600 / 86400.0));
        auto session = Started();
        EXPECT_EQ(session->OverrideNow(), OverrideMode::Quiet);
        EXPECT_EQ(session->OverrideUntil(), clock.UtcSeconds() + 20 * 60);
        // The clock is set back an hour: the tick count still ends it
        // twenty minutes on.
        clock.Set(CDateTime(clock.Now().GetDays() - 3600 / 86400.0));
        timers.now += 20 * 60 * 1000;
        reports.said.clear();
        timers.Fire(*session, CSessionTimers::OverrideCheck);
        EXPECT_EQ(session->OverrideNow(), OverrideMode::None);
        EXPECT_EQ(reports.said, std::vector<std::string>{"override"});
        EXPECT_FALSE(timers.Due(CSessionTimers::OverrideCheck));
    }
    {
        auto session = Started();
        EXPECT_EQ(session->OverrideNow(), OverrideMode::None) << "the end was kept";
        session->SetOverrideFor(OverrideMode::AllRing, 0);
    }
    reports.said.clear();
    auto session = Started();
    EXPECT_EQ(session->OverrideNow(), OverrideMode::AllRing);
    EXPECT_EQ(session->OverrideUntil(), CScreeningOverride::kNever);
    ASSERT_FALSE(reports.said.empty());
    EXPECT_EQ(reports.said.front(), "reminder");
    reports.said.clear();
    timers.now += CScreenerSession::kOverrideReminderMs;
    timers.Fire(*session, CSessionTimers::OverrideCheck);
    EXPECT_EQ(reports.said, std::vector<std::string>{"reminder"}) << "once a day";
    // "Until 7:00": the end of the out-of-hours window, 23:00 to 08:00 by
    // default, so 08:00 tomorrow at noon.
    clock.Set(CDateTime::FromParts(2026, 12, 1, 12, 0, 0));
    session->SetOverrideUntilWindowEnds(OverrideMode::Quiet);
    EXPECT_EQ(session->OverrideUntil(), clock.UtcSeconds() + 20 * 3600);
}

// The [Messages] section of Ringwarden.ini, read with defaults for what is
// missing or damaged, and what it lets a blocked caller do.
TEST_F(ScreenerSessionTest, MessageSettingsDecideWhoMayLeaveOne) {
    const std::string ini = dir.Path("Ringwarden.ini");
    struct Case {
        const char* text;
        bool fromTime, fromUnknown;
        int seconds;
        bool balloon;
    } cases[] = {
        {nullptr, true, true, 120, true},
        {"[Messages]\r\nFromTimeBlocked=0\r\nMaxSeconds=300\r\nBalloon=0\r\n", false, true, 300,
         false},
        {"[Messages]\r\nFromUnknownCallers=0\r\nMaxSeconds= 30 \r\n", true, false, 30, true},
        {"[Messages]\r\nMaxSeconds=29\r\n", true, true, 120, true},
        {"[Messages]\r\nMaxSeconds=301\r\n", true, true, 120, true},
        {"[Messages]\r\nFromTimeBlocked=no\r\nBalloon=2\r\nMaxSeconds=60s\r\n", true, true, 120,
         true},
        {"[Screening]\r\nMaxSeconds=60\r\nFromTimeBlocked=0\r\n", true, true, 120, true},
    };
    CLoggedCall timeBlocked, unknown;
    timeBlocked.SetAction(ActionBlockByTime);
    unknown.SetAction(ActionBlockAlwaysDefault);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text ? c.text : "no file");
        DeleteFileA(ini.c_str());
        if (c.text)
            test::WriteWholeFile(ini, std::vector<uint8_t>(c.text, c.text + strlen(c.text)));
        auto session = Started();
        const CMessageSettings& settings = session->MessageSettings();
        EXPECT_EQ(settings.Rules().fromTimeBlocked, c.fromTime);
        EXPECT_EQ(settings.Rules().fromUnknownCallers, c.fromUnknown);
        EXPECT_EQ(settings.MaxSeconds(), c.seconds);
        EXPECT_EQ(settings.Balloon(), c.balloon);
        EXPECT_EQ(session->Messages().TakesMessageFrom(timeBlocked), c.fromTime);
        EXPECT_EQ(session->Messages().TakesMessageFrom(unknown), c.fromUnknown);
        EXPECT_EQ(session->Messages().MessageMaxSeconds(), static_cast<unsigned>(c.seconds));
    }

    // The page's changes hold at once and come back at the next start; the
    // messages live beside the configuration.
    DeleteFileA(ini.c_str());
    auto session = Started();
    CMessageSettings changed = session->MessageSettings();
    changed.SetRules({true, false});
    changed.SetMaxSeconds(45);
    changed.SetBalloon(false);
    session->ConfirmMessageSettings(changed);
    EXPECT_FALSE(session->Messages().TakesMessageFrom(unknown));
    EXPECT_EQ(Started()->MessageSettings(), changed);
    const std::string made = session->Messages().NewMessagePath(timeBlocked);
    EXPECT_EQ(made.rfind(dir.Path("Messages") + "\\", 0), 0u) << made;

    // A run that cannot save its configuration records nothing.
    auto readOnly = Session();
    CConfigLocation::Result location;
    location.path = path;
    location.canSave = false;
    readOnly->SetConfigLocation(location);
    readOnly->LoadSettings();
    readOnly->LoadConfiguration();
    EXPECT_FALSE(readOnly->Messages().TakesMessageFrom(timeBlocked));
}

} // namespace
} // namespace rw

namespace rw {
namespace {

// The program for each call is given a call once, when its outcome is final
// (a message still being written decides it), only for the calls its
// events ask for, and never while the call's own notification runs.
TEST_F(ScreenerSessionTest, TheProgramForEachCallGetsEachFinalOutcomeOnceAsAsked) {
    const std::string missing = dir.Path("no such program.exe");
    struct Case {
        HookEvents events;
        bool permitted, blocked, message; // which of the three calls get a run
    } cases[] = {
        {HookEvents::All, true, true, true},
        {HookEvents::Blocked, false, true, true},
        {HookEvents::Messages, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(HookEventsName(c.events));
        CSettings settings;
        settings.SetHookCommand(missing);
        settings.SetHookEvents(c.events);
        ASSERT_TRUE(settings.Save(CSettings::PathBeside(path)));
        calls.calls.clear();
        reports.said.clear();
        auto session = Started();
        reports.said.clear();
        const CCallHook& hook = session->CallHook();

        const size_t permitted = calls.Add("Friend", "0161 100");
        const size_t blocked = calls.Add("Sales", "0800 200");
        calls.Call(blocked).SetAction(ActionBlockAlways);
        const size_t message = calls.Add("Surgery", "0161 300");
        calls.Call(message).SetAction(ActionBlockByTime);
        for (size_t i : {permitted, blocked, message}) {
            session->OnCallLogged(i);
            session->OnCallChanged(i);
        }
        EXPECT_EQ(hook.WaitingCount(), 0u) << "nothing before a call ends";

        session->OnCallEnded(permitted);
        session->OnCallEnded(blocked);
        calls.writing.insert(message);
        session->OnCallEnded(message);
        const size_t beforeMessage = hook.WaitingCount();
        EXPECT_EQ(beforeMessage, size_t(c.permitted) + size_t(c.blocked));
        calls.Call(message).SetRecording("20261201-120000.wav", 4000);
        calls.writing.clear();
        session->OnCallChanged(message);
        session->OnCallChanged(message); // told twice, run once
        EXPECT_EQ(hook.WaitingCount(), beforeMessage + size_t(c.message));
        // Started from the message loop, never from the call's notification.
        EXPECT_TRUE(timers.posted.count(CSessionTimers::CallHook));
        EXPECT_TRUE(reports.said.empty());

        // A program that cannot be started is told once, with the reason.
        timers.Fire(*session, CSessionTimers::CallHook);
        EXPECT_TRUE(hook.Idle());
        EXPECT_FALSE(timers.Due(CSessionTimers::CallHook));
        EXPECT_EQ(reports.said, std::vector<std::string>{"hook failed " + missing + " (reason)"});
        session->OnCallEnded(calls.Add("Again", "0161 400"));
        timers.Fire(*session, CSessionTimers::CallHook);
        EXPECT_EQ(reports.said.size(), 1u);
    }
}

} // namespace
} // namespace rw
