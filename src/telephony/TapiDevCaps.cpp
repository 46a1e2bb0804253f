#include "telephony/TapiDevCaps.h"

#include "telephony/TapiApi.h"
#include "telephony/TapiTrace.h"

namespace rw {

LONG CTapiDevCaps::Query() {
    const LONG result = Tapi().lineGetDevCaps(m_app, m_device, m_version, 0,
                                              static_cast<LINEDEVCAPS*>(MutableBlock()));
    if (TapiTraceSink())
        TraceTapiRequest("lineGetDevCaps", m_device, nullptr, result);
    return result;
}

const LINEDEVCAPS* CTapiDevCaps::Caps() const {
    // The block is always allocated at least the 1.4 fixed part, so the
    // structure can be read whole; a service that filled less than 1.3's
    // fixed part gave nothing to read.
    if (!Block() || BlockSize() < kLineDevCapsFixedSize)
        return nullptr;
    const auto* caps = static_cast<const LINEDEVCAPS*>(Block());
    return caps->dwUsedSize >= kLineDevCaps13Size ? caps : nullptr;
}

std::string CTapiDevCaps::Text(DWORD offset, DWORD size) const {
    return ReadPart(Block(), BlockSize(), kLineDevCaps13Size, offset, size);
}

std::string CTapiDevCaps::LineName() const {
    const LINEDEVCAPS* caps = Caps();
    return caps ? Text(caps->dwLineNameOffset, caps->dwLineNameSize) : std::string();
}

std::string CTapiDevCaps::ProviderInfo() const {
    const LINEDEVCAPS* caps = Caps();
    return caps ? Text(caps->dwProviderInfoOffset, caps->dwProviderInfoSize) : std::string();
}

DWORD CTapiDevCaps::MediaModes() const {
    const LINEDEVCAPS* caps = Caps();
    return caps ? caps->dwMediaModes : 0;
}

DWORD CTapiDevCaps::MonitorDigitModes() const {
    const LINEDEVCAPS* caps = Caps();
    return caps ? caps->dwMonitorDigitModes : 0;
}

DWORD CTapiDevCaps::NumAddresses() const {
    const LINEDEVCAPS* caps = Caps();
    return caps ? caps->dwNumAddresses : 0;
}

} // namespace rw
