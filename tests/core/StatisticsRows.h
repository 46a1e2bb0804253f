// Small histories with known figures, shared by the statistics core's test
// and rwcfg stats' test, so that both answer for the same rows.
#pragma once

#include "records/CallAction.h"
#include "records/CallHistory.h"

#include <string>
#include <vector>

namespace rw::test {

// "Today" of these histories: Wednesday 4 March 2026 (Monday was the 2nd).
inline CDateTime StatisticsToday() {
    return CDateTime::FromParts(2026, 3, 4, 18, 0, 0);
}

inline CHistoryRow StatRow(int day, int hour, int minute, const std::string& name,
                           const std::string& number, int32_t action,
                           const std::string& message = "") {
    CHistoryRow row;
    row.time = CDateTime::FromParts(2026, 3, day, hour, minute, 0);
    row.name = name;
    row.number = number;
    row.kind = CallerIdNameAndNumber;
    row.action = action;
    row.answeredAndDropped = IsBlockingAction(action);
    row.message = message;
    row.messageMs = message.empty() ? 0 : 4000;
    return row;
}

// A week of calls: one of each outcome today, callers who ring again (one
// written in two ways), a call written twice by an earlier version (once
// when screened, once when dropped), one before the week and one before
// the seven days, and one "tomorrow" from a clock set wrong.
inline std::vector<CHistoryRow> StatisticsWeek() {
    std::vector<CHistoryRow> rows = {
        StatRow(4, 9, 0, "Friend", "01632 960001", ActionPermitNeverBlock),
        StatRow(4, 9, 5, "Sales", "0161 496 0000", ActionBlockAlways),
        StatRow(4, 9, 10, "Surgery", "01632 960123", ActionBlockByTime,
                "20260304-091000-01632960123.wav"),
        StatRow(4, 9, 15, "", "", ActionWaitingForCallerId),
        StatRow(4, 9, 20, "Second", "01632 960002", ActionNotAnsweredLineBusy),
        StatRow(4, 9, 25, "Robot", "0909 879 0000", ActionBlockNoKeyPressed),
        StatRow(4, 9, 30, "Sales", "0161-496-0000", ActionBlockAlways), // another writing
        StatRow(3, 12, 0, "Friend", "01632 960001", ActionPermitNeverBlock),
        StatRow(2, 12, 0, "Friend", "01632 960001", ActionPermitNeverBlock),
        StatRow(2, 13, 0, "Sales", "0161 496 0000", ActionBlockAlways),
        StatRow(1, 12, 0, "Friend", "01632 960001", ActionPermitNeverBlock), // Sunday
        StatRow(5, 8, 0, "Tomorrow", "01632 960009", ActionBlockAlways),
    };
    // Written twice by an earlier version: screened, then dropped.
    CHistoryRow screened = StatRow(3, 14, 0, "Withheld", "<Blocked>", ActionBlockAlways);
    screened.answeredAndDropped = false;
    rows.push_back(screened);
    rows.push_back(StatRow(3, 14, 0, "Withheld", "<Blocked>", ActionBlockAlways));
    // Before the last seven days.
    rows.push_back(StatRow(1, 10, 0, "Sales", "0161 496 0000", ActionBlockAlways));
    rows.back().time = CDateTime::FromParts(2026, 2, 20, 10, 0, 0);
    return rows;
}

} // namespace rw::test
