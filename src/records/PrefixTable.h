// The phone book's prefix entries, for the longest-prefix question: which
// stored prefix is the longest that a number's key starts with. A sorted
// table: the largest prefix not after the key shares its longest common
// start with the key, and the answer is that row or one of the prefixes it
// starts with, reached through each row's link to its own longest stored
// prefix. One binary search and a short walk, whatever the book's size.
// The table does not own the entries it points to.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rw {

class CPhoneBookEntry;

class CPrefixTable {
public:
    // Adds `digits` (not already stored). Rows added in a batch, as a load
    // does, are sorted once, at the next question.
    void Add(std::string_view digits, CPhoneBookEntry* entry);
    // Points the stored `digits` at another entry; false when not stored.
    bool Replace(std::string_view digits, CPhoneBookEntry* entry);
    // False when `digits` is not stored.
    bool Remove(std::string_view digits);
    void Clear();
    size_t Count() const { return m_rows.size(); }

    // The entry of the longest stored prefix that `key` starts with, or
    // null. An empty prefix is never stored, so it never matches.
    CPhoneBookEntry* LongestMatch(std::string_view key) const;

private:
    struct Row {
        std::string digits;
        CPhoneBookEntry* entry;
        // The row of the longest stored proper prefix of `digits`, or -1.
        int32_t shorter;
    };
    // Sorts the rows and links each to its longest stored prefix, when a
    // change has left them otherwise. The table's answers do not change.
    void Sort() const;
    void Link() const;
    // The row holding exactly `digits` in the sorted table, or -1.
    int32_t Find(std::string_view digits) const;

    mutable std::vector<Row> m_rows;
    mutable bool m_sorted = true;
    mutable bool m_linked = true;
};

} // namespace rw
