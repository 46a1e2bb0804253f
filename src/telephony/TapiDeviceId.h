// The identifier of a device bound to a line, call or phone (for example
// the "wave/out" device of a call), as a VARSTRING from lineGetID or
// phoneGetID.
#pragma once

#include "telephony/TapiVarStruct.h"

namespace rw {

class CTapiDeviceId : public CTapiVarStruct {
public:
    // A non-zero phone handle asks the phone (phoneGetID) and ignores the
    // rest; otherwise the line, address or call chosen by `select`.
    CTapiDeviceId(const char* deviceClass, HPHONE phone, HLINE line, DWORD addressId, HCALL call,
                  DWORD select)
        : m_deviceClass(deviceClass), m_phone(phone), m_line(line), m_addressId(addressId),
          m_call(call), m_select(select) {}

    // The device of class `deviceClass` bound to a call.
    static CTapiDeviceId ForCall(const char* deviceClass, HCALL call) {
        return CTapiDeviceId(deviceClass, 0, 0, 0, call, LINECALLSELECT_CALL);
    }

    // After a successful Fetch: the 32-bit identifier that starts the
    // string's data, when the block holds one.
    bool DeviceId(DWORD& id) const;

protected:
    LONG Query() override;

private:
    const char* m_deviceClass;
    HPHONE m_phone;
    HLINE m_line;
    DWORD m_addressId;
    HCALL m_call;
    DWORD m_select;
};

} // namespace rw
