#include "app/ScreeningRules.h"
#include "records/ByteStream.h"
#include "records/LoggedCall.h"
#include "records/VerifiedFile.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"

#include <gtest/gtest.h>

#include <iterator>
#include <ostream>
#include <utility>

namespace rw {
namespace {

CDateTime At(int hour, int minute, int second = 0) {
    return CDateTime::FromParts(2026, 12, 9, hour, minute, second);
}
CDateTime Tod(int hour, int minute) {
    return CDateTime::TimeOfDay(hour, minute);
}

struct WindowCase {
    CDateTime start, end, now;
    bool inside;
};

void PrintTo(const WindowCase& c, std::ostream* os) {
    *os << c.start.GetDays() << "-" << c.end.GetDays() << " at " << c.now.GetDays();
}

class WindowTest : public testing::TestWithParam<WindowCase> {};

TEST_P(WindowTest, Inside) {
    const auto& c = GetParam();
    EXPECT_EQ(IsInsideWindow(c.start, c.end, c.now), c.inside);
}

INSTANTIATE_TEST_SUITE_P(
    Bounds, WindowTest,
    testing::Values(
        // Across midnight, both ends inclusive from the second they begin.
        WindowCase{Tod(22, 0), Tod(7, 0), At(23, 30), true},
        WindowCase{Tod(22, 0), Tod(7, 0), At(6, 59), true},
        WindowCase{Tod(22, 0), Tod(7, 0), At(22, 0, 0), true},
        WindowCase{Tod(22, 0), Tod(7, 0), At(21, 59, 59), false},
        WindowCase{Tod(22, 0), Tod(7, 0), At(7, 0, 0), true},
        WindowCase{Tod(22, 0), Tod(7, 0), At(7, 0, 1), false},
        WindowCase{Tod(22, 0), Tod(7, 0), At(12, 0), false},
        WindowCase{Tod(22, 0), Tod(7, 0), At(0, 0), true},
        // Within one day.
        WindowCase{Tod(9, 0), Tod(17, 30), At(17, 30, 0), true},
        WindowCase{Tod(9, 0), Tod(17, 30), At(17, 30, 59), false},
        WindowCase{Tod(9, 0), Tod(17, 30), At(8, 59, 59), false},
        WindowCase{Tod(9, 0), Tod(17, 30), At(9, 0, 0), true},
        // Both bounds in the same hour: the minutes decide.
        WindowCase{Tod(12, 10), Tod(12, 40), At(12, 25), true},
        WindowCase{Tod(12, 10), Tod(12, 40), At(12, 9, 59), false},
        WindowCase{Tod(12, 10), Tod(12, 40), At(12, 41), false},
        WindowCase{Tod(12, 10), Tod(12, 40), At(3, 0), false},
        WindowCase{Tod(12, 40), Tod(12, 10), At(3, 0), true},
        WindowCase{Tod(12, 40), Tod(12, 10), At(12, 25), false},
        // Equal bounds cover the whole day.
        WindowCase{Tod(6, 0), Tod(6, 0), At(18, 0), true},
        WindowCase{Tod(6, 0), Tod(6, 0), At(6, 0, 30), true},
        // Seconds of a bound are ignored; a bound that is not a time is an empty window.
        WindowCase{CDateTime::TimeOfDay(9, 0, 45), Tod(10, 0), At(9, 0, 10), true},
        WindowCase{CDateTime(0.5, CDateTime::invalid), Tod(10, 0), At(9, 0), false},
        WindowCase{Tod(22, 0), CDateTime(), At(23, 0), false}));

class ScreeningTest : public testing::Test {
protected:
    ScreeningTest() : rules(book, prefs, clock) { clock.Set(At(12, 0)); }

    CPhoneBookEntry& AddEntry(const std::string& number, int32_t filter) {
        auto e = std::make_unique<CPhoneBookEntry>();
        e->Number = number;
        e->Name = "Name of " + number;
        e->FilterType = filter;
        e->InPhoneBook = 1;
        e->MakeLookupKey();
        CPhoneBookEntry& ref = *e;
        const std::string key = e->LookupKey; // before the move empties e
        book.SetAt(key, std::move(e));
        return ref;
    }

    CLoggedCall Call(const std::string& number, const std::string& name = "from the line") {
        CLoggedCall call;
        call.SetNumber(number);
        call.MakeLookupKey();
        call.SetName(name);
        call.SetCallTime(clock.Now());
        rules.EvaluateCall(call);
        return call;
    }

