#include "records/PhoneBook.h"

#include "records/Archive.h"
#include "records/LookupKey.h"

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
    m_index.rehash(kDefaultHashTableSize);
}

CPhoneBookEntry* CPhoneBook::Lookup(const std::string& key) const {
    auto it = m_index.find(key);
    return it == m_index.end() ? nullptr : it->second.entry;
}

CPhoneBookEntry* CPhoneBook::LookupPrefix(const std::string& key) const {
    return m_prefixes.LongestMatch(key);
}

CPhoneBookEntry* CPhoneBook::FindForCall(const std::string& numberKey,
                                         const std::string& nameKey) const {
    if (CPhoneBookEntry* exact = Lookup(numberKey))
        return exact;
    if (CPhoneBookEntry* prefix = LookupPrefix(numberKey))
        return prefix;
    if (!nameKey.empty() && nameKey != numberKey)
        return Lookup(nameKey);
    return nullptr;
}

namespace {

std::string_view PrefixDigits(const std::string& key) {
    return std::string_view(key).substr(0, key.size() - 1);
}

} // namespace

void CPhoneBook::SetAt(const std::string& key, std::unique_ptr<CPhoneBookEntry> entry) {
    if (!entry) // the book never holds an empty entry
        return;
    const bool prefix = IsPrefixKey(key);
    auto [it, added] = m_index.try_emplace(key, Slot{entry.get(), m_pairs.size()});
    if (!added) {
        it->second.entry = entry.get();
        if (prefix)
            m_prefixes.Replace(PrefixDigits(key), entry.get());
        m_pairs[it->second.index].entry = std::move(entry); // deletes the old one
        return;
    }
    CPhoneBookEntry* stored = entry.get();
    m_pairs.push_back(Pair{&it->first, std::move(entry)});
    if (prefix)
        m_prefixes.Add(PrefixDigits(key), stored);
}

bool CPhoneBook::RemoveKey(const std::string& key) {
    auto it = m_index.find(key);
    if (it == m_index.end())
        return false;
    // The last pair takes the removed one's place.
    const size_t index = it->second.index;
    if (index + 1 != m_pairs.size()) {
        m_pairs[index] = std::move(m_pairs.back());
        m_index.find(*m_pairs[index].key)->second.index = index;
    }
    m_pairs.pop_back();
    if (IsPrefixKey(key))
        m_prefixes.Remove(PrefixDigits(key));
    m_index.erase(it);
    return true;
}

void CPhoneBook::DeleteAllEntries() {
    m_prefixes.Clear();
    m_pairs.clear();
    m_index.clear();
}

void CPhoneBook::InitHashTable(size_t buckets) {
    m_hashTableSize = buckets;
    m_index.rehash(buckets);
}

void CPhoneBook::ForEach(
    const std::function<void(const std::string&, CPhoneBookEntry&)>& visit) const {
    for (const Pair& pair : m_pairs)
        visit(*pair.key, *pair.entry);
}

void CPhoneBook::Serialize(CArchive& ar) {
    if (ar.IsLoading()) {
        ReadPairs(ar, [this](std::string key, std::unique_ptr<CPhoneBookEntry> entry) {
            SetAt(key, std::move(entry));
        });
        return;
    }
    ar.WriteCount(static_cast<uint32_t>(m_pairs.size()));
    // Entries, keys and texts lie all over the heap: ask for them a few
    // pairs ahead so that the writer rarely waits on memory.
    constexpr size_t kEntriesAhead = 8, kTextsAhead = 4;
    const size_t n = m_pairs.size();
    for (size_t i = 0; i < n; ++i) {
        if (i + kEntriesAhead < n) {
            Prefetch(m_pairs[i + kEntriesAhead].entry.get());
            Prefetch(m_pairs[i + kEntriesAhead].key);
        }
        if (i + kTextsAhead < n)
            PrefetchTexts(*m_pairs[i + kTextsAhead].entry);
        ar.WriteString(*m_pairs[i].key);
        ar.WriteObject(m_pairs[i].entry.get());
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
