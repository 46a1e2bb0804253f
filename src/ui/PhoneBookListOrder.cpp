#include "ui/PhoneBookListOrder.h"

#include "records/PhoneBook.h"
#include "records/PhoneBookEntry.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace rw {
namespace {

// A row with the first sixteen bytes of its sort key, most significant
// first, so that most comparisons of a sort compare integers.
struct KeyedRow {
    uint64_t prefix;
    uint64_t more;
    uint32_t index;
};

uint64_t KeyPart(const char* key, size_t size, size_t from) {
    uint64_t part = 0;
    for (size_t i = from; i < from + 8; ++i)
        part = part << 8 | (i < size ? static_cast<uint8_t>(key[i]) : 0u);
    return part;
}

// The platform's sort key of `text` without regard to case: two keys compare
// byte for byte as the texts compare. Like the comparison, it reads the text
// up to its first NUL.
std::string SortKey(LCID locale, const std::string& text) {
    const DWORD flags = LCMAP_SORTKEY | NORM_IGNORECASE;
    char buffer[256];
    int size = LCMapStringA(locale, flags, text.c_str(), -1, buffer, sizeof buffer);
    if (size > 0)
        return std::string(buffer, static_cast<size_t>(size - 1)); // without its final NUL
    size = LCMapStringA(locale, flags, text.c_str(), -1, nullptr, 0);
    if (size <= 0)
        return std::string(); // the neighbour check sorts such a text properly
    std::string key(static_cast<size_t>(size), '\0');
    size = LCMapStringA(locale, flags, text.c_str(), -1, key.data(), size);
    key.resize(size > 0 ? static_cast<size_t>(size - 1) : 0);
    return key;
}

const std::string& FieldText(const CPhoneBookEntry& entry, int column) {
    return column == CPhoneBookListOrder::ColumnName ? entry.Name : entry.Number;
}

// The four short texts a filter type can show: one per type, and an empty
// one for a value outside them.
constexpr size_t kFilterTextCount = 4;
size_t FilterTextSlot(int32_t filterType) {
    return filterType >= FilterNeverBlock && filterType <= FilterAlwaysBlock
               ? static_cast<size_t>(filterType)
               : kFilterTextCount - 1;
}

} // namespace

void CPhoneBookListOrder::Fill(const CPhoneBook& book) {
    Clear();
    m_entries.reserve(book.GetCount());
    book.ForEach(
        [this](const std::string&, CPhoneBookEntry& entry) { m_entries.push_back(&entry); });
    m_rows.resize(m_entries.size());
    std::iota(m_rows.begin(), m_rows.end(), 0u);
    Sort();
}

void CPhoneBookListOrder::Clear() {
    m_entries.clear();
    m_rows.clear();
    EntriesChanged();
}

void CPhoneBookListOrder::EntriesChanged() {
    for (SortKeys& keys : m_keys)
        keys = SortKeys();
}

int CPhoneBookListOrder::PositionOf(const CPhoneBookEntry* entry) const {
    for (size_t position = 0; position < m_rows.size(); ++position)
        if (m_entries[m_rows[position]] == entry)
            return static_cast<int>(position);
    return -1;
}

void CPhoneBookListOrder::SortBy(int column, bool descending) {
    m_column = column;
    m_descending = descending;
    Sort();
}

void CPhoneBookListOrder::ClickColumn(int column) {
    if (column == m_column)
        SortBy(column, !m_descending);
    else
        SortBy(column, false);
}

std::string CPhoneBookListOrder::ColumnText(const CPhoneBookEntry& entry, int column) {
    switch (column) {
    case ColumnName:
        return entry.Name;
    case ColumnNumber:
        return entry.Number;
    case ColumnFilterType:
        return entry.FilterTypeText();
    default:
        return std::string();
    }
}

int CPhoneBookListOrder::Compare(const CPhoneBookEntry& a, const CPhoneBookEntry& b) const {
    if (m_column < 0 || m_column >= kColumnCount)
        return 1;
    const int result =
        m_column == ColumnFilterType
            ? lstrcmpiA(a.FilterTypeText().c_str(), b.FilterTypeText().c_str())
            : lstrcmpiA(FieldText(a, m_column).c_str(), FieldText(b, m_column).c_str());
    return m_descending ? -result : result;
}

void CPhoneBookListOrder::Sort() {
    if (m_rows.size() < 2)
        return;
    if (m_column == ColumnFilterType) {
        SortByFilterType();
    } else if (m_column == ColumnName || m_column == ColumnNumber) {
        SortByTextKeys();
        if (!Confirmed())
            SortByComparison();
    } else {
        // Every comparison says "after": the platform's sort leaves such rows
        // as they are, and so does this.
        std::iota(m_rows.begin(), m_rows.end(), 0u);
    }
}

