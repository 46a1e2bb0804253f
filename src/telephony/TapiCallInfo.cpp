#include "telephony/TapiCallInfo.h"

#include "telephony/TapiApi.h"

#include <algorithm>
#include <cstring>

namespace rw {

LONG CTapiCallInfo::Query() {
    return Tapi().lineGetCallInfo(m_call, static_cast<LINECALLINFO*>(MutableBlock()));
}

const LINECALLINFO* CTapiCallInfo::Info() const {
    if (!Block() || BlockSize() < kLineCallInfoFixedSize)
        return nullptr;
    return static_cast<const LINECALLINFO*>(Block());
}

DWORD CTapiCallInfo::Origin() const {
    const LINECALLINFO* info = Info();
    return info ? info->dwOrigin : 0;
}

DWORD CTapiCallInfo::CallerIdFlags() const {
    const LINECALLINFO* info = Info();
    return info ? info->dwCallerIDFlags : 0;
}

std::string CTapiCallInfo::CallerIdName() const {
    const LINECALLINFO* info = Info();
    return info ? ReadText(Block(), BlockSize(), info->dwCallerIDNameOffset,
                           info->dwCallerIDNameSize)
                : std::string();
}

std::string CTapiCallInfo::CallerIdNumber() const {
    const LINECALLINFO* info = Info();
    return info ? ReadText(Block(), BlockSize(), info->dwCallerIDOffset, info->dwCallerIDSize)
                : std::string();
}

std::string CTapiCallInfo::ReadText(const void* block, size_t blockSize, DWORD offset, DWORD size) {
    if (!block || blockSize < kLineCallInfoFixedSize || size == 0)
        return {};
    const auto* info = static_cast<const LINECALLINFO*>(block);
    // The variable part lies after the fixed part and inside what the
    // service says it filled.
    const size_t limit = std::min<size_t>({blockSize, info->dwTotalSize, info->dwUsedSize});
    if (offset < kLineCallInfoFixedSize || offset >= limit)
        return {};
    const size_t available = std::min<size_t>(size, limit - offset);
    const char* text = static_cast<const char*>(block) + offset;
    const void* nul = std::memchr(text, 0, available);
    const size_t length = nul ? static_cast<const char*>(nul) - text : available;
    return std::string(text, length);
}

} // namespace rw
