#include "records/ByteStream.h"

#include <algorithm>
#include <cstring>

namespace rw {

size_t CMemorySource::Read(void* buffer, size_t size) {
    const size_t n = std::min(size, m_size - m_pos);
    if (n)
        std::memcpy(buffer, m_data + m_pos, n);
    m_pos += n;
    return n;
}

bool CMemorySink::Write(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    m_bytes.insert(m_bytes.end(), p, p + size);
    return true;
}

} // namespace rw
