#include "records/PhoneBook.h"

#include "records/Archive.h"

namespace rw {

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
    for (const auto& [key, entry] : m_map) {
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
