#include "telephony/TapiAddressCaps.h"

#include "telephony/TapiApi.h"
#include "telephony/TapiTrace.h"

namespace rw {

LONG CTapiAddressCaps::Query() {
    const LONG result = Tapi().lineGetAddressCaps(m_app, m_device, m_address, m_version, 0,
                                                  static_cast<LINEADDRESSCAPS*>(MutableBlock()));
    if (TapiTraceSink())
        TraceTapiRequest("lineGetAddressCaps", m_device, nullptr, result);
    return result;
}

const LINEADDRESSCAPS* CTapiAddressCaps::Caps() const {
    if (!Block() || BlockSize() < kLineAddressCapsFixedSize)
        return nullptr;
    const auto* caps = static_cast<const LINEADDRESSCAPS*>(Block());
    return caps->dwUsedSize >= kLineAddressCaps13Size ? caps : nullptr;
}

DWORD CTapiAddressCaps::CallerIdFlags() const {
    const LINEADDRESSCAPS* caps = Caps();
    return caps ? caps->dwCallerIDFlags : 0;
}

DWORD CTapiAddressCaps::CallInfoStates() const {
    const LINEADDRESSCAPS* caps = Caps();
    return caps ? caps->dwCallInfoStates : 0;
}

} // namespace rw
