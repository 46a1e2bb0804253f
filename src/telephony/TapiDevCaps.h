// A line device's LINEDEVCAPS: its name, its provider and what it can do
// (media modes, digit-monitor modes). Read from the service, not trusted:
// texts only from bytes the block holds and its sizes allow, and the fixed
// fields only when the service filled at least TAPI 1.3's fixed part.
#pragma once

#include "telephony/TapiVarStruct.h"

#include <cstddef>
#include <string>

namespace rw {

// LINEDEVCAPS's fixed part as TAPI 1.4 fills it (mingw-w64 declares the
// later versions' fields too), and as 1.3 does, without dwLineFeatures:
// every field read here lies within the smaller one, and the variable part
// may start right after it.
constexpr DWORD kLineDevCapsFixedSize = offsetof(LINEDEVCAPS, dwSettableDevStatus);
constexpr DWORD kLineDevCaps13Size = offsetof(LINEDEVCAPS, dwLineFeatures);

class CTapiDevCaps : public CTapiVarStruct {
public:
    // `version` is the one negotiated for the device.
    CTapiDevCaps(HLINEAPP app, DWORD device, DWORD version)
        : m_app(app), m_device(device), m_version(version) {}

    // Valid after a successful Fetch; 0 or empty otherwise.
    std::string LineName() const;
    std::string ProviderInfo() const;
    DWORD MediaModes() const;
    DWORD MonitorDigitModes() const;
    DWORD NumAddresses() const;

protected:
    LONG Query() override;

private:
    const LINEDEVCAPS* Caps() const;
    std::string Text(DWORD offset, DWORD size) const;

    HLINEAPP m_app;
    DWORD m_device;
    DWORD m_version;
};

} // namespace rw
