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
                           "Block failed (could not answer)"};
    for (int32_t a = 0; a <= 10; ++a) {
        EXPECT_EQ(ActionText(a), texts[a]);
        const bool blocking = a == 3 || a == 4 || a == 7 || a == 8;
        EXPECT_EQ(IsBlockingAction(a), blocking) << a;
        EXPECT_EQ(IsSuspendableAction(a), a == 4 || a == 8) << a;
        CLoggedCall call;
        call.SetAction(a);
        EXPECT_EQ(call.IsBlockingAction(), blocking);
        EXPECT_EQ(call.IsSuspendableAction(), a == 4 || a == 8);
    }
    EXPECT_EQ(ActionText(11), "");
    EXPECT_EQ(ActionText(-1), "");
}

} // namespace
} // namespace rw
