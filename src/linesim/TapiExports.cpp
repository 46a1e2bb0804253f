// The TAPI functions the simulator exports, with the platform's signatures.
// rwlinesim.def exports them under their undecorated names; the A and plain
// names of a function are the same code (tapi.h always maps lineOpen,
// lineGetCallInfo and lineGetDevCaps to their A names).
#include "LineSimulator.h"

using rw::linesim::CLineSimulator;

namespace {
CLineSimulator& Sim() {
    return CLineSimulator::Instance();
}
} // namespace

extern "C" {

LONG WINAPI lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                           LPCSTR, LPDWORD lpdwNumDevs) {
    return Sim().Initialize(lphLineApp, hInstance, lpfnCallback, lpdwNumDevs);
}

LONG WINAPI lineShutdown(HLINEAPP hLineApp) {
    return Sim().Shutdown(hLineApp);
}

LONG WINAPI lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                    DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                    LPLINEEXTENSIONID lpExtensionID) {
    return Sim().Negotiate(hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion,
                           lpExtensionID);
}

LONG WINAPI lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD,
                           LPLINEDEVCAPS lpLineDevCaps) {
    return Sim().GetDevCaps(hLineApp, dwDeviceID, dwAPIVersion, lpLineDevCaps);
}

LONG WINAPI lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID,
                               DWORD dwAPIVersion, DWORD, LPLINEADDRESSCAPS lpAddressCaps) {
    return Sim().GetAddressCaps(hLineApp, dwDeviceID, dwAddressID, dwAPIVersion, lpAddressCaps);
}

LONG WINAPI lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion,
                     DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
                     DWORD dwMediaModes, LPLINECALLPARAMS const) {
    return Sim().Open(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance,
                      dwPrivileges, dwMediaModes);
}

LONG WINAPI lineClose(HLINE hLine) {
    return Sim().Close(hLine);
}

LONG WINAPI lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) {
    return Sim().SetStatusMessages(hLine, dwLineStates, dwAddressStates);
}

LONG WINAPI lineAnswer(HCALL hCall, LPCSTR, DWORD) {
    return Sim().Answer(hCall);
}

LONG WINAPI lineDrop(HCALL hCall, LPCSTR, DWORD) {
    return Sim().Drop(hCall);
}

LONG WINAPI lineDeallocateCall(HCALL hCall) {
    return Sim().Deallocate(hCall);
}

LONG WINAPI lineGetCallInfo(HCALL hCall, LPLINECALLINFO lpCallInfo) {
    return Sim().GetCallInfo(hCall, lpCallInfo);
}

LONG WINAPI lineGetCallStatus(HCALL hCall, LPLINECALLSTATUS lpCallStatus) {
    return Sim().GetCallStatus(hCall, lpCallStatus);
}

LONG WINAPI lineMonitorDigits(HCALL hCall, DWORD dwDigitModes) {
    return Sim().MonitorDigits(hCall, dwDigitModes);
}

LONG WINAPI lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect,
                      LPVARSTRING lpDeviceID, LPCSTR lpszDeviceClass) {
    return Sim().GetId(hLine, dwAddressID, hCall, dwSelect, lpDeviceID, lpszDeviceClass);
}

// The phone side: a voice modem has no phone device.
LONG WINAPI phoneInitialize(LPHPHONEAPP lphPhoneApp, HINSTANCE, PHONECALLBACK lpfnCallback, LPCSTR,
                            LPDWORD lpdwNumDevs) {
    if (!lphPhoneApp || !lpfnCallback || !lpdwNumDevs)
        return PHONEERR_INVALPOINTER;
    *lphPhoneApp = 0x4D001;
    *lpdwNumDevs = 0;
    return 0;
}

LONG WINAPI phoneShutdown(HPHONEAPP hPhoneApp) {
    return hPhoneApp ? 0 : PHONEERR_INVALAPPHANDLE;
}

LONG WINAPI phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD, DWORD, DWORD, LPDWORD,
                                     LPPHONEEXTENSIONID) {
    return hPhoneApp ? PHONEERR_BADDEVICEID : PHONEERR_INVALAPPHANDLE;
}

LONG WINAPI phoneGetID(HPHONE, LPVARSTRING, LPCSTR) {
    return PHONEERR_INVALPHONEHANDLE;
}

} // extern "C"
