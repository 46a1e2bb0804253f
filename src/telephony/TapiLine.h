// One open line device. Turns the service's callback messages for the line
// into notifications: line events to its CTapiLineNotify listeners, call
// events to the CTapiCall object of the call handle. Records asynchronous
// requests so that each LINE_REPLY reaches whoever issued it.
#pragma once

#include "telephony/TapiNotify.h"

#include <vector>

namespace rw {

class CTapiLine : public CTapiReplyTarget {
public:
    CTapiLine() = default;
    virtual ~CTapiLine();
    CTapiLine(const CTapiLine&) = delete;
    CTapiLine& operator=(const CTapiLine&) = delete;

    void OnReply(LONG requestId, LONG result, DWORD kind) override;

    // Opens line device `device` of the line registration. Returns the
    // lineOpen result; on failure the line stays closed.
    LONG Open(DWORD device, CTapiLineNotify* notify, DWORD privileges, DWORD mediaModes);
    // Open as owner for voice calls; failing that, as a monitor only.
    LONG OpenWithFallback(DWORD device, CTapiLineNotify* notify);
    // Open as a monitor only because the owner open failed (it may work
    // later: another program let go of the modem, or its driver came back).
    bool OwnerRefused() const { return m_handle && m_ownerRefused; }
    void AddNotify(CTapiLineNotify* notify);
    LONG Close();

    HLINE Handle() const { return m_handle; }
    // Open with owner rights, so that its calls may be answered and dropped
    // (not only watched).
    bool IsOwner() const { return m_handle && (m_privileges & LINECALLPRIVILEGE_OWNER); }
    DWORD DeviceId() const { return m_deviceId; }
    const std::vector<HCALL>& UnownedCalls() const { return m_unowned; }

    void AddPendingRequest(LONG requestId, CTapiReplyTarget* target, DWORD kind);
    bool TakePendingRequest(LONG requestId, CTapiReplyTarget*& target, DWORD& kind);
    // Null removes every record.
    void RemovePendingRequests(CTapiReplyTarget* target);
    size_t PendingRequestCount() const { return m_pending.size(); }

    // The dispatcher, called from the line callback.
    virtual void OnMessage(DWORD device, DWORD message, DWORD_PTR param1, DWORD_PTR param2,
                           DWORD_PTR param3);

protected:
    virtual void OnAddressState(DWORD_PTR addressId, DWORD_PTR state);
    virtual void OnClose();
    virtual void OnDevSpecific(DWORD device, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
    virtual void OnDevSpecificFeature(DWORD device, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
    virtual void OnLineDevState(DWORD_PTR state, DWORD_PTR p2, DWORD_PTR p3);
    virtual void OnCallInfo(HCALL call, DWORD_PTR infoState);
    virtual void OnCallState(HCALL call, DWORD_PTR state, DWORD_PTR detail, DWORD_PTR privilege);
    virtual void OnGatherDigits(HCALL call, DWORD_PTR termination);
    virtual void OnGenerate(HCALL call, DWORD_PTR termination);
    virtual void OnMonitorDigits(HCALL call, DWORD_PTR digit, DWORD_PTR mode);
    virtual void OnMonitorMedia(HCALL call, DWORD_PTR mediaMode);
    virtual void OnMonitorTone(HCALL call, DWORD_PTR appSpecific);
    virtual void OnLineReplyMessage(DWORD_PTR requestId, DWORD_PTR result);

private:
    struct PendingRequest {
        LONG requestId;
        CTapiReplyTarget* target;
        DWORD kind;
    };

    template <class F> void RaiseLine(F f) {
        // By index: a listener may add another while being notified.
        for (size_t i = 0; i < m_notifies.size(); ++i)
            if (CTapiLineNotify* n = m_notifies[i])
                f(n);
    }
    DWORD AddressIdOf(HCALL call);

    HLINE m_handle = 0;
    std::vector<CTapiLineNotify*> m_notifies;
    DWORD m_deviceId = static_cast<DWORD>(-1);
    DWORD m_privileges = 0;
    bool m_ownerRefused = false;
    std::vector<PendingRequest> m_pending;
    std::vector<HCALL> m_unowned;
};

} // namespace rw
