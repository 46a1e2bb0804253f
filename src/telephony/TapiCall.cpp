#include "telephony/TapiCall.h"

#include "telephony/NotifyList.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiLine.h"
#include "telephony/TapiRegistration.h"
#include "telephony/TapiTrace.h"

#include <algorithm>

namespace rw {

namespace {

// Every live call object, in creation order.
std::vector<CTapiCall*>& Registry() {
    static std::vector<CTapiCall*> calls;
    return calls;
}

} // namespace

CTapiCall* FindCall(HCALL call) {
    if (!call)
        return nullptr;
    for (CTapiCall* c : Registry())
        if (c->Handle() == call)
            return c;
    return nullptr;
}

CTapiCall::CTapiCall(CTapiLine* line, HCALL call, CTapiCallNotify* notify)
    : m_handle(call), m_line(line) {
    Registry().push_back(this);
    AddNotify(notify);
}

CTapiCall::~CTapiCall() {
    if (m_destroyed)
        *m_destroyed = true;
    if (m_handle) {
        const HCALL handle = m_handle;
        if (Deallocate() == static_cast<LONG>(LINEERR_INVALCALLSTATE))
            DropHandle(handle, nullptr, 0);
    }
    // A reply still due for this call goes to the line's listeners instead.
    if (m_line)
        m_line->RemovePendingRequests(this);
    std::erase(Registry(), this);
}

void CTapiCall::AddNotify(CTapiCallNotify* notify) {
    AddToNotifyList(m_notifies, notify);
}

template <class F> void CTapiCall::Raise(F f) {
    bool destroyed = false;
    bool* outer = m_destroyed;
    m_destroyed = &destroyed;
    for (size_t i = 0; i < m_notifies.size(); ++i) {
        if (CTapiCallNotify* n = m_notifies[i])
            f(n);
        if (destroyed) {
            // `this` is gone; tell an outer delivery on the stack, if any.
            if (outer)
                *outer = true;
            return;
        }
    }
    m_destroyed = outer;
}

void CTapiCall::OnReply(LONG requestId, LONG result, DWORD kind) {
    Raise([&](CTapiCallNotify* n) { n->OnCallReply(this, requestId, result, kind); });
}

LONG CTapiCall::Answer(const char* userUserInfo, DWORD size) {
    LONG result = NoteLineResult(Tapi().lineAnswer(m_handle, userUserInfo, size));
    if (TapiTraceSink())
        TraceTapiRequest("lineAnswer", m_handle, nullptr, result);
    if (result > 0 && m_line)
        m_line->AddPendingRequest(result, this, kTapiRequestAnswer);
    return result;
}

LONG CTapiCall::DropHandle(HCALL call, const char* userUserInfo, DWORD size) {
    LONG result = NoteLineResult(Tapi().lineDrop(call, userUserInfo, size));
    if (TapiTraceSink())
        TraceTapiRequest("lineDrop", call, nullptr, result);
    if (result > 0 && m_line)
        m_line->AddPendingRequest(result, this, kTapiRequestDrop);
    return result;
}

LONG CTapiCall::Drop(const char* userUserInfo, DWORD size) {
    return DropHandle(m_handle, userUserInfo, size);
}

LONG CTapiCall::Deallocate() {
    LONG result = Tapi().lineDeallocateCall(m_handle);
    if (TapiTraceSink())
        TraceTapiRequest("lineDeallocateCall", m_handle, nullptr, result);
    if (result == 0 && m_line)
        m_line->RemovePendingRequests(this);
    m_handle = 0;
    return result;
}

LONG CTapiCall::MonitorDigits(DWORD digitModes) {
    const LONG result = Tapi().lineMonitorDigits(m_handle, digitModes);
    if (TapiTraceSink())
        TraceTapiRequest("lineMonitorDigits", m_handle, digitModes ? "on" : "off", result);
    return result;
}

void CTapiCall::OnCallInfo(DWORD infoState) {
    Raise([&](CTapiCallNotify* n) { n->OnCallInfo(this, infoState); });
}
void CTapiCall::OnCallState(DWORD state, DWORD detail, DWORD privilege) {
    Raise([&](CTapiCallNotify* n) { n->OnCallState(this, state, detail, privilege); });
}
void CTapiCall::OnCallGatherDigits(DWORD termination) {
    Raise([&](CTapiCallNotify* n) { n->OnCallGatherDigits(this, termination); });
}
void CTapiCall::OnCallGenerate(DWORD termination) {
    Raise([&](CTapiCallNotify* n) { n->OnCallGenerate(this, termination); });
}
void CTapiCall::OnCallMonitorDigits(DWORD digit, DWORD mode) {
    Raise([&](CTapiCallNotify* n) { n->OnCallMonitorDigits(this, digit, mode); });
}
void CTapiCall::OnCallMonitorMedia(DWORD mediaMode) {
    Raise([&](CTapiCallNotify* n) { n->OnCallMonitorMedia(this, mediaMode); });
}
void CTapiCall::OnCallMonitorTone(DWORD appSpecific) {
    Raise([&](CTapiCallNotify* n) { n->OnCallMonitorTone(this, appSpecific); });
}

} // namespace rw