    CPhoneBook book;
    CRingwardenPreferences prefs;
    CSettableClock clock;
    CScreeningRules rules;
};

TEST_F(ScreeningTest, EmptyNumberWaitsAndTouchesNothing) {
    CPhoneBookEntry& empty = AddEntry("", FilterAlwaysBlock); // key ""
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    CLoggedCall call = Call("", "Caller Name");
    EXPECT_EQ(call.GetAction(), ActionWaitingForCallerId);
    EXPECT_EQ(call.GetName(), "Caller Name");
    EXPECT_EQ(call.GetMessageFile(), "");
    EXPECT_EQ(empty.LastCallTime.GetStatus(), CDateTime::null);
}

TEST_F(ScreeningTest, EntryGivesNameAnswerModeAndStampsLastCall) {
    CPhoneBookEntry& e = AddEntry("(01234) 567890", FilterNeverBlock);
    e.MessageFile = "own.wav";
    e.AnswerMode = AnswerSilence;
    prefs.DefaultMessageFile = "default.wav";
    prefs.NonPhoneBookRule = FilterAlwaysBlock;

    CLoggedCall call = Call("01234 567890");
    EXPECT_EQ(call.GetAction(), ActionPermitNeverBlock);
    EXPECT_EQ(call.GetName(), "Name of (01234) 567890");
    EXPECT_EQ(call.GetAnswerMode(), AnswerSilence);
    // Silence plays nothing; the entry keeps its file for later.
    EXPECT_EQ(call.GetMessageFile(), "");
    EXPECT_EQ(e.MessageFile, "own.wav");
    EXPECT_EQ(e.LastCallTime, call.GetCallTime());

    e.AnswerMode = AnswerDefaultMessage;
    EXPECT_EQ(Call("01234567890").GetMessageFile(), "default.wav");
    e.AnswerMode = AnswerOwnMessage;
    EXPECT_EQ(Call("01234567890").GetMessageFile(), "own.wav");
}

TEST_F(ScreeningTest, CallTypeMatchesLowerCaseEntry) {
    AddEntry("<blocked>", FilterAlwaysBlock);
    EXPECT_EQ(Call("<Blocked>").GetAction(), ActionBlockAlways);
}

TEST_F(ScreeningTest, NoEntryUsesDefaultRuleAndMessage) {
    prefs.DefaultMessageFile = "default.wav";
    CLoggedCall call = Call("999");
    EXPECT_EQ(call.GetName(), "<No Phone Book Entry>");
    EXPECT_EQ(call.GetAnswerMode(), AnswerDefaultMessage);
    EXPECT_EQ(call.GetMessageFile(), "default.wav");
    EXPECT_EQ(call.GetAction(), ActionPermitNeverBlockDefault);
}

struct RuleCase {
    bool inPhoneBook;
    int32_t filter;
    int useOwnHours;
    int hour; // time of the call; the default window is 23:00-08:00, the own one 11:00-13:00
    bool suspended;
    CallAction expected;
};

void PrintTo(const RuleCase& c, std::ostream* os) {
    *os << (c.inPhoneBook ? "entry" : "default") << " filter " << c.filter << " own "
        << c.useOwnHours << " at " << c.hour << (c.suspended ? " suspended" : "");
}

class RuleTest : public ScreeningTest, public testing::WithParamInterface<RuleCase> {};

TEST_P(RuleTest, Action) {
    const RuleCase& c = GetParam();
    if (c.inPhoneBook) {
        CPhoneBookEntry& e = AddEntry("123", c.filter);
        e.UseOwnHours = c.useOwnHours;
        e.OwnHoursStart = Tod(11, 0);
        e.OwnHoursEnd = Tod(13, 0);
    } else {
        prefs.NonPhoneBookRule = c.filter;
    }
    if (c.suspended)
        rules.Suspension().Start(At(0, 0), 24 * 60);
    clock.Set(At(c.hour, 0));
    EXPECT_EQ(Call("123").GetAction(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RuleTest,
    testing::Values(RuleCase{true, FilterNeverBlock, 0, 23, true, ActionPermitNeverBlock},
                    RuleCase{true, FilterAlwaysBlock, 0, 12, true, ActionBlockAlways},
                    RuleCase{true, FilterBlockSometimes, 0, 23, false, ActionBlockByTime},
                    RuleCase{true, FilterBlockSometimes, 0, 12, false, ActionPermitByTime},
                    RuleCase{true, FilterBlockSometimes, 0, 23, true, ActionPermitBlockSuspended},
                    RuleCase{true, FilterBlockSometimes, 0, 12, true, ActionPermitByTime},
                    RuleCase{true, FilterBlockSometimes, 1, 12, false, ActionBlockByTime},
                    RuleCase{true, FilterBlockSometimes, 7, 23, false, ActionPermitByTime},
                    RuleCase{true, 3, 0, 23, false, ActionWaitingForCallerId},
                    RuleCase{false, FilterNeverBlock, 0, 23, false, ActionPermitNeverBlockDefault},
                    RuleCase{false, FilterAlwaysBlock, 0, 12, true, ActionBlockAlwaysDefault},
                    RuleCase{false, FilterBlockSometimes, 0, 2, false, ActionBlockByTimeDefault},
                    RuleCase{false, FilterBlockSometimes, 0, 9, false, ActionPermitByTimeDefault},
                    RuleCase{false, FilterBlockSometimes, 0, 2, true, ActionPermitBlockSuspended},
                    RuleCase{false, -1, 0, 2, false, ActionWaitingForCallerId}));

TEST_F(ScreeningTest, SuspensionEndsOnlyWhenExpiredAtTheNextCall) {
    prefs.NonPhoneBookRule = FilterBlockSometimes;
    clock.Set(At(23, 0));
    rules.Suspension().Start(At(23, 0), 2);

    rules.ExpireSuspension(At(23, 2)); // exactly at expiry: still active
    EXPECT_TRUE(rules.Suspension().IsActive());
    EXPECT_EQ(Call("1").GetAction(), ActionPermitBlockSuspended);

    // Time passes the expiry, but nothing ends the suspension until the
    // next call is reported, so a late re-evaluation still permits.
    clock.Set(At(23, 5));
    EXPECT_EQ(Call("1").GetAction(), ActionPermitBlockSuspended);
    rules.ExpireSuspension(At(23, 2, 1));
    EXPECT_FALSE(rules.Suspension().IsActive());
    EXPECT_EQ(Call("1").GetAction(), ActionBlockByTimeDefault);
}

TEST(CallAction, TextsAndClasses) {
    const char* texts[] = {"Waiting for Caller ID",
                           "Permit (never block)",
                           "Permit (based on time of call)",
                           "Block (always)",
                           "Block (based on time of call)",
                           "Permit (never block - default rule)",
                           "Permit (based on time of call - default rule)",
                           "Block (always - default rule)",
                           "Block (based on time of call - default rule)",
                           "Permit (block suspended)",
                           "Block failed (could not answer)",
                           "Permit (repeated call)",
                           "Permit (every call rings)",
                           "Block (quiet)",
                           "Key check",
                           "Checked (key pressed)",
                           "Permit (checked caller)",
                           "Block (no key pressed)",
                           "Not answered (line busy)"};
    static_assert(std::size(texts) == ActionLast + 1);
    for (int32_t a = 0; a <= ActionLast; ++a) {
        EXPECT_EQ(ActionText(a), texts[a]);
        const bool suspendable = a == 4 || a == 8 || a == 13;
        // The key check's calls are answered too (all but the one that rings).
        const bool blocking = a == 3 || a == 7 || suspendable || a == 14 || a == 15 || a == 17;
        EXPECT_EQ(IsBlockingAction(a), blocking) << a;
        EXPECT_EQ(IsSuspendableAction(a), suspendable) << a;
        CLoggedCall call;
        call.SetAction(a);
        EXPECT_EQ(call.IsBlockingAction(), blocking);
        EXPECT_EQ(call.IsSuspendableAction(), suspendable);
    }
    EXPECT_EQ(ActionText(ActionLast + 1), "");
    // The key check's row names the digit asked for.
    CLoggedCall checking;
    checking.SetAction(ActionKeyCheck);
    EXPECT_EQ(checking.ActionDisplayText(), "Key check");
    checking.SetKeyCheckDigit('7');
    EXPECT_EQ(checking.ActionDisplayText(), "Key check (press 7)");
    EXPECT_EQ(ActionText(-1), "");
}

// A call as the screener logs it from caller ID with a number and a name.
CLoggedCall NumberAndName(const std::string& number, const std::string& name, CDateTime at) {
    CLoggedCall call;
    call.SetNumber(number);
    call.SetHasNumber(true);
    call.SetName(name);
    call.SetCallerIdName(name);
    call.MakeLookupKey();
    call.SetCallTime(at);
    return call;
}

TEST_F(ScreeningTest, ExactThenLongestPrefixThenNameKeyThenDefault) {
    prefs.NonPhoneBookRule = FilterNeverBlock;
    AddEntry("0900 123456", FilterNeverBlock).Name = "Exact";
    AddEntry("09*", FilterAlwaysBlock).Name = "Short prefix";
    CPhoneBookEntry& longer = AddEntry("(0900) 1*", FilterAlwaysBlock);
    longer.Name = "Long prefix";
    AddEntry("WIRELESS CALLER", FilterAlwaysBlock).Name = "Old name entry";
    AddEntry("0800", FilterAlwaysBlock).Name = "Exact 0800"; // not a prefix of 08001

    struct Case {
        const char* number;
        const char* name;
        const char* expectedName;
    } cases[] = {
        {"0900 123456", "WIRELESS CALLER", "Exact"},       // exact beats every prefix
        {"0900 123457", "WIRELESS CALLER", "Long prefix"}, // the longer of two prefixes
        {"0912", "WIRELESS CALLER", "Short prefix"},
        {"0901", "", "Short prefix"},                          // 0901 is not under 09001
        {"07700 900123", "Wireless caller", "Old name entry"}, // no number entry: the name's key
        {"08001", "WIRELESS CALLER", "Old name entry"},
        {"07700 900123", "Someone", "<No Phone Book Entry>"},
        {"09", "", "Short prefix"}, // its own digits start with them too
    };
    for (const Case& c : cases) {
        CLoggedCall call = NumberAndName(c.number, c.name, clock.Now());
        rules.EvaluateCall(call);
        EXPECT_EQ(call.GetName(), c.expectedName) << c.number << " / " << c.name;
        EXPECT_EQ(call.GetCallerIdName(), c.name);
    }
    // A call matched by a prefix stamps the prefix entry.
    clock.Set(At(13, 5));
    CLoggedCall call = NumberAndName("0900 1999", "", clock.Now());
    rules.EvaluateCall(call);
    EXPECT_EQ(longer.LastCallTime, clock.Now());
    EXPECT_EQ(call.GetAction(), ActionBlockAlways);
}

class RepeatedCallTest : public ScreeningTest {
protected:
    RepeatedCallTest() {
        prefs.NonPhoneBookRule = FilterBlockSometimes; // 23:00 to 08:00
        clock.Set(At(23, 30));
        // Most of these ring numbers without an entry: the window's own
        // rules are the same for both.
        rules.SetRepeatsWithoutEntry(true);
    }
    CallAction Ring(const std::string& number, bool hasNumber = true) {
        CLoggedCall call = NumberAndName(number, "", clock.Now());
        call.SetHasNumber(hasNumber);
        rules.EvaluateCall(call);
        return static_cast<CallAction>(call.GetAction());
    }
    void Later(int seconds) { clock.Set(CDateTime(clock.Now().GetDays() + seconds / 86400.0)); }
    static constexpr int kGap = CRepeatedCalls::kMinGapSeconds;
};

TEST_F(RepeatedCallTest, SecondCallWithinTheMinutesOfATimeBlockRings) {
    EXPECT_EQ(rules.RepeatedCalls().Minutes(), 3);
    EXPECT_EQ(Ring("0555 1"), ActionBlockByTimeDefault);
    EXPECT_EQ(Ring("0555 2"), ActionBlockByTimeDefault); // another number
    Later(3 * 60);                                       // the last second of the window
    EXPECT_EQ(Ring("0555 1"), ActionPermitRepeatedCall);
    // The window counts from the first call, not from the repeat.
    Later(1);
    EXPECT_EQ(Ring("0555 1"), ActionBlockByTimeDefault);
    // ...and that block opens a new one.
    Later(60);
    EXPECT_EQ(Ring("0555 1"), ActionPermitRepeatedCall);

    // An entry's own hours count as a time block too.
    CPhoneBookEntry& own = AddEntry("0555 3", FilterBlockSometimes);
    own.UseOwnHours = 1;
    own.OwnHoursStart = Tod(22, 0);
    own.OwnHoursEnd = Tod(23, 59);
    EXPECT_EQ(Ring("0555 3"), ActionBlockByTime);
    Later(30);
    EXPECT_EQ(Ring("0555 3"), ActionPermitRepeatedCall);
}

// Autodialers redial within seconds; a person calls again after a while.
// By default only a caller with an entry gets the repeat.
TEST_F(RepeatedCallTest, ARobotsRedialNeverRingsAndAnUnknownCallerNeedsTheSetting) {
    struct Case {
        const char* name;
        bool entry;
        bool withoutEntry;
        int gap; // seconds, first ring to first ring
        CallAction second;
    };
    const Case cases[] = {
        {"robot, no entry", false, false, 5, ActionBlockByTimeDefault},
        {"person, no entry", false, false, 90, ActionBlockByTimeDefault},
        {"robot, no entry, setting on", false, true, 5, ActionBlockByTimeDefault},
        {"person, no entry, setting on", false, true, 90, ActionPermitRepeatedCall},
        {"robot, entry", true, false, 5, ActionBlockByTime},
        {"person, entry", true, false, 90, ActionPermitRepeatedCall},
        {"person at exactly 20 s, entry", true, false, 20, ActionPermitRepeatedCall},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string number = "0666 " + std::to_string(n++);
        if (c.entry)
            AddEntry(number, FilterBlockSometimes);
        rules.SetRepeatsWithoutEntry(c.withoutEntry);
        EXPECT_TRUE(IsSuspendableAction(Ring(number))) << c.name;
        Later(c.gap);
        EXPECT_EQ(Ring(number), c.second) << c.name;
    }
    // A robot that redials at 5 s and again at 10 s is turned away each
    // time, and its window still counts from its first ring.
    AddEntry("0666 99", FilterBlockSometimes);
    EXPECT_EQ(Ring("0666 99"), ActionBlockByTime);
    Later(5);
    EXPECT_EQ(Ring("0666 99"), ActionBlockByTime);
    Later(5);
    EXPECT_EQ(Ring("0666 99"), ActionBlockByTime);
    Later(15); // 25 s after the first
    EXPECT_EQ(Ring("0666 99"), ActionPermitRepeatedCall);
}

TEST_F(RepeatedCallTest, NeverForAlwaysBlockOrWithoutANumberOrWhenOff) {
    AddEntry("0555 4", FilterAlwaysBlock);
    EXPECT_EQ(Ring("0555 4"), ActionBlockAlways);
    EXPECT_EQ(Ring("0555 4"), ActionBlockAlways);
    // A withheld caller (or a bare name) is shared by many callers.
    EXPECT_EQ(Ring("<Blocked>", false), ActionBlockByTimeDefault);
    EXPECT_EQ(Ring("<Blocked>", false), ActionBlockByTimeDefault);
    // Always Block by the default rule.
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    EXPECT_EQ(Ring("0555 5"), ActionBlockAlwaysDefault);
    EXPECT_EQ(Ring("0555 5"), ActionBlockAlwaysDefault);
    prefs.NonPhoneBookRule = FilterBlockSometimes;
    rules.RepeatedCalls().SetMinutes(0);
    EXPECT_EQ(Ring("0555 6"), ActionBlockByTimeDefault);
    EXPECT_EQ(Ring("0555 6"), ActionBlockByTimeDefault);
}

// The memory of recent blocks forgets only what has passed, however many
// numbers ring at once.
TEST_F(RepeatedCallTest, ManyNumbersAtOnceAreAllRemembered) {
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(Ring("0555 9" + std::to_string(i)), ActionBlockByTimeDefault) << i;
    Later(120);
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(Ring("0555 9" + std::to_string(i)), ActionPermitRepeatedCall) << i;
    Later(120); // the first blocks' windows have passed
    for (int i = 0; i < 500; ++i)
        ASSERT_EQ(Ring("0555 8" + std::to_string(i)), ActionBlockByTimeDefault) << i;
    Later(RepeatedCallTest::kGap);
    EXPECT_EQ(Ring("0555 90"), ActionBlockByTimeDefault);
    EXPECT_EQ(Ring("0555 8499"), ActionPermitRepeatedCall);
}

TEST_F(RepeatedCallTest, ClocksGoingBackNeverStretchTheWindow) {
    // 01:58 British summer time is 00:58 universal time; two minutes later
    // the clocks go back to 01:00 GMT.
    clock.SetUtcOffset(60);
    clock.Set(At(1, 58));
    EXPECT_EQ(Ring("0555 7"), ActionBlockByTimeDefault);
    clock.SetUtcOffset(0);
    // 01:05 GMT: the wall clock says 53 minutes earlier, really it is 7 later.
    clock.Set(At(1, 5));
    EXPECT_EQ(Ring("0555 7"), ActionBlockByTimeDefault);
    // Within the real minutes across the change it still rings through.
    clock.SetUtcOffset(60);
    clock.Set(At(1, 59));
    EXPECT_EQ(Ring("0555 8"), ActionBlockByTimeDefault);
    clock.SetUtcOffset(0);
    clock.Set(At(1, 1)); // 2 real minutes later
    EXPECT_EQ(Ring("0555 8"), ActionPermitRepeatedCall);
    // A clock set back by hand: how long ago the block was is unknown.
    clock.Set(At(0, 58));
    EXPECT_EQ(Ring("0555 8"), ActionBlockByTimeDefault);
}

// Whole days out of hours apply wherever the default window does, and
// only there. 2026-12-12 is a Saturday, 2026-12-09 a Wednesday.
TEST_F(ScreeningTest, WholeDaysOutOfHoursFollowTheDefaultWindow) {
    prefs.NonPhoneBookRule = FilterBlockSometimes; // 23:00 to 08:00
    AddEntry("0555 1", FilterBlockSometimes);      // the default window
    CPhoneBookEntry& own = AddEntry("0555 2", FilterBlockSometimes);
    own.UseOwnHours = 1;
    own.OwnHoursStart = Tod(1, 0);
    own.OwnHoursEnd = Tod(2, 0);
    EXPECT_EQ(WeekdayOf(CDateTime::FromParts(2026, 12, 12, 12, 0, 0)), 6);
    EXPECT_EQ(WeekdayOf(CDateTime::FromParts(2026, 12, 13, 0, 0, 0)), 0);
    struct Case {
        int day;
        unsigned days;
        CallAction unknown, defaultHours, ownHours;
    };
    const Case cases[] = {
        {12, kSaturday | kSunday, ActionBlockByTimeDefault, ActionBlockByTime, ActionPermitByTime},
        {13, kSunday, ActionBlockByTimeDefault, ActionBlockByTime, ActionPermitByTime},
        {12, 0, ActionPermitByTimeDefault, ActionPermitByTime, ActionPermitByTime},
        {9, kSaturday | kSunday, ActionPermitByTimeDefault, ActionPermitByTime, ActionPermitByTime},
    };
    for (const Case& c : cases) {
        rules.SetAllDayOutOfHours(c.days);
        clock.Set(CDateTime::FromParts(2026, 12, c.day, 12, 0, 0));
        auto ring = [&](const std::string& number) {
            CLoggedCall call = NumberAndName(number, "", clock.Now());
            rules.EvaluateCall(call);
            return call.GetAction();
        };
        EXPECT_EQ(ring("0555 9"), c.unknown) << c.day << " " << c.days;
        EXPECT_EQ(ring("0555 1"), c.defaultHours) << c.day << " " << c.days;
        EXPECT_EQ(ring("0555 2"), c.ownHours) << c.day << " " << c.days;
    }
}

// The overrides: what each caller gets while one is on, and that its end
// is universal time, so that neither its end passing nor the clocks going
// back leave it on.
TEST_F(ScreeningTest, OverridesTreatEveryCallerAsTheyShould) {
    prefs.NonPhoneBookRule = FilterNeverBlock;
    AddEntry("0555 1", FilterNeverBlock);
    AddEntry("0555 2", FilterBlockSometimes); // outside 23:00 to 08:00 at noon
    AddEntry("0555 3", FilterAlwaysBlock);
    struct Case {
        OverrideMode mode;
        CallAction never, sometimes, always, unknown;
    };
    const Case cases[] = {
        {OverrideMode::None, ActionPermitNeverBlock, ActionPermitByTime, ActionBlockAlways,
         ActionPermitNeverBlockDefault},
        {OverrideMode::AllRing, ActionPermitEveryCallRings, ActionPermitEveryCallRings,
         ActionPermitEveryCallRings, ActionPermitEveryCallRings},
        {OverrideMode::Quiet, ActionPermitNeverBlock, ActionBlockQuiet, ActionBlockAlways,
         ActionBlockQuiet},
    };
    auto ring = [&](const std::string& number) {
        CLoggedCall call = NumberAndName(number, "", clock.Now());
        rules.EvaluateCall(call);
        return call.GetAction();
    };
    const long long inAnHour = clock.UtcSeconds() + 3600;
    for (const Case& c : cases) {
        rules.Override().Set(c.mode, inAnHour);
        EXPECT_EQ(ring("0555 1"), c.never);
        EXPECT_EQ(ring("0555 2"), c.sometimes);
        EXPECT_EQ(ring("0555 3"), c.always);
        EXPECT_EQ(ring("0555 9"), c.unknown);
    }
    // Quiet is night: the security code's suspension lets callers through.
    rules.Suspension().Start(clock.Now(), 5);
    EXPECT_EQ(ring("0555 9"), ActionPermitBlockSuspended);
    rules.Suspension().Expire(CDateTime(clock.Now().GetDays() + 1));

    // Its end has come: gone.
    clock.Set(CDateTime(clock.Now().GetDays() + 3600 / 86400.0));
    EXPECT_EQ(ring("0555 9"), ActionPermitNeverBlockDefault);
    // Quiet for an hour from 01:30 British summer time; at 02:00 the clocks
    // go back to 01:00. At 01:31 GMT, an hour and a minute later, it has
    // ended, though the wall clock has not reached 02:30.
    clock.SetUtcOffset(60);
    clock.Set(At(1, 30));
    rules.Override().Set(OverrideMode::Quiet, clock.UtcSeconds() + 3600);
    clock.SetUtcOffset(0);
    clock.Set(At(1, 29));
    EXPECT_EQ(rules.OverrideNow(), OverrideMode::Quiet);
    clock.Set(At(1, 31));
    EXPECT_EQ(rules.OverrideNow(), OverrideMode::None);
    // Until turned off: no end.
    rules.Override().Set(OverrideMode::Quiet, CScreeningOverride::kNever);
    clock.Set(CDateTime(clock.Now().GetDays() + 400));
    EXPECT_EQ(ring("0555 9"), ActionBlockQuiet);
}

// The key check: who is asked, who is let through afterwards, and for how
// long a number stays verified.
TEST_F(ScreeningTest, TheKeyCheckAsksUnknownCallersTheDefaultRuleWouldBlock) {
    rules.SetKeyCheck(true);
    AddEntry("0555 1", FilterAlwaysBlock);
    AddEntry("0555 2", FilterBlockSometimes);
    auto ring = [&](const std::string& number, bool hasNumber = true) {
        CLoggedCall call = NumberAndName(number, "", clock.Now());
        call.SetHasNumber(hasNumber);
        rules.EvaluateCall(call);
        return std::make_pair(call.GetAction(), call.GetKeyCheckFallback());
    };
    struct Case {
        int32_t rule;
        int hour;
        const char* number;
        bool hasNumber;
        int32_t action, fallback;
    };
    const Case cases[] = {
        // Whom the default rule blocks, always or by time, is asked.
        {FilterAlwaysBlock, 12, "0555 9", true, ActionKeyCheck, ActionBlockAlwaysDefault},
        {FilterBlockSometimes, 23, "0555 9", true, ActionKeyCheck, ActionBlockByTimeDefault},
        // Whom it lets through, an entry and a withheld number are not.
        {FilterBlockSometimes, 12, "0555 9", true, ActionPermitByTimeDefault, 0},
        {FilterNeverBlock, 23, "0555 9", true, ActionPermitNeverBlockDefault, 0},
        {FilterAlwaysBlock, 12, "0555 1", true, ActionBlockAlways, 0},
        {FilterAlwaysBlock, 23, "0555 2", true, ActionBlockByTime, 0},
        {FilterAlwaysBlock, 12, "<Blocked>", false, ActionBlockAlwaysDefault, 0},
    };
    for (const Case& c : cases) {
        prefs.NonPhoneBookRule = c.rule;
        clock.Set(At(c.hour, 30));
        EXPECT_EQ(ring(c.number, c.hasNumber), std::make_pair(c.action, c.fallback))
            << c.rule << " " << c.hour << " " << c.number;
    }
    // Off: the default rule as before.
    rules.SetKeyCheck(false);
    prefs.NonPhoneBookRule = FilterAlwaysBlock;
    EXPECT_EQ(ring("0555 9").first, ActionBlockAlwaysDefault);
    rules.SetKeyCheck(true);

    // Passed: rings through as checked, for the days set.
    rules.Verified().SetDays(30);
    rules.Verified().Verify("05559", clock.UtcSeconds());
    EXPECT_EQ(ring("0555 9").first, ActionPermitCheckedCaller);
    clock.Set(CDateTime(clock.Now().GetDays() + 1)); // a day later
    EXPECT_EQ(ring("0555 9").first, ActionPermitCheckedCaller);
    clock.Set(CDateTime(clock.Now().GetDays() + 30)); // 31 days
    EXPECT_EQ(ring("0555 9").first, ActionKeyCheck);
    // 0 days: only the next call within ten minutes rings through.
    rules.Verified().SetDays(0);
    rules.Verified().Verify("05559", clock.UtcSeconds());
    clock.Set(CDateTime(clock.Now().GetDays() + 9 / 1440.0));
    EXPECT_EQ(ring("0555 9").first, ActionPermitCheckedCaller);
    clock.Set(CDateTime(clock.Now().GetDays() + 2 / 1440.0));
    EXPECT_EQ(ring("0555 9").first, ActionKeyCheck);
    // Quiet asks an unknown caller too; every call ringing asks nobody.
    prefs.NonPhoneBookRule = FilterNeverBlock;
    rules.Override().Set(OverrideMode::Quiet, CScreeningOverride::kNever);
    EXPECT_EQ(ring("0555 8"), std::make_pair(int32_t(ActionKeyCheck), int32_t(ActionBlockQuiet)));
    rules.Override().Set(OverrideMode::AllRing, CScreeningOverride::kNever);
    EXPECT_EQ(ring("0555 8").first, ActionPermitEveryCallRings);
}

// The verified list's file: what it writes reads back, and what it reads
// from a damaged or hostile file is only what can be trusted.
TEST(VerifiedFile, WritesReadBackAndDamagedLinesAreSkipped) {
    const std::vector<CVerifiedEntry> entries = {{"05551", 1797024600}, {"0900*", 5}};
    const std::string text = FormatVerified(entries);
    CMemorySource source(text.data(), text.size());
    size_t skipped = 0;
    EXPECT_EQ(ReadVerified(source, skipped), entries);
    EXPECT_EQ(skipped, 0u);
    const std::string damaged = std::string(kVerifiedHeader) +
                                "\r\n05552\t12\r\nno tab\r\n05553\t-4\r\n\t9\r\n" +
                                std::string(5000, '7') + "\t1\n05554\t99999999999999\n05555\t6";
    CMemorySource hostile(damaged.data(), damaged.size());
    EXPECT_EQ(ReadVerified(hostile, skipped),
              (std::vector<CVerifiedEntry>{{"05552", 12}, {"05555", 6}}));
    EXPECT_EQ(skipped, 5u);
}

TEST(ScreeningOverride, ItsWordsInRingwardenIniReadBack) {
    struct Case {
        const char* text;
        bool ok;
        long long until;
    };
    const Case cases[] = {
        {"2026-12-11T21:30:00Z", true, 1797024600},
        {"1970-01-01T00:00:00Z", true, 0},
        {"never", true, CScreeningOverride::kNever},
        {"2026-12-11T21:30:00", false, 0},
        {"2026-12-11T21:30:00+01:00", false, 0},
        {"2026-02-30T21:30:00Z", false, 0},
        {"1969-12-31T23:59:59Z", false, 0},
        {"", false, 0},
        {"soon", false, 0},
    };
    for (const Case& c : cases) {
        long long until = 0;
        EXPECT_EQ(CScreeningOverride::ParseUntil(c.text, until), c.ok) << c.text;
        if (!c.ok)
            continue;
        EXPECT_EQ(until, c.until) << c.text;
        EXPECT_EQ(CScreeningOverride::FormatUntil(until), c.text);
    }
    for (OverrideMode mode : {OverrideMode::None, OverrideMode::Quiet, OverrideMode::AllRing}) {
        OverrideMode read = OverrideMode::None;
        EXPECT_TRUE(CScreeningOverride::ParseMode(CScreeningOverride::ModeName(mode), read));
        EXPECT_EQ(read, mode);
    }
    OverrideMode read = OverrideMode::Quiet;
    EXPECT_FALSE(CScreeningOverride::ParseMode("QUIET", read));
}

} // namespace
} // namespace rw
