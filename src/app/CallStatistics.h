// Figures over the call history for the statistics window and `rwcfg stats`:
// calls per day by what became of them, totals for today, this week and the
// period with the share blocked, and the callers who rang most. Portable:
// rows in, figures out, with "today" given by the caller.
#pragma once

#include "records/CallHistory.h"
#include "records/DateTime.h"

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace rw {

// What became of a call, as the chart stacks it.
enum class CallOutcome : int {
    RangThrough = 0, // the phone rang: a permit of any kind
    Blocked,         // answered by the program and sent away (the key check too)
    Message,         // blocked, and the caller left a message
    Other,           // hung up before caller ID, left alone as the line was busy,
                     // or a block the line refused (it rang)
};
inline constexpr size_t kCallOutcomeCount = 4;

CallOutcome OutcomeOf(const CHistoryRow& row);
// "Rang through", "Blocked", "Left a message", "Other".
const char* OutcomeName(CallOutcome outcome);

struct CCallCounts {
    std::array<int, kCallOutcomeCount> byOutcome{};

    int Calls() const;
    // Blocked calls, with those that left a message.
    int Blocked() const;
    // The share blocked, 0 to 100, rounded; 0 with no calls.
    int BlockedPercent() const;
    void Add(CallOutcome outcome) { ++byOutcome[static_cast<size_t>(outcome)]; }
};

struct CDayFigures {
    CDateTime day; // midnight
    CCallCounts counts;
};

struct CTopCaller {
    std::string name;   // the caller's latest row's
    std::string number; // the number, or the call type's text
    int calls = 0;
};

struct CCallStatistics {
    int periodDays = 0;
    std::vector<CDayFigures> days; // oldest first, one per day of the period
    CCallCounts today;
    CCallCounts week; // from Monday
    CCallCounts period;
    // The ten callers blocked most often (a message left counts), and the
    // ten let through most often, in the period; most first, then the
    // latest caller first.
    std::vector<CTopCaller> topBlocked;
    std::vector<CTopCaller> topRangThrough;
};

inline constexpr size_t kTopCallers = 10;

// Each call once: rows of the same call (the history's own rule; the last
// row in time order wins) are merged. The order is by time, stable.
std::vector<CHistoryRow> MergeSameCalls(std::vector<CHistoryRow> rows);

// The figures for the `days` days ending with the day of `today` (1 to
// 366), over `rows` in any order; rows of the same call count once, with
// their last outcome.
CCallStatistics ComputeCallStatistics(std::vector<CHistoryRow> rows, CDateTime today, int days);

// The figures as text, lines ending in "\r\n" when `crlf` (for an edit
// control and the clipboard), otherwise "\n".
std::string FormatCallStatistics(const CCallStatistics& stats, bool crlf = false);

// "2026-03-01".
std::string FormatDay(CDateTime day);

} // namespace rw
