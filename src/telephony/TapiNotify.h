// Listener interfaces of the telephony layer. Every notification has an empty
// default, so a listener overrides only what it needs. Objects that raise
// them keep listener pointers they do not own.
#pragma once

#include <windows.h>

#include <tapi.h>

namespace rw {

class CTapiLine;
class CTapiCall;

// Where a LINE_REPLY for a recorded request goes: the call or line that
// issued it. No virtual destructor: nothing is deleted through this base.
class CTapiReplyTarget {
public:
    virtual void OnReply(LONG requestId, LONG result, DWORD kind) = 0;

protected:
    ~CTapiReplyTarget() = default;
};

class CTapiLineNotify {
public:
    virtual void OnLineAddressState(CTapiLine*, DWORD /*addressId*/, DWORD /*state*/) {}
    virtual void OnLineNewCall(CTapiLine*, HCALL, DWORD /*addressId*/, DWORD /*privilege*/) {}
    virtual void OnLineClose(CTapiLine*) {}
    virtual void OnLineDevSpecific(CTapiLine*, DWORD /*device*/, DWORD_PTR, DWORD_PTR, DWORD_PTR) {}
    virtual void OnLineDevSpecificFeature(CTapiLine*, DWORD /*device*/, DWORD_PTR, DWORD_PTR,
                                          DWORD_PTR) {}
    virtual void OnLineDevState(CTapiLine*, DWORD /*state*/, DWORD_PTR, DWORD_PTR) {}
    virtual void OnLineReply(CTapiLine*, LONG /*requestId*/, LONG /*result*/, DWORD /*kind*/) {}

protected:
    ~CTapiLineNotify() = default;
};

class CTapiCallNotify {
public:
    virtual void OnCallInfo(CTapiCall*, DWORD /*infoState*/) {}
    virtual void OnCallState(CTapiCall*, DWORD /*state*/, DWORD /*detail*/, DWORD /*privilege*/) {}
    virtual void OnCallGatherDigits(CTapiCall*, DWORD /*termination*/) {}
    virtual void OnCallGenerate(CTapiCall*, DWORD /*termination*/) {}
    virtual void OnCallMonitorDigits(CTapiCall*, DWORD /*digit*/, DWORD /*mode*/) {}
    virtual void OnCallMonitorMedia(CTapiCall*, DWORD /*mediaMode*/) {}
    virtual void OnCallMonitorTone(CTapiCall*, DWORD /*appSpecific*/) {}
    virtual void OnCallReply(CTapiCall*, LONG /*requestId*/, LONG /*result*/, DWORD /*kind*/) {}

protected:
    ~CTapiCallNotify() = default;
};

// Application-level events; raised only when a registration names one.
// TAPI sends them with callback instance 0, since they belong to no line.
class CTapiAppNotify {
public:
    virtual void OnLineCreated(DWORD /*deviceId*/) {}
    virtual void OnPhoneCreated(DWORD /*deviceId*/) {}
    virtual void OnRequest(DWORD /*mode*/, HWND /*window*/, WORD /*requestId*/) {}
    // The service asks every application to shut down and register again
    // (LINEDEVSTATE_REINIT or PHONESTATE_REINIT): a provider is being added
    // or removed, and cannot be until every application has let go.
    virtual void OnReinit() {}

protected:
    ~CTapiAppNotify() = default;
};

// Request kinds recorded with a line's pending requests.
constexpr DWORD kTapiRequestAnswer = 2;
constexpr DWORD kTapiRequestDrop = 4;

} // namespace rw
