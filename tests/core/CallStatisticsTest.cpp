#include "StatisticsRows.h"
#include "app/CallStatistics.h"

#include <gtest/gtest.h>

#include <array>
#include <iterator>
#include <string>
#include <vector>

namespace rw {
namespace {

using test::StatRow;

std::vector<std::string> Callers(const std::vector<CTopCaller>& top) {
    std::vector<std::string> out;
    for (const CTopCaller& c : top)
        out.push_back(c.name + " " + c.number + " " + std::to_string(c.calls));
    return out;
}

// Each history: the figures for today, the week, the period and the two
// top lists.
TEST(CallStatistics, SmallHistoriesGiveTheirKnownFigures) {
    struct Totals {
        int calls, blocked, percent;
    };
    struct Case {
        const char* what;
        std::vector<CHistoryRow> rows;
        int days;
        Totals today, week, period;
        std::vector<std::string> topBlocked, topRang;
        std::array<int, kCallOutcomeCount> lastDay; // today's bar
    };
    const Case cases[] = {
        {"no calls", {}, 30, {0, 0, 0}, {0, 0, 0}, {0, 0, 0}, {}, {}, {0, 0, 0, 0}},
        {"a week of calls, seven days",
         test::StatisticsWeek(),
         7,
         {7, 4, 57},
         {11, 6, 55},
         {12, 6, 50},
         {"Sales 0161-496-0000 3", "Robot 0909 879 0000 1", "Surgery 01632 960123 1",
          "Withheld <Blocked> 1"},
         {"Friend 01632 960001 4"},
         {1, 3, 1, 2}},
        {"a week of calls, thirty days: the older call counts",
         test::StatisticsWeek(),
         30,
         {7, 4, 57},
         {11, 6, 55},
         {13, 7, 54},
         {"Sales 0161-496-0000 4", "Robot 0909 879 0000 1", "Surgery 01632 960123 1",
          "Withheld <Blocked> 1"},
         {"Friend 01632 960001 4"},
         {1, 3, 1, 2}},
        {"caller ID after the first ring, written twice: once, as screened",
         {StatRow(4, 10, 0, "", "", ActionWaitingForCallerId),
          StatRow(4, 10, 0, "Neighbour", "01632 960003", ActionPermitByTime)},
         7,
         {1, 0, 0},
         {1, 0, 0},
         {1, 0, 0},
         {},
         {"Neighbour 01632 960003 1"},
         {1, 0, 0, 0}},
        {"two withheld calls in the same second stay two",
         {StatRow(4, 10, 0, "A", "<Blocked>", ActionBlockAlways),
          StatRow(4, 10, 0, "B", "<Out Of Area>", ActionBlockAlways)},
         7,
         {2, 2, 100},
         {2, 2, 100},
         {2, 2, 100},
         {"A <Blocked> 1", "B <Out Of Area> 1"},
         {},
         {0, 2, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const CCallStatistics s = ComputeCallStatistics(c.rows, test::StatisticsToday(), c.days);
        EXPECT_EQ(s.today.Calls(), c.today.calls);
        EXPECT_EQ(s.today.Blocked(), c.today.blocked);
        EXPECT_EQ(s.today.BlockedPercent(), c.today.percent);
        EXPECT_EQ(s.week.Calls(), c.week.calls);
        EXPECT_EQ(s.week.Blocked(), c.week.blocked);
        EXPECT_EQ(s.week.BlockedPercent(), c.week.percent);
        EXPECT_EQ(s.period.Calls(), c.period.calls);
        EXPECT_EQ(s.period.Blocked(), c.period.blocked);
        EXPECT_EQ(s.period.BlockedPercent(), c.period.percent);
        EXPECT_EQ(Callers(s.topBlocked), c.topBlocked);
        EXPECT_EQ(Callers(s.topRangThrough), c.topRang);
        ASSERT_EQ(s.days.size(), static_cast<size_t>(c.days));
        EXPECT_EQ(FormatDay(s.days.back().day), "2026-03-04");
        EXPECT_EQ(s.days.back().counts.byOutcome, c.lastDay);
    }
}

// Every outcome a call can end with falls in one of the chart's four.
TEST(CallStatistics, EveryActionHasItsOutcome) {
    const CallOutcome expected[] = {
        CallOutcome::Other,       CallOutcome::RangThrough, CallOutcome::RangThrough,
        CallOutcome::Blocked,     CallOutcome::Blocked,     CallOutcome::RangThrough,
        CallOutcome::RangThrough, CallOutcome::Blocked,     CallOutcome::Blocked,
        CallOutcome::RangThrough, CallOutcome::Other,       CallOutcome::RangThrough,
        CallOutcome::RangThrough, CallOutcome::Blocked,     CallOutcome::Blocked,
        CallOutcome::Blocked,     CallOutcome::RangThrough, CallOutcome::Blocked,
        CallOutcome::Other,
    };
    static_assert(std::size(expected) == kLastCallAction + 1, "a new action needs its outcome");
    for (int32_t a = 0; a <= kLastCallAction; ++a) {
        SCOPED_TRACE(a);
        EXPECT_EQ(OutcomeOf(StatRow(4, 9, 0, "A", "1", a)), expected[a]);
        EXPECT_EQ(OutcomeOf(StatRow(4, 9, 0, "A", "1", a, "m.wav")), CallOutcome::Message);
    }
}

// Only the ten who rang most, most first; a tie goes to the latest caller.
TEST(CallStatistics, TheTopListsKeepTenMostFirst) {
    std::vector<CHistoryRow> rows;
    for (int caller = 0; caller < 12; ++caller) {
        const std::string digits = std::to_string(caller);
        for (int call = 0; call <= caller % 3; ++call)
            rows.push_back(StatRow(4, caller, call, std::string("C").append(digits),
                                   std::to_string(100 + caller), ActionBlockAlways));
    }
    const CCallStatistics s = ComputeCallStatistics(rows, test::StatisticsToday(), 7);
    EXPECT_EQ(
        Callers(s.topBlocked),
        (std::vector<std::string>{"C11 111 3", "C8 108 3", "C5 105 3", "C2 102 3", "C10 110 2",
                                  "C7 107 2", "C4 104 2", "C1 101 2", "C9 109 1", "C6 106 1"}));
}

TEST(CallStatistics, TheTextHoldsTheFigures) {
    const CCallStatistics s =
        ComputeCallStatistics(test::StatisticsWeek(), test::StatisticsToday(), 7);
    const std::string text = FormatCallStatistics(s);
    for (const char* expected :
         {"Today: 7 calls, 4 blocked (57%)\n", "This week: 11 calls, 6 blocked (55%)\n",
          "Last 7 days: 12 calls, 6 blocked (50%)\n", "Blocked most often:\n",
          "    3  Sales (0161-496-0000)\n", "Let through most often:\n",
          "    4  Friend (01632 960001)\n", "Day, Rang through, Blocked, Left a message, Other\n",
          "2026-03-04, 1, 3, 1, 2\n", "2026-02-26, 0, 0, 0, 0\n"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(FormatCallStatistics(s, true).find("\n\n"), std::string::npos);
}

} // namespace
} // namespace rw
