// The order of the phone book page's rows: which entry each row shows. The
// list is virtual (it stores no rows), so this index is the only place the
// order lives.
//
// Rows sort as the platform's case-insensitive comparison (lstrcmpiA) orders
// the column's texts, keeping the book's own order among equal texts. Calling
// that comparison n log n times takes seconds at 100,000 entries under Wine,
// so each text is turned once into the platform's sort key (which orders
// alike) and the keys are sorted; one pass of the comparison over
// neighbouring rows then confirms the result, and a full sort by the
// comparison itself takes over should any pair disagree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rw {

class CPhoneBook;
class CPhoneBookEntry;

class CPhoneBookListOrder {
public:
    enum Column { ColumnName = 0, ColumnNumber = 1, ColumnFilterType = 2 };
    static constexpr int kColumnCount = 3;

    // Takes every entry of `book` in the book's own order and sorts them by
    // the current column and direction. The entries must outlive the order
    // (or the next Fill or Clear).
    void Fill(const CPhoneBook& book);
    void Clear();

    size_t Size() const { return m_rows.size(); }
    CPhoneBookEntry* EntryAt(size_t position) const { return m_entries[m_rows[position]]; }
    // The row showing `entry`, or -1.
    int PositionOf(const CPhoneBookEntry* entry) const;

    int SortColumn() const { return m_column; }
    bool Descending() const { return m_descending; }
    // Sets the column and direction and sorts again.
    void SortBy(int column, bool descending);
    // A click on a column header: the sort column again flips the direction;
    // another column becomes the sort column, ascending.
    void ClickColumn(int column);
    // An entry's texts changed: sort keys made from the old texts are
    // forgotten. The rows stay where they are until the next sort.
    void EntriesChanged();

    // lstrcmpiA of the column's two texts, its sign reversed when
    // descending; 1 for a column outside the three.
    int Compare(const CPhoneBookEntry& a, const CPhoneBookEntry& b) const;
    // The text a column shows: Name, Number or the filter type's short text.
    static std::string ColumnText(const CPhoneBookEntry& entry, int column);

private:
    void Sort();
    void SortByTextKeys();
    void SortByFilterType();
    // True when neighbouring rows are in the order the comparison gives,
    // equal texts in book order.
    bool Confirmed() const;
    void SortByComparison();
    // The sort keys of every entry for the current column, made on first use.
    struct SortKeys {
        std::vector<char> bytes;      // all keys, one after another
        std::vector<uint32_t> starts; // where each entry's key starts; one more at the end
        bool made = false;
    };
    const SortKeys& KeysOfColumn();

    std::vector<CPhoneBookEntry*> m_entries; // book order
    std::vector<uint32_t> m_rows;            // indexes into m_entries, in row order
    SortKeys m_keys[2];                      // Name, Number
    int m_column = ColumnName;
    bool m_descending = false;
};

} // namespace rw
