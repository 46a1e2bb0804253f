#include "records/PhoneBook.h"

#include "records/Archive.h"

namespace rw {
namespace {

void Prefetch(const void* p) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

void PrefetchTexts(const CPhoneBookEntry& e) {
    Prefetch(e.Name.data());
    Prefetch(e.Number.data());
    Prefetch(e.Notes.data());
    Prefetch(e.MessageFile.data());
}

} // namespace

CPhoneBook::CPhoneBook() {
    m_map.rehash(kDefaultHashTableSize);
}

CPhoneBookEntry* CPhoneBook::Lookup(const std::string& key) const {
    auto it = m_map.find(key);
    return it == m_map.end() ? nullptr : it->second.get();
}

void CPhoneBook::SetAt(const std::string& key, std::unique_ptr<CPhoneBookEntry> entry) {
    if (entry) // the book never holds an empty entry
        m_map.insert_or_assign(key, std::move(entry));
}

bool CPhoneBook::RemoveKey(const std::string& key) {
    return m_map.erase(key) != 0;
}

void CPhoneBook::DeleteAllEntries() {
    m_map.clear();
}

void CPhoneBook::InitHashTable(size_t buckets) {
    m_hashTableSize = buckets;
    m_map.rehash(buckets);
}

void CPhoneBook::ForEach(
    const std::function<void(const std::string&, CPhoneBookEntry&)>& visit) const {
    for (const auto& [key, entry] : m_map) {
        if (entry)
            visit(key, *entry);
    }
}

void CPhoneBook::Serialize(CArchive& ar) {
    if (ar.IsLoading()) {
        ReadPairs(ar, [this](std::string key, std::unique_ptr<CPhoneBookEntry> entry) {
            SetAt(key, std::move(entry));
        });
        return;
    }
    ar.WriteCount(static_cast<uint32_t>(m_map.size()));
    // The table's chain of nodes is not the entries' order in memory, so a
    // large book waits on the memory for every entry. Asking for the
    // entries (and then their texts) a few steps ahead hides much of it.
    constexpr int kEntriesAhead = 8, kTextsAhead = 4;
    auto entryAhead = m_map.begin(), textAhead = m_map.begin();
    for (int i = 0; i < kEntriesAhead && entryAhead != m_map.end(); ++i)
        Prefetch((entryAhead++)->second.get());
    for (int i = 0; i < kTextsAhead && textAhead != m_map.end(); ++i)
        PrefetchTexts(*(textAhead++)->second);
    for (const auto& [key, entry] : m_map) {
        if (entryAhead != m_map.end())
            Prefetch((entryAhead++)->second.get());
        if (textAhead != m_map.end())
            PrefetchTexts(*(textAhead++)->second);
        ar.WriteString(key);
        ar.WriteObject(entry.get());
    }
}

void CPhoneBook::ReadPairs(CArchive& ar, const PairReceiver& receive) {
    // The count is not trusted for any allocation: each pair is read as it
    // comes, and a count larger than the bytes can hold ends in a short read.
    const uint32_t count = ar.ReadCount();
    for (uint32_t i = 0; i < count; ++i) {
        std::string key = ar.ReadString();
        std::unique_ptr<CStoredObject> object = ar.ReadObject(&CPhoneBookEntry::runtimeClass);
        if (object)
            receive(std::move(key), std::unique_ptr<CPhoneBookEntry>(
                                        static_cast<CPhoneBookEntry*>(object.release())));
    }
}

} // namespace rw
