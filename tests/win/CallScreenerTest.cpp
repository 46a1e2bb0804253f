// The call screener end to end, without a window: the line simulator plays
// the caller, the telephony layer delivers its events, and the screener logs,
// screens, answers, plays, listens for the code and lets go.
#include "LineSim.h"
#include "app/CallScreener.h"
#include "app/CommandLine.h"
#include "audio/WaveFileWriter.h"
#include "audio/WavePlayer.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiLine.h"
#include "telephony/TapiRegistration.h"
#include "../support/ExePath.h"
#include "../support/MessagePump.h"
#include "../support/SimCaller.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace rw {
namespace {

using namespace rw::linesim;
using test::Caller;
using test::PumpUntil;

std::string TempDir() {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return dir;
}

std::string TempPath(const char* name) {
    return TempDir() + name;
}

// A PCM message of `ms` milliseconds: 8 kHz, 16-bit mono.
std::string WriteMessage(const char* name, unsigned ms) {
    const uint32_t data = 8000 * 2 * ms / 1000;
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    std::string file = "RIFF" + u32(36 + data) + "WAVEfmt " + u32(16);
    file += std::string("\x01\x00\x01\x00", 4) + u32(8000) + u32(16000);
    file += std::string("\x02\x00\x10\x00", 4) + "data" + u32(data) + std::string(data, '\0');
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(file.data(), file.size());
    return path;
}

// Reading a message file whose name holds "rw-slow" takes this long, as
// on a network path that is slow to answer; g_slowReading holds meanwhile.
constexpr DWORD kSlowMs = 500;
std::atomic<bool> g_slowReading{false};
void SlowRead(const char* path) {
    if (!std::strstr(path, "rw-slow"))
        return;
    g_slowReading = true;
    Sleep(kSlowMs);
    g_slowReading = false;
}

// What the screener told its window, in order.
struct Recorder : CCallScreenerNotify {
    std::vector<std::string> events;
    void OnCallLogged(size_t i) override { events.push_back("logged " + std::to_string(i)); }
    void OnCallChanged(size_t i) override { events.push_back("changed " + std::to_string(i)); }
    void OnTrayTipChanged(UINT id) override { events.push_back("tip " + std::to_string(id)); }
    void OnShowNotification(size_t i) override { events.push_back("show " + std::to_string(i)); }
    void OnRefreshNotification(size_t i) override {
        events.push_back("refresh " + std::to_string(i));
    }
    // Kept apart, so that the order above reads as before.
    std::vector<bool> outcomes;
    std::vector<size_t> dropFailed;
    void OnCallerIdOutcome(bool arrived) override { outcomes.push_back(arrived); }
    void OnDropFailed(size_t i) override { dropFailed.push_back(i); }
};

// Lets whatever is already posted arrive.
void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; });
}

// Long enough that no test's call reaches it unless it sets its own.
constexpr UINT kHoldLimitMs = 60000;

CallRecord Record(uint32_t id) {
    CallRecord r{};
    GetCallRecord(id, &r);
    return r;
}

class CallScreenerTest : public testing::Test {
protected:
    void SetUp() override {
        SetShowWindow(false);
        SetPrintSummary(false);
        SetRingTiming(50, 200);
        SetReplyDelay(0);
        SetTapiApi(&loader);
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        ASSERT_EQ(0, line.OpenWithFallback(0, &screener));
        prefs.DefaultMessageFile = WriteMessage("rw-default.wav", 100);
    }
    void TearDown() override {
        TearDownOptions();
        // As the program quits: sound first, then the calls, which belong
        // to the line, before it closes.
        screener.ShutDownSound();
        screener.ReleaseCalls();
        EXPECT_EQ(0, line.Close());
        EXPECT_EQ(0, UnregisterLineApp());
        SetTapiApi(nullptr);
    }

    static void TearDownOptions() {
        for (Option o :
             {Option::ReplyAfterState, Option::AnswerFails, Option::IdleWithoutDisconnected,
              Option::NoHangUpReport, Option::AnswerNotOwner, Option::DigitsTwice,
              Option::ConnectedTwice, Option::AnswerNoReply})
            SetOption(o, false);
        SetDropFailures(0, false);
        SetReplyDelay(0);
        SetWaveOpenDelay(0);
        CWavePlayer::SetFileReadHook(nullptr);
        SetRingTiming(50, 200);
    }

    CPhoneBookEntry& AddEntry(const std::string& number, int32_t filter,
                              int32_t answer = AnswerDefaultMessage) {
        auto e = std::make_unique<CPhoneBookEntry>();
        e->Number = number;
        e->Name = "Name of " + number;
        e->FilterType = filter;
        e->AnswerMode = answer;
        e->MakeLookupKey();
        CPhoneBookEntry& ref = *e;
        book.SetAt(ref.LookupKey, std::move(e));
        return ref;
    }
    // Rings and waits until the screener has logged the call.
    uint32_t RingAndLog(const CallerId& id) {
        const size_t before = screener.CallCount();
        const uint32_t call = Ring(id);
        EXPECT_TRUE(PumpUntil([&] { return screener.CallCount() > before; }));
        return call;
    }
    uint32_t RingNumber(const std::string& number) {
        return RingAndLog(Caller(CallerIdKind::Number, number, ""));
    }
    bool WaitState(uint32_t call, DWORD state) {
        return PumpUntil([&] { return Record(call).callState == state; });
    }
    // The caller hangs up; waits until the call object is gone.
    void HangUpAndWait(uint32_t call) {
        HangUp(call);
        EXPECT_TRUE(PumpUntil([&] { return Record(call).deallocated; }));
        EXPECT_EQ(0u, screener.LiveCallCount());
    }

    CTapiLoader loader{test::SimulatorPath()};
    CPhoneBook book;
    CRingwardenPreferences prefs;
    CSettableClock clock{CDateTime::FromParts(2026, 3, 2, 12, 0, 0)};
    CScreeningRules rules{book, prefs, clock};
    Recorder notify;
    CCallScreener screener{prefs, rules, &notify};
    CTapiLine line;
};

TEST(ReadCallerIdTest, FlagsDecideTheTexts) {
    const std::string longName(5000, 'n');
    const std::string longNumber = "1" + longName;
    struct Case {
        DWORD flags;
        const char *nameText, *numberText;
        std::string name, number;
        bool hasNumber;
        int kind = -1; // the CallerIdType expected, where the row checks it
    } cases[] = {
        {LINECALLPARTYID_BLOCKED, "", "0123", "<Blocked>", "<Blocked>", false},
        {LINECALLPARTYID_BLOCKED, "Withheld", "", "Withheld", "Withheld", false},
        {LINECALLPARTYID_OUTOFAREA, "", "", "<Out Of Area>", "<Out Of Area>", false},
        {LINECALLPARTYID_UNKNOWN, "Fred", "0123", "", "", false},
        {LINECALLPARTYID_UNAVAIL, "", "0123", "<No Caller ID>", "<No Caller ID>", false},
        {LINECALLPARTYID_ADDRESS, "", "0123", "", "0123", true},
        // The number comes first; the name stays the caller's name.
        {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, "Fred", "0123", "Fred", "0123", true},
        {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, "WIRELESS CALLER", "(0777) 12-3",
         "WIRELESS CALLER", "(0777) 12-3", true},
        // A number text without a digit is no number: the name stands in.
        {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, "Fred", "P", "Fred", "Fred", false},
        // Placeholders some modems send as the number: never looked up.
        {LINECALLPARTYID_ADDRESS, "", "P", "<Blocked>", "<Blocked>", false, CallerIdWithheld},
        {LINECALLPARTYID_ADDRESS, "", " O ", "<Out Of Area>", "<Out Of Area>", false,
         CallerIdOutOfArea},
        {LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME, "Fred", "O", "Fred", "Fred", false,
         CallerIdOutOfArea},
        {LINECALLPARTYID_ADDRESS, "", "0000000000", "<No Caller ID>", "<No Caller ID>", false,
         CallerIdUnavailable},
        {LINECALLPARTYID_ADDRESS, "", "000-000-0000", "<No Caller ID>", "<No Caller ID>", false,
         CallerIdUnavailable},
        {LINECALLPARTYID_ADDRESS, "", "0100", "", "0100", true, CallerIdNumber},
        {LINECALLPARTYID_ADDRESS, "", "Q", "", "Q", false, CallerIdNumber},
        {LINECALLPARTYID_NAME, "Fred", "", "Fred", "Fred", false},
        {LINECALLPARTYID_BLOCKED | LINECALLPARTYID_UNKNOWN, "", "", "<Blocked>", "<Blocked>",
         false},
        {LINECALLPARTYID_UNKNOWN | LINECALLPARTYID_UNAVAIL, "", "", "", "", false},
        {0, "", "", "", "", false},
        // Any length from the line; only a plausible amount is kept.
        {LINECALLPARTYID_NAME, longName.c_str(), "", std::string(256, 'n'), std::string(256, 'n'),
         false},
        {LINECALLPARTYID_ADDRESS, "", longNumber.c_str(), "", "1" + std::string(255, 'n'), true},
    };
    for (const Case& c : cases) {
        std::string name = "old", number = "old";
        EXPECT_EQ(c.hasNumber,
                  CCallScreener::ReadCallerId(c.flags, c.nameText, c.numberText, name, number))
            << c.flags << " " << c.nameText;
        EXPECT_EQ(c.name, name) << c.flags << " " << c.nameText;
        EXPECT_EQ(c.number, number) << c.flags << " " << c.nameText;
        if (c.kind >= 0) {
            EXPECT_EQ(c.kind, CCallScreener::CallerIdKindOf(c.flags, c.nameText, c.numberText))
                << c.numberText;
        }
    }
}

