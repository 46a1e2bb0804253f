#include "records/PrefixTable.h"

#include <algorithm>

namespace rw {
namespace {

size_t CommonStart(std::string_view a, std::string_view b) {
    const size_t n = std::min(a.size(), b.size());
    size_t i = 0;
    while (i < n && a[i] == b[i])
        ++i;
    return i;
}

} // namespace

void CPrefixTable::Add(std::string_view digits, CPhoneBookEntry* entry) {
    if (digits.empty())
        return;
    m_rows.push_back(Row{std::string(digits), entry, -1});
    // A row added at the end of a sorted table keeps it sorted (a load in
    // key order, or a new largest prefix).
    if (m_sorted && m_rows.size() > 1 && m_rows[m_rows.size() - 2].digits >= m_rows.back().digits)
        m_sorted = false;
    m_linked = false;
}

void CPrefixTable::Sort() const {
    if (m_sorted)
        return;
    std::sort(m_rows.begin(), m_rows.end(),
              [](const Row& a, const Row& b) { return a.digits < b.digits; });
    m_sorted = true;
    m_linked = false;
}

void CPrefixTable::Link() const {
    Sort();
    if (m_linked)
        return;
    // In sorted order a prefix comes before every row that starts with it,
    // and the rows starting with it follow it without a break: a stack of
    // the prefixes of the current row is all that is needed.
    std::vector<int32_t> open;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const std::string& digits = m_rows[i].digits;
        while (!open.empty() &&
               !digits.starts_with(m_rows[static_cast<size_t>(open.back())].digits))
            open.pop_back();
        m_rows[i].shorter = open.empty() ? -1 : open.back();
        open.push_back(static_cast<int32_t>(i));
    }
    m_linked = true;
}

int32_t CPrefixTable::Find(std::string_view digits) const {
    Sort();
    auto it = std::lower_bound(m_rows.begin(), m_rows.end(), digits,
                               [](const Row& row, std::string_view d) { return row.digits < d; });
    if (it == m_rows.end() || it->digits != digits)
        return -1;
    return static_cast<int32_t>(it - m_rows.begin());
}

bool CPrefixTable::Replace(std::string_view digits, CPhoneBookEntry* entry) {
    const int32_t row = Find(digits);
    if (row < 0)
        return false;
    m_rows[static_cast<size_t>(row)].entry = entry;
    return true;
}

bool CPrefixTable::Remove(std::string_view digits) {
    const int32_t row = Find(digits);
    if (row < 0)
        return false;
    m_rows.erase(m_rows.begin() + row);
    m_linked = false;
    return true;
}

void CPrefixTable::Clear() {
    m_rows.clear();
    m_sorted = true;
    m_linked = true;
}

CPhoneBookEntry* CPrefixTable::LongestMatch(std::string_view key) const {
    if (m_rows.empty() || key.empty())
        return nullptr;
    Link();
    // The last row not after the key. Every stored prefix of the key lies
    // between that prefix and the key in sorted order, so it is a prefix of
    // this row too: the answer is on this row's chain of shorter prefixes,
    // the longest of them no longer than what this row shares with the key.
    auto it = std::upper_bound(m_rows.begin(), m_rows.end(), key,
                               [](std::string_view k, const Row& row) { return k < row.digits; });
    if (it == m_rows.begin())
        return nullptr;
    int32_t row = static_cast<int32_t>(it - m_rows.begin()) - 1;
    const size_t shared = CommonStart(m_rows[static_cast<size_t>(row)].digits, key);
    while (row >= 0 && m_rows[static_cast<size_t>(row)].digits.size() > shared)
        row = m_rows[static_cast<size_t>(row)].shorter;
    return row < 0 ? nullptr : m_rows[static_cast<size_t>(row)].entry;
}

} // namespace rw
