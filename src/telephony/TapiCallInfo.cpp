#include "telephony/TapiCallInfo.h"

#include "telephony/TapiApi.h"
#include "telephony/TapiTrace.h"

#include <algorithm>
#include <cstring>

namespace rw {

LONG CTapiCallInfo::Query() {
    const LONG result = Tapi().lineGetCallInfo(m_call, static_cast<LINECALLINFO*>(MutableBlock()));
    if (TapiTraceSink())
        TraceTapiRequest("lineGetCallInfo", m_call, nullptr, result);
    return result;
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
    return ReadPart(block, blockSize, kLineCallInfoFixedSize, offset, size);
}

} // namespace rw
