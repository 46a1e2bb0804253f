#include "records/PhoneBook.h"

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

} // namespace rw
