// The order of the call list's rows: which logged call each row shows. The
// list is virtual (it stores no rows of its own), so this index is the only
// place the order lives. Rows are kept sorted at all times: a new call goes
// straight to its place by binary search, and only a change of sort column
// or direction sorts them all again. A filter (the search box) shows the
// calls it lets through, in the same order, without sorting again.
#pragma once

#include "records/CallAction.h"
#include "records/DateTime.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace rw {

class CLoggedCall;

class CCallListOrder {
public:
    enum Column {
        ColumnName = 0,
        ColumnNumber = 1,
        ColumnTime = 2,
        ColumnAction = 3,
        ColumnMessage = 4
    };
    static constexpr int kColumnCount = 5;

    // Log indices from here on are calls of earlier runs (the history),
    // which the list shows in grey.
    static constexpr size_t kEarlierRunBase = size_t(1) << 30;
    static bool IsEarlierRun(size_t logIndex) { return logIndex >= kEarlierRunBase; }

    // Gives the logged call at a log index; it must stay valid for as long
    // as the order is used.
    using CallLookup = std::function<const CLoggedCall&(size_t logIndex)>;
    explicit CCallListOrder(CallLookup callAt);

    // The rows shown: those the filter lets through.
    size_t Size() const { return m_rows.size(); }
    // Every call's row, shown or not.
    size_t TotalSize() const { return m_all.size(); }
    size_t LogIndexAt(size_t position) const { return m_rows[position]; }
    const CLoggedCall& CallAt(size_t logIndex) const { return m_callAt(logIndex); }
    // The row showing log index `logIndex`, or -1.
    int PositionOf(size_t logIndex) const;

    int SortColumn() const { return m_column; }
    bool Reversed() const { return m_reversed; }

    // Adds a row for `logIndex` at its sorted place, after rows that
    // compare equal to it; returns its position, or -1 when the filter
    // hides it.
    int Insert(size_t logIndex);
    // Adds rows for `count` log indices from `first` on, then sorts all the
    // rows once.
    void InsertMany(size_t first, size_t count);
    // Moves the row of `logIndex` to where its call now sorts (its texts
    // changed), and shows or hides it as the filter now says; returns the
    // new position, or -1 when it has no row shown.
    int Reposition(size_t logIndex);
    // A click on a column header: the sort column again reverses the
    // direction; another column becomes the sort column, ascending. The
    // rows are then sorted, keeping the order of rows that compare equal.
    void ClickColumn(int column);
    void Clear() {
        m_rows.clear();
        m_all.clear();
    }
    // Shows only the calls `filter` lets through (null: every call).
    using Filter = std::function<bool(const CLoggedCall&)>;
    void SetFilter(Filter filter);

    // Negative when the call at log index `a` comes before the one at `b`,
    // positive after, 0 when the sort column ties them.
    int Compare(size_t a, size_t b) const;

    // The text the list shows in a column. Rows sort by it, but for Time /
    // Date, which sorts by the time itself.
    static std::string ColumnText(const CLoggedCall& call, int column);
    // The Message column: the message's length ("1:05"), "No message" when
    // the caller was recorded and said nothing, else empty.
    static std::string MessageText(const CLoggedCall& call);

private:
    static constexpr int32_t kActionCount = ActionLast + 1;

    // Sorts every row, then shows those the filter lets through.
    void Sort();
    void SortAll();
    void ApplyFilter();
    bool Shown(size_t logIndex) const { return !m_filter || m_filter(m_callAt(logIndex)); }
    // Where `logIndex` goes among `rows`, after those that compare equal.
    std::vector<size_t>::iterator SortedPlace(std::vector<size_t>& rows, size_t logIndex) const;
    int Direction(int result) const { return m_reversed ? -result : result; }
    // Where an action's status text comes among them all, as the list sorts
    // texts; equal texts share a place.
    int ActionRank(int32_t action) const;

    CallLookup m_callAt;
    int m_actionRank[kActionCount] = {};
    // Every row, sorted; and the rows shown, in the same order.
    std::vector<size_t> m_all;
    std::vector<size_t> m_rows;
    Filter m_filter;
    int m_column = ColumnTime;
    bool m_reversed = false;
};

// The platform's locale-aware comparison without regard to case, as the
// list sorts texts; the result is negative, 0 or positive.
int CompareTextNoCase(const std::string& a, const std::string& b);

// A call time as the list shows it: string 1000 ("%X, %x") in the user's
// locale's forms (FormatDateTime); empty for a time that is not valid.
std::string FormatCallTime(CDateTime time);

} // namespace rw
