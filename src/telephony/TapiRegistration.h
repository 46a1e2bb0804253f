// Registration of the program with the telephony service, for lines and for
// phones. One registration of each per process.
#pragma once

#include "telephony/TapiNotify.h"

namespace rw {

constexpr DWORD kTapiLowVersion = 0x00010003;
constexpr DWORD kTapiHighVersion = 0x00010004;

// A null name means the program's title; a null instance the program's own
// module. Returns 0 or a negative LINEERR_ code. No line devices at all is
// still a registration (LineDeviceCount() is 0): a modem plugged in later is
// reported to it as LINE_CREATE.
LONG RegisterLineApp(CTapiAppNotify* notify, const char* appName, HINSTANCE instance);
// Replaces the registration's application notify (null for none); it hears
// LINE_CREATE and REINIT from then on, until the registration ends. A REINIT
// that came while there was none (a message box at start runs a message
// loop) is told to the first notify set: it cannot be lost, since until the
// program registers again every line stays shut.
void SetLineAppNotify(CTapiAppNotify* notify);
// Any request's result of LINEERR_REINIT means the same as the REINIT
// message: the service waits for the program to register again. Told as a
// REINIT (or kept for the next notify); other results are ignored. Returns
// `result`.
LONG NoteLineResult(LONG result);
LONG UnregisterLineApp();
DWORD LineDeviceCount();
HLINEAPP LineAppHandle();
// The API version negotiated for a line device; 0 when negotiation failed
// or the device is unknown.
DWORD LineApiVersion(DWORD device);

LONG RegisterPhoneApp(CTapiAppNotify* notify, const char* appName, HINSTANCE instance);
void SetPhoneAppNotify(CTapiAppNotify* notify);
LONG UnregisterPhoneApp();
DWORD PhoneDeviceCount();

} // namespace rw
