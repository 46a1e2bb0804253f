#include "app/CallStatistics.h"

#include "records/CallAction.h"
#include "records/LookupKey.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <unordered_map>

namespace rw {
namespace {

long long DayOf(CDateTime time) {
    return static_cast<long long>(std::floor(time.GetDays()));
}

// Day 2 of the calendar's count (1 January 1900) was a Monday.
long long MondayOf(long long day) {
    return day - (((day - 2) % 7) + 7) % 7;
}

struct CCallerTally {
    CTopCaller caller;
    CDateTime latest;
};

using CTally = std::unordered_map<std::string, CCallerTally>;

void Count(CTally& tally, const CHistoryRow& row) {
    std::string key = MakeLookupKeyFrom(row.number);
    CCallerTally& entry = tally[key];
    ++entry.caller.calls;
    if (!entry.latest.IsValid() || entry.latest <= row.time) {
        entry.latest = row.time;
        entry.caller.name = row.name;
        entry.caller.number = row.number;
    }
}

std::vector<CTopCaller> Top(const CTally& tally) {
    std::vector<const CCallerTally*> all;
    all.reserve(tally.size());
    for (const auto& [key, entry] : tally)
        all.push_back(&entry);
    const size_t n = std::min(all.size(), kTopCallers);
    std::partial_sort(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n), all.end(),
                      [](const CCallerTally* a, const CCallerTally* b) {
                          if (a->caller.calls != b->caller.calls)
                              return a->caller.calls > b->caller.calls;
                          if (!(a->latest == b->latest))
                              return b->latest < a->latest;
                          return a->caller.number < b->caller.number;
                      });
    std::vector<CTopCaller> top;
    for (size_t i = 0; i < n; ++i)
        top.push_back(all[i]->caller);
    return top;
}

std::string CountsLine(const char* label, const CCallCounts& counts) {
    char text[160];
    std::snprintf(text, sizeof text, "%s: %d calls, %d blocked (%d%%)", label, counts.Calls(),
                  counts.Blocked(), counts.BlockedPercent());
    return text;
}

std::string CallerText(const CTopCaller& caller) {
    if (caller.name.empty() || caller.name == caller.number)
        return caller.number;
    return caller.name + " (" + caller.number + ")";
}

} // namespace

CallOutcome OutcomeOf(const CHistoryRow& row) {
    if (!row.message.empty())
        return CallOutcome::Message;
    if (IsBlockingAction(row.action))
        return CallOutcome::Blocked;
    switch (row.action) {
    case ActionPermitNeverBlock:
    case ActionPermitByTime:
    case ActionPermitNeverBlockDefault:
    case ActionPermitByTimeDefault:
    case ActionPermitBlockSuspended:
    case ActionPermitRepeatedCall:
    case ActionPermitEveryCallRings:
    case ActionPermitCheckedCaller:
        return CallOutcome::RangThrough;
    default:
        // Waiting for caller ID (the caller hung up first), a block the line
        // refused, a call left alone while the line was busy.
        return CallOutcome::Other;
    }
}

const char* OutcomeName(CallOutcome outcome) {
    switch (outcome) {
    case CallOutcome::RangThrough:
        return "Rang through";
    case CallOutcome::Blocked:
        return "Blocked";
    case CallOutcome::Message:
        return "Left a message";
    case CallOutcome::Other:
        break;
    }
    return "Other";
}

int CCallCounts::Calls() const {
    int total = 0;
    for (int n : byOutcome)
        total += n;
    return total;
}

int CCallCounts::Blocked() const {
    return byOutcome[static_cast<size_t>(CallOutcome::Blocked)] +
           byOutcome[static_cast<size_t>(CallOutcome::Message)];
}

int CCallCounts::BlockedPercent() const {
    const int calls = Calls();
    return calls ? static_cast<int>((200LL * Blocked() + calls) / (2LL * calls)) : 0;
}

std::vector<CHistoryRow> MergeSameCalls(std::vector<CHistoryRow> rows) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const CHistoryRow& a, const CHistoryRow& b) { return a.time < b.time; });
    std::vector<CHistoryRow> merged;
    merged.reserve(rows.size());
    size_t groupStart = 0; // where the rows of merged's last moment begin
    for (CHistoryRow& row : rows) {
        if (merged.empty() || !(merged.back().time == row.time))
            groupStart = merged.size();
        bool replaced = false;
        // Rows of one moment are few: each is compared with the others.
        for (size_t i = merged.size(); i > groupStart && !replaced; --i) {
            if (IsSameCall(merged[i - 1], row)) {
                merged[i - 1] = std::move(row);
                replaced = true;
            }
        }
        if (!replaced)
            merged.push_back(std::move(row));
    }
    return merged;
}

CCallStatistics ComputeCallStatistics(std::vector<CHistoryRow> rows, CDateTime today, int days) {
    days = std::clamp(days, 1, 366);
    CCallStatistics stats;
    stats.periodDays = days;
    const long long last = DayOf(today);
    const long long first = last - days + 1;
    const long long monday = MondayOf(last);
    stats.days.resize(static_cast<size_t>(days));
    for (int i = 0; i < days; ++i)
        stats.days[static_cast<size_t>(i)].day = CDateTime(static_cast<double>(first + i));
    CTally blocked;
    CTally rang;
    for (const CHistoryRow& row : MergeSameCalls(std::move(rows))) {
        if (!row.time.IsValid())
            continue;
        const long long day = DayOf(row.time);
        if (day > last)
            continue; // after today: a clock that was wrong then, or is now
        const CallOutcome outcome = OutcomeOf(row);
        if (day == last)
            stats.today.Add(outcome);
        if (day >= monday)
            stats.week.Add(outcome);
        if (day < first)
            continue;
        stats.period.Add(outcome);
        stats.days[static_cast<size_t>(day - first)].counts.Add(outcome);
        if (outcome == CallOutcome::Blocked || outcome == CallOutcome::Message)
            Count(blocked, row);
        else if (outcome == CallOutcome::RangThrough)
            Count(rang, row);
    }
    stats.topBlocked = Top(blocked);
    stats.topRangThrough = Top(rang);
    return stats;
}

std::string FormatDay(CDateTime day) {
    CDateTimeParts p{};
    if (!day.GetParts(p))
        return {};
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.year, p.month, p.day);
    return text;
}

std::string FormatCallStatistics(const CCallStatistics& stats, bool crlf) {
    const char* const eol = crlf ? "\r\n" : "\n";
    std::string out;
    auto line = [&](const std::string& text) {
        out += text;
        out += eol;
    };
    const std::string period = "Last " + std::to_string(stats.periodDays) + " days";
    line(CountsLine("Today", stats.today));
    line(CountsLine("This week", stats.week));
    line(CountsLine(period.c_str(), stats.period));
    auto top = [&](const char* title, const std::vector<CTopCaller>& callers) {
        line("");
        line(title);
        if (callers.empty())
            line("  none");
        for (const CTopCaller& caller : callers) {
            char count[16];
            std::snprintf(count, sizeof count, "%5d  ", caller.calls);
            line(count + CallerText(caller));
        }
    };
    top("Blocked most often:", stats.topBlocked);
    top("Let through most often:", stats.topRangThrough);
    line("");
    std::string header = "Day";
    for (size_t o = 0; o < kCallOutcomeCount; ++o)
        header += std::string(", ") + OutcomeName(static_cast<CallOutcome>(o));
    line(header);
    for (const CDayFigures& day : stats.days) {
        std::string text = FormatDay(day.day);
        for (int n : day.counts.byOutcome)
            text += ", " + std::to_string(n);
        line(text);
    }
    return out;
}

} // namespace rw
