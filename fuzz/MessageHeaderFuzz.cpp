// Feeds any bytes, as the start of a file in the messages folder, to the
// reader of a message's length. Whatever the header claims, the length it
// gives never reaches past the file, and it never reads beyond what it was
// given.
#include "app/MessageStore.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first 8 bytes, when there, say how large the whole file is.
    uint64_t fileSize = size;
    if (size >= 8) {
        std::memcpy(&fileSize, data, 8);
        data += 8;
        size -= 8;
    }
    // A copy of exactly `size` bytes, so that a read past it is caught.
    std::vector<unsigned char> head(data, data + size);
    uint32_t ms = 0;
    if (rw::CMessageStore::ParseLengthMs(head.data(), head.size(), fileSize, ms)) {
        // One byte a second at the slowest: no length beyond the file's.
        if (ms / 1000 > fileSize)
            std::abort();
    } else if (ms != 0) {
        std::abort();
    }
    return 0;
}
