#include "telephony/TapiDeviceId.h"

#include "telephony/TapiApi.h"
#include "telephony/TapiTrace.h"

#include <cstring>

namespace rw {

// The identifier's place: right after VARSTRING's six 32-bit fields.
static_assert(sizeof(VARSTRING) == 24);

LONG CTapiDeviceId::Query() {
    auto* block = static_cast<VARSTRING*>(MutableBlock());
    if (m_phone) {
        const LONG result = Tapi().phoneGetID(m_phone, block, m_deviceClass);
        if (TapiTraceSink())
            TraceTapiRequest("phoneGetID", m_phone, m_deviceClass, result);
        return result;
    }
    const LONG result =
        Tapi().lineGetID(m_line, m_addressId, m_call, m_select, block, m_deviceClass);
    if (TapiTraceSink())
        TraceTapiRequest("lineGetID", m_call ? m_call : m_line, m_deviceClass, result);
    return result;
}

bool CTapiDeviceId::DeviceId(DWORD& id) const {
    // The identifier is the first word after the VARSTRING header.
    if (!Block() || BlockSize() < sizeof(VARSTRING) + sizeof(DWORD))
        return false;
    const auto* header = static_cast<const VARSTRING*>(Block());
    if (header->dwUsedSize < sizeof(VARSTRING) + sizeof(DWORD))
        return false;
    std::memcpy(&id, static_cast<const char*>(Block()) + sizeof(VARSTRING), sizeof id);
    return true;
}

} // namespace rw
