#include "ui/CallListOrder.h"

#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "records/StringTable.h"
#include "res/resource.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace rw {
namespace {

// Newest first: a later call sorts before an earlier one.
int CompareTimes(double a, double b) {
    if (a > b)
        return -1;
    return a < b ? 1 : 0;
}

// Sorts `rows` by a key taken once per row, so that a sort of n rows reads
// each call once instead of twice per comparison.
template <class Key, class KeyOf, class Compare>
void SortByKey(std::vector<size_t>& rows, KeyOf keyOf, Compare compare) {
    std::vector<std::pair<Key, size_t>> keyed;
    keyed.reserve(rows.size());
    for (size_t index : rows)
        keyed.emplace_back(keyOf(index), index);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [&](const auto& a, const auto& b) { return compare(a.first, b.first) < 0; });
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = keyed[i].second;
}

// Messages sort by length, longest first; calls without one after them.
int64_t MessageRank(const CLoggedCall& call) {
    if (!call.GetRecording().empty())
        return -static_cast<int64_t>(call.GetRecordingMs()) - 1;
    return call.GetNoMessage() ? 0 : 1;
}

} // namespace

int CompareTextNoCase(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str());
}

std::string FormatCallTime(CDateTime time) {
    return FormatDateTime(time, LoadResString(IDS_TIME_FORMAT));
}

std::string CCallListOrder::ColumnText(const CLoggedCall& call, int column) {
    switch (column) {
    case ColumnName:
        return call.GetName();
    case ColumnNumber:
        return call.GetNumber();
    case ColumnTime:
        return FormatCallTime(call.GetCallTime());
    case ColumnAction:
        return call.ActionDisplayText();
    case ColumnMessage:
        return MessageText(call);
    default:
        return std::string();
    }
}

std::string CCallListOrder::MessageText(const CLoggedCall& call) {
    if (!call.GetRecording().empty()) {
        // Rounded up: a message of half a second still shows as there.
        const uint32_t seconds = (call.GetRecordingMs() + 999) / 1000;
        char text[32];
        snprintf(text, sizeof text, "%u:%02u", seconds / 60, seconds % 60);
        return text;
    }
    return call.GetNoMessage() ? LoadResString(IDS_NO_MESSAGE) : std::string();
}

int CCallListOrder::PositionOf(size_t logIndex) const {
    const auto it = std::find(m_rows.begin(), m_rows.end(), logIndex);
    return it == m_rows.end() ? -1 : static_cast<int>(it - m_rows.begin());
}

int CCallListOrder::Compare(size_t a, size_t b) const {
    const CLoggedCall& callA = m_callAt(a);
    const CLoggedCall& callB = m_callAt(b);
    switch (m_column) {
    case ColumnTime:
        return Direction(
            CompareTimes(callA.GetCallTime().GetDays(), callB.GetCallTime().GetDays()));
    case ColumnAction:
        return Direction(ActionRank(callA.GetAction()) - ActionRank(callB.GetAction()));
    case ColumnMessage: {
        const int64_t a = MessageRank(callA), b = MessageRank(callB);
        return Direction(a < b ? -1 : a > b ? 1 : 0);
    }
    default:
        return Direction(
            CompareTextNoCase(ColumnText(callA, m_column), ColumnText(callB, m_column)));
    }
}

CCallListOrder::CCallListOrder(CallLookup callAt) : m_callAt(std::move(callAt)) {
    // There are only a dozen action texts: they are compared once, here, and a
    // sort by action compares their places.
    std::vector<int32_t> actions;
    for (int32_t action = 0; action < kActionCount; ++action)
        actions.push_back(action);
    std::stable_sort(actions.begin(), actions.end(), [](int32_t a, int32_t b) {
        return CompareTextNoCase(ActionText(a), ActionText(b)) < 0;
    });
    int rank = 0;
    for (size_t i = 0; i < actions.size(); ++i) {
        if (i > 0 && CompareTextNoCase(ActionText(actions[i - 1]), ActionText(actions[i])) != 0)
            ++rank;
        m_actionRank[static_cast<size_t>(actions[i])] = rank;
    }
}

int CCallListOrder::ActionRank(int32_t action) const {
    // A value outside the actions has no text, and no text sorts first.
    return action >= 0 && action < kActionCount ? m_actionRank[static_cast<size_t>(action)] : -1;
}

std::vector<size_t>::iterator CCallListOrder::SortedPlace(std::vector<size_t>& rows,
                                                          size_t logIndex) const {
    return std::upper_bound(rows.begin(), rows.end(), logIndex,
                            [this](size_t a, size_t b) { return Compare(a, b) < 0; });
}

int CCallListOrder::Insert(size_t logIndex) {
    m_all.insert(SortedPlace(m_all, logIndex), logIndex);
    if (!Shown(logIndex))
        return -1;
    return static_cast<int>(m_rows.insert(SortedPlace(m_rows, logIndex), logIndex) -
                            m_rows.begin());
}

void CCallListOrder::InsertMany(size_t first, size_t count) {
    m_all.reserve(m_all.size() + count);
    for (size_t i = 0; i < count; ++i)
        m_all.push_back(first + i);
    // Sorted by a key read once per row: inserting each in turn would move
    // the rows after it every time.
    Sort();
}

int CCallListOrder::Reposition(size_t logIndex) {
    const auto all = std::find(m_all.begin(), m_all.end(), logIndex);
    if (all == m_all.end())
        return -1;
    m_all.erase(all);
    const int position = PositionOf(logIndex);
    if (position >= 0)
        m_rows.erase(m_rows.begin() + position);
    return Insert(logIndex);
}

void CCallListOrder::SetFilter(Filter filter) {
    m_filter = std::move(filter);
    ApplyFilter();
}

void CCallListOrder::ApplyFilter() {
    if (!m_filter) {
        m_rows = m_all;
        return;
    }
    m_rows.clear();
    for (size_t logIndex : m_all)
        if (m_filter(m_callAt(logIndex)))
            m_rows.push_back(logIndex);
}

void CCallListOrder::ClickColumn(int column) {
    if (column < 0 || column >= kColumnCount)
        return;
    if (column == m_column) {
        m_reversed = !m_reversed;
    } else {
        m_column = column;
        m_reversed = false;
    }
    Sort();
}

void CCallListOrder::Sort() {
    SortAll();
    ApplyFilter();
}

void CCallListOrder::SortAll() {
    switch (m_column) {
    case ColumnTime:
        SortByKey<double>(
            m_all, [this](size_t i) { return m_callAt(i).GetCallTime().GetDays(); },
            [this](double a, double b) { return Direction(CompareTimes(a, b)); });
        return;
    case ColumnAction:
        SortByKey<int>(
            m_all, [this](size_t i) { return ActionRank(m_callAt(i).GetAction()); },
            [this](int a, int b) { return Direction(a - b); });
        return;
    case ColumnMessage:
        SortByKey<int64_t>(
            m_rows, [this](size_t i) { return MessageRank(m_callAt(i)); },
            [this](int64_t a, int64_t b) {
                return Direction(a < b ? -1 : a > b ? 1 : 0);
            });
        return;
    default:
        SortByKey<std::string>(
            m_all, [this](size_t i) { return ColumnText(m_callAt(i), m_column); },
            [this](const std::string& a, const std::string& b) {
                return Direction(CompareTextNoCase(a, b));
            });
    }
}

} // namespace rw
