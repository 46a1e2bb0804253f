#include "telephony/TapiDevCaps.h"

#include "telephony/TapiApi.h"

namespace rw {

LONG CTapiDevCaps::Query() {
    return Tapi().lineGetDevCaps(m_app, m_device, m_version, 0,
                                 static_cast<LINEDEVCAPS*>(MutableBlock()));
}

const LINEDEVCAPS* CTapiDevCaps::Caps() const {
    if (!Block() || BlockSize() < kLineDevCapsFixedSize)
        return nullptr;
    const auto* caps = static_cast<const LINEDEVCAPS*>(Block());
    // A service that filled less than the fixed part gave nothing to read.
    return caps->dwUsedSize >= kLineDevCapsFixedSize ? caps : nullptr;
}

std::string CTapiDevCaps::Text(DWORD offset, DWORD size) const {
    return ReadPart(Block(), BlockSize(), kLineDevCapsFixedSize, offset, size);
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
