// Feeds any bytes to the verified callers' list reader. Every entry it keeps
// must be within the limits and write out and read back as itself.
#include "records/ByteStream.h"
#include "records/VerifiedFile.h"

#include <cstdlib>

using namespace rw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CMemorySource source(data, size);
    size_t skipped = 0;
    const std::vector<CVerifiedEntry> entries = ReadVerified(source, skipped);
    if (entries.size() > kVerifiedMaxEntries || entries.size() > size)
        std::abort();
    for (const CVerifiedEntry& entry : entries)
        if (entry.key.empty() || entry.key.size() > kVerifiedMaxKeyBytes || entry.verifiedAt < 0)
            std::abort();
    const std::string again = FormatVerified(entries);
    CMemorySource written(again.data(), again.size());
    size_t skippedAgain = 0;
    if (ReadVerified(written, skippedAgain) != entries || skippedAgain != 0)
        std::abort();
    return 0;
}
