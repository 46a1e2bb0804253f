// The object archive: reads or writes the stored format through a 4096-byte
// buffer. Little-endian primitives, length-prefixed strings, counts, and
// tagged objects whose class is named the first time it occurs; class
// descriptions and objects are numbered from 1 within one archive.
#pragma once

#include "records/ByteStream.h"
#include "records/DateTime.h"
#include "records/StoredObject.h"
#include "records/WindowPlacement.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace rw {

class CArchiveException : public std::runtime_error {
public:
    enum Cause {
        endOfFile,   // the bytes end inside a value, or a length asks for more than is left
        badClass,    // a class name unknown, too long, or not the class expected
        badIndex,    // a tag refers to a number not read, or to an object read earlier
        writeFailed, // the sink refused bytes
    };
    CArchiveException(Cause cause, uint64_t offset, const std::string& what)
        : std::runtime_error(what), m_cause(cause), m_offset(offset) {}
    Cause GetCause() const { return m_cause; }
    // Where the failing value starts, in bytes from the start of the archive.
    uint64_t GetOffset() const { return m_offset; }

private:
    Cause m_cause;
    uint64_t m_offset;
};

class CArchive {
public:
    static constexpr size_t kBufferSize = 4096;
    // Class names must be shorter than this.
    static constexpr size_t kMaxClassName = 64;

    explicit CArchive(CByteSource& source);
    explicit CArchive(CByteSink& sink);
    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;

    bool IsLoading() const { return m_source != nullptr; }
    bool IsStoring() const { return m_sink != nullptr; }
    // Bytes read or written so far.
    uint64_t GetPosition() const { return m_position; }
    // Loading: bytes still to come, buffered or not.
    uint64_t Remaining() const;

    // Storing: writes out what the buffer holds. The owner calls it once at
    // the end; nothing is flushed on destruction.
    void Flush();

    void WriteByte(uint8_t value) { WriteRaw(&value, 1); }
    void WriteWord(uint16_t value) {
        const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
        WriteRaw(b, 2);
    }
    void WriteDword(uint32_t value) {
        const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
        WriteRaw(b, 4);
    }
    void WriteDouble(double value);
    void WriteDateTime(const CDateTime& value);
    void WriteString(const std::string& value);
    void WriteCount(uint32_t count);
    void WritePlacement(const RwWindowPlacement& value);
    // Writes a class tag (a new description the first time a class occurs,
    // a reference after that) and the object's fields; null writes tag 0.
    // Each object is written once: the writer never produces object
    // references.
    void WriteObject(CStoredObject* object);

    // The reads take bytes straight from the buffer when it holds them.
    uint8_t ReadByte() {
        if (m_bufPos == m_bufEnd)
            return ReadByteSlow();
        ++m_position;
        return m_buffer[m_bufPos++];
    }
    uint16_t ReadWord() {
        uint8_t b[2];
        ReadRaw(b, 2);
        return static_cast<uint16_t>(b[0] | b[1] << 8);
    }
    uint32_t ReadDword() {
        uint8_t b[4];
        ReadRaw(b, 4);
        return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
    }
    int32_t ReadInt() { return static_cast<int32_t>(ReadDword()); }
    double ReadDouble();
    CDateTime ReadDateTime();
    // Reads either string form; 16-bit text comes back in the system code page.
    std::string ReadString();
    uint32_t ReadCount();
    RwWindowPlacement ReadPlacement();
    // Reads a tagged object of exactly class `expected` (any stored class
    // when null); tag 0 gives null. An unknown class, a class other than
    // the one expected, a bad number or a reference to an object read
    // earlier (the caller would hold it twice) throw.
    std::unique_ptr<CStoredObject> ReadObject(const CRuntimeClass* expected);
    // The schema of the object being read, for its Serialize to take.
    uint32_t GetObjectSchema() const { return m_schema; }

    // Two-way helpers for Serialize.
    void Exchange(int32_t& value);
    void Exchange(char& value);
    void Exchange(CDateTime& value);
    void Exchange(std::string& value);
    void Exchange(RwWindowPlacement& value);

private:
    [[noreturn]] void Fail(CArchiveException::Cause cause, uint64_t offset,
                           const std::string& what) const;
    // Small values go straight into the buffer; the rest takes the slow path.
    void WriteRaw(const void* data, size_t size) {
        if (size <= kBufferSize - m_bufPos) {
            std::memcpy(m_buffer + m_bufPos, data, size);
            m_bufPos += size;
            m_position += size;
        } else {
            WriteRawSlow(data, size);
        }
    }
    void WriteRawSlow(const void* data, size_t size);
    // Throws endOfFile unless all `size` bytes are there.
    void ReadRaw(void* data, size_t size) {
        if (size <= m_bufEnd - m_bufPos) {
            std::memcpy(data, m_buffer + m_bufPos, size);
            m_bufPos += size;
            m_position += size;
        } else {
            ReadRawSlow(data, size);
        }
    }
    void ReadRawSlow(void* data, size_t size);
    uint8_t ReadByteSlow();
    // Throws endOfFile unless `size` more bytes are there.
    void Require(uint64_t size, uint64_t start) const {
        if (size > m_bufEnd - m_bufPos && size > Remaining())
            Fail(CArchiveException::endOfFile, start, "the file ends too early");
    }
    void Refill();
    void WriteClass(const CRuntimeClass* cls);

    CByteSource* m_source = nullptr;
    CByteSink* m_sink = nullptr;
    uint8_t m_buffer[kBufferSize];
    size_t m_bufPos = 0; // loading: next byte; storing: bytes held
    size_t m_bufEnd = 0; // loading: bytes held
    uint64_t m_position = 0;
    uint32_t m_schema = 0;

    // Loading: what each number stands for (index = number - 1).
    struct LoadedTag {
        const CRuntimeClass* cls; // the class, for a class description
        uint32_t schema;          // the schema its description gave
        bool isClass;
    };
    std::vector<LoadedTag> m_loaded;
    // Storing: classes described so far with their numbers.
    std::vector<std::pair<const CRuntimeClass*, uint32_t>> m_storedClasses;
    uint32_t m_storedCount = 0;
};

} // namespace rw
