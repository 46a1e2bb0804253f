// Registration of the program with the telephony service, for lines and for
// phones. One registration of each per process.
#pragma once

#include "telephony/TapiNotify.h"

namespace rw {

constexpr DWORD kTapiLowVersion = 0x00010003;
constexpr DWORD kTapiHighVersion = 0x00010004;

// A null name means the program's title; a null instance the program's own
// module. Returns 0 or a negative LINEERR_ code; no line devices at all is
// LINEERR_OPERATIONFAILED (and leaves nothing registered).
LONG RegisterLineApp(CTapiAppNotify* notify, const char* appName, HINSTANCE instance);
LONG UnregisterLineApp();
DWORD LineDeviceCount();
HLINEAPP LineAppHandle();
// The API version negotiated for a line device; 0 when negotiation failed
// or the device is unknown.
DWORD LineApiVersion(DWORD device);

LONG RegisterPhoneApp(CTapiAppNotify* notify, const char* appName, HINSTANCE instance);
LONG UnregisterPhoneApp();
DWORD PhoneDeviceCount();

} // namespace rw
