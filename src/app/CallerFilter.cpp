#include "app/CallerFilter.h"

#include "records/StringTable.h"
#include "res/resource.h"

namespace rw {

CPhoneBookEntry* SetCallerFilter(CPhoneBook& book, const CLoggedCall& call, int32_t filterType) {
    const std::string key = call.GetLookupKey();
    if (key.empty())
        return nullptr;
    if (CPhoneBookEntry* entry = book.Lookup(key)) {
        entry->FilterType = filterType;
        return entry;
    }
    auto entry = std::make_unique<CPhoneBookEntry>();
    entry->Number = call.GetNumber();
    // The entry sheet wants a name. A caller without an entry is listed as
    // "<No Phone Book Entry>", which names nobody: the entry is known by its
    // number (or call type) until the user names it.
    const std::string listed = call.GetName();
    entry->Name = listed.empty() || listed == LoadResString(IDS_NO_PHONE_BOOK_ENTRY)
                      ? call.GetNumber()
                      : listed;
    entry->FilterType = filterType;
    entry->AnswerMode = AnswerDefaultMessage;
    entry->LastCallTime = call.GetCallTime();
    entry->InPhoneBook = 1;
    entry->MakeLookupKey();
    CPhoneBookEntry* stored = entry.get();
    // The key is copied first: the entry moves into the call.
    const std::string entryKey = entry->LookupKey;
    book.SetAt(entryKey, std::move(entry));
    return stored;
}

} // namespace rw
