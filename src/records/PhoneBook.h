// The phone book: entries by their lookup key. The book owns its entries;
// removing a key deletes its entry. Keys compare byte for byte. Entries
// stored under a prefix's key ("0900*") also answer for every number whose
// key starts with the prefix's digits.
#pragma once

#include "records/PhoneBookEntry.h"
#include "records/PrefixTable.h"

#include <functional>
#include <memory>
#include <memory_resource>
#include <string>
#include <unordered_map>
#include <vector>

namespace rw {

class CArchive;

class CPhoneBook {
public:
    static constexpr size_t kDefaultHashTableSize = 100;

    CPhoneBook();
    CPhoneBook(const CPhoneBook&) = delete;
    CPhoneBook& operator=(const CPhoneBook&) = delete;

    // The entry stored under exactly `key`, or null.
    CPhoneBookEntry* Lookup(const std::string& key) const;
    // The entry of the longest stored prefix that `key` starts with, or
    // null.
    CPhoneBookEntry* LookupPrefix(const std::string& key) const;
    // The entry for a call: the one stored under exactly its number's key,
    // else the longest prefix of that key, else the one stored under exactly
    // `nameKey` (the key an earlier copy made from the caller's name; empty
    // for none), else null.
    CPhoneBookEntry* FindForCall(const std::string& numberKey,
                                 const std::string& nameKey = std::string()) const;
    // Stores `entry` under `key`; an entry already there is deleted. A null
    // entry is not stored.
    void SetAt(const std::string& key, std::unique_ptr<CPhoneBookEntry> entry);
    // Removes `key` and deletes its entry; false when the key is absent.
    bool RemoveKey(const std::string& key);
    size_t GetCount() const { return m_pairs.size(); }
    bool IsEmpty() const { return m_pairs.empty(); }
    // Deletes every entry and empties the book.
    void DeleteAllEntries();

    // Sizes the hash table for the entries about to be stored; the book
    // then keeps at least that many buckets.
    void InitHashTable(size_t buckets);
    // The bucket count last asked for (100 at construction).
    size_t GetHashTableSize() const { return m_hashTableSize; }

    // Visits every pair, in no defined order.
    void ForEach(const std::function<void(const std::string&, CPhoneBookEntry&)>& visit) const;

    // Writes the count and every key with its tagged entry, or reads them
    // into the book (a key that repeats replaces the earlier pair). Read
    // into an empty book: entries read before a fault stay.
    void Serialize(CArchive& ar);
    using PairReceiver = std::function<void(std::string key, std::unique_ptr<CPhoneBookEntry>)>;
    // Reads the count and the pairs, handing each over in file order. A
    // pair whose object tag is empty gives no entry.
    static void ReadPairs(CArchive& ar, const PairReceiver& receive);

private:
    // The pairs, owning their entries, lie in one dense array; the hash
    // table maps a key to its entry and its place in that array. A walk over
    // the whole book (as a save does) then reads the array in order and can
    // fetch entries ahead, instead of chasing the table's chain of nodes.
    struct Slot {
        CPhoneBookEntry* entry;
        size_t index;
    };
    struct Pair {
        const std::string* key; // the key inside its (stable) table node
        std::unique_ptr<CPhoneBookEntry> entry;
    };
    std::pmr::unsynchronized_pool_resource m_nodePool;
    std::pmr::unordered_map<std::string, Slot> m_index{&m_nodePool};
    std::vector<Pair> m_pairs;
    CPrefixTable m_prefixes;
    size_t m_hashTableSize = kDefaultHashTableSize;
};

} // namespace rw