// Screening by number, by prefix and by the name an earlier copy keyed on,
// and repeated calls through a time block: each case sets up its entries and
// default rule, then rings through the simulator at the seconds given, and
// every call must be logged with its name and action, answered only when
// that action blocks.
TEST_F(CallScreenerTest, NumberPrefixNameAndRepeatedCalls) {
    struct Entry {
        const char* number;
        const char* name;
        int32_t filter;
    };
    struct RingAt {
        int second; // after the case's start, 23:10 on a winter night
        CallerIdKind kind;
        const char *number, *name;
        const char* shownName;
        CallAction action;
    };
    struct Case {
        const char* what;
        std::vector<Entry> entries;
        int32_t nonPhoneBookRule;
        std::vector<RingAt> rings;
    };
    constexpr auto Both = CallerIdKind::Both;
    constexpr auto Number = CallerIdKind::Number;
    const char* none = "<No Phone Book Entry>";
    const Case cases[] = {
        {"number and name, an entry for the number",
         {{"0123 456", "Dentist", FilterNeverBlock},
          {"WIRELESS CALLER", "Mobiles", FilterAlwaysBlock}},
         FilterAlwaysBlock,
         {{0, Both, "0123 456", "WIRELESS CALLER", "Dentist", ActionPermitNeverBlock}}},
        {"number and name, an entry only for the name (an older file)",
         {{"WIRELESS CALLER", "Mobiles", FilterAlwaysBlock}},
         FilterNeverBlock,
         {{0, Both, "0123 456", "WIRELESS CALLER", "Mobiles", ActionBlockAlways}}},
        {"a generic name shared by two numbers",
         {{"0777 111", "Nuisance", FilterAlwaysBlock}},
         FilterNeverBlock,
         {{0, Both, "0777 111", "WIRELESS CALLER", "Nuisance", ActionBlockAlways},
          {5, Both, "0777 222", "WIRELESS CALLER", none, ActionPermitNeverBlockDefault}}},
        {"an exact entry beside a prefix entry",
         {{"0900*", "Premium rate", FilterAlwaysBlock}, {"0900 123", "Helpline", FilterNeverBlock}},
         FilterNeverBlock,
         {{0, Number, "0900 123", "", "Helpline", ActionPermitNeverBlock},
          {5, Both, "0900 555", "TOLL", "Premium rate", ActionBlockAlways},
          {10, Number, "0800 555", "", none, ActionPermitNeverBlockDefault}}},
        {"two prefixes of different lengths",
         {{"+44*", "Abroad", FilterNeverBlock}, {"+44 870*", "Abroad, premium", FilterAlwaysBlock}},
         FilterBlockSometimes,
         {{0, Number, "+44 870 1234", "", "Abroad, premium", ActionBlockAlways},
          {5, Number, "+44 20 1234", "", "Abroad", ActionPermitNeverBlock}}},
        {"a repeated call inside and outside the window",
         {{"0555 100", "Mum", FilterBlockSometimes}},
         FilterBlockSometimes,
         {{0, Number, "0555 100", "", "Mum", ActionBlockByTime},
          {150, Both, "0555 100", "Mum", "Mum", ActionPermitRepeatedCall},
          {181, Number, "0555 100", "", "Mum", ActionBlockByTime},
          {400, Number, "0555 100", "", "Mum", ActionBlockByTime}}},
        {"a repeated call of a caller with no entry (as robots redial)",
         {},
         FilterBlockSometimes,
         {{0, Number, "0555 101", "", none, ActionBlockByTimeDefault},
          {150, Number, "0555 101", "", none, ActionBlockByTimeDefault}}},
        {"a repeated call after an Always Block",
         {{"0555 200", "Pest", FilterAlwaysBlock}},
         FilterBlockSometimes,
         {{0, Number, "0555 200", "", "Pest", ActionBlockAlways},
          {60, Number, "0555 200", "", "Pest", ActionBlockAlways}}},
        {"a repeated call with no number",
         {},
         FilterBlockSometimes,
         {{0, CallerIdKind::Blocked, "", "", none, ActionBlockByTimeDefault},
          {60, CallerIdKind::Blocked, "", "", none, ActionBlockByTimeDefault},
          {70, CallerIdKind::Name, "", "WIRELESS CALLER", none, ActionBlockByTimeDefault},
          {80, CallerIdKind::Name, "", "WIRELESS CALLER", none, ActionBlockByTimeDefault}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        book.DeleteAllEntries();
        for (const Entry& e : c.entries)
            AddEntry(e.number, e.filter).Name = e.name;
        prefs.NonPhoneBookRule = c.nonPhoneBookRule;
        const CDateTime start = CDateTime::FromParts(2026, 12, 9, 23, 10, 0);
        for (const RingAt& r : c.rings) {
            clock.Set(CDateTime(start.GetDays() + r.second / 86400.0));
            const uint32_t id = RingAndLog(Caller(r.kind, r.number, r.name));
            const CLoggedCall& call = screener.Call(screener.CallCount() - 1);
            EXPECT_EQ(r.shownName, call.GetName()) << r.number << " at " << r.second;
            EXPECT_EQ(r.action, call.GetAction()) << r.number << " at " << r.second;
            if (r.kind != CallerIdKind::Blocked) {
                EXPECT_EQ(r.name, call.GetCallerIdName());
            }
            EXPECT_EQ(IsBlockingAction(r.action), Record(id).answerRequests > 0);
            // The entry that matched, a prefix's too, is stamped with the call.
            book.ForEach([&](const std::string&, CPhoneBookEntry& e) {
                if (e.Name == r.shownName) {
                    EXPECT_EQ(clock.Now(), e.LastCallTime) << e.Name;
                }
            });
            HangUpAndWait(id);
        }
        // The next case starts well after every window of this one.
        clock.Set(CDateTime(start.GetDays() + 3600 / 86400.0));
        rules.RepeatedCalls().SetMinutes(0);
        rules.RepeatedCalls().SetMinutes(CRepeatedCalls::kDefaultMinutes);
    }
}

TEST_F(CallScreenerTest, BlockedCallIsAnsweredPlayedAndDroppedWhenTheCallerHangsUp) {
    AddEntry("01234 567890", FilterAlwaysBlock);
    const uint32_t id = RingAndLog(Caller(CallerIdKind::Number, "(01234) 567890", ""));
    ASSERT_EQ(1u, screener.CallCount());
    const CLoggedCall& call = screener.Call(0);
    EXPECT_EQ("Name of 01234 567890", call.GetName());
    EXPECT_EQ("(01234) 567890", call.GetNumber());
    EXPECT_EQ(ActionBlockAlways, call.GetAction());
    EXPECT_EQ(clock.Now(), call.GetCallTime());
    EXPECT_EQ(clock.Now(), book.Lookup("01234567890")->LastCallTime);
    EXPECT_EQ((std::vector<std::string>{"show 0", "logged 0", "tip 132"}), notify.events);
    EXPECT_EQ(0, screener.FindLoggedCall(call.GetCall()));

    ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
    ASSERT_TRUE(PumpUntil([&] { return Record(id).bytesPlayed > 0; }));
    // The whole default message (100 ms) went to the caller's own device.
    EXPECT_EQ(1600u, Record(id).bytesPlayed);
    EXPECT_EQ(1u, Record(id).waveOutRequests);
    EXPECT_EQ(0u, Record(id).monitorOn); // always blocked: no code offered

    HangUpAndWait(id);
    const CallRecord r = Record(id);
    EXPECT_EQ(1u, r.answerRequests);
    EXPECT_EQ(1u, r.dropRequests);
    EXPECT_GE(r.droppedMs, r.hungUpMs);
    EXPECT_EQ(nullptr, call.GetCall());
    EXPECT_EQ(130u, screener.TrayTip());
    EXPECT_FALSE(screener.IsPlaying());
}

// The key check end to end: an unknown caller the default rule blocks is
// answered and asked for a digit; what it then does decides its row and
// its next call.
TEST_F(CallScreenerTest, TheKeyCheckDecidesTheRowAndTheNextCall) {
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    rules.SetKeyCheck(true);
    screener.SetKeyWait(150);
    struct Case {
        const char* name;
        // Plays the caller's part once asked for `digit`; true when the
        // caller has hung up.
        std::function<bool(uint32_t id, char digit)> caller;
        int32_t row;      // the call's action in the end
        int32_t nextCall; // the same number's next call
    };
    auto other = [](char digit) { return digit == '9' ? "0" : "9"; };
    const Case cases[] = {
        {"the right key",
         [](uint32_t id, char digit) {
             return KeyDigits(id, std::string(1, digit).c_str()), false;
         },
         ActionCheckedKeyPressed, ActionPermitCheckedCaller},
        {"a wrong key, then the right one",
         [&](uint32_t id, char digit) {
             KeyDigits(id, other(digit));
             EXPECT_TRUE(PumpUntil([&] { return Record(id).waveOutRequests >= 2; }));
             KeyDigits(id, std::string(1, digit).c_str());
             return false;
         },
         ActionCheckedKeyPressed, ActionPermitCheckedCaller},
        {"a wrong key twice",
         [&](uint32_t id, char digit) {
             KeyDigits(id, other(digit));
             EXPECT_TRUE(PumpUntil([&] { return Record(id).waveOutRequests >= 2; }));
             KeyDigits(id, other(digit));
             return false;
         },
         ActionBlockNoKeyPressed, ActionKeyCheck},
        {"no key at all", [](uint32_t, char) { return false; }, ActionBlockNoKeyPressed,
         ActionKeyCheck},
        {"hangs up during the check", [](uint32_t id, char) { return HangUp(id), true; },
         ActionBlockNoKeyPressed, ActionKeyCheck},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string number = "0777 55" + std::to_string(n++);
        const uint32_t id = RingNumber(number);
        const size_t index = screener.CallCount() - 1;
        EXPECT_EQ(ActionKeyCheck, screener.Call(index).GetAction());
        ASSERT_TRUE(PumpUntil([&] { return Record(id).monitorOn >= 1; }));
        ASSERT_TRUE(PumpUntil([&] { return screener.Call(index).GetKeyCheckDigit() != '\0'; }));
        const char digit = screener.Call(index).GetKeyCheckDigit();
        EXPECT_EQ("Key check (press " + std::string(1, digit) + ")",
                  screener.Call(index).ActionDisplayText());
        const bool gone = c.caller(id, digit);
        ASSERT_TRUE(PumpUntil([&] { return screener.Call(index).GetAction() == c.row; }))
            << screener.Call(index).GetAction();
        if (c.row == ActionCheckedKeyPressed) {
            // Thanked, then dropped by the program.
            ASSERT_TRUE(PumpUntil([&] { return Record(id).dropRequests >= 1; }));
            EXPECT_EQ(book.GetCount(), 0u) << "the phone book is never changed";
        } else if (!gone) {
            // The default rule's block: its message, then the caller goes.
            ASSERT_TRUE(PumpUntil([&] { return Record(id).waveOutRequests >= 3; }));
        }
        if (!Record(id).deallocated)
            HangUpAndWait(id);
        ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
        const uint32_t next = RingNumber(number);
        EXPECT_EQ(c.nextCall, screener.Call(screener.CallCount() - 1).GetAction());
        HangUpAndWait(next);
    }

    // A caller blocked by time who knows the security code keys it during
    // the check: the suspension starts, as it would after the message.
    prefs.NonPhoneBookRule = FilterBlockSometimes;
    prefs.AllowSuspend = 1;
    prefs.SecurityKey1 = '*';
    prefs.SecurityKey2 = '#';
    clock.Set(CDateTime::FromParts(2026, 3, 2, 23, 30, 0));
    const uint32_t id = RingNumber("0777 600");
    const size_t index = screener.CallCount() - 1;
    ASSERT_TRUE(PumpUntil([&] { return Record(id).monitorOn >= 1; }));
    KeyDigits(id, "*#");
    ASSERT_TRUE(PumpUntil([&] { return rules.Suspension().IsActive(); }));
    EXPECT_EQ(ActionBlockByTimeDefault, screener.Call(index).GetAction());
    HangUpAndWait(id);
}

// The overrides and the whole days, as a caller meets them on the line:
// answered or left to ring, and the row that says why.
TEST_F(CallScreenerTest, OverridesAndWholeDaysOnTheLine) {
    AddEntry("0555 1", FilterNeverBlock);
    AddEntry("0555 2", FilterBlockSometimes);
    prefs.NonPhoneBookRule = FilterNeverBlock;
    const long long never = CScreeningOverride::kNever;
    struct Case {
        const char* name;
        OverrideMode mode;
        unsigned days;
        CDateTime at;
        const char* number;
        int32_t action;
    };
    const CDateTime wednesdayNoon = CDateTime::FromParts(2026, 12, 9, 12, 0, 0);
    const CDateTime saturdayNoon = CDateTime::FromParts(2026, 12, 12, 12, 0, 0);
    const Case cases[] = {
        {"quiet: an unknown caller", OverrideMode::Quiet, 0, wednesdayNoon, "0555 9",
         ActionBlockQuiet},
        {"quiet: a Never Block entry", OverrideMode::Quiet, 0, wednesdayNoon, "0555 1",
         ActionPermitNeverBlock},
        {"every call rings: an entry blocked at night", OverrideMode::AllRing, 0,
         CDateTime::FromParts(2026, 12, 9, 23, 30, 0), "0555 2", ActionPermitEveryCallRings},
        {"a Saturday out of hours all day", OverrideMode::None, kSaturday, saturdayNoon, "0555 2",
         ActionBlockByTime},
        {"the same Saturday, not ticked", OverrideMode::None, kSunday, saturdayNoon, "0555 2",
         ActionPermitByTime},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        rules.Override().Set(c.mode, never);
        rules.SetAllDayOutOfHours(c.days);
        clock.Set(c.at);
        const uint32_t id = RingNumber(c.number);
        EXPECT_EQ(c.action, screener.Call(screener.CallCount() - 1).GetAction());
        if (IsBlockingAction(c.action)) {
            ASSERT_TRUE(PumpUntil([&] { return Record(id).answerRequests == 1; }));
        }
        HangUpAndWait(id);
        EXPECT_EQ(IsBlockingAction(c.action), Record(id).answerRequests == 1);
    }
}

TEST_F(CallScreenerTest, PermittedCallRingsOnAndIsReleasedAtIdle) {
    AddEntry("555", FilterNeverBlock);
    prefs.ShowNotification = 0;
    const uint32_t id = RingNumber("555");
    EXPECT_EQ(ActionPermitNeverBlock, screener.Call(0).GetAction());
    EXPECT_EQ((std::vector<std::string>{"logged 0", "tip 131"}), notify.events);
    HangUpAndWait(id);
    EXPECT_EQ(0u, Record(id).answerRequests);
    EXPECT_EQ(130u, screener.TrayTip());

    // Withheld numbers follow the default rule under their call type.
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    const uint32_t withheld = RingAndLog(Caller(CallerIdKind::Blocked, "", ""));
    EXPECT_EQ("<Blocked>", screener.Call(1).GetNumber());
    EXPECT_EQ("<No Phone Book Entry>", screener.Call(1).GetName());
    EXPECT_EQ(ActionBlockAlwaysDefault, screener.Call(1).GetAction());
    ASSERT_TRUE(WaitState(withheld, LINECALLSTATE_CONNECTED));
    HangUpAndWait(withheld);
}

TEST_F(CallScreenerTest, OutboundCallsAreNotLogged) {
    Ring(Caller(CallerIdKind::Number, "0800 123", ""), true);
    ASSERT_TRUE(PumpUntil([&] { return !line.UnownedCalls().empty(); }));
    EXPECT_EQ(0u, screener.CallCount());
    EXPECT_TRUE(notify.events.empty());
    EXPECT_EQ(130u, screener.TrayTip());
}

TEST_F(CallScreenerTest, LateCallerIdScreensTheWaitingCallOnce) {
    AddEntry("0555", FilterAlwaysBlock);
    const uint32_t id = RingAndLog(Caller(CallerIdKind::Unknown, "", ""));
    EXPECT_EQ(ActionWaitingForCallerId, screener.Call(0).GetAction());
    EXPECT_EQ(131u, screener.TrayTip());
    EXPECT_EQ(0u, Record(id).answerRequests);

    notify.events.clear();
    ASSERT_TRUE(DeliverCallerId(id, Caller(CallerIdKind::Number, "0555", "")));
    ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
    EXPECT_EQ(ActionBlockAlways, screener.Call(0).GetAction());
    EXPECT_EQ("Name of 0555", screener.Call(0).GetName());
    EXPECT_EQ((std::vector<std::string>{"changed 0", "refresh 0", "tip 132"}), notify.events);

    // Once screened, caller ID sent again updates the row and changes
    // nothing else; an incomplete reading changes nothing at all.
    notify.events.clear();
    ASSERT_TRUE(DeliverCallerId(id, Caller(CallerIdKind::Number, "999", "")));
    ASSERT_TRUE(PumpUntil([&] { return !notify.events.empty(); }));
    EXPECT_EQ("999", screener.Call(0).GetNumber());
    EXPECT_EQ("Name of 0555", screener.Call(0).GetName());
    EXPECT_EQ(ActionBlockAlways, screener.Call(0).GetAction());
    EXPECT_EQ((std::vector<std::string>{"changed 0"}), notify.events);
    ASSERT_TRUE(DeliverCallerId(id, Caller(CallerIdKind::Unknown, "", "")));
    PumpFor(100); // let it arrive
    EXPECT_EQ("999", screener.Call(0).GetNumber());
    EXPECT_EQ(1u, Record(id).answerRequests);
    HangUpAndWait(id);
}

// The ring test follows the next call only: it reports the ring, the
// caller ID (early or late) and what the rules would have done, and the
// call is neither answered, logged nor stamped; the call after it is
// screened as ever.
TEST_F(CallScreenerTest, TheRingTestAnswersNothingAndChangesNothing) {
    CPhoneBookEntry& entry = AddEntry("0555", FilterAlwaysBlock);
    const CDateTime never = entry.LastCallTime;
    struct Case {
        CallerId first; // what the call is offered with
        bool late;      // caller ID follows the ring
    } cases[] = {
        {Caller(CallerIdKind::Number, "0555", ""), false},
        {Caller(CallerIdKind::Unknown, "", ""), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.late ? "late caller ID" : "caller ID with the call");
        CRingTest test;
        test.Start(clock.Now());
        screener.SetRingTest(&test);
        const uint32_t id = Ring(c.first);
        ASSERT_TRUE(PumpUntil([&] { return test.GetState() != CRingTest::State::Waiting; }));
        if (c.late) {
            EXPECT_EQ(test.GetState(), CRingTest::State::Ringing);
            ASSERT_TRUE(DeliverCallerId(id, Caller(CallerIdKind::Number, "0555", "")));
        }
        ASSERT_TRUE(PumpUntil([&] { return test.GetState() == CRingTest::State::CallerIdCame; }));
        screener.SetRingTest(nullptr);
        EXPECT_NE(test.Text().find("\"0555\""), std::string::npos) << test.Text();
        EXPECT_NE(test.Text().find(ActionText(ActionBlockAlways)), std::string::npos);
        PumpFor(300);
        EXPECT_EQ(0u, Record(id).answerRequests);
        EXPECT_EQ(0u, screener.CallCount());
        EXPECT_TRUE(notify.events.empty());
        EXPECT_EQ(never, entry.LastCallTime);
        HangUp(id);
        EXPECT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
    }
    // A test call that ends without caller ID says so.
    CRingTest test;
    test.Start(clock.Now());
    screener.SetRingTest(&test);
    const uint32_t silent = Ring(Caller(CallerIdKind::Unknown, "", ""));
    ASSERT_TRUE(PumpUntil([&] { return test.GetState() == CRingTest::State::Ringing; }));
    HangUp(silent);
    ASSERT_TRUE(
        PumpUntil([&] { return test.GetState() == CRingTest::State::GoneWithoutCallerId; }));
    screener.SetRingTest(nullptr);
    // The next call is screened as usual.
    const uint32_t next = RingNumber("0555");
    EXPECT_EQ(ActionBlockAlways, screener.Call(0).GetAction());
    ASSERT_TRUE(WaitState(next, LINECALLSTATE_CONNECTED));
    HangUpAndWait(next);
}

// Sound is prepared away from the line: a device that is slow to open or a
// file that is slow to read holds up neither the caller's keys, nor the
// hang-up, nor the next call, and a sound whose call has moved on is never
// written.
TEST_F(CallScreenerTest, ASlowDeviceOrFileHoldsUpOnlyItsOwnSound) {
    AddEntry("777", FilterBlockSometimes);
    AddEntry("444", FilterAlwaysBlock, AnswerOwnMessage).MessageFile =
        WriteMessage("rw-slow.wav", 100);
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    prefs.OutOfHoursStart = prefs.OutOfHoursEnd = CDateTime::TimeOfDay(0, 0);
    CWavePlayer acknowledgement;
    ASSERT_TRUE(acknowledgement.LoadFromResource(GetModuleHandleA(nullptr), IDR_ACK_TONE));
    const uint64_t ackBytes = acknowledgement.GetSampleSize();
    auto connected = [&](uint32_t id) {
        EXPECT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
        EXPECT_TRUE(PumpUntil([&] { return Record(id).waveOutRequests == 1; }));
    };
    struct Case {
        const char* name;
        std::function<void()> set;
        const char* number;
        std::function<void(uint32_t)> run; // the call ends by itself afterwards
        uint64_t bytes;                    // played to the call in the end
    } cases[] = {
        {"the code keyed while the device opens", [] { SetWaveOpenDelay(kSlowMs); }, "777",
         [&](uint32_t id) {
             ASSERT_TRUE(PumpUntil([&] { return Record(id).monitorOn == 1; }));
             KeyDigits(id, "12");
             ASSERT_TRUE(PumpUntil([&] { return rules.Suspension().IsActive(); }));
             EXPECT_EQ(0u, Record(id).waveOpens); // the keys came in meanwhile
             // The message, stopped while its device opened, is never
             // written; the acknowledgement is.
             ASSERT_TRUE(PumpUntil([&] { return Record(id).bytesPlayed > 0; }));
             ASSERT_TRUE(PumpUntil([&] { return screener.IsPlaying(); }));
             HangUp(id);
         },
         ackBytes},
        {"a caller who hangs up while the device opens", [] { SetWaveOpenDelay(kSlowMs); }, "999",
         [&](uint32_t id) {
             connected(id);
             HangUp(id);
             ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
             EXPECT_EQ(0u, Record(id).waveOpens);
             PumpFor(kSlowMs + 200); // the open ends, and is closed unused
         },
         0},
        {"a message that is slow to read", [] { CWavePlayer::SetFileReadHook(SlowRead); }, "444",
         [&](uint32_t id) {
             connected(id);
             ASSERT_TRUE(PumpUntil([&] { return g_slowReading.load(); }));
             // The next call (waiting on the same line) is screened
             // meanwhile, and held back while this one is up.
             const uint32_t next = RingNumber("999");
             EXPECT_TRUE(g_slowReading);
             EXPECT_EQ(0u, Record(id).bytesPlayed);
             EXPECT_EQ(ActionNotAnsweredLineBusy,
                       screener.Call(screener.CallCount() - 1).GetAction());
             ASSERT_TRUE(PumpUntil([&] { return Record(id).bytesPlayed == 1600; }));
             HangUp(id);
             // Once it has gone, the next is answered and hears its own.
             ASSERT_TRUE(PumpUntil([&] { return Record(next).bytesPlayed == 1600; }));
             HangUp(next);
             ASSERT_TRUE(PumpUntil([&] { return Record(next).deallocated; }));
         },
         1600},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock.Set(CDateTime(clock.Now().GetDays() + 1));
        c.set();
        const uint32_t id = RingNumber(c.number);
        c.run(id);
        ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
        EXPECT_EQ(c.bytes, Record(id).bytesPlayed);
        EXPECT_EQ(1u, Record(id).dropRequests);
        EXPECT_EQ(0u, screener.LiveCallCount());
        EXPECT_FALSE(screener.IsPlaying());
        TearDownOptions();
    }
}

// Quitting while a message is still being read: the sound stops before the
// lines close, and nothing is opened or played for the call afterwards.
TEST_F(CallScreenerTest, QuittingWhileASoundIsPreparedPlaysNothing) {
    CWavePlayer::SetFileReadHook(SlowRead);
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    prefs.DefaultMessageFile = WriteMessage("rw-slow-quit.wav", 100);
    const uint32_t id = RingNumber("999");
    ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
    ASSERT_TRUE(PumpUntil([&] { return g_slowReading.load(); }));
    screener.ShutDownSound();
    EXPECT_FALSE(g_slowReading); // it waited for the sound to let go
    screener.ReleaseCalls();
    ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
    EXPECT_EQ(0u, Record(id).waveOpens);
    EXPECT_EQ(0u, Record(id).bytesPlayed);
}

// A caller blocked by time keys digits; does the code suspend time blocks?
TEST_F(CallScreenerTest, SecurityCodeSequences) {
    AddEntry("777", FilterBlockSometimes);
    prefs.OutOfHoursStart = CDateTime::TimeOfDay(0, 0);
    prefs.OutOfHoursEnd = CDateTime::TimeOfDay(0, 0); // the whole day
    struct Case {
        char key1, key2;
        const char* keyed;
        bool suspends;
    } cases[] = {
        {'1', '2', "12", true},   {'1', '2', "912", true}, {'1', '2', "112", false},
        {'1', '2', "1912", true}, {'1', '2', "2", false},  {'1', '2', "21", false},
        {'5', '5', "55", true},   {'*', '#', "*#", true},  {'1', '2', "1", false},
        {'1', '2', "13", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyed);
        prefs.SecurityKey1 = c.key1;
        prefs.SecurityKey2 = c.key2;
        // A day later each time: any earlier suspension has run out.
        clock.Set(CDateTime(clock.Now().GetDays() + 1));
        const uint32_t id = RingNumber("777");
        ASSERT_EQ(ActionBlockByTime, screener.Call(screener.CallCount() - 1).GetAction());
        ASSERT_TRUE(PumpUntil([&] { return Record(id).monitorOn == 1; }));
        KeyDigits(id, c.keyed);
        ASSERT_TRUE(PumpUntil([&] {
            return Record(id).digitsDelivered == strlen(c.keyed) || Record(id).monitorOff > 0;
        }));
        PumpFor(100);
        EXPECT_EQ(c.suspends, rules.Suspension().IsActive());
        EXPECT_EQ(c.suspends ? 1u : 0u, Record(id).monitorOff);
        HangUpAndWait(id);
    }
}

TEST_F(CallScreenerTest, CodeIgnoredWhenNotAllowedOrNotSuspendable) {
    AddEntry("777", FilterBlockSometimes);
    prefs.OutOfHoursStart = prefs.OutOfHoursEnd = CDateTime::TimeOfDay(0, 0);
    prefs.AllowSuspend = 0;
    uint32_t id = RingNumber("777");
    ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
    ASSERT_TRUE(PumpUntil([&] { return Record(id).waveOutRequests == 1; }));
    KeyDigits(id, "12");
    PumpFor(100);
    EXPECT_EQ(0u, Record(id).monitorOn);
    EXPECT_FALSE(rules.Suspension().IsActive());
    HangUpAndWait(id);

    prefs.AllowSuspend = 1;
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    id = RingNumber("888");
    ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
    PumpFor(100);
    EXPECT_EQ(0u, Record(id).monitorOn);
    HangUpAndWait(id);
}

TEST_F(CallScreenerTest, SuspensionLetsTimeBlockedCallersThroughUntilItExpires) {
    AddEntry("777", FilterBlockSometimes);
    prefs.OutOfHoursStart = prefs.OutOfHoursEnd = CDateTime::TimeOfDay(0, 0);
    prefs.SuspendMinutes = 2;
    // The third call would otherwise ring through as a repeated call.
    rules.RepeatedCalls().SetMinutes(0);
    const CDateTime start = clock.Now();
    const uint32_t id = RingNumber("777");
    ASSERT_TRUE(PumpUntil([&] { return Record(id).monitorOn == 1; }));
    KeyDigits(id, "12");
    ASSERT_TRUE(PumpUntil([&] { return rules.Suspension().IsActive(); }));
    // The acknowledgement goes to the caller's own line.
    EXPECT_EQ(2u, Record(id).waveOutRequests);
    HangUpAndWait(id);

    auto at = [&](int seconds) { return CDateTime(start.GetDays() + seconds / 86400.0); };
    clock.Set(at(90));
    const uint32_t second = RingNumber("777");
    EXPECT_EQ(ActionPermitBlockSuspended, screener.Call(1).GetAction());
    EXPECT_EQ(131u, screener.TrayTip());
    HangUpAndWait(second);
    EXPECT_EQ(0u, Record(second).answerRequests);

    clock.Set(at(180));
    const uint32_t third = RingNumber("777");
    EXPECT_EQ(ActionBlockByTime, screener.Call(2).GetAction());
    EXPECT_FALSE(rules.Suspension().IsActive());
    ASSERT_TRUE(WaitState(third, LINECALLSTATE_CONNECTED));
    HangUpAndWait(third);
}

TEST_F(CallScreenerTest, SilenceIsAnsweredWithoutASound) {
    CPhoneBookEntry& e = AddEntry("444", FilterAlwaysBlock, AnswerSilence);
    e.MessageFile = WriteMessage("rw-own.wav", 100);
    const uint32_t id = RingNumber("444");
    EXPECT_EQ("", screener.Call(0).GetMessageFile());
    ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
    PumpFor(100);
    EXPECT_EQ(0u, Record(id).waveOutRequests);
    EXPECT_FALSE(screener.IsPlaying());
    HangUpAndWait(id);
}

// A modem that cannot hear the caller hang up must not keep the line
// off-hook: the program lets go once the line has been quiet long enough.
TEST_F(CallScreenerTest, ABlockedCallNobodyHangsUpIsDroppedAfterTheHoldLimit) {
    screener.SetHoldLimit(300);
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    struct Case {
        const char* name;
        std::string message;
    } cases[] = {
        {"nothing to play", ""},
        {"a short message", WriteMessage("rw-short.wav", 200)},
        {"a file that does not load", TempPath("rw-missing.wav")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prefs.DefaultMessageFile = c.message;
        const uint32_t id = RingNumber("999");
        ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
        ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
        const CallRecord r = Record(id);
        EXPECT_EQ(1u, r.dropRequests);
        EXPECT_GE(r.droppedMs - r.answeredMs, 300);
        EXPECT_EQ(-1, r.hungUpMs);
        EXPECT_EQ(0u, screener.LiveCallCount());
        EXPECT_EQ(130u, screener.TrayTip());
    }
}

TEST_F(CallScreenerTest, PermittedCallsAreNeverDroppedByTheHoldLimit) {
    screener.SetHoldLimit(100);
    AddEntry("555", FilterNeverBlock);
    const uint32_t id = RingNumber("555");
    PumpFor(400);
    EXPECT_EQ(0u, Record(id).dropRequests);
    EXPECT_EQ(1u, screener.LiveCallCount());
    HangUpAndWait(id);
}

// Orders and habits of real telephony services. Whatever the service does,
// no call object or handle may be left behind, and the next call is still
// screened and blocked.
TEST_F(CallScreenerTest, RealServiceOrdersLeaveNothingBehind) {
    screener.SetHoldLimit(300);
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    AddEntry("555", FilterNeverBlock);
    struct Case {
        const char* name;
        std::function<void()> set;
        std::function<void(uint32_t)> caller;
    } cases[] = {
        {"reply after the state it caused", [] { SetOption(Option::ReplyAfterState, true); },
         [&](uint32_t id) {
             ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
             HangUp(id);
         }},
        {"an answer that fails",
         [] {
             SetOption(Option::AnswerFails, true);
             SetRingTiming(20, 5);
         },
         [&](uint32_t id) {
             // It rings out unanswered; the program does not try again.
             ASSERT_TRUE(PumpUntil([&] { return Record(id).rangOut; }));
             EXPECT_EQ(1u, Record(id).answerRequests);
         }},
        {"idle without disconnected", [] { SetOption(Option::IdleWithoutDisconnected, true); },
         [&](uint32_t id) {
             ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
             HangUp(id);
             ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
             // Nothing is left to drop, not even by the hold limit.
             PumpFor(400);
             EXPECT_EQ(0u, Record(id).dropRequests);
         }},
        {"caller ID after connect", [] {},
         [&](uint32_t id) {
             ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
             DeliverCallerId(id, Caller(CallerIdKind::Number, "555", ""));
             PumpFor(100);
             EXPECT_EQ(ActionBlockAlwaysDefault,
                       screener.Call(screener.CallCount() - 1).GetAction());
             HangUp(id);
         }},
        {"hang-up while the answer is pending", [] { SetReplyDelay(200); },
         [&](uint32_t id) {
             HangUp(id);
             ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
             PumpFor(300); // the answer's late, failed reply
             EXPECT_EQ(-1, Record(id).answeredMs);
         }},
        {"a modem that never reports the hang-up", [] { SetOption(Option::NoHangUpReport, true); },
         [&](uint32_t id) {
             ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
             HangUp(id);
             // Dropped by the program once the line has been quiet.
             ASSERT_TRUE(PumpUntil([&] { return Record(id).dropRequests == 1; }));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.set();
        const uint32_t id = RingNumber("999");
        c.caller(id);
        ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
        EXPECT_EQ(0u, screener.LiveCallCount());
        EXPECT_TRUE(line.UnownedCalls().empty());
        EXPECT_EQ(130u, screener.TrayTip());
        EXPECT_FALSE(screener.IsPlaying());
        TearDownOptions();

        // The next call is screened and blocked as usual.
        const uint32_t next = RingNumber("998");
        ASSERT_TRUE(WaitState(next, LINECALLSTATE_CONNECTED));
        HangUpAndWait(next);
    }
}

// Ways for a call to stay on the line after it has ended, or to be held
// for ever: each call must reach idle and be released, with no handle left
// behind, and the next call is screened and blocked as usual.
TEST_F(CallScreenerTest, EveryEndedCallReachesIdle) {
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    AddEntry("555", FilterNeverBlock);
    screener.SetDropRetryInterval(20);
    auto pickedUpThenHungUp = [&](uint32_t id) {
        ASSERT_TRUE(PickUp(id));
        ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
        HangUp(id);
    };
    struct Case {
        const char* name;
        std::function<void()> set;
        const char* number;
        std::function<void(uint32_t)> farEnd;
        uint32_t dropFailures;
    } cases[] = {
        {"a permitted call picked up elsewhere, its clearing drop failing by its reply",
         [] { SetDropFailures(1, false); }, "555", pickedUpThenHungUp, 1},
        {"a permitted call picked up elsewhere, its clearing drop refused at once",
         [] { SetDropFailures(1, true); }, "555", pickedUpThenHungUp, 1},
        {"a blocked caller who stays past the hold limit while every retry fails",
         [&] {
             screener.SetHoldLimit(100);
             SetDropFailures(1 + CCallScreener::kDropRetries, false);
         },
         "999",
         [&](uint32_t id) {
             ASSERT_TRUE(PumpUntil(
                 [&] { return Record(id).dropFailures == 1 + CCallScreener::kDropRetries; }));
             PumpFor(100); // the last failure has been heard
             HangUp(id);
         },
         1 + CCallScreener::kDropRetries},
        {"drops failing for longer than the retries the window is told of",
         [] { SetDropFailures(2 + CCallScreener::kDropRetries, true); }, "999",
         [&](uint32_t id) {
             ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
             HangUp(id);
         },
         2 + CCallScreener::kDropRetries},
        {"an answer that connects but whose reply never comes",
         [&] {
             screener.SetHoldLimit(200);
             SetOption(Option::AnswerNoReply, true);
         },
         "999",
         [&](uint32_t id) {
             // Nobody hangs up: only the hold limit can end it.
             ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
             ASSERT_TRUE(PumpUntil([&] { return Record(id).droppedMs >= 0; }));
             EXPECT_GE(Record(id).droppedMs - Record(id).answeredMs, 200);
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        screener.SetHoldLimit(kHoldLimitMs);
        c.set();
        const uint32_t id = RingNumber(c.number);
        c.farEnd(id);
        // Retries grow from 20 ms: the last of these comes within 2 s.
        ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
        EXPECT_EQ(c.dropFailures, Record(id).dropFailures);
        EXPECT_EQ(LINECALLSTATE_IDLE, Record(id).callState);
        EXPECT_EQ(0u, screener.LiveCallCount());
        EXPECT_TRUE(line.UnownedCalls().empty());
        EXPECT_EQ(130u, screener.TrayTip());
        TearDownOptions();
        screener.SetHoldLimit(kHoldLimitMs);

        const uint32_t next = RingNumber("998");
        ASSERT_TRUE(WaitState(next, LINECALLSTATE_CONNECTED));
        HangUpAndWait(next);
    }
}

TEST_F(CallScreenerTest, ReleasingCallsDropsThoseStillUp) {
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    const uint32_t id = RingNumber("999");
    ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
    screener.ReleaseCalls();
    EXPECT_EQ(0u, screener.LiveCallCount());
    EXPECT_EQ(nullptr, screener.Call(0).GetCall());
    EXPECT_TRUE(Record(id).deallocated || Record(id).dropRequests == 1);
}

// A line with call waiting offers a second call while the first is up.
// Answering it would put the first on hold or play into a conversation, so
// it is left alone whatever its rule says, and its row says why; once the
// first has ended, a second call still ringing is screened as usual.
TEST_F(CallScreenerTest, ASecondCallNeverDisturbsTheFirst) {
    AddEntry("555", FilterNeverBlock);
    AddEntry("777", FilterAlwaysBlock);
    prefs.DefaultMessageFile = WriteMessage("rw-long.wav", 3000);
    struct Case {
        const char* name;
        const char* first;
        bool pickedUp;     // the first is answered elsewhere, not by the program
        bool lateCallerId; // the second's caller ID comes after its offer
    } cases[] = {
        {"a blocked call hearing its message", "777", false, false},
        {"a blocked call, the second's caller ID late", "777", false, true},
        {"a permitted call answered elsewhere", "555", true, false},
        {"a permitted call answered elsewhere, the second's caller ID late", "555", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t first = RingNumber(c.first);
        if (c.pickedUp) {
            ASSERT_TRUE(PickUp(first));
        }
        ASSERT_TRUE(WaitState(first, LINECALLSTATE_CONNECTED));

        const uint32_t second =
            c.lateCallerId ? RingAndLog(Caller(CallerIdKind::Unknown, "", "")) : RingNumber("777");
        const size_t index = screener.CallCount() - 1;
        if (c.lateCallerId) {
            ASSERT_TRUE(DeliverCallerId(second, Caller(CallerIdKind::Number, "777", "")));
        }
        ASSERT_TRUE(PumpUntil(
            [&] { return screener.Call(index).GetAction() == ActionNotAnsweredLineBusy; }));
        EXPECT_EQ("Not answered (line busy)", ActionText(screener.Call(index).GetAction()));
        PumpFor(100);
        EXPECT_EQ(0u, Record(second).answerRequests);
        EXPECT_EQ(0u, Record(second).dropRequests);
        EXPECT_EQ(0u, Record(second).waveOutRequests);
        EXPECT_EQ(LINECALLSTATE_CONNECTED, Record(first).callState);
        EXPECT_EQ(c.pickedUp ? 0u : 1u, Record(first).waveOutRequests);

        // The first ends while the second still rings: now it is blocked.
        HangUp(first);
        ASSERT_TRUE(PumpUntil([&] { return Record(first).deallocated; }));
        ASSERT_TRUE(WaitState(second, LINECALLSTATE_CONNECTED));
        EXPECT_EQ(ActionBlockAlways, screener.Call(index).GetAction());
        ASSERT_TRUE(PumpUntil([&] { return Record(second).waveOutRequests == 1; }));
        HangUpAndWait(second);
    }
}

// Whether each call's caller ID arrived is told once: when it is screened,
// or when it ends (or is let go) still waiting.
TEST_F(CallScreenerTest, CallerIdOutcomeIsToldOncePerCall) {
    AddEntry("555", FilterNeverBlock);
    enum End { CallerHangsUp, LineReleased };
    struct Case {
        const char* name;
        CallerIdKind kind;
        const char* number;
        bool late; // "555" arrives later, and then "556"
        End end;
        bool arrived;
    } cases[] = {
        {"number", CallerIdKind::Number, "555", false, CallerHangsUp, true},
        {"withheld", CallerIdKind::Blocked, "", false, CallerHangsUp, true},
        {"out of area", CallerIdKind::OutOfArea, "", false, CallerHangsUp, true},
        {"unavailable", CallerIdKind::Unavailable, "", false, CallerHangsUp, true},
        {"late", CallerIdKind::Unknown, "", true, CallerHangsUp, true},
        {"never", CallerIdKind::Unknown, "", false, CallerHangsUp, false},
        {"never, line closed", CallerIdKind::Unknown, "", false, LineReleased, false},
        {"late, line closed", CallerIdKind::Unknown, "", true, LineReleased, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        notify.outcomes.clear();
        const uint32_t id = RingAndLog(Caller(c.kind, c.number, ""));
        if (c.late) {
            ASSERT_TRUE(DeliverCallerId(id, Caller(CallerIdKind::Number, "555", "")));
            ASSERT_TRUE(PumpUntil([&] { return !notify.outcomes.empty(); }));
            ASSERT_TRUE(DeliverCallerId(id, Caller(CallerIdKind::Number, "556", "")));
            PumpFor(50);
        }
        if (c.end == CallerHangsUp) {
            HangUpAndWait(id);
        } else {
            screener.ReleaseCalls(&line);
            EXPECT_EQ(0u, screener.LiveCallCount());
            HangUp(id);
        }
        EXPECT_EQ(std::vector<bool>{c.arrived}, notify.outcomes);
    }
}

// The service closed the line: its calls' handles are dead, and the
// screener lets go of them as the window asks it to; another line's calls
// would stay, and the rows remain in the log.
TEST_F(CallScreenerTest, ReleasingTheCallsOfAClosedLine) {
    struct Window : CTapiLineNotify {
        CCallScreener* screener;
        void OnLineClose(CTapiLine* closed) override { screener->ReleaseCalls(closed); }
    };
    // The line keeps listeners until it goes: this one outlives it.
    static Window window;
    window.screener = &screener;
    line.AddNotify(&window);
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    prefs.DefaultMessageFile = WriteMessage("rw-long.wav", 5000);
    RingNumber("999");
    ASSERT_TRUE(PumpUntil([&] { return screener.IsPlaying(); }));
    RingAndLog(Caller(CallerIdKind::Unknown, "", ""));
    ASSERT_EQ(2u, screener.LiveCallCount());

    CTapiLine other;
    screener.ReleaseCalls(&other);
    EXPECT_EQ(2u, screener.LiveCallCount());
    EXPECT_NE(nullptr, screener.Call(0).GetCall());

    notify.events.clear();
    notify.outcomes.clear();
    ASSERT_TRUE(CloseLine(0));
    ASSERT_TRUE(PumpUntil([&] { return screener.LiveCallCount() == 0; }));
    ASSERT_EQ(2u, screener.CallCount());
    EXPECT_EQ(nullptr, screener.Call(0).GetCall());
    EXPECT_EQ(nullptr, screener.Call(1).GetCall());
    EXPECT_EQ(ActionBlockAlwaysDefault, screener.Call(0).GetAction());
    EXPECT_FALSE(screener.IsPlaying());
    EXPECT_EQ((std::vector<bool>{false}), notify.outcomes);
    EXPECT_EQ((std::vector<std::string>{"tip 130"}), notify.events);

    // The line's own handle died with it; open it again for the next test.
    line.Close();
    ASSERT_EQ(0, line.OpenWithFallback(0, &screener));
}

// What the program claims and does must follow what really happened on the
// line: a call is its own only when its answer worked, a call connected by
// anyone else is left alone, a failed drop is tried again, and a service's
// extra reports (key ends, repeated states) change nothing.
TEST_F(CallScreenerTest, ClaimsOnlyWhatReallyHappened) {
    AddEntry("777", FilterBlockSometimes);
    AddEntry("555", FilterNeverBlock);
    prefs.OutOfHoursStart = prefs.OutOfHoursEnd = CDateTime::TimeOfDay(0, 0);
    screener.SetDropRetryInterval(50);
    // A caller ID points into its texts: each is made where it is used.
    const char* blocked = "777";
    const char* unknown = "";
    auto ringsOut = [](uint32_t id) { ASSERT_TRUE(PumpUntil([&] { return Record(id).rangOut; })); };
    auto connectAndHangUp = [&](uint32_t id) {
        ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
        PumpFor(100); // whatever the program starts, it has started
        HangUp(id);
    };
    auto pickUp = [&](uint32_t id) {
        ASSERT_TRUE(PickUp(id));
        ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
        // The caller ID that would block it comes after someone took it.
        ASSERT_TRUE(DeliverCallerId(id, Caller(CallerIdKind::Number, "777", "")));
        PumpFor(100);
        HangUp(id);
    };
    struct Case {
        const char* name;
        std::function<void()> set;
        const char* number;                   // none: caller ID comes later
        std::function<void(uint32_t)> farEnd; // until the call ends
        CallAction action;
        uint32_t waveOut, monitorOn; // requests the program made
        bool appDropped;
        uint32_t dropFailures;
    } cases[] = {
        {"answer refused at once",
         [] {
             SetOption(Option::AnswerNotOwner, true);
             SetRingTiming(20, 5);
         },
         blocked, ringsOut, ActionBlockFailed, 0, 0, false, 0},
        {"answer whose reply fails",
         [] {
             SetOption(Option::AnswerFails, true);
             SetRingTiming(20, 5);
         },
         blocked, ringsOut, ActionBlockFailed, 0, 0, false, 0},
        {"reply after the state it caused", [] { SetOption(Option::ReplyAfterState, true); },
         blocked, connectAndHangUp, ActionBlockByTime, 1, 1, true, 0},
        {"picked up elsewhere before its caller ID", [&] { screener.SetHoldLimit(0); }, unknown,
         pickUp, ActionBlockFailed, 0, 0, true, 0},
        // The hold limit counts from CONNECTED even while the answer's
        // reply is due (it may never come); here it is longer than the
        // reply takes, and the failed reply stops it.
        {"picked up elsewhere while the answer is pending",
         [&] {
             SetReplyDelay(300);
             screener.SetHoldLimit(600);
         },
         blocked,
         [&](uint32_t id) {
             ASSERT_TRUE(PickUp(id));
             ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
             // The answer's reply, failed, comes after the CONNECTED.
             ASSERT_TRUE(PumpUntil([&] {
                 return screener.Call(screener.CallCount() - 1).GetAction() != ActionBlockByTime;
             }));
             HangUp(id);
         },
         ActionBlockFailed, 0, 0, true, 0},
        {"permitted, picked up elsewhere", [&] { screener.SetHoldLimit(0); }, "555",
         [&](uint32_t id) {
             ASSERT_TRUE(PickUp(id));
             connectAndHangUp(id);
         },
         ActionPermitNeverBlock, 0, 0, true, 0},
        {"drop fails twice by its reply", [] { SetDropFailures(2, false); }, blocked,
         connectAndHangUp, ActionBlockByTime, 1, 1, true, 2},
        {"drop fails twice at once", [] { SetDropFailures(2, true); }, blocked, connectAndHangUp,
         ActionBlockByTime, 1, 1, true, 2},
        {"every key also reported at its end", [] { SetOption(Option::DigitsTwice, true); },
         blocked,
         [&](uint32_t id) {
             ASSERT_TRUE(PumpUntil([&] { return Record(id).monitorOn == 1; }));
             KeyDigits(id, "12");
             ASSERT_TRUE(PumpUntil([&] { return rules.Suspension().IsActive(); }));
             HangUp(id);
         },
         ActionBlockByTime, 2, 1, true, 0},
        {"connected reported twice", [] { SetOption(Option::ConnectedTwice, true); }, blocked,
         connectAndHangUp, ActionBlockByTime, 1, 1, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // A day later each time: a suspension the code started has run out.
        clock.Set(CDateTime(clock.Now().GetDays() + 1));
        screener.SetHoldLimit(kHoldLimitMs);
        c.set();
        const uint32_t id = RingAndLog(
            Caller(*c.number ? CallerIdKind::Number : CallerIdKind::Unknown, c.number, ""));
        const size_t index = screener.CallCount() - 1;
        c.farEnd(id);
        ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
        const CallRecord r = Record(id);
        // A call someone else took is never hung up while it is connected,
        // even past a hold limit of 0: it is only cleared once the caller
        // has gone.
        if (r.pickedUpMs >= 0 && r.droppedMs >= 0) {
            EXPECT_GE(r.droppedMs, r.hungUpMs);
        }
        EXPECT_EQ(c.action, screener.Call(index).GetAction());
        EXPECT_EQ(c.waveOut, r.waveOutRequests);
        EXPECT_EQ(c.monitorOn, r.monitorOn);
        EXPECT_EQ(c.appDropped, r.dropRequests > 0);
        EXPECT_EQ(c.dropFailures, r.dropFailures);
        EXPECT_TRUE(notify.dropFailed.empty());
        EXPECT_EQ(0u, screener.LiveCallCount());
        EXPECT_EQ(130u, screener.TrayTip());
        TearDownOptions();
    }
}

// A refused answer is told to the window like a late caller ID: the row
// changes and the tray goes back to idle.
TEST_F(CallScreenerTest, ARefusedAnswerIsShownAsAFailedBlock) {
    SetOption(Option::AnswerNotOwner, true);
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    const uint32_t id = RingNumber("999");
    EXPECT_EQ((std::vector<std::string>{"show 0", "logged 0", "tip 132", "changed 0", "refresh 0",
                                        "tip 130"}),
              notify.events);
    EXPECT_EQ(ActionBlockFailed, screener.Call(0).GetAction());
    HangUpAndWait(id);
    EXPECT_EQ(0u, Record(id).dropRequests);
}

// A line that never lets go: the program tries a few times, says so once,
// and keeps trying less and less often until the line recovers.
TEST_F(CallScreenerTest, ADropThatKeepsFailingIsReportedOnce) {
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    screener.SetDropRetryInterval(20);
    for (bool atOnce : {false, true}) {
        SCOPED_TRACE(atOnce ? "at once" : "by reply");
        notify.dropFailed.clear();
        SetDropFailures(100, atOnce);
        const uint32_t id = RingNumber("999");
        const size_t index = screener.CallCount() - 1;
        ASSERT_TRUE(WaitState(id, LINECALLSTATE_CONNECTED));
        HangUp(id);
        ASSERT_TRUE(PumpUntil([&] { return !notify.dropFailed.empty(); }));
        // Tried after 20, 40, 80 ms and reported; the next waits 160 ms,
        // then 320 ms.
        const uint32_t reported = Record(id).dropFailures;
        EXPECT_EQ(1 + CCallScreener::kDropRetries, reported);
        PumpFor(400);
        EXPECT_EQ(std::vector<size_t>{index}, notify.dropFailed);
        EXPECT_GE(Record(id).dropFailures, reported + 1);
        EXPECT_LE(Record(id).dropFailures, reported + 2);
        EXPECT_EQ(1u, screener.LiveCallCount());
        // The line recovers: letting go of the call object hangs it up.
        SetDropFailures(0, false);
        screener.ReleaseCalls();
        ASSERT_TRUE(PumpUntil([&] { return Record(id).deallocated; }));
    }
}

// Keeps the messages in a folder of the test's own and remembers what the
// screener told of them.
struct Messages : CMessageTaker {
    std::string folder;
    unsigned maxSeconds = 30;
    int made = 0;
    std::vector<RecordingResult> ended;
    std::vector<RecordingFailure> failed;
    bool TakesMessageFrom(const CLoggedCall&) override { return true; }
    std::string NewMessagePath(const CLoggedCall&) override {
        return folder + "\\message-" + std::to_string(++made) + ".wav";
    }
    unsigned MessageMaxSeconds() const override { return maxSeconds; }
    void OnMessageEnded(size_t, const RecordingResult& r) override { ended.push_back(r); }
    void OnMessageFailed(size_t, RecordingFailure why, uint32_t) override { failed.push_back(why); }
};

bool PumpLong(const std::function<bool()>& done, DWORD ms = 6000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        PumpFor(5);
    }
    return true;
}

class MessageTakingTest : public CallScreenerTest {
protected:
    void SetUp() override {
        CallScreenerTest::SetUp();
        messages.folder = TempPath("rw-messages-" + std::to_string(GetCurrentProcessId()));
        CreateDirectoryA(messages.folder.c_str(), nullptr);
        screener.SetMessageTaker(&messages);
        SetWaveInputSpeed(8); // the caller talks faster than life
        prefs.NonPhoneBookRule = FilterAlwaysBlock;
    }
    void TearDown() override {
        CallScreenerTest::TearDown();
        SetWaveInputSpeed(1);
        SetWaveInput(WaveInput::Works);
        CWaveFileWriter::SetRoomForTests(0);
        for (int i = 1; i <= messages.made; ++i)
            DeleteFileA((messages.folder + "\\message-" + std::to_string(i) + ".wav").c_str());
        RemoveDirectoryA(messages.folder.c_str());
    }
    static std::string TempPath(const std::string& name) { return TempDir() + name; }
    Messages messages;
};

// Every way a message ends: the greeting and the beep play, the caller is
// recorded, and what the recording kept is on the call's row; the call is
// then dropped, as a blocked call always is.
TEST_F(MessageTakingTest, EachWayAMessageEnds) {
    struct Case {
        const char* name;
        std::function<void(uint32_t)> say;       // before the beep
        std::function<void(uint32_t)> meanwhile; // once it records (null: nothing)
        unsigned maxSeconds;
        RecordingEnd why;
        bool kept;
        bool droppedByProgram; // else the caller or the line went first
    } cases[] = {
        {"the caller hangs up", [](uint32_t c) { SayNoise(c, 60000); },
         [](uint32_t c) {
             PumpFor(300);
             HangUp(c);
         },
         30, RecordingEnd::Stopped, true, true},
        {"a key", [](uint32_t c) { SayNoise(c, 60000); },
         [](uint32_t c) {
             PumpFor(300);
             KeyDigits(c, "5");
         },
         30, RecordingEnd::Stopped, true, true},
        {"the longest message", [](uint32_t c) { SayNoise(c, 60000); }, nullptr, 2,
         RecordingEnd::Limit, true, true},
        {"silence after speech", [](uint32_t c) { SayNoise(c, 2000); }, nullptr, 30,
         RecordingEnd::SilenceAfterSpeech, true, true},
        {"no speech", [](uint32_t) {}, nullptr, 2, RecordingEnd::Limit, false, true},
        {"dial tone",
         [](uint32_t c) {
             SayNoise(c, 2000);
             Gone(c, LineTone::Dial);
         },
         nullptr, 30, RecordingEnd::Tone, true, true},
        {"busy tone",
         [](uint32_t c) {
             SayNoise(c, 2000);
             Gone(c, LineTone::Busy);
         },
         nullptr, 30, RecordingEnd::Tone, true, true},
        {"the line closed", [](uint32_t c) { SayNoise(c, 60000); }, nullptr, 30,
         RecordingEnd::Stopped, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages.ended.clear();
        messages.maxSeconds = c.maxSeconds;
        const bool lineCloses = std::string(c.name) == "the line closed";
        const uint32_t id = Ring(Caller(CallerIdKind::Number, "999", ""));
        c.say(id);
        ASSERT_TRUE(PumpLong([&] { return screener.IsRecording(); }));
        // The greeting (100 ms at 8 kHz) and the beep (half a second at
        // 22,050 Hz) played before the recording.
        EXPECT_EQ(Record(id).bytesPlayed, 1600u + 22050u);
        if (c.meanwhile)
            c.meanwhile(id);
        if (lineCloses) {
            PumpFor(300);
            screener.ReleaseCalls(&line); // as the window does at LINE_CLOSE
        }
        ASSERT_TRUE(PumpLong([&] { return !messages.ended.empty(); }));
        const RecordingResult r = messages.ended[0];
        EXPECT_EQ(r.why, c.why);
        EXPECT_EQ(r.kept, c.kept);
        const CLoggedCall& logged = screener.Call(screener.CallCount() - 1);
        EXPECT_EQ(!logged.GetRecording().empty(), c.kept);
        EXPECT_EQ(logged.GetNoMessage(), !c.kept);
        EXPECT_EQ(GetFileAttributesA(r.path.c_str()) != INVALID_FILE_ATTRIBUTES, c.kept);
        if (c.kept) {
            CWavePlayer reader;
            EXPECT_TRUE(reader.LoadFromFile(r.path.c_str()));
            EXPECT_GT(logged.GetRecordingMs(), 500u);
        }
        if (c.droppedByProgram) {
            EXPECT_TRUE(PumpLong([&] { return Record(id).droppedMs >= 0; }));
        }
        if (!lineCloses && Record(id).hungUpMs < 0)
            HangUp(id);
        ASSERT_TRUE(PumpLong([&] { return screener.LiveCallCount() == 0; }));
        EXPECT_FALSE(screener.IsRecording());
    }
}

// The program quitting mid-message keeps what was said and tells it.
TEST_F(MessageTakingTest, QuittingKeepsTheMessage) {
    const uint32_t id = Ring(Caller(CallerIdKind::Number, "999", ""));
    SayNoise(id, 60000);
    ASSERT_TRUE(PumpLong([&] { return screener.IsRecording(); }));
    PumpFor(300);
    screener.ShutDownSound();
    ASSERT_EQ(1u, messages.ended.size());
    EXPECT_EQ(messages.ended[0].why, RecordingEnd::Stopped);
    EXPECT_TRUE(messages.ended[0].kept);
    EXPECT_FALSE(screener.Call(0).GetRecording().empty());
}

// A modem that cannot record blocks as before: greeting, then held until
// the hold limit; a disk that fills keeps what was said.
TEST_F(MessageTakingTest, NoVoiceInputAndAFullDisk) {
    screener.SetHoldLimit(300);
    SetWaveInput(WaveInput::Missing);
    uint32_t id = Ring(Caller(CallerIdKind::Number, "999", ""));
    ASSERT_TRUE(PumpLong([&] { return !messages.failed.empty(); }));
    EXPECT_EQ(messages.failed[0], RecordingFailure::NoDevice);
    EXPECT_GT(Record(id).bytesPlayed, 0u);
    ASSERT_TRUE(PumpLong([&] { return Record(id).droppedMs >= 0; }));
    EXPECT_TRUE(messages.ended.empty());
    HangUp(id);

    SetWaveInput(WaveInput::Works);
    screener.SetHoldLimit(kHoldLimitMs);
    CWaveFileWriter::SetRoomForTests(8000 * 2 * 2); // two seconds
    id = Ring(Caller(CallerIdKind::Number, "999", ""));
    SayNoise(id, 60000);
    ASSERT_TRUE(PumpLong([&] { return !messages.ended.empty(); }));
    EXPECT_EQ(messages.ended[0].why, RecordingEnd::DiskFull);
    EXPECT_TRUE(messages.ended[0].kept);
    CWavePlayer reader;
    EXPECT_TRUE(reader.LoadFromFile(messages.ended[0].path.c_str()));
    EXPECT_TRUE(PumpLong([&] { return Record(id).droppedMs >= 0; }))
        << Record(id).callState << " " << Record(id).dropRequests << " "
        << screener.LiveCallCount();
    HangUp(id);
}

// The security code works while the message is recorded: its first key
// ends the recording, its second suspends the blocks as ever.
TEST_F(MessageTakingTest, SecurityCodeDuringTheMessage) {
    AddEntry("777", FilterBlockSometimes);
    prefs.OutOfHoursStart = prefs.OutOfHoursEnd = CDateTime::TimeOfDay(0, 0);
    const uint32_t id = RingNumber("777");
    SayNoise(id, 60000);
    ASSERT_TRUE(PumpLong([&] { return screener.IsRecording(); }));
    PumpFor(200);
    KeyDigits(id, "1");
    ASSERT_TRUE(PumpLong([&] { return !messages.ended.empty(); }));
    EXPECT_EQ(Record(id).droppedMs, -1); // the second key is waited for
    KeyDigits(id, "2");
    ASSERT_TRUE(PumpLong([&] { return rules.Suspension().IsActive(); }));
    EXPECT_EQ(1u, Record(id).monitorOff);
    HangUpAndWait(id);
}

} // namespace
} // namespace rw
