// One call the program follows. The line hands it every call-level message
// for its handle; it raises the matching CTapiCallNotify notification.
// A listener may delete the call from inside a notification: delivery then
// stops and nothing touches the object again.
#pragma once

#include "telephony/TapiNotify.h"

#include <vector>

namespace rw {

class CTapiCall : public CTapiReplyTarget {
public:
    CTapiCall(CTapiLine* line, HCALL call, CTapiCallNotify* notify);
    // Releases the handle; a call that is not idle yet is dropped first.
    virtual ~CTapiCall();
    CTapiCall(const CTapiCall&) = delete;
    CTapiCall& operator=(const CTapiCall&) = delete;

    void OnReply(LONG requestId, LONG result, DWORD kind) override;

    HCALL Handle() const { return m_handle; }
    CTapiLine* Line() const { return m_line; }
    void AddNotify(CTapiCallNotify* notify);

    LONG Answer(const char* userUserInfo = nullptr, DWORD size = 0);
    LONG Drop(const char* userUserInfo = nullptr, DWORD size = 0);
    LONG Deallocate();
    LONG MonitorDigits(DWORD digitModes);

    // Delivery, called by the line.
    void OnCallInfo(DWORD infoState);
    void OnCallState(DWORD state, DWORD detail, DWORD privilege);
    void OnCallGatherDigits(DWORD termination);
    void OnCallGenerate(DWORD termination);
    void OnCallMonitorDigits(DWORD digit, DWORD mode);
    void OnCallMonitorMedia(DWORD mediaMode);
    void OnCallMonitorTone(DWORD appSpecific);

private:
    template <class F> void Raise(F f);
    LONG DropHandle(HCALL call, const char* userUserInfo, DWORD size);

    HCALL m_handle;
    CTapiLine* m_line;
    std::vector<CTapiCallNotify*> m_notifies;
    // Set while notifications are being raised; the destructor marks it so
    // that the loop stops at once.
    bool* m_destroyed = nullptr;
};

// The first live call object with this handle, or null (never for 0).
CTapiCall* FindCall(HCALL call);

} // namespace rw
