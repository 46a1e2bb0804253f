// The call list's order, driven without a window: header clicks, and calls
// added one at a time landing where a full sort would put them.
#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "ui/CallListOrder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace rw {
namespace {

using Column = CCallListOrder::Column;

// A call log and the order of its rows.
struct LogFixture {
    std::vector<std::unique_ptr<CLoggedCall>> calls;
    CCallListOrder order{[this](size_t i) -> const CLoggedCall& { return *calls[i]; }};

    void Log(const std::string& name, const std::string& number, int minute, int32_t action) {
        LogAt(name, number, CDateTime::FromParts(2024, 5, 6, 10, minute, 0), action);
    }
    void LogAt(const std::string& name, const std::string& number, CDateTime time,
               int32_t action = ActionPermitNeverBlock) {
        auto call = std::make_unique<CLoggedCall>();
        call->SetName(name);
        call->SetNumber(number);
        call->SetCallTime(time);
        call->SetAction(action);
        calls.push_back(std::move(call));
        order.Insert(calls.size() - 1);
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (size_t i = 0; i < order.Size(); ++i)
            names.push_back(calls[order.LogIndexAt(i)]->GetName());
        return names;
    }
};

TEST(CallListOrder, HeaderClicksChooseColumnAndDirection) {
    LogFixture log;
    // Neither the names' bytes nor the action numbers give the orders a
    // case-blind comparison of the texts gives.
    log.Log("alpha", "100", 0, ActionPermitNeverBlock);       // "Permit (never block)"
    log.Log("Bravo", "300", 2, ActionBlockAlways);            // "Block (always)"
    log.Log("charlie", "200", 1, ActionPermitBlockSuspended); // "Permit (block suspended)"
    EXPECT_EQ(log.order.SortColumn(), Column::ColumnTime);
    EXPECT_FALSE(log.order.Reversed());
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Bravo", "charlie", "alpha"}));

    struct Step {
        int click;
        bool reversed;
        std::vector<std::string> names;
    };
    const Step steps[] = {
        {Column::ColumnTime, true, {"alpha", "charlie", "Bravo"}}, // first click: oldest first
        {Column::ColumnTime, false, {"Bravo", "charlie", "alpha"}},
        {Column::ColumnName, false, {"alpha", "Bravo", "charlie"}},
        {Column::ColumnName, true, {"charlie", "Bravo", "alpha"}},
        {Column::ColumnNumber, false, {"alpha", "charlie", "Bravo"}},
        {Column::ColumnAction, false, {"Bravo", "charlie", "alpha"}},
        {Column::ColumnAction, true, {"alpha", "charlie", "Bravo"}},
        {Column::ColumnTime, false, {"Bravo", "charlie", "alpha"}},
    };
    for (const Step& step : steps) {
        log.order.ClickColumn(step.click);
        EXPECT_EQ(log.order.SortColumn(), step.click);
        EXPECT_EQ(log.order.Reversed(), step.reversed) << step.click;
        EXPECT_EQ(log.Names(), step.names) << step.click << (step.reversed ? " reversed" : "");
    }
}

TEST(CallListOrder, EveryActionSortsByItsText) {
    // The actions added last (a failed block, a repeated call) too, not
    // ahead of all the others.
    LogFixture log;
    for (int32_t action = ActionLast; action >= ActionWaitingForCallerId; --action)
        log.Log("caller " + std::to_string(action), "1", action, action);
    for (const bool reversed : {false, true}) {
        log.order.ClickColumn(Column::ColumnAction);
        ASSERT_EQ(log.order.Reversed(), reversed);
        for (size_t i = 1; i < log.order.Size(); ++i) {
            const std::string before =
                ActionText(log.calls[log.order.LogIndexAt(i - 1)]->GetAction());
            const std::string after = ActionText(log.calls[log.order.LogIndexAt(i)]->GetAction());
            const int comparison = CompareTextNoCase(before, after);
            EXPECT_TRUE(reversed ? comparison >= 0 : comparison <= 0)
                << '"' << before << "\" before \"" << after << '"' << (reversed ? " reversed" : "");
        }
    }
}

TEST(CallListOrder, EachCallLandsWhereASortPutsIt) {
    // Every column both ways, with many ties: rows added one by one stay
    // sorted, and calls that tie keep their order of arrival.
    const char* const names[] = {"Fred", "ann", "Zoe", "fred", "Ann", "bob"};
    for (int column = 0; column < CCallListOrder::kColumnCount; ++column) {
        for (bool reversed : {false, true}) {
            LogFixture log;
            if (column != Column::ColumnTime)
                log.order.ClickColumn(column);
            if (reversed != log.order.Reversed())
                log.order.ClickColumn(column);
            for (int i = 0; i < 60; ++i)
                log.Log(names[(i * 7) % 6], std::to_string((i * 13) % 9), (i * 5) % 11,
                        (i * 3) % 10);
            ASSERT_EQ(log.order.Size(), 60u);
            for (size_t p = 1; p < log.order.Size(); ++p) {
                const size_t a = log.order.LogIndexAt(p - 1), b = log.order.LogIndexAt(p);
                const int result = log.order.Compare(a, b);
                EXPECT_LE(result, 0) << "column " << column << " row " << p;
                if (result == 0) {
                    EXPECT_LT(a, b) << "column " << column << " row " << p;
                }
            }
        }
    }
}

TEST(CallListOrder, RenamedCallMovesToItsNewPlace) {
    LogFixture log;
    log.order.ClickColumn(Column::ColumnName);
    log.Log("<No Phone Book Entry>", "1", 0, ActionWaitingForCallerId);
    log.Log("Bob", "2", 1, ActionPermitNeverBlock);
    log.Log("Dave", "3", 2, ActionPermitNeverBlock);
    log.calls[0]->SetName("Carol");
    EXPECT_EQ(log.order.Reposition(0), 1);
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Bob", "Carol", "Dave"}));
    EXPECT_EQ(log.order.PositionOf(0), 1);
    EXPECT_EQ(log.order.Reposition(7), -1);
}

// A filter shows the calls it lets through in the list's order, whatever
// arrives, changes or is sorted meanwhile; none is lost when it goes.
TEST(CallListOrder, AFilterShowsItsCallsInOrderThroughInsertsChangesAndSorts) {
    LogFixture log;
    log.Log("Ann", "1", 0, ActionPermitNeverBlock);
    log.Log("Bob", "2", 1, ActionBlockAlways);
    log.Log("Amy", "3", 2, ActionPermitNeverBlock);
    log.order.SetFilter([](const CLoggedCall& call) { return call.GetName()[0] == 'A'; });
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Amy", "Ann"}));
    EXPECT_EQ(log.order.TotalSize(), 3u);

    log.Log("Cat", "4", 3, ActionPermitNeverBlock); // hidden on arrival
    log.Log("Abe", "5", 4, ActionPermitNeverBlock);
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Abe", "Amy", "Ann"}));
    log.calls[3]->SetName("Ada"); // its caller ID came late: now shown
    EXPECT_EQ(log.order.Reposition(3), 1);
    log.calls[0]->SetName("Nan"); // now hidden
    EXPECT_EQ(log.order.Reposition(0), -1);
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Abe", "Ada", "Amy"}));

    log.order.ClickColumn(Column::ColumnName);
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Abe", "Ada", "Amy"}));
    log.order.ClickColumn(Column::ColumnName);
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Amy", "Ada", "Abe"}));
    log.order.SetFilter(nullptr);
    EXPECT_EQ(log.Names(), (std::vector<std::string>{"Nan", "Bob", "Amy", "Ada", "Abe"}));
}

TEST(CallListOrder, TimeTextIsTheUsersLocaleFormAndRowsSortByTheTime) {
    // "%X, %x" as the user's locale writes them; Wine's locale varies, so
    // the texts are the system's own.
    const SYSTEMTIME times[] = {
        {2000, 1, 0, 2, 13, 4, 5, 0},
        {2024, 12, 2, 31, 9, 8, 7, 0},
        {1999, 7, 0, 4, 0, 0, 0, 0},
    };
    for (const SYSTEMTIME& st : times) {
        char time[128] = {}, date[128] = {};
        ASSERT_GT(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, time, sizeof time), 0);
        ASSERT_GT(
            GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, date, sizeof date),
            0);
        EXPECT_EQ(FormatCallTime(CDateTime::FromParts(st.wYear, st.wMonth, st.wDay, st.wHour,
                                                      st.wMinute, st.wSecond)),
                  std::string(time) + ", " + date);
    }
    EXPECT_EQ(FormatCallTime(CDateTime()), "");

    // The texts start with the time of day, so they sort otherwise than the
    // times do (in 12- and 24-hour forms alike).
    LogFixture log;
    log.LogAt("eve 23:00", "1", CDateTime::FromParts(2023, 12, 31, 23, 0, 0));
    log.LogAt("new year 08:00", "2", CDateTime::FromParts(2024, 1, 1, 8, 0, 0));
    log.LogAt("new year 10:00", "3", CDateTime::FromParts(2024, 1, 1, 10, 0, 0));
    const std::vector<std::string> newestFirst = {"new year 10:00", "new year 08:00", "eve 23:00"};
    EXPECT_EQ(log.Names(), newestFirst);
    log.order.ClickColumn(Column::ColumnTime);
    EXPECT_EQ(log.Names(), std::vector<std::string>(newestFirst.rbegin(), newestFirst.rend()));
}

} // namespace
} // namespace rw
