#include "app/CallScreener.h"

#include "audio/WindowClassRegistration.h"
#include "app/TraceLog.h"
#include "records/RingwardenPreferences.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "telephony/TapiCallInfo.h"
#include "telephony/TapiDeviceId.h"

#include <algorithm>
#include <new>

namespace rw {
namespace {

// Registered for the program's whole life, before any screener exists.
const CWindowClassRegistration g_timerClass("RingwardenScreenerTimers",
                                            CCallScreener::TimerWindowProc);

constexpr UINT kTrayIdle = 130;
constexpr UINT kTrayPermitting = 131;
constexpr UINT kTrayBlocking = 132;

// Caller ID comes from the line and can be any length. No real caller ID
// comes near this; keeping more would let one call hold megabytes.
constexpr size_t kMaxCallerText = 256;

std::string Cut(std::string text) {
    if (text.size() > kMaxCallerText)
        text.resize(kMaxCallerText);
    return text;
}

// A screening decision and its reason, for the trace (when it is on).
void TraceCall(size_t index, const CLoggedCall& call, const char* why) {
    if (CTraceLog* trace = ActiveTrace())
        trace->Add(GetTickCount(), "call " + std::to_string(index) + ", " + why + ": number \"" +
                                       call.GetNumber() + "\", caller ID name \"" +
                                       call.GetCallerIdName() + "\", entry \"" + call.GetName() +
                                       "\", " + ActionText(call.GetAction()));
}

// Room for one more, growing by doubling: reserving one more at a time
// would copy the whole log for every call.
template <class T> void Reserve(std::vector<T>& v) {
    if (v.size() == v.capacity())
        v.reserve(std::max<size_t>(16, v.capacity() * 2));
}

} // namespace

CCallScreener::CCallScreener(CRingwardenPreferences& preferences, CScreeningRules& rules,
                             CCallScreenerNotify* notify, HMODULE resources)
    : m_preferences(preferences), m_rules(rules), m_notify(notify),
      m_resources(resources ? resources : GetModuleHandleA(nullptr)),
      m_player(this, m_resources, IDR_ACK_TONE, IDR_BEEP_TONE),
      m_random(static_cast<unsigned>(GetTickCount() ^ (GetCurrentProcessId() << 16))) {}

CCallScreener::~CCallScreener() {
    m_shuttingDown = true;
    m_player.Shutdown();
    m_recorder.Shutdown();
    Release(nullptr, false);
    m_timerWindow.Destroy();
}

void CCallScreener::ShutDownSound() {
    m_shuttingDown = true;
    m_player.Shutdown();
    m_recorder.Shutdown();
}

bool CCallScreener::IsRecording() const {
    return std::any_of(m_live.begin(), m_live.end(),
                       [](const LiveCall& live) { return live.recording != 0; });
}

void CCallScreener::ReleaseCalls() {
    Release(nullptr, true);
}

void CCallScreener::ReleaseCalls(const CTapiLine* line) {
    Release(line, true);
    if (m_live.empty())
        SetTrayTip(kTrayIdle);
}

void CCallScreener::Release(const CTapiLine* line, bool notify) {
    size_t stillWaiting = 0;
    auto released = [line](const LiveCall& live) { return !line || live.call->Line() == line; };
    for (LiveCall& live : m_live) {
        if (!released(live))
            continue;
        StopSound(live);
        StopRecording(live);
        CancelTimers(live);
        m_log[live.index]->SetCall(nullptr);
        if (!live.outcomeReported && m_log[live.index]->GetAction() == ActionWaitingForCallerId)
            ++stillWaiting;
    }
    // Each call object drops a call still up and releases its handle (a
    // closed line's dead handles only fail quietly).
    std::erase_if(m_live, released);
    if (notify && m_notify)
        for (size_t i = 0; i < stillWaiting; ++i)
            m_notify->OnCallerIdOutcome(false);
}

size_t CCallScreener::CallsUpCount() const {
    return static_cast<size_t>(
        std::count_if(m_live.begin(), m_live.end(), [this](const LiveCall& live) {
            return !live.disconnected && !Dropping(live);
        }));
}

bool CCallScreener::FirstKeyReceived(size_t index) const {
    for (const LiveCall& live : m_live)
        if (live.index == index)
            return live.firstKeyReceived;
    return false;
}

int CCallScreener::FindLoggedCall(const CTapiCall* call) const {
    // Only live calls hold a call object, so they are all that need looking at.
    int found = -1;
    for (const LiveCall& live : m_live)
        if (live.call.get() == call && (found < 0 || live.index < static_cast<size_t>(found)))
            found = static_cast<int>(live.index);
    return found;
}

CCallScreener::LiveCall* CCallScreener::FindLive(const CTapiCall* call) {
    for (LiveCall& live : m_live)
        if (live.call.get() == call)
            return &live;
    return nullptr;
}

CCallScreener::LiveCall* CCallScreener::FindLiveIndex(size_t index) {
    for (LiveCall& live : m_live)
        if (live.index == index)
            return &live;
    return nullptr;
}

CCallScreener::LiveCall* CCallScreener::FindLiveSound(uint32_t id) {
    for (LiveCall& live : m_live)
        if (id && live.sound == id)
            return &live;
    return nullptr;
}

bool CCallScreener::IsPlaying() const {
    return std::any_of(m_live.begin(), m_live.end(),
                       [](const LiveCall& live) { return live.sound && live.soundStarted; });
}

void CCallScreener::SetTrayTip(UINT id) {
    m_trayTip = id;
    if (m_notify)
        m_notify->OnTrayTipChanged(id);
}

bool CCallScreener::ReadCallerId(const CTapiCallInfo& info, std::string& name,
                                 std::string& number) {
    return ReadCallerId(info.CallerIdFlags(), info.CallerIdName(), info.CallerIdNumber(), name,
                        number);
}

namespace {

bool HasDigit(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Some modems send a placeholder in the number instead of setting the
// flags: "O" for an out-of-area caller, "P" for a private one, and a
// number of zeros when there is no caller ID. None of them is a number to
// look up. Returns the flag the placeholder stands for, or 0.
DWORD PlaceholderFlag(const std::string& numberText) {
    const size_t first = numberText.find_first_not_of(" \t");
    if (first == std::string::npos)
        return 0;
    const size_t last = numberText.find_last_not_of(" \t");
    const std::string text = numberText.substr(first, last - first + 1);
    if (text == "O" || text == "o")
        return LINECALLPARTYID_OUTOFAREA;
    if (text == "P" || text == "p")
        return LINECALLPARTYID_BLOCKED;
    const bool zeros = HasDigit(text) && std::none_of(text.begin(), text.end(),
                                                      [](char c) { return c >= '1' && c <= '9'; });
    return zeros ? LINECALLPARTYID_UNAVAIL : 0;
}

// The flags as the caller ID means them: a placeholder in the number
// counts as the flag it stands for.
DWORD EffectiveFlags(DWORD flags, const std::string& numberText) {
    if ((flags & LINECALLPARTYID_ADDRESS) &&
        !(flags & (LINECALLPARTYID_BLOCKED | LINECALLPARTYID_OUTOFAREA | LINECALLPARTYID_UNKNOWN |
                   LINECALLPARTYID_UNAVAIL)))
        flags |= PlaceholderFlag(numberText);
    return flags;
}

} // namespace

bool CCallScreener::ReadCallerId(DWORD flags, const std::string& nameText,
                                 const std::string& numberText, std::string& name,
                                 std::string& number) {
    flags = EffectiveFlags(flags, numberText);
    const std::string n = Cut(nameText);
    // A call type fills in when the line gives no name; a name given stands
    // for the caller in both texts.
    auto typed = [&](UINT typeText) {
        name = n.empty() ? LoadResString(typeText) : n;
        number = name;
    };
    if (flags & LINECALLPARTYID_BLOCKED) {
        typed(IDS_CALLTYPE_BLOCKED);
    } else if (flags & LINECALLPARTYID_OUTOFAREA) {
        typed(IDS_CALLTYPE_OUT_OF_AREA);
    } else if (flags & LINECALLPARTYID_UNKNOWN) {
        name.clear();
        number.clear();
    } else if (flags & LINECALLPARTYID_UNAVAIL) {
        typed(IDS_CALLTYPE_NO_CALLER_ID);
    } else {
        // The number comes first: names are often shared ("WIRELESS
        // CALLER", a town), numbers are not. A number text without a digit
        // ("P" for private on some modems) is no number.
        const std::string m = Cut(numberText);
        name = n;
        if (HasDigit(m)) {
            number = m;
            return true;
        }
        number = n.empty() ? m : n;
    }
    return false;
}

CallerIdType CCallScreener::CallerIdKindOf(DWORD flags, const std::string& nameText,
                                           const std::string& numberText) {
    flags = EffectiveFlags(flags, numberText);
    if (flags & LINECALLPARTYID_BLOCKED)
        return CallerIdWithheld;
    if (flags & LINECALLPARTYID_OUTOFAREA)
        return CallerIdOutOfArea;
    if (flags & LINECALLPARTYID_UNKNOWN)
        return CallerIdNone;
    if (flags & LINECALLPARTYID_UNAVAIL)
        return CallerIdUnavailable;
    const bool name = (flags & LINECALLPARTYID_NAME) && !nameText.empty();
    const bool number = (flags & LINECALLPARTYID_ADDRESS) && !numberText.empty();
    if (name && number)
        return CallerIdNameAndNumber;
    if (name)
        return CallerIdName;
    return number ? CallerIdNumber : CallerIdNone;
}

void CCallScreener::OnLineNewCall(CTapiLine* line, HCALL handle, DWORD, DWORD) {
    try {
        CTapiCallInfo info(handle);
        const bool fetched = info.Fetch() == 0;
        // Calls made from this line are neither logged nor screened; the
        // line releases their handles itself.
        if (fetched && info.Origin() == LINECALLORIGIN_OUTBOUND)
            return;
        std::string name, number;
        bool hasNumber = false;
        CallerIdType kind = CallerIdNone;
        if (fetched) {
            hasNumber = ReadCallerId(info, name, number);
            kind = CallerIdKindOf(info.CallerIdFlags(), info.CallerIdName(), info.CallerIdNumber());
        }

        // Everything that can fail is done before the call object exists, so
        // a failure leaves nothing half made.
        Reserve(m_log);
        Reserve(m_live);
        auto logged = std::make_unique<CLoggedCall>();
        logged->SetName(name);
        logged->SetCallerIdName(name);
        logged->SetNumber(number);
        logged->SetHasNumber(hasNumber);
        logged->SetCallerIdKind(kind);
        logged->MakeLookupKey();
        logged->SetAction(ActionWaitingForCallerId);
        const CDateTime now = m_rules.Clock().Now();
        logged->SetCallTime(now);

        LiveCall live;
        live.call = std::make_unique<CTapiCall>(line, handle, this);
        live.index = m_log.size();
        logged->SetCall(live.call.get());

        m_rules.ExpireSuspension(now);
        m_rules.EvaluateCall(*logged);
        HoldBackIfBusy(*logged, live, line);
        const bool screened = logged->GetAction() != ActionWaitingForCallerId;
        if (ActiveTrace())
            TraceCall(m_log.size(), *logged, "offered");
        live.outcomeReported = screened;
        m_log.push_back(std::move(logged));
        m_live.push_back(std::move(live));
        const size_t index = m_log.size() - 1;

        if (m_preferences.ShowNotification && m_notify)
            m_notify->OnShowNotification(index);
        if (m_notify)
            m_notify->OnCallLogged(index);
        if (screened && m_notify)
            m_notify->OnCallerIdOutcome(true);
        if (m_log[index]->IsBlockingAction()) {
            SetTrayTip(kTrayBlocking);
            if (LiveCall* added = FindLiveIndex(index))
                StartBlock(*added);
        } else {
            SetTrayTip(kTrayPermitting);
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the call is not followed; the line releases it.
    }
}

void CCallScreener::OnCallInfo(CTapiCall* call, DWORD infoState) {
    if (!(infoState & LINECALLINFOSTATE_CALLERID))
        return;
    try {
        CTapiCallInfo info(call->Handle());
        if (info.Fetch() != 0)
            return;
        LiveCall* live = FindLive(call);
        if (!live)
            return;
        const size_t index = live->index;
        CLoggedCall& logged = *m_log[index];
        std::string name, number;
        const bool hasNumber = ReadCallerId(info, name, number);
        // A call is screened once, on its first complete reading. Caller ID
        // sent again with other contents (some lines send it twice) only
        // updates the row: what was done to the call stands.
        if (logged.GetAction() != ActionWaitingForCallerId) {
            const CallerIdType kind =
                CallerIdKindOf(info.CallerIdFlags(), info.CallerIdName(), info.CallerIdNumber());
            if (kind == CallerIdNone ||
                (number == logged.GetNumber() && name == logged.GetCallerIdName()))
                return;
            logged.SetCallerIdName(name);
            logged.SetNumber(number);
            logged.SetHasNumber(hasNumber);
            logged.SetCallerIdKind(kind);
            logged.MakeLookupKey();
            if (ActiveTrace())
                TraceCall(index, logged, "caller ID again, row updated, nothing else changed");
            if (m_notify)
                m_notify->OnCallChanged(index);
            return;
        }
        logged.SetName(name);
        logged.SetCallerIdName(name);
        logged.SetNumber(number);
        logged.SetHasNumber(hasNumber);
        logged.SetCallerIdKind(
            CallerIdKindOf(info.CallerIdFlags(), info.CallerIdName(), info.CallerIdNumber()));
        logged.MakeLookupKey();
        m_rules.EvaluateCall(logged);
        if (logged.GetAction() == ActionWaitingForCallerId)
            return;
        HoldBackIfBusy(logged, *live, call->Line());
        if (ActiveTrace())
            TraceCall(index, logged, "screened on its caller ID");
        live->outcomeReported = true;
        if (m_notify) {
            m_notify->OnCallChanged(index);
            m_notify->OnRefreshNotification(index);
            m_notify->OnCallerIdOutcome(true);
        }
        if (logged.IsBlockingAction()) {
            SetTrayTip(kTrayBlocking);
            if (LiveCall* still = FindLive(call))
                StartBlock(*still);
        } else {
            SetTrayTip(kTrayPermitting);
        }
    } catch (const std::bad_alloc&) {
        // The call stays waiting for its caller ID.
    }
}

bool CCallScreener::LineBusy(const CTapiLine* line, const CTapiCall* self) const {
    return std::any_of(m_live.begin(), m_live.end(), [&](const LiveCall& other) {
        return other.call.get() != self && other.call->Line() == line &&
               (other.connectedNow || other.onHold || other.hold != Hold::None);
    });
}

void CCallScreener::HoldBackIfBusy(CLoggedCall& logged, LiveCall& live, const CTapiLine* line) {
    if (!logged.IsBlockingAction() || !LineBusy(line, live.call.get()))
        return;
    live.busyAction = logged.GetAction();
    logged.SetAction(ActionNotAnsweredLineBusy);
    if (ActiveTrace())
        TraceCall(live.index, logged, "another call on the line is up, not answered");
}

void CCallScreener::ScreenHeldBack() {
    // By index: starting a block tells the window, and makes the line busy
    // for the rest, which wait for that call in turn.
    for (size_t i = 0; i < m_live.size(); ++i) {
        LiveCall& live = m_live[i];
        if (!live.busyAction || live.everConnected || live.disconnected ||
            LineBusy(live.call->Line(), live.call.get()))
            continue;
        const size_t index = live.index;
        m_log[index]->SetAction(live.busyAction);
        live.busyAction = 0;
        if (ActiveTrace())
            TraceCall(index, *m_log[index], "the other call has ended, screened as usual");
        if (m_notify) {
            m_notify->OnCallChanged(index);
            m_notify->OnRefreshNotification(index);
        }
        SetTrayTip(kTrayBlocking);
        if (LiveCall* still = FindLiveIndex(index))
            StartBlock(*still);
    }
}

void CCallScreener::OnCallState(CTapiCall* call, DWORD state, DWORD, DWORD) {
    if (LiveCall* live = FindLive(call))
        live->onHold = state == LINECALLSTATE_ONHOLD || state == LINECALLSTATE_ONHOLDPENDCONF ||
                       state == LINECALLSTATE_ONHOLDPENDTRANSFER;
    switch (state) {
    case LINECALLSTATE_IDLE:
        // The call object goes here; nothing may touch `call` afterwards.
        OnIdle(call);
        SetTrayTip(kTrayIdle);
        ScreenHeldBack();
        break;
    case LINECALLSTATE_CONNECTED:
        if (LiveCall* live = FindLive(call))
            OnConnected(*live);
        break;
    case LINECALLSTATE_DISCONNECTED:
        if (LiveCall* live = FindLive(call))
            OnDisconnected(*live);
        SetTrayTip(kTrayIdle);
        ScreenHeldBack();
        break;
    default:
        break;
    }
}

void CCallScreener::StartBlock(LiveCall& live) {
    live.firstKeyReceived = false;
    // Connected already (picked up elsewhere before its caller ID came):
    // someone else has or had it, and it is not the program's to answer.
    if (live.everConnected) {
        AnswerFailed(live);
        return;
    }
    // The rest waits for the answer's reply and for CONNECTED, which a
    // service may report in either order.
    const LONG request = live.call->Answer();
    if (request <= 0) {
        AnswerFailed(live);
        return;
    }
    live.hold = Hold::Answering;
    live.answerRequest = request;
}

void CCallScreener::AnswerFailed(LiveCall& live) {
    live.hold = Hold::None;
    live.answerRequest = 0;
    // A hold limit armed at CONNECTED while the reply was due: the call is
    // someone else's after all.
    CancelTimers(live);
    const size_t index = live.index;
    m_log[index]->SetAction(ActionBlockFailed);
    if (ActiveTrace())
        TraceCall(index, *m_log[index], "the answer was refused or failed, left alone");
    // `live` may not outlive what the window does with these.
    if (m_notify) {
        m_notify->OnCallChanged(index);
        m_notify->OnRefreshNotification(index);
    }
    SetTrayTip(kTrayIdle);
}

void CCallScreener::OnCallReply(CTapiCall* call, LONG requestId, LONG result, DWORD kind) {
    LiveCall* live = FindLive(call);
    if (!live)
        return;
    if (kind == kTapiRequestAnswer && requestId == live->answerRequest &&
        live->hold == Hold::Answering) {
        live->answerRequest = 0;
        // A failed reply after CONNECTED means someone else connected it.
        if (result != 0) {
            AnswerFailed(*live);
            return;
        }
        live->hold = Hold::Answered;
        live->answered = true;
        if (live->connectedNow)
            StartHolding(*live);
    } else if (kind == kTapiRequestDrop && requestId == live->dropRequest) {
        live->dropRequest = 0;
        if (result < 0 && Dropping(*live))
            DropFailed(*live, result);
    }
}

void CCallScreener::OnConnected(LiveCall& live) {
    live.connectedNow = true;
    live.everConnected = true;
    // Only a call whose answer the line confirmed is held; a repeated
    // CONNECTED for a call already held changes nothing, and a call
    // connected some other way is not the program's.
    if (live.hold == Hold::Answered)
        StartHolding(live);
    // The answer's reply may never come: the hold limit counts from now all
    // the same, so that a call the line connected for the program cannot be
    // held for ever. A failed reply cancels it (someone else connected it).
    else if (live.hold == Hold::Answering)
        ArmHoldTimer(live);
}

void CCallScreener::StartHolding(LiveCall& live) {
    live.hold = Hold::Holding;
    if (m_log[live.index]->GetAction() == ActionKeyCheck) {
        // Keys count from the start of the prompt: a caller who presses
        // while it plays is heard.
        live.call->MonitorDigits(LINEDIGITMODE_DTMF);
        StartKeyCheck(live);
        ArmHoldTimer(live);
        return;
    }
    StartBlockSound(live);
}

void CCallScreener::StartBlockSound(LiveCall& live) {
    const bool takesMessage = TakesMessage(*m_log[live.index]);
    live.message = takesMessage ? LiveCall::Message::Greeting : LiveCall::Message::None;
    const bool greeting = PlayOnCall(live, false);
    // Keys are heard for the code, and to end a message.
    if (CodeAllowed(live) || live.message != LiveCall::Message::None)
        live.call->MonitorDigits(LINEDIGITMODE_DTMF);
    else
        live.call->MonitorDigits(0);
    // Counted from now while nothing plays; a sound that starts counts it
    // again from its own end (see OnSoundStarted and OnSoundEnded).
    ArmHoldTimer(live);
    // No greeting to wait for: the beep at once.
    if (!greeting && live.message == LiveCall::Message::Greeting)
        AfterGreeting(live);
}

void CCallScreener::OnDisconnected(LiveCall& live) {
    live.connectedNow = false;
    live.disconnected = true;
    // Gone during the check: no key was pressed (told once `live` is done
    // with, below).
    const size_t index = live.index;
    const bool checkEnded = live.keyCheck != KeyCheck::None && live.keyCheck != KeyCheck::Thanks;
    if (checkEnded) {
        live.keyCheck = KeyCheck::None;
        m_log[index]->SetAction(ActionBlockNoKeyPressed);
    }
    switch (live.hold) {
    case Hold::Answering:
    case Hold::Answered:
    case Hold::Holding:
        LetGo(live);
        break;
    case Hold::None:
        // The far end has gone: dropping now only clears the call from the
        // line so that it reaches idle (a call connected elsewhere is never
        // cut off by this), and a service waiting to restart (REINIT) is not
        // held up by a call left disconnected. A drop that fails is tried
        // again as the program's own are; a refusal (another program owns
        // the call) leaves it to its owner.
        CancelTimers(live);
        live.hold = Hold::Clearing;
        live.dropFailures = 0;
        live.nextDropRetryMs = m_dropRetryMs;
        TryDrop(live);
        break;
    case Hold::LetGo:
    case Hold::Clearing:
        // Its drops have been failing: the caller's going is news the line
        // may act on now, so try at once rather than at the next retry.
        if (live.dropRequest == 0) {
            if (m_timerWindow.Get())
                KillTimer(m_timerWindow.Get(), live.index * 2 + 2);
            TryDrop(live);
        }
        break;
    }
    if (checkEnded && m_notify) {
        m_notify->OnCallChanged(index);
        m_notify->OnRefreshNotification(index);
    }
}

void CCallScreener::LetGo(LiveCall& live) {
    const bool monitored = live.hold == Hold::Holding;
    live.hold = Hold::LetGo;
    CancelTimers(live);
    StopSound(live);
    StopRecording(live);
    if (monitored)
        live.call->MonitorDigits(0);
    live.dropFailures = 0;
    live.nextDropRetryMs = m_dropRetryMs;
    TryDrop(live);
}

void CCallScreener::TryDrop(LiveCall& live) {
    const LONG request = live.call->Drop();
    if (request < 0) {
        DropFailed(live, request);
        return;
    }
    live.dropRequest = request;
}

void CCallScreener::DropFailed(LiveCall& live, LONG result) {
    // A call someone else owns is theirs to clear.
    if (live.hold == Hold::Clearing && result == static_cast<LONG>(LINEERR_NOTOWNER))
        return;
    ++live.dropFailures;
    // Tried again until the call goes idle, less often each time: a line
    // that refuses for a while is not hammered, and one that recovers
    // after minutes still gets the call cleared.
    const UINT wait = std::max<UINT>(live.nextDropRetryMs, 1);
    live.nextDropRetryMs = static_cast<UINT>(
        std::min<unsigned long long>(2ull * wait, std::max(kMaxDropRetryMs, m_dropRetryMs)));
    if (EnsureTimerWindow())
        SetTimer(m_timerWindow.Get(), live.index * 2 + 2, wait, nullptr);
    if (ActiveTrace())
        TraceCall(live.index, *m_log[live.index], "drop failed, tried again later");
    if (live.hold == Hold::LetGo && live.dropFailures == 1 + kDropRetries && m_notify)
        m_notify->OnDropFailed(live.index);
}

void CCallScreener::OnIdle(CTapiCall* call) {
    auto it = std::find_if(m_live.begin(), m_live.end(),
                           [call](const LiveCall& live) { return live.call.get() == call; });
    if (it == m_live.end())
        return;
    // A service may go idle without reporting the disconnection first.
    CancelTimers(*it);
    // A sound not yet started for it never will be.
    StopSound(*it);
    StopRecording(*it);
    CLoggedCall& logged = *m_log[it->index];
    const bool stillWaiting =
        !it->outcomeReported && logged.GetAction() == ActionWaitingForCallerId;
    const size_t index = it->index;
    if (it->answered && it->hold == Hold::LetGo)
        logged.SetAnsweredAndDropped(true);
    logged.SetCall(nullptr);
    // Destroying the object releases the call handle.
    m_live.erase(it);
    if (stillWaiting && m_notify)
        m_notify->OnCallerIdOutcome(false);
    if (m_notify)
        m_notify->OnCallEnded(index);
}

void CCallScreener::OnCallMonitorDigits(CTapiCall* call, DWORD digit, DWORD mode) {
    // A service may also report each key's end (LINEDIGITMODE_DTMFEND);
    // counting that too would make every key a wrong second key.
    if (mode != LINEDIGITMODE_DTMF)
        return;
    LiveCall* live = FindLive(call);
    if (!live || live->hold != Hold::Holding)
        return;
    // A key ends a message; the code still counts it. The call keeps the
    // recording's id, so that its end decides what becomes of the call.
    if (live->message == LiveCall::Message::Recording && live->recording)
        m_recorder.Stop(live->recording);
    const char key = static_cast<char>(digit & 0xFF);
    if (live->keyCheck != KeyCheck::None && OnKeyCheckDigit(*live, key))
        return;
    if (!CodeAllowed(*live))
        return;
    if (!live->firstKeyReceived) {
        live->firstKeyReceived = key == m_preferences.SecurityKey1;
        return;
    }
    // A wrong second key cancels; it is not taken as a new first key.
    live->firstKeyReceived = false;
    if (key != m_preferences.SecurityKey2)
        return;
    call->MonitorDigits(0);
    // The caller knows the code: no message is taken.
    StopRecording(*live);
    live->message = LiveCall::Message::None;
    // The hold limit is counted again once the acknowledgement starts.
    PlayOnCall(*live, true);
    // The suspension starts even when the acknowledgement cannot play.
    m_rules.Suspension().Start(m_rules.Clock().Now(), m_preferences.SuspendMinutes);
}

bool CCallScreener::PlayOnCall(LiveCall& live, bool acknowledgement) {
    // Whatever the call played or waited to play gives way to the new sound.
    StopSound(live);
    const std::string file = acknowledgement ? std::string() : m_log[live.index]->GetMessageFile();
    // Silence: nothing to play, so no device to ask for.
    if (!acknowledgement && file.empty())
        return false;
    CTapiDeviceId id = CTapiDeviceId::ForCall("wave/out", live.call->Handle());
    DWORD device = 0;
    if (id.Fetch() != 0 || !id.DeviceId(device))
        return false;
    live.sound =
        acknowledgement
            ? m_player.PlayAcknowledgement(device)
            // A caller about to leave a message hears the beep straight after.
            : m_player.PlayMessage(device, file, live.message == LiveCall::Message::Greeting);
    live.soundStarted = false;
    return live.sound != 0;
}

void CCallScreener::StopSound(LiveCall& live) {
    m_player.Stop(live.sound);
    live.sound = 0;
    live.soundStarted = false;
}

void CCallScreener::OnSoundStarted(uint32_t id, UINT lengthMs) {
    LiveCall* live = FindLiveSound(id);
    if (!live)
        return;
    live->soundStarted = true;
    // The limit counts from the sound's end; its length is added now so
    // that a device that never reports the end cannot hold the line for
    // ever either.
    if (live->hold == Hold::Holding)
        ArmHoldTimer(*live, lengthMs);
}

void CCallScreener::OnSoundEnded(uint32_t id) {
    LiveCall* live = FindLiveSound(id);
    if (!live)
        return;
    live->sound = 0;
    live->soundStarted = false;
    if (live->hold != Hold::Holding)
        return;
    ArmHoldTimer(*live);
    if (live->keyCheck != KeyCheck::None) {
        OnKeyPromptEnded(*live);
        return;
    }
    // The greeting carried its beep.
    if (live->message == LiveCall::Message::Greeting || live->message == LiveCall::Message::Beep)
        StartRecording(*live);
}

void CCallScreener::OnSoundFailed(uint32_t id) {
    // The call stays in silence; its hold limit goes on counting as it was.
    // A key check goes on as if its prompt had played.
    LiveCall* live = FindLiveSound(id);
    if (!live)
        return;
    live->sound = 0;
    if (live->hold != Hold::Holding)
        return;
    if (live->keyCheck != KeyCheck::None) {
        OnKeyPromptEnded(*live);
        return;
    }
    // A greeting or a beep that cannot play does not cost the message.
    if (live->message == LiveCall::Message::Greeting)
        AfterGreeting(*live);
    else if (live->message == LiveCall::Message::Beep)
        StartRecording(*live);
}

// --- The key check ----------------------------------------------------------------

bool CCallScreener::CodeAllowed(const LiveCall& live) const {
    const CLoggedCall& logged = *m_log[live.index];
    const int32_t action =
        logged.GetAction() == ActionKeyCheck || logged.GetAction() == ActionBlockNoKeyPressed
            ? logged.GetKeyCheckFallback()
            : logged.GetAction();
    return m_preferences.AllowSuspend && IsSuspendableAction(action);
}

void CCallScreener::StartKeyCheck(LiveCall& live) {
    CLoggedCall& logged = *m_log[live.index];
    logged.SetKeyCheckDigit(static_cast<char>('0' + m_random() % 10));
    live.keyTries = 0;
    const size_t index = live.index;
    if (m_notify) {
        m_notify->OnCallChanged(index);
        m_notify->OnRefreshNotification(index);
    }
    if (LiveCall* still = FindLiveIndex(index))
        PlayKeyPrompt(*still);
}

void CCallScreener::PlayKeyPrompt(LiveCall& live) {
    ++live.keyTries;
    if (m_timerWindow.Get())
        KillTimer(m_timerWindow.Get(), kKeyTimerBase + live.index);
    const int digit = m_log[live.index]->GetKeyCheckDigit() - '0';
    const std::string& sentence = m_rules.KeyCheckPrompt();
    if (!sentence.empty()) {
        live.keyCheck = KeyCheck::Sentence;
        StopSound(live);
        CTapiDeviceId id = CTapiDeviceId::ForCall("wave/out", live.call->Handle());
        DWORD device = 0;
        if (id.Fetch() == 0 && id.DeviceId(device))
            live.sound = m_player.PlayMessage(device, sentence);
        if (live.sound == 0)
            OnKeyPromptEnded(live);
        return;
    }
    live.keyCheck = KeyCheck::Prompt;
    if (!PlayResourceOnCall(live, IDR_KEY_PROMPT_0 + digit))
        OnKeyPromptEnded(live);
}

void CCallScreener::OnKeyPromptEnded(LiveCall& live) {
    switch (live.keyCheck) {
    case KeyCheck::Sentence:
        // The user's own sentence is followed by the digit.
        live.keyCheck = KeyCheck::Prompt;
        if (!PlayResourceOnCall(live,
                                IDR_KEY_DIGIT_0 + (m_log[live.index]->GetKeyCheckDigit() - '0')))
            OnKeyPromptEnded(live);
        return;
    case KeyCheck::Prompt:
        live.keyCheck = KeyCheck::Waiting;
        ArmKeyTimer(live);
        return;
    case KeyCheck::Thanks:
        live.keyCheck = KeyCheck::None;
        LetGo(live);
        SetTrayTip(kTrayIdle);
        return;
    default:
        return;
    }
}

bool CCallScreener::OnKeyCheckDigit(LiveCall& live, char key) {
    if (live.keyCheck == KeyCheck::Thanks)
        return true;
    if (key == m_log[live.index]->GetKeyCheckDigit()) {
        KeyCheckPassed(live);
        return true;
    }
    // The security code still works for a caller who knows it: its first
    // key is not a wrong answer, and its second is the code's.
    if (CodeAllowed(live) && (key == m_preferences.SecurityKey1 ||
                              (live.firstKeyReceived && key == m_preferences.SecurityKey2))) {
        if (live.firstKeyReceived && key == m_preferences.SecurityKey2) {
            live.keyCheck = KeyCheck::None;
            if (m_timerWindow.Get())
                KillTimer(m_timerWindow.Get(), kKeyTimerBase + live.index);
            m_log[live.index]->SetAction(m_log[live.index]->GetKeyCheckFallback());
            const size_t index = live.index;
            if (m_notify) {
                m_notify->OnCallChanged(index);
                m_notify->OnRefreshNotification(index);
            }
        }
        return false; // the code's own handling follows
    }
    live.firstKeyReceived = false;
    // A wrong key: asked once more, then the check has failed.
    if (live.keyTries < 2)
        PlayKeyPrompt(live);
    else
        KeyCheckFailed(live);
    return true;
}

void CCallScreener::KeyCheckPassed(LiveCall& live) {
    if (m_timerWindow.Get())
        KillTimer(m_timerWindow.Get(), kKeyTimerBase + live.index);
    live.call->MonitorDigits(0);
    CLoggedCall& logged = *m_log[live.index];
    logged.SetAction(ActionCheckedKeyPressed);
    // The number's next call rings through (and, for the days set, the
    // check is not asked again); the phone book is not changed.
    m_rules.Verified().Verify(logged.GetLookupKey(), m_rules.Clock().UtcSeconds());
    live.keyCheck = KeyCheck::Thanks;
    const size_t index = live.index;
    if (m_notify) {
        m_notify->OnCallChanged(index);
        m_notify->OnRefreshNotification(index);
    }
    LiveCall* still = FindLiveIndex(index);
    if (still && !PlayResourceOnCall(*still, IDR_KEY_THANKS))
        OnKeyPromptEnded(*still);
}

void CCallScreener::KeyCheckFailed(LiveCall& live) {
    if (m_timerWindow.Get())
        KillTimer(m_timerWindow.Get(), kKeyTimerBase + live.index);
    live.keyCheck = KeyCheck::None;
    live.firstKeyReceived = false;
    CLoggedCall& logged = *m_log[live.index];
    logged.SetAction(ActionBlockNoKeyPressed);
    // The default rule's block from here: its message (and a message of
    // the caller's, where that is on), the code where the block is by
    // time, and the drop.
    const size_t index = live.index;
    if (m_notify) {
        m_notify->OnCallChanged(index);
        m_notify->OnRefreshNotification(index);
    }
    if (LiveCall* still = FindLiveIndex(index))
        StartBlockSound(*still);
}

void CCallScreener::ArmKeyTimer(const LiveCall& live) {
    if (EnsureTimerWindow())
        SetTimer(m_timerWindow.Get(), kKeyTimerBase + live.index, m_keyWaitMs, nullptr);
}

bool CCallScreener::PlayResourceOnCall(LiveCall& live, UINT id) {
    StopSound(live);
    CTapiDeviceId deviceId = CTapiDeviceId::ForCall("wave/out", live.call->Handle());
    DWORD device = 0;
    if (deviceId.Fetch() != 0 || !deviceId.DeviceId(device))
        return false;
    live.sound = m_player.PlayResource(device, id);
    live.soundStarted = false;
    return live.sound != 0;
}

bool CCallScreener::TakesMessage(const CLoggedCall& call) const {
    return m_messages && !m_shuttingDown && m_messages->TakesMessageFrom(call);
}

void CCallScreener::AfterGreeting(LiveCall& live) {
    live.message = LiveCall::Message::Beep;
    StopSound(live);
    CTapiDeviceId id = CTapiDeviceId::ForCall("wave/out", live.call->Handle());
    DWORD device = 0;
    if (id.Fetch() == 0 && id.DeviceId(device)) {
        live.sound = m_player.PlayBeep(device);
        live.soundStarted = false;
    }
    if (!live.sound)
        StartRecording(live);
}

void CCallScreener::StartRecording(LiveCall& live) {
    live.message = LiveCall::Message::None;
    if (!m_messages || m_shuttingDown)
        return;
    const size_t index = live.index;
    CTapiDeviceId id = CTapiDeviceId::ForCall("wave/in", live.call->Handle());
    DWORD device = 0;
    if (id.Fetch() != 0 || !id.DeviceId(device)) {
        // A modem with no voice input: the call is blocked as before.
        m_messages->OnMessageFailed(index, RecordingFailure::NoDevice, 0);
        return;
    }
    const std::string path = m_messages->NewMessagePath(*m_log[index]);
    if (path.empty())
        return;
    const unsigned seconds = m_messages->MessageMaxSeconds();
    try {
        Reserve(m_recordings);
        live.recording = m_recorder.Record(device, path, seconds);
        if (!live.recording)
            return;
        m_recordings.emplace_back(live.recording, index);
    } catch (const std::bad_alloc&) {
        StopRecording(live);
        return;
    }
    live.message = LiveCall::Message::Recording;
    // Never held longer than the longest message and the hold time.
    ArmHoldTimer(live, seconds * 1000);
}

void CCallScreener::StopRecording(LiveCall& live) {
    if (live.recording)
        m_recorder.Stop(live.recording);
    live.recording = 0;
    if (live.message == LiveCall::Message::Recording)
        live.message = LiveCall::Message::None;
}

bool CCallScreener::RecordingPending(size_t index) const {
    return std::any_of(m_recordings.begin(), m_recordings.end(),
                       [index](const auto& r) { return r.second == index; });
}

long CCallScreener::TakeRecording(uint32_t id) {
    const auto it = std::find_if(m_recordings.begin(), m_recordings.end(),
                                 [id](const auto& r) { return r.first == id; });
    if (it == m_recordings.end())
        return -1;
    const auto index = static_cast<long>(it->second);
    m_recordings.erase(it);
    return index;
}

void CCallScreener::OnRecordingEnded(uint32_t id, const RecordingResult& result) {
    const long index = TakeRecording(id);
    if (index < 0)
        return;
    CLoggedCall& logged = *m_log[static_cast<size_t>(index)];
    try {
        if (result.kept) {
            const size_t slash = result.path.find_last_of("\\/");
            logged.SetRecording(slash == std::string::npos ? result.path
                                                           : result.path.substr(slash + 1),
                                result.ms);
        }
        logged.SetNoMessage(!result.kept);
    } catch (const std::bad_alloc&) {
        // The file stays; the folder lists it at the next start.
    }
    if (m_messages)
        m_messages->OnMessageEnded(static_cast<size_t>(index), result);
    if (m_notify)
        m_notify->OnCallChanged(static_cast<size_t>(index));
    // The call is dropped as any blocked call is, unless the key that ended
    // the message began the code: its second key is waited for.
    for (LiveCall& live : m_live) {
        if (live.recording != id)
            continue;
        live.recording = 0;
        live.message = LiveCall::Message::None;
        if (live.hold != Hold::Holding || m_shuttingDown)
            break;
        if (live.firstKeyReceived) {
            ArmHoldTimer(live);
        } else {
            LetGo(live);
            SetTrayTip(kTrayIdle);
        }
        break;
    }
}

void CCallScreener::OnRecordingFailed(uint32_t id, RecordingFailure why, uint32_t error) {
    const long index = TakeRecording(id);
    if (index < 0)
        return;
    if (m_messages)
        m_messages->OnMessageFailed(static_cast<size_t>(index), why, error);
    for (LiveCall& live : m_live)
        if (live.recording == id) {
            // Blocked as before: held until the caller hangs up or the limit.
            live.recording = 0;
            if (live.hold == Hold::Holding)
                ArmHoldTimer(live);
            break;
        }
}

// A message-only window: it only ever receives this screener's timers. Each
// call has three, named by its place in the log: its hold limit (odd ids),
// the next try of a failed drop (even ids) and, from kKeyTimerBase on, the
// end of the seconds its key check waits.
bool CCallScreener::EnsureTimerWindow() {
    return m_timerWindow.Get() || m_timerWindow.Create(g_timerClass.Name(), 0, HWND_MESSAGE, this);
}

void CCallScreener::ArmHoldTimer(const LiveCall& live, UINT extraMs) {
    if (!EnsureTimerWindow())
        return;
    // Setting it again restarts it.
    const unsigned long long ms = static_cast<unsigned long long>(extraMs) + m_holdLimitMs;
    SetTimer(m_timerWindow.Get(), live.index * 2 + 1,
             static_cast<UINT>(std::min<unsigned long long>(ms, USER_TIMER_MAXIMUM)), nullptr);
}

void CCallScreener::CancelTimers(const LiveCall& live) {
    if (m_timerWindow.Get()) {
        KillTimer(m_timerWindow.Get(), live.index * 2 + 1);
        KillTimer(m_timerWindow.Get(), live.index * 2 + 2);
        KillTimer(m_timerWindow.Get(), kKeyTimerBase + live.index);
    }
}

void CCallScreener::OnTimer(UINT_PTR id) {
    KillTimer(m_timerWindow.Get(), id);
    if (id == 0)
        return;
    if (id >= kKeyTimerBase) {
        // No key in the seconds after the prompt: asked once more, then
        // the check has failed.
        LiveCall* live = FindLiveIndex(id - kKeyTimerBase);
        if (live && live->hold == Hold::Holding && live->keyCheck == KeyCheck::Waiting) {
            if (live->keyTries < 2)
                PlayKeyPrompt(*live);
            else
                KeyCheckFailed(*live);
        }
        return;
    }
    const bool retry = (id - 1) % 2 == 1;
    LiveCall* live = FindLiveIndex((id - 1) / 2);
    if (!live)
        return;
    if (retry) {
        if (Dropping(*live) && live->dropRequest == 0)
            TryDrop(*live);
    } else if (live->hold == Hold::Holding ||
               (live->hold == Hold::Answering && live->connectedNow)) {
        // Held long enough, or connected this long with the answer's reply
        // still missing (replies can go missing).
        if (ActiveTrace())
            TraceCall(live->index, *m_log[live->index],
                      live->hold == Hold::Holding ? "hold limit reached, dropped"
                                                  : "connected, answer's reply missing past the "
                                                    "hold limit, dropped");
        LetGo(*live);
        SetTrayTip(kTrayIdle);
    }
}

LRESULT CALLBACK CCallScreener::TimerWindowProc(HWND hWnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    auto* self = CHiddenWindow::Owner<CCallScreener>(hWnd);
    if (self && message == WM_TIMER) {
        self->OnTimer(wParam);
        return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace rw
