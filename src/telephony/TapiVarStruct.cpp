#include "telephony/TapiVarStruct.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace rw {

namespace {

constexpr DWORD kFirstSize = 512;
// No call information or device id comes near this; a service asking for
// more is not believed.
constexpr DWORD kMaxSize = 1 << 20;

// The three size fields every variable-size structure starts with.
struct SizeFields {
    DWORD total, needed, used;
};

} // namespace

CTapiVarStruct::~CTapiVarStruct() {
    Free();
}

void CTapiVarStruct::Free() {
    std::free(m_block);
    m_block = nullptr;
    m_size = 0;
}

bool CTapiVarStruct::Resize(DWORD size) {
    // Never smaller than the size fields themselves.
    if (size < sizeof(SizeFields))
        size = sizeof(SizeFields);
    void* grown = std::realloc(m_block, size);
    if (!grown)
        return false;
    if (size > m_size)
        std::memset(static_cast<char*>(grown) + m_size, 0, size - m_size);
    m_block = grown;
    m_size = size;
    static_cast<SizeFields*>(m_block)->total = size;
    return true;
}

LONG CTapiVarStruct::Fetch() {
    DWORD wanted = kFirstSize;
    for (;;) {
        if (!m_block || m_size < wanted) {
            if (!Resize(wanted)) {
                Free();
                return LINEERR_NOMEM;
            }
        }
        // The service reads the block's size from here; keep it truthful.
        static_cast<SizeFields*>(m_block)->total = m_size;
        const LONG result = Query();
        auto* sizes = static_cast<SizeFields*>(m_block);
        if (result == static_cast<LONG>(LINEERR_STRUCTURETOOSMALL) ||
            (result == 0 && sizes->total < sizes->needed)) {
            // A service that asks for no more than it has is not growing the
            // block: stop rather than spin.
            if (sizes->needed <= m_size) {
                Free();
                return LINEERR_OPERATIONFAILED;
            }
            if (sizes->needed > kMaxSize) {
                Free();
                return LINEERR_NOMEM;
            }
            wanted = sizes->needed;
            continue;
        }
        if (result == 0) {
            // Give back what the answer left unused. Only the allocation's
            // own size counts: the service wrote the total field too, and
            // believing it could "shrink" the block to far more than it is.
            const DWORD used = sizes->used;
            if (used < m_size && used >= sizeof(SizeFields)) {
                if (void* shrunk = std::realloc(m_block, used)) {
                    m_block = shrunk;
                    m_size = used;
                }
            }
            static_cast<SizeFields*>(m_block)->total = m_size;
            return 0;
        }
        if (result > 0)
            return result;
        Free();
        return result;
    }
}

std::string CTapiVarStruct::ReadPart(const void* block, size_t blockSize, size_t fixedSize,
                                     DWORD offset, DWORD size) {
    if (!block || blockSize < fixedSize || fixedSize < 3 * sizeof(DWORD) || size == 0)
        return {};
    // The first three words of every such structure: total, needed and used.
    DWORD sizes[3];
    std::memcpy(sizes, block, sizeof sizes);
    // The variable part lies after the fixed part and inside what the
    // service says it filled.
    const size_t limit = std::min<size_t>({blockSize, sizes[0], sizes[2]});
    if (offset < fixedSize || offset >= limit)
        return {};
    const size_t available = std::min<size_t>(size, limit - offset);
    const char* text = static_cast<const char*>(block) + offset;
    const void* nul = std::memchr(text, 0, available);
    const size_t length = nul ? static_cast<const char*>(nul) - text : available;
    return std::string(text, length);
}

} // namespace rw
