// Fills a TAPI variable-size structure (LINECALLINFO, LINEDEVCAPS, VARSTRING...)
// the way the telephony service does: the caller's block says how big it is
// in dwTotalSize; below the fixed part the answer is
// LINEERR_STRUCTURETOOSMALL with dwNeededSize set; with room for the fixed
// part but not the variable parts, only the fixed part is filled (variable
// sizes and offsets 0) and dwNeededSize tells the caller how much to offer.
#pragma once

#include "LineSim.h"

#include <windows.h>
#include <tapi.h>

#include <cstddef>
#include <string>
#include <vector>

namespace rw::linesim {

class CVarStruct {
public:
    // `fixed` is the structure's fixed part as it should appear, size and
    // offset fields of the variable parts still 0.
    CVarStruct(const void* fixed, size_t fixedSize);

    // Adds a variable part whose size and offset fields sit at the given
    // byte offsets of the fixed part (use offsetof).
    void AddPart(size_t sizeField, size_t offsetField, const std::string& bytes,
                 TextLayout layout = TextLayout::Normal);
    // A binary part: the bytes alone, size counting exactly them.
    void AddBinary(size_t sizeField, size_t offsetField, const void* bytes, size_t size);

    size_t NeededSize() const { return m_fixed.size() + m_tail.size(); }

    // Writes into the caller's block; returns 0 or LINEERR_STRUCTURETOOSMALL.
    // Null `out` gives `invalidPointer`.
    LONG WriteTo(void* out, LONG invalidPointer = LINEERR_INVALPOINTER) const;

private:
    struct Field {
        size_t sizeField, offsetField;
        DWORD size, offset;
    };
    void SetDword(std::vector<char>& block, size_t at, DWORD value) const;

    std::vector<char> m_fixed;
    std::vector<char> m_tail;
    std::vector<Field> m_fields;
};

} // namespace rw::linesim
