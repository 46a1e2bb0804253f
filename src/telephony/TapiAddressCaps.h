// An address's LINEADDRESSCAPS: whether the line reports caller ID (its
// caller-ID flags and the call-info states it sends). Read from the
// service, not trusted: the fields only when the service filled at least
// TAPI 1.3's fixed part.
#pragma once

#include "telephony/TapiVarStruct.h"

#include <cstddef>

namespace rw {

// LINEADDRESSCAPS's fixed part as TAPI 1.4 fills it, and as 1.3 does
// (without dwAddressFeatures); the fields read here lie within the smaller.
constexpr DWORD kLineAddressCaps13Size = offsetof(LINEADDRESSCAPS, dwAddressFeatures);
constexpr DWORD kLineAddressCapsFixedSize =
    offsetof(LINEADDRESSCAPS, dwPredictiveAutoTransferStates);

class CTapiAddressCaps : public CTapiVarStruct {
public:
    CTapiAddressCaps(HLINEAPP app, DWORD device, DWORD address, DWORD version)
        : m_app(app), m_device(device), m_address(address), m_version(version) {}

    // Valid after a successful Fetch; 0 otherwise.
    DWORD CallerIdFlags() const;
    DWORD CallInfoStates() const;

protected:
    LONG Query() override;

private:
    const LINEADDRESSCAPS* Caps() const;

    HLINEAPP m_app;
    DWORD m_device;
    DWORD m_address;
    DWORD m_version;
};

} // namespace rw
