#include "app/ScreeningRules.h"
#include "records/LoggedCall.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"

#include <gtest/gtest.h>

#include <ostream>

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
                           "Not answered (line busy)"};
    for (int32_t a = 0; a <= 12; ++a) {
        EXPECT_EQ(ActionText(a), texts[a]);
        const bool blocking = a == 3 || a == 4 || a == 7 || a == 8;
        EXPECT_EQ(IsBlockingAction(a), blocking) << a;
        EXPECT_EQ(IsSuspendableAction(a), a == 4 || a == 8) << a;
        CLoggedCall call;
        call.SetAction(a);
        EXPECT_EQ(call.IsBlockingAction(), blocking);
        EXPECT_EQ(call.IsSuspendableAction(), a == 4 || a == 8);
    }
    EXPECT_EQ(ActionText(13), "");
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
    }
    CallAction Ring(const std::string& number, bool hasNumber = true) {
        CLoggedCall call = NumberAndName(number, "", clock.Now());
        call.SetHasNumber(hasNumber);
        rules.EvaluateCall(call);
        return static_cast<CallAction>(call.GetAction());
    }
    void Later(int seconds) { clock.Set(CDateTime(clock.Now().GetDays() + seconds / 86400.0)); }
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
    EXPECT_EQ(Ring("0555 3"), ActionPermitRepeatedCall);
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

} // namespace
} // namespace rw
