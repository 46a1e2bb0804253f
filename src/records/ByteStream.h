// Where an archive reads its bytes from and writes them to: a file or a
// memory buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace rw {

class CByteSource {
public:
    virtual ~CByteSource() = default;
    // Reads up to `size` bytes; fewer only at the end or on an error.
    virtual size_t Read(void* buffer, size_t size) = 0;
    // Bytes still to come. An archive refuses any length that asks for more,
    // so hostile lengths never reach an allocation.
    virtual uint64_t Remaining() const = 0;
};

class CByteSink {
public:
    virtual ~CByteSink() = default;
    // Writes all `size` bytes; false on any failure.
    virtual bool Write(const void* data, size_t size) = 0;
};

class CMemorySource : public CByteSource {
public:
    CMemorySource(const void* data, size_t size)
        : m_data(static_cast<const uint8_t*>(data)), m_size(size) {}
    explicit CMemorySource(const std::vector<uint8_t>& bytes)
        : CMemorySource(bytes.data(), bytes.size()) {}
    size_t Read(void* buffer, size_t size) override;
    uint64_t Remaining() const override { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class CMemorySink : public CByteSink {
public:
    bool Write(const void* data, size_t size) override;
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

} // namespace rw
