// Feeds any bytes to the configuration reader. Whatever was read before the
// reader stopped must write out and read back to the same records, and
// every prefix entry read must answer for its own digits. The
// companion tool's dump reads the same bytes and must stop in the same way.
#include "ConfigTestUtil.h"
#include "RwCfg.h"
#include "records/Archive.h"
#include "records/ConfigFile.h"
#include "records/LookupKey.h"

#include <cstdlib>
#include <cstring>

namespace {

using namespace rw;

using test::SameEntry;

std::vector<uint8_t> Write(CRingwardenPreferences& prefs, CPhoneBook& book) {
    CMemorySink sink;
    CArchive ar(sink);
    WriteConfiguration(ar, prefs, book);
    ar.Flush();
    return sink.Bytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CRingwardenPreferences prefs;
    CPhoneBook book;
    bool complete = true;
    {
        CMemorySource source(data, size);
        CArchive ar(source);
        try {
            ReadConfiguration(ar, prefs, book);
        } catch (const CArchiveException& e) {
            complete = false;
            if (e.GetOffset() > size)
                std::abort();
        }
    }
    {
        CMemorySource source(data, size);
        bool dumpComplete = false;
        rwcfg::DumpJson(source, dumpComplete);
        if (dumpComplete != complete)
            std::abort();
    }

    const std::vector<uint8_t> written = Write(prefs, book);
    CRingwardenPreferences prefs2;
    CPhoneBook book2;
    CMemorySource source(written);
    CArchive ar(source);
    ReadConfiguration(ar, prefs2, book2); // must not throw
    if (ar.Remaining() != 0 || book2.GetCount() != book.GetCount())
        std::abort();
    book.ForEach([&book2](const std::string& key, CPhoneBookEntry& entry) {
        const CPhoneBookEntry* other = book2.Lookup(key);
        if (!other || !SameEntry(entry, *other))
            std::abort();
    });
    // A prefix's own digits find the prefix itself: nothing stored is
    // longer and still a prefix of them.
    book.ForEach([&book](const std::string& key, CPhoneBookEntry& entry) {
        if (IsPrefixKey(key) && book.LookupPrefix(key.substr(0, key.size() - 1)) != &entry)
            std::abort();
    });
    CPhoneBook empty;
    const std::vector<uint8_t> prefsOnly = Write(prefs, empty);
    if (prefsOnly != Write(prefs2, empty))
        std::abort();
    return 0;
}