const CPhoneBookListOrder::SortKeys& CPhoneBookListOrder::KeysOfColumn() {
    SortKeys& keys = m_keys[m_column == ColumnName ? 0 : 1];
    if (!keys.made) {
        const LCID locale = GetThreadLocale();
        keys.bytes.clear();
        keys.starts.clear();
        keys.starts.reserve(m_entries.size() + 1);
        for (const CPhoneBookEntry* entry : m_entries) {
            keys.starts.push_back(static_cast<uint32_t>(keys.bytes.size()));
            const std::string key = SortKey(locale, FieldText(*entry, m_column));
            keys.bytes.insert(keys.bytes.end(), key.begin(), key.end());
        }
        keys.starts.push_back(static_cast<uint32_t>(keys.bytes.size()));
        keys.made = true;
    }
    return keys;
}

void CPhoneBookListOrder::SortByTextKeys() {
    const SortKeys& keys = KeysOfColumn();
    const char* bytes = keys.bytes.data();
    const uint32_t* starts = keys.starts.data();
    std::vector<KeyedRow> rows(m_entries.size());
    for (uint32_t i = 0; i < rows.size(); ++i) {
        const char* key = bytes + starts[i];
        const size_t size = starts[i + 1] - starts[i];
        rows[i] = KeyedRow{KeyPart(key, size, 0), KeyPart(key, size, 8), i};
    }
    // The rest of two keys whose first sixteen bytes agree.
    auto compareRest = [&](uint32_t a, uint32_t b) {
        const size_t sizeA = starts[a + 1] - starts[a], sizeB = starts[b + 1] - starts[b];
        if (sizeA <= 16 || sizeB <= 16)
            return sizeA < sizeB ? -1 : sizeA > sizeB ? 1 : 0;
        const size_t common = std::min(sizeA, sizeB) - 16;
        const int byBytes = std::memcmp(bytes + starts[a] + 16, bytes + starts[b] + 16, common);
        if (byBytes != 0)
            return byBytes;
        return sizeA < sizeB ? -1 : sizeA > sizeB ? 1 : 0;
    };
    const bool descending = m_descending;
    // Equal keys keep the book's order in either direction.
    std::sort(rows.begin(), rows.end(), [&](const KeyedRow& a, const KeyedRow& b) {
        if (a.prefix != b.prefix)
            return descending ? a.prefix > b.prefix : a.prefix < b.prefix;
        if (a.more != b.more)
            return descending ? a.more > b.more : a.more < b.more;
        const int byKey = compareRest(a.index, b.index);
        if (byKey != 0)
            return descending ? byKey > 0 : byKey < 0;
        return a.index < b.index;
    });
    for (size_t i = 0; i < rows.size(); ++i)
        m_rows[i] = rows[i].index;
}

void CPhoneBookListOrder::SortByFilterType() {
    // Only four texts can show: they are ranked once by the comparison
    // itself, equal texts sharing a rank, and the rows sorted by rank.
    std::string texts[kFilterTextCount];
    for (int32_t type = FilterNeverBlock; type <= FilterAlwaysBlock; ++type) {
        CPhoneBookEntry probe;
        probe.FilterType = type;
        texts[FilterTextSlot(type)] = probe.FilterTypeText();
    }
    uint64_t rank[kFilterTextCount] = {};
    for (size_t i = 0; i < kFilterTextCount; ++i)
        for (size_t j = 0; j < kFilterTextCount; ++j)
            if (lstrcmpiA(texts[j].c_str(), texts[i].c_str()) < 0)
                ++rank[i];
    std::vector<KeyedRow> rows(m_entries.size());
    for (uint32_t i = 0; i < rows.size(); ++i)
        rows[i] = KeyedRow{rank[FilterTextSlot(m_entries[i]->FilterType)], 0, i};
    const bool descending = m_descending;
    std::sort(rows.begin(), rows.end(), [descending](const KeyedRow& a, const KeyedRow& b) {
        if (a.prefix != b.prefix)
            return descending ? a.prefix > b.prefix : a.prefix < b.prefix;
        return a.index < b.index;
    });
    for (size_t i = 0; i < rows.size(); ++i)
        m_rows[i] = rows[i].index;
}

bool CPhoneBookListOrder::Confirmed() const {
    for (size_t i = 1; i < m_rows.size(); ++i) {
        const uint32_t a = m_rows[i - 1], b = m_rows[i];
        int result = lstrcmpiA(FieldText(*m_entries[a], m_column).c_str(),
                               FieldText(*m_entries[b], m_column).c_str());
        if (m_descending)
            result = -result;
        if (result > 0 || (result == 0 && a > b))
            return false;
    }
    return true;
}

void CPhoneBookListOrder::SortByComparison() {
    std::iota(m_rows.begin(), m_rows.end(), 0u);
    std::stable_sort(m_rows.begin(), m_rows.end(), [this](uint32_t a, uint32_t b) {
        return Compare(*m_entries[a], *m_entries[b]) < 0;
    });
}

} // namespace rw
