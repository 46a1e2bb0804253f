#include "records/Archive.h"

#include "records/CodePage.h"

#include <algorithm>
#include <cstring>

namespace rw {
namespace {

constexpr uint16_t kNullTag = 0;
constexpr uint16_t kNewClassTag = 0xFFFF;
constexpr uint16_t kClassTag = 0x8000;
constexpr uint16_t kBigObjectTag = 0x7FFF;
constexpr uint32_t kBigClassTag = 0x80000000u;
constexpr uint16_t kWideStringMark = 0xFFFE;

} // namespace

CArchive::CArchive(CByteSource& source) : m_source(&source) {}

CArchive::CArchive(CByteSink& sink) : m_sink(&sink) {}

void CArchive::Fail(CArchiveException::Cause cause, uint64_t offset,
                    const std::string& what) const {
    throw CArchiveException(cause, offset, what);
}

uint64_t CArchive::Remaining() const {
    return (m_bufEnd - m_bufPos) + (m_source ? m_source->Remaining() : 0);
}

// ---- storing

void CArchive::Flush() {
    if (m_bufPos && !m_sink->Write(m_buffer, m_bufPos))
        Fail(CArchiveException::writeFailed, m_position, "the file could not be written");
    m_bufPos = 0;
}

void CArchive::WriteRawSlow(const void* data, size_t size) {
    Flush();
    if (size < kBufferSize) {
        std::memcpy(m_buffer, data, size);
        m_bufPos = size;
    } else if (!m_sink->Write(data, size)) {
        Fail(CArchiveException::writeFailed, m_position, "the file could not be written");
    }
    m_position += size;
}

void CArchive::WriteDouble(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    WriteDword(static_cast<uint32_t>(bits));
    WriteDword(static_cast<uint32_t>(bits >> 32));
}

void CArchive::WriteDateTime(const CDateTime& value) {
    WriteDword(static_cast<uint32_t>(value.GetStatus()));
    WriteDouble(value.GetDays());
}

void CArchive::WriteString(const std::string& value) {
    const size_t n = value.size();
    if (n > UINT32_MAX)
        Fail(CArchiveException::writeFailed, m_position, "a text is too long to store");
    if (n < 0xFF) {
        WriteByte(static_cast<uint8_t>(n));
    } else {
        WriteByte(0xFF);
        // 0xFFFE would read as the mark of 16-bit text, so it takes the long form.
        if (n < kWideStringMark) {
            WriteWord(static_cast<uint16_t>(n));
        } else {
            WriteWord(0xFFFF);
            WriteDword(static_cast<uint32_t>(n));
        }
    }
    WriteRaw(value.data(), n);
}

void CArchive::WriteCount(uint32_t count) {
    if (count < 0xFFFF) {
        WriteWord(static_cast<uint16_t>(count));
    } else {
        WriteWord(0xFFFF);
        WriteDword(count);
    }
}

void CArchive::WritePlacement(const RwWindowPlacement& p) {
    for (int32_t v : {p.length, p.flags, p.showCmd, p.minX, p.minY, p.maxX, p.maxY, p.normalLeft,
                      p.normalTop, p.normalRight, p.normalBottom})
        WriteDword(static_cast<uint32_t>(v));
}

void CArchive::WriteClass(const CRuntimeClass* cls) {
    for (const auto& [known, number] : m_storedClasses) {
        if (known != cls)
            continue;
        if (number < kBigObjectTag) {
            WriteWord(static_cast<uint16_t>(kClassTag | number));
        } else {
            WriteWord(kBigObjectTag);
            WriteDword(kBigClassTag | number);
        }
        return;
    }
    const size_t nameLength = std::strlen(cls->className);
    WriteWord(kNewClassTag);
    WriteWord(static_cast<uint16_t>(cls->schema));
    WriteWord(static_cast<uint16_t>(nameLength));
    WriteRaw(cls->className, nameLength);
    m_storedClasses.emplace_back(cls, ++m_storedCount);
}

void CArchive::WriteObject(CStoredObject* object) {
    if (!object) {
        WriteWord(kNullTag);
        return;
    }
    WriteClass(object->GetRuntimeClass());
    ++m_storedCount;
    object->Serialize(*this);
}

// ---- loading

void CArchive::Refill() {
    if (m_bufPos < m_bufEnd)
        std::memmove(m_buffer, m_buffer + m_bufPos, m_bufEnd - m_bufPos);
    m_bufEnd -= m_bufPos;
    m_bufPos = 0;
    m_bufEnd += m_source->Read(m_buffer + m_bufEnd, kBufferSize - m_bufEnd);
}

void CArchive::ReadRawSlow(void* data, size_t size) {
    auto* out = static_cast<uint8_t*>(data);
    size_t held = m_bufEnd - m_bufPos;
    if (size <= kBufferSize) {
        Refill();
        held = m_bufEnd - m_bufPos;
    }
    if (size <= held) {
        std::memcpy(out, m_buffer + m_bufPos, size);
        m_bufPos += size;
    } else {
        // Larger than the buffer: take what it holds, the rest straight
        // from the source.
        std::memcpy(out, m_buffer + m_bufPos, held);
        m_bufPos = m_bufEnd = 0;
        if (m_source->Read(out + held, size - held) != size - held)
            Fail(CArchiveException::endOfFile, m_position, "the file ends too early");
    }
    m_position += size;
}

uint8_t CArchive::ReadByteSlow() {
    Refill();
    if (m_bufPos == m_bufEnd)
        Fail(CArchiveException::endOfFile, m_position, "the file ends too early");
    ++m_position;
    return m_buffer[m_bufPos++];
}

double CArchive::ReadDouble() {
    Require(8, m_position);
    const uint64_t low = ReadDword();
    const uint64_t bits = low | uint64_t{ReadDword()} << 32;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

CDateTime CArchive::ReadDateTime() {
    Require(12, m_position);
    const auto status = static_cast<CDateTime::Status>(ReadInt());
    return CDateTime(ReadDouble(), status);
}

std::string CArchive::ReadString() {
    const uint64_t start = m_position;
    const uint8_t b = ReadByte();
    uint32_t length = b;
    if (b == 0xFF) {
        const uint16_t w = ReadWord();
        if (w == kWideStringMark) {
            // 16-bit text: a second length prefix counts 16-bit units. In it
            // 0xFFFE is a length like any other.
            const uint8_t b2 = ReadByte();
            uint32_t units = b2;
            if (b2 == 0xFF) {
                const uint16_t w2 = ReadWord();
                units = w2 == 0xFFFF ? ReadDword() : w2;
            }
            Require(uint64_t{units} * 2, start);
            std::u16string wide(units, u'\0');
            for (char16_t& c : wide)
                c = ReadWord();
            return Utf16ToSystem(wide);
        }
        length = w == 0xFFFF ? ReadDword() : w;
    }
    if (length <= m_bufEnd - m_bufPos) { // the usual case: all in the buffer
        std::string text(reinterpret_cast<const char*>(m_buffer + m_bufPos), length);
        m_bufPos += length;
        m_position += length;
        return text;
    }
    Require(length, start);
    std::string text(length, '\0');
    ReadRaw(text.data(), length);
    return text;
}

uint32_t CArchive::ReadCount() {
    const uint16_t w = ReadWord();
    return w == 0xFFFF ? ReadDword() : w;
}

RwWindowPlacement CArchive::ReadPlacement() {
    Require(44, m_position);
    RwWindowPlacement p;
    for (int32_t* v : {&p.length, &p.flags, &p.showCmd, &p.minX, &p.minY, &p.maxX, &p.maxY,
                       &p.normalLeft, &p.normalTop, &p.normalRight, &p.normalBottom})
        *v = ReadInt();
    return p;
}

std::unique_ptr<CStoredObject> CArchive::ReadObject(const CRuntimeClass* expected) {
    const uint64_t start = m_position;
    const uint16_t word = ReadWord();
    uint32_t number;
    bool isClass;
    if (word == kBigObjectTag) {
        const uint32_t big = ReadDword();
        isClass = (big & kBigClassTag) != 0;
        number = big & ~kBigClassTag;
    } else {
        isClass = (word & kClassTag) != 0;
        number = word & ~kClassTag;
    }

    if (!isClass) {
        if (number == 0)
            return nullptr;
        Fail(CArchiveException::badIndex, start,
             number <= m_loaded.size() ? "a reference to an object read earlier"
                                       : "a reference to an object not read");
    }

    const CRuntimeClass* cls = nullptr;
    uint32_t schema = 0;
    if (word == kNewClassTag) {
        schema = ReadWord();
        const uint16_t nameLength = ReadWord();
        if (nameLength >= kMaxClassName)
            Fail(CArchiveException::badClass, start, "a class name of 64 bytes or more");
        char name[kMaxClassName];
        Require(nameLength, start);
        ReadRaw(name, nameLength);
        cls = CStoredObject::FindClass(std::string_view(name, nameLength));
        if (!cls)
            Fail(CArchiveException::badClass, start, "an unknown class");
        m_loaded.push_back({cls, schema, true});
    } else {
        if (number == 0 || number > m_loaded.size() || !m_loaded[number - 1].isClass)
            Fail(CArchiveException::badIndex, start, "a reference to a class not described");
        cls = m_loaded[number - 1].cls;
        schema = m_loaded[number - 1].schema;
    }
    if (expected && cls != expected)
        Fail(CArchiveException::badClass, start,
             std::string("an object of class ") + cls->className + " where " + expected->className +
                 " belongs");

    std::unique_ptr<CStoredObject> object = cls->create();
    m_loaded.push_back({nullptr, 0, false});
    m_schema = schema;
    object->Serialize(*this);
    return object;
}

// ---- both ways

void CArchive::Exchange(int32_t& value) {
    if (IsStoring())
        WriteDword(static_cast<uint32_t>(value));
    else
        value = ReadInt();
}

void CArchive::Exchange(char& value) {
    if (IsStoring())
        WriteByte(static_cast<uint8_t>(value));
    else
        value = static_cast<char>(ReadByte());
}

void CArchive::Exchange(CDateTime& value) {
    if (IsStoring())
        WriteDateTime(value);
    else
        value = ReadDateTime();
}

void CArchive::Exchange(std::string& value) {
    if (IsStoring())
        WriteString(value);
    else
        value = ReadString();
}

void CArchive::Exchange(RwWindowPlacement& value) {
    if (IsStoring())
        WritePlacement(value);
    else
        value = ReadPlacement();
}

} // namespace rw
