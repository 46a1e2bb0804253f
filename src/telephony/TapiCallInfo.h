// A call's LINECALLINFO, and the caller identification read out of it.
// The structure comes from the line and is not trusted: every text is read
// only from bytes that the block really holds and that its sizes allow.
#pragma once

#include "telephony/TapiVarStruct.h"

#include <cstddef>
#include <string>

namespace rw {

// LINECALLINFO's fixed part as TAPI 1.4 fills it. mingw-w64 declares the
// later versions' fields too, so sizeof(LINECALLINFO) is larger; only this
// much is ever there.
constexpr DWORD kLineCallInfoFixedSize = offsetof(LINECALLINFO, dwCallTreatment);
static_assert(kLineCallInfoFixedSize == 296);

class CTapiCallInfo : public CTapiVarStruct {
public:
    explicit CTapiCallInfo(HCALL call) : m_call(call) {}

    // Valid after a successful Fetch; 0 or empty otherwise.
    DWORD Origin() const;
    DWORD CallerIdFlags() const;
    std::string CallerIdName() const;
    std::string CallerIdNumber() const;

    // The text that a variable part names by offset and size, from a block
    // of blockSize readable bytes: at most what both the block and its
    // total and used sizes cover, up to the first NUL. Empty when any of
    // it is out of range.
    static std::string ReadText(const void* block, size_t blockSize, DWORD offset, DWORD size);

protected:
    LONG Query() override;

private:
    // The fixed part, or null when the block is too short to hold it.
    const LINECALLINFO* Info() const;

    HCALL m_call;
};

} // namespace rw
