#include "telephony/TapiLine.h"

#include "telephony/NotifyList.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiCall.h"
#include "telephony/TapiCallInfo.h"
#include "telephony/TapiRegistration.h"
#include "telephony/TapiTrace.h"

#include <algorithm>

namespace rw {

namespace {

// Every line device state and every address state.
constexpr DWORD kAllLineStates = 0x01FFFFFF;
constexpr DWORD kAllAddressStates = 0x000001FF;

} // namespace

CTapiLine::~CTapiLine() {
    Close();
}

LONG CTapiLine::Open(DWORD device, CTapiLineNotify* notify, DWORD privileges, DWORD mediaModes) {
    // A device whose version could not be negotiated is opened with version
    // 0, which the service refuses.
    LONG result = NoteLineResult(
        Tapi().lineOpen(LineAppHandle(), device, &m_handle, LineApiVersion(device), 0,
                        reinterpret_cast<DWORD_PTR>(this), privileges, mediaModes, nullptr));
    if (TapiTraceSink())
        TraceTapiRequest("lineOpen", device,
                         (privileges & LINECALLPRIVILEGE_OWNER) ? "owner" : "monitor", result);
    if (result != 0) {
        m_handle = 0;
        return result;
    }
    m_deviceId = device;
    m_privileges = privileges;
    AddNotify(notify);
    const LONG status = Tapi().lineSetStatusMessages(m_handle, kAllLineStates, kAllAddressStates);
    if (TapiTraceSink())
        TraceTapiRequest("lineSetStatusMessages", m_handle, nullptr, status);
    return 0;
}

LONG CTapiLine::OpenWithFallback(DWORD device, CTapiLineNotify* notify) {
    m_ownerRefused = false;
    LONG result = Open(device, notify, LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR,
                       LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_AUTOMATEDVOICE);
    if (result < 0 && result != static_cast<LONG>(LINEERR_REINIT)) {
        result = Open(device, notify, LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE);
        m_ownerRefused = result == 0;
    }
    return result;
}

void CTapiLine::AddNotify(CTapiLineNotify* notify) {
    AddToNotifyList(m_notifies, notify);
}

LONG CTapiLine::Close() {
    if (!m_handle)
        return 0;
    LONG result = Tapi().lineClose(m_handle);
    if (TapiTraceSink())
        TraceTapiRequest("lineClose", m_handle, nullptr, result);
    RemovePendingRequests(nullptr);
    for (HCALL call : m_unowned) {
        const LONG released = Tapi().lineDeallocateCall(call);
        if (TapiTraceSink())
            TraceTapiRequest("lineDeallocateCall", call, nullptr, released);
    }
    m_unowned.clear();
    m_handle = 0;
    m_deviceId = static_cast<DWORD>(-1);
    m_privileges = 0;
    m_ownerRefused = false;
    return result;
}

void CTapiLine::AddPendingRequest(LONG requestId, CTapiReplyTarget* target, DWORD kind) {
    try {
        m_pending.push_back({requestId, target, kind});
    } catch (...) {
        // Unrecorded: its reply reaches OnLineReply with kind 0.
    }
}

bool CTapiLine::TakePendingRequest(LONG requestId, CTapiReplyTarget*& target, DWORD& kind) {
    auto it = std::find_if(m_pending.begin(), m_pending.end(),
                           [&](const PendingRequest& r) { return r.requestId == requestId; });
    if (it == m_pending.end())
        return false;
    target = it->target;
    kind = it->kind;
    m_pending.erase(it);
    return true;
}

void CTapiLine::RemovePendingRequests(CTapiReplyTarget* target) {
    std::erase_if(m_pending,
                  [&](const PendingRequest& r) { return !target || r.target == target; });
}

void CTapiLine::OnReply(LONG requestId, LONG result, DWORD kind) {
    RaiseLine([&](CTapiLineNotify* n) { n->OnLineReply(this, requestId, result, kind); });
}

void CTapiLine::OnMessage(DWORD device, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    const HCALL call = device;
    switch (message) {
    case LINE_ADDRESSSTATE:
        OnAddressState(p1, p2);
        break;
    case LINE_CALLINFO:
        OnCallInfo(call, p1);
        break;
    case LINE_CALLSTATE:
        OnCallState(call, p1, p2, p3);
        break;
    case LINE_CLOSE:
        OnClose();
        break;
    case LINE_DEVSPECIFIC:
        OnDevSpecific(device, p1, p2, p3);
        break;
    case LINE_DEVSPECIFICFEATURE:
        OnDevSpecificFeature(device, p1, p2, p3);
        break;
    case LINE_GATHERDIGITS:
        OnGatherDigits(call, p1);
        break;
    case LINE_GENERATE:
        OnGenerate(call, p1);
        break;
    case LINE_LINEDEVSTATE:
        OnLineDevState(p1, p2, p3);
        break;
    case LINE_MONITORDIGITS:
        OnMonitorDigits(call, p1, p2);
        break;
    case LINE_MONITORMEDIA:
        OnMonitorMedia(call, p1);
        break;
    case LINE_MONITORTONE:
        OnMonitorTone(call, p1);
        break;
    case LINE_REPLY:
        OnLineReplyMessage(p1, p2);
        break;
    default:
        break; // newer messages are not ours
    }
}

void CTapiLine::OnAddressState(DWORD_PTR addressId, DWORD_PTR state) {
    RaiseLine([&](CTapiLineNotify* n) {
        n->OnLineAddressState(this, static_cast<DWORD>(addressId), static_cast<DWORD>(state));
    });
}

void CTapiLine::OnClose() {
    // The service closed the device; the handle is released by Close.
    RaiseLine([&](CTapiLineNotify* n) { n->OnLineClose(this); });
}

void CTapiLine::OnDevSpecific(DWORD device, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    RaiseLine([&](CTapiLineNotify* n) { n->OnLineDevSpecific(this, device, p1, p2, p3); });
}

void CTapiLine::OnDevSpecificFeature(DWORD device, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    RaiseLine([&](CTapiLineNotify* n) { n->OnLineDevSpecificFeature(this, device, p1, p2, p3); });
}

void CTapiLine::OnLineDevState(DWORD_PTR state, DWORD_PTR p2, DWORD_PTR p3) {
    RaiseLine(
        [&](CTapiLineNotify* n) { n->OnLineDevState(this, static_cast<DWORD>(state), p2, p3); });
}

void CTapiLine::OnCallInfo(HCALL call, DWORD_PTR infoState) {
    if (CTapiCall* c = FindCall(call))
        c->OnCallInfo(static_cast<DWORD>(infoState));
}

DWORD CTapiLine::AddressIdOf(HCALL call) {
    // The fixed part is enough for the address id.
    LINECALLINFO info{};
    info.dwTotalSize = kLineCallInfoFixedSize;
    LONG result = Tapi().lineGetCallInfo(call, &info);
    if (TapiTraceSink())
        TraceTapiRequest("lineGetCallInfo", call, "fixed part", result);
    return result == 0 || result == static_cast<LONG>(LINEERR_STRUCTURETOOSMALL) ? info.dwAddressID
                                                                                 : 0;
}

void CTapiLine::OnCallState(HCALL call, DWORD_PTR state, DWORD_PTR detail, DWORD_PTR privilege) {
    const DWORD st = static_cast<DWORD>(state), det = static_cast<DWORD>(detail),
                priv = static_cast<DWORD>(privilege);
    if (CTapiCall* c = FindCall(call)) {
        c->OnCallState(st, det, priv);
        return;
    }
    auto unowned = std::find(m_unowned.begin(), m_unowned.end(), call);
    // A handle first heard of in the idle state is a call already over (or
    // one released a moment ago whose last report was still on its way):
    // no new call, only a handle to let go.
    if (unowned == m_unowned.end() && st != LINECALLSTATE_IDLE) {
        const DWORD address = AddressIdOf(call);
        RaiseLine([&](CTapiLineNotify* n) { n->OnLineNewCall(this, call, address, priv); });
        // A listener normally makes the call object here.
        if (CTapiCall* c = FindCall(call)) {
            c->OnCallState(st, det, priv);
            return;
        }
        unowned = std::find(m_unowned.begin(), m_unowned.end(), call);
    }
    if (st == LINECALLSTATE_IDLE) {
        const LONG released = Tapi().lineDeallocateCall(call);
        if (TapiTraceSink())
            TraceTapiRequest("lineDeallocateCall", call, nullptr, released);
        if (unowned != m_unowned.end())
            m_unowned.erase(unowned);
    } else if (unowned == m_unowned.end()) {
        m_unowned.push_back(call);
    }
}

void CTapiLine::OnGatherDigits(HCALL call, DWORD_PTR termination) {
    if (CTapiCall* c = FindCall(call))
        c->OnCallGatherDigits(static_cast<DWORD>(termination));
}

void CTapiLine::OnGenerate(HCALL call, DWORD_PTR termination) {
    if (CTapiCall* c = FindCall(call))
        c->OnCallGenerate(static_cast<DWORD>(termination));
}

void CTapiLine::OnMonitorDigits(HCALL call, DWORD_PTR digit, DWORD_PTR mode) {
    if (CTapiCall* c = FindCall(call))
        c->OnCallMonitorDigits(static_cast<DWORD>(digit), static_cast<DWORD>(mode));
}

void CTapiLine::OnMonitorMedia(HCALL call, DWORD_PTR mediaMode) {
    if (CTapiCall* c = FindCall(call))
        c->OnCallMonitorMedia(static_cast<DWORD>(mediaMode));
}

void CTapiLine::OnMonitorTone(HCALL call, DWORD_PTR appSpecific) {
    if (CTapiCall* c = FindCall(call))
        c->OnCallMonitorTone(static_cast<DWORD>(appSpecific));
}

void CTapiLine::OnLineReplyMessage(DWORD_PTR requestId, DWORD_PTR result) {
    const LONG id = static_cast<LONG>(requestId), res = static_cast<LONG>(result);
    CTapiReplyTarget* target = nullptr;
    DWORD kind = 0;
    if (TakePendingRequest(id, target, kind))
        target->OnReply(id, res, kind);
    else
        OnReply(id, res, 0);
}

} // namespace rw
