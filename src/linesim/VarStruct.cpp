#include "VarStruct.h"

#include <cstring>

namespace rw::linesim {

namespace {
// How much an Overrun text claims beyond its real bytes.
constexpr DWORD kOverrunBytes = 4096;
} // namespace

CVarStruct::CVarStruct(const void* fixed, size_t fixedSize)
    : m_fixed(static_cast<const char*>(fixed), static_cast<const char*>(fixed) + fixedSize) {}

void CVarStruct::AddPart(size_t sizeField, size_t offsetField, const std::string& bytes,
                         TextLayout layout) {
    const DWORD at = static_cast<DWORD>(NeededSize());
    Field field{sizeField, offsetField, 0, 0};
    switch (layout) {
    case TextLayout::Normal:
        if (!bytes.empty()) {
            m_tail.insert(m_tail.end(), bytes.begin(), bytes.end());
            m_tail.push_back('\0');
            field = {sizeField, offsetField, static_cast<DWORD>(bytes.size() + 1), at};
        }
        break;
    case TextLayout::Unterminated:
        if (!bytes.empty()) {
            m_tail.insert(m_tail.end(), bytes.begin(), bytes.end());
            field = {sizeField, offsetField, static_cast<DWORD>(bytes.size()), at};
        }
        break;
    case TextLayout::EmptyAtOffset:
        // The text is there, terminated, but the size says there is none:
        // a reader must go by the size alone.
        m_tail.insert(m_tail.end(), bytes.begin(), bytes.end());
        m_tail.push_back('\0');
        field = {sizeField, offsetField, 0, at};
        break;
    case TextLayout::Overrun:
        m_tail.insert(m_tail.end(), bytes.begin(), bytes.end());
        m_tail.push_back('\0');
        field = {sizeField, offsetField, static_cast<DWORD>(bytes.size() + 1 + kOverrunBytes), at};
        break;
    }
    m_fields.push_back(field);
}

void CVarStruct::AddBinary(size_t sizeField, size_t offsetField, const void* bytes, size_t size) {
    const DWORD at = static_cast<DWORD>(NeededSize());
    const char* p = static_cast<const char*>(bytes);
    m_tail.insert(m_tail.end(), p, p + size);
    m_fields.push_back({sizeField, offsetField, static_cast<DWORD>(size), size ? at : 0});
}

void CVarStruct::SetDword(std::vector<char>& block, size_t at, DWORD value) const {
    if (at + sizeof value <= block.size())
        std::memcpy(block.data() + at, &value, sizeof value);
}

LONG CVarStruct::WriteTo(void* out, LONG invalidPointer) const {
    if (!out)
        return invalidPointer;
    DWORD total = 0;
    std::memcpy(&total, out, sizeof total);
    const DWORD needed = static_cast<DWORD>(NeededSize());
    if (total < m_fixed.size()) {
        // Room for the three size fields at least: say how much is needed.
        if (total >= 3 * sizeof(DWORD)) {
            std::memcpy(static_cast<char*>(out) + 4, &needed, sizeof needed);
            const DWORD used = 0;
            std::memcpy(static_cast<char*>(out) + 8, &used, sizeof used);
        }
        return LINEERR_STRUCTURETOOSMALL;
    }
    std::vector<char> block = m_fixed;
    const bool whole = total >= needed;
    if (whole) {
        block.insert(block.end(), m_tail.begin(), m_tail.end());
        for (const Field& f : m_fields) {
            SetDword(block, f.sizeField, f.size);
            SetDword(block, f.offsetField, f.offset);
        }
    }
    SetDword(block, 0, total);
    SetDword(block, 4, needed);
    SetDword(block, 8, static_cast<DWORD>(block.size()));
    std::memcpy(out, block.data(), block.size());
    return 0;
}

} // namespace rw::linesim
