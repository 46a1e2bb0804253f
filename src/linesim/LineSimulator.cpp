#include "LineSimulator.h"

#include "CallSummary.h"
#include "CallWaveDevices.h"
#include "CallWaveInput.h"
#include "SimScript.h"
#include "SimWindow.h"
#include "VarStruct.h"

#include <mmsystem.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>

namespace rw::linesim {

// The fixed parts are those of TAPI 1.4, the highest version negotiated
// here. mingw-w64's tapi.h declares the later versions' fields as well
// (LINECALLINFO is 344 bytes there), so the 1.4 part ends where the first
// TAPI 2.0 field begins.
constexpr size_t kCallInfoSize = offsetof(LINECALLINFO, dwCallTreatment);
constexpr size_t kCallStatusSize = offsetof(LINECALLSTATUS, dwCallFeatures2);
constexpr size_t kDevCapsSize = offsetof(LINEDEVCAPS, dwSettableDevStatus);
constexpr size_t kAddressCapsSize = offsetof(LINEADDRESSCAPS, dwPredictiveAutoTransferStates);
static_assert(kCallInfoSize == 296 && sizeof(VARSTRING) == 24);

namespace {

constexpr DWORD kApiLow = 0x00010003;
constexpr DWORD kApiHigh = 0x00010004;
constexpr char kLineName[] = "Ringwarden Line Simulator";
// Ringwarden's key check prompts: wave resources 160 (asks for 0) to 169.
constexpr UINT kFirstKeyPrompt = 160;
constexpr UINT kDeliverMessage = WM_APP + 1;
constexpr UINT_PTR kTimerId = 1;
constexpr wchar_t kWindowClass[] = L"RingwardenLineSimulatorEvents";
// Handles differ in kind so that one passed in the wrong place is refused.
constexpr DWORD kAppHandleBase = 0x1A000;
constexpr DWORD kLineHandleBase = 0x2B000;
constexpr DWORD kCallHandleBase = 0x3C000;
constexpr DWORD kVoiceModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_AUTOMATEDVOICE;
constexpr DWORD kMediaModes = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_DATAMODEM | kVoiceModes;
constexpr DWORD kDigitModes = LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND;

DWORD CallerIdFlags(CallerIdKind kind) {
    switch (kind) {
    case CallerIdKind::Number:
        return LINECALLPARTYID_ADDRESS;
    case CallerIdKind::Name:
        return LINECALLPARTYID_NAME;
    case CallerIdKind::Both:
        return LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME;
    case CallerIdKind::Blocked:
        return LINECALLPARTYID_BLOCKED;
    case CallerIdKind::OutOfArea:
        return LINECALLPARTYID_OUTOFAREA;
    case CallerIdKind::Unavailable:
        return LINECALLPARTYID_UNAVAIL;
    case CallerIdKind::Unknown:
        return LINECALLPARTYID_UNKNOWN;
    }
    return LINECALLPARTYID_UNKNOWN;
}

std::string Text(const CallerText& text) {
    if (!text.bytes)
        return {};
    return std::string(static_cast<const char*>(text.bytes), text.size);
}

void CopyCallerId(SimCall& call, const CallerId& id) {
    call.kind = id.kind;
    call.number = Text(id.number);
    call.name = Text(id.name);
    call.numberLayout = id.number.layout;
    call.nameLayout = id.name.layout;
}

void AppendDigit(char (&to)[64], uint32_t count, char digit) {
    if (count < sizeof to - 1) {
        to[count] = digit;
        to[count + 1] = '\0';
    }
}

} // namespace

namespace {
// The service is process-wide, as the TAPI functions are.
CLineSimulator g_simulator;
} // namespace

CLineSimulator& CLineSimulator::Instance() {
    return g_simulator;
}

LONG CLineSimulator::Initialize(HLINEAPP* app, HINSTANCE, LINECALLBACK callback, DWORD* numDevs) {
    if (!app || !callback || !numDevs)
        return LINEERR_INVALPOINTER;
    // One application at a time is all this service offers.
    if (m_app)
        return LINEERR_OPERATIONFAILED;
    // The application coming back after a REINIT finds the run as it left
    // it: the same window, calls, script and timers.
    if (m_reinitShutDown) {
        m_reinitShutDown = false;
        m_app = kAppHandleBase + ++m_generation;
        m_callback = callback;
        m_devices = deviceCount;
        *app = m_app;
        *numDevs = m_devices;
        return 0;
    }
    HINSTANCE module = ThisModule();
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = module;
    wc.lpszClassName = kWindowClass;
    RegisterClassW(&wc); // fails harmlessly when already registered
    m_hWnd = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, module,
                             nullptr);
    if (!m_hWnd)
        return LINEERR_NOMEM;
    Reset();
    // Where the .exe's imports cannot be patched, a call's "wave/out" stays
    // device 0 and nothing is counted.
    CCallWaveDevices::Instance().Install();
    CCallWaveInput::Instance().Install();
    m_app = kAppHandleBase + ++m_generation;
    m_callback = callback;
    m_summaryPrinted = false;
    // Read now so that its "devices" line counts in what is reported.
    ReadScript();
    m_devices = deviceCount;
    *app = m_app;
    *numDevs = m_devices;
    if (showWindow && scriptPath.empty()) {
        m_window = std::make_unique<CSimWindow>(*this);
        m_window->Create();
    }
    // With no line to open, the script runs from now so that it can plug
    // the modem in.
    if (m_devices == 0)
        StartScript();
    return 0;
}

LONG CLineSimulator::Shutdown(HLINEAPP app) {
    if (!m_app || app != m_app)
        return LINEERR_INVALAPPHANDLE;
    if (m_reinitPending) {
        // The application answers the REINIT: it goes, but the run stays for
        // its next lineInitialize. What it had open goes with it.
        if (m_hLine)
            CloseOpenLine("line closed");
        m_queue.clear();
        m_reinitPending = false;
        m_reinitShutDown = true;
        m_app = 0;
        m_callback = nullptr;
        return 0;
    }
    // Taken before the line closes: closing takes back the handles the
    // application still holds, and those are among the figures.
    if (printStats && !m_summaryPrinted)
        m_shutdownStats = Stats("shutdown");
    if (m_hLine)
        Close(m_hLine);
    PrintSummary();
    m_window.reset();
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
    m_app = 0;
    m_callback = nullptr;
    Reset();
    CCallWaveDevices::Instance().Remove();
    CCallWaveInput::Instance().Remove();
    return 0;
}

void CLineSimulator::Reset() {
    m_calls.clear();
    m_connectedEndedCounter = 0;
    m_queue.clear();
    m_timers.clear();
    m_hLine = 0;
    m_lineStates = 0;
    m_reinitPending = m_reinitShutDown = false;
    m_scriptRead = m_scriptStarted = false;
    m_script.clear();
    m_nextScriptEvent = 0;
    m_firstSample = m_quitSample = ResourceSample{};
    m_shutdownStats.clear();
    m_lineEvents.clear();
    m_closedByService = false;
    CCallWaveDevices::Instance().Forget();
    CCallWaveInput::Instance().Forget();
}

bool CLineSimulator::SetOption(Option option, bool on) {
    const uint32_t bit = static_cast<uint32_t>(option);
    if (bit > static_cast<uint32_t>(Option::MonitorOnly))
        return false;
    if (on)
        m_options |= 1u << bit;
    else
        m_options &= ~(1u << bit);
    return true;
}

void CLineSimulator::SetDeviceCount(DWORD count) {
    deviceCount = std::min<DWORD>(count, 1);
    // A registered application learns of devices only through messages.
    if (!m_app)
        m_devices = deviceCount;
}

void CLineSimulator::SetDropFailures(DWORD count, bool atOnce) {
    m_dropFailures = count;
    m_dropFailAtOnce = atOnce;
}

LONG CLineSimulator::Negotiate(HLINEAPP app, DWORD device, DWORD low, DWORD high, DWORD* version,
                               LINEEXTENSIONID* extension) {
    if (!m_app || app != m_app)
        return LINEERR_INVALAPPHANDLE;
    if (device >= m_devices)
        return LINEERR_BADDEVICEID;
    if (!version || !extension)
        return LINEERR_INVALPOINTER;
    if (low > high || high < kApiLow || low > kApiHigh)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    *version = std::min(high, kApiHigh);
    *extension = LINEEXTENSIONID{};
    return 0;
}

LONG CLineSimulator::GetDevCaps(HLINEAPP app, DWORD device, DWORD version, LINEDEVCAPS* caps) {
    if (!m_app || app != m_app)
        return LINEERR_INVALAPPHANDLE;
    if (device >= m_devices)
        return LINEERR_BADDEVICEID;
    if (version < kApiLow || version > kApiHigh)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    LINEDEVCAPS fixed{};
    fixed.dwPermanentLineID = 1;
    fixed.dwStringFormat = STRINGFORMAT_ASCII;
    fixed.dwAddressModes = LINEADDRESSMODE_ADDRESSID;
    fixed.dwNumAddresses = 1;
    fixed.dwBearerModes = LINEBEARERMODE_VOICE;
    fixed.dwMaxRate = 33600;
    fixed.dwMediaModes = voice ? kMediaModes : (kMediaModes & ~kVoiceModes);
    fixed.dwMonitorDigitModes = voice && !Has(Option::NoDtmf) ? kDigitModes : 0;
    fixed.dwMaxNumActiveCalls = 1;
    fixed.dwAnswerMode = LINEANSWERMODE_DROP;
    fixed.dwRingModes = 1;
    fixed.dwLineStates = LINEDEVSTATE_RINGING | LINEDEVSTATE_CONNECTED | LINEDEVSTATE_DISCONNECTED |
                         LINEDEVSTATE_OPEN | LINEDEVSTATE_CLOSE;
    CVarStruct out(&fixed, kDevCapsSize);
    out.AddPart(offsetof(LINEDEVCAPS, dwProviderInfoSize),
                offsetof(LINEDEVCAPS, dwProviderInfoOffset), kLineName);
    out.AddPart(offsetof(LINEDEVCAPS, dwLineNameSize), offsetof(LINEDEVCAPS, dwLineNameOffset),
                kLineName);
    return out.WriteTo(caps);
}

LONG CLineSimulator::GetAddressCaps(HLINEAPP app, DWORD device, DWORD address, DWORD version,
                                    LINEADDRESSCAPS* caps) {
    if (!m_app || app != m_app)
        return LINEERR_INVALAPPHANDLE;
    if (device >= m_devices)
        return LINEERR_BADDEVICEID;
    if (address != 0)
        return LINEERR_INVALADDRESSID;
    if (version < kApiLow || version > kApiHigh)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    LINEADDRESSCAPS fixed{};
    fixed.dwLineDeviceID = device;
    fixed.dwAddressSharing = LINEADDRESSSHARING_PRIVATE;
    fixed.dwCallInfoStates = LINECALLINFOSTATE_ORIGIN;
    fixed.dwCallerIDFlags = LINECALLPARTYID_UNKNOWN;
    if (!Has(Option::NoCallerId)) {
        fixed.dwCallInfoStates |= LINECALLINFOSTATE_CALLERID;
        fixed.dwCallerIDFlags |= LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME |
                                 LINECALLPARTYID_BLOCKED | LINECALLPARTYID_OUTOFAREA |
                                 LINECALLPARTYID_UNAVAIL;
    }
    fixed.dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_CONNECTED |
                         LINECALLSTATE_DISCONNECTED;
    fixed.dwMaxNumActiveCalls = 1;
    CVarStruct out(&fixed, kAddressCapsSize);
    return out.WriteTo(caps);
}

LONG CLineSimulator::Open(HLINEAPP app, DWORD device, HLINE* line, DWORD version, DWORD extVersion,
                          DWORD_PTR instance, DWORD privileges, DWORD mediaModes) {
    if (!m_app || app != m_app)
        return LINEERR_INVALAPPHANDLE;
    if (m_reinitPending)
        return LINEERR_REINIT;
    if (device >= m_devices)
        return LINEERR_BADDEVICEID;
    if (!line)
        return LINEERR_INVALPOINTER;
    if (version < kApiLow || version > kApiHigh)
        return LINEERR_INCOMPATIBLEAPIVERSION;
    if (extVersion != 0)
        return LINEERR_INCOMPATIBLEEXTVERSION;
    const DWORD privs =
        privileges & (LINECALLPRIVILEGE_NONE | LINECALLPRIVILEGE_MONITOR | LINECALLPRIVILEGE_OWNER);
    if (privs != privileges || privs == 0 ||
        ((privs & LINECALLPRIVILEGE_NONE) && privs != LINECALLPRIVILEGE_NONE))
        return LINEERR_INVALPRIVSELECT;
    // Media modes count only for an owner: they say which calls it takes.
    if ((privs & LINECALLPRIVILEGE_OWNER) && Has(Option::MonitorOnly))
        return LINEERR_RESOURCEUNAVAIL;
    if (privs & LINECALLPRIVILEGE_OWNER) {
        const DWORD supported = voice ? kMediaModes : (kMediaModes & ~kVoiceModes);
        if (mediaModes == 0 || (mediaModes & ~supported))
            return LINEERR_INVALMEDIAMODE;
    }
    // One open at a time: the device is a single modem.
    if (m_hLine)
        return LINEERR_ALLOCATED;
    if (Clock::now() < m_lineDownUntil)
        return LINEERR_RESOURCEUNAVAIL;
    // Each opening has its own handle, so that one kept from before a close
    // is refused.
    m_hLine = kLineHandleBase + 1 + m_lineOpenings++ % 0xFFF;
    m_instance = instance;
    m_privileges = privs;
    m_lineStates = 0;
    *line = m_hLine;
    if (m_closedByService) {
        m_closedByService = false;
        m_lineEvents.push_back("line opened again by the program at " + LineEventTime());
    }
    if (!m_scriptStarted) {
        // A script set after lineInitialize is read now.
        if (!m_scriptRead)
            ReadScript();
        StartScript();
    }
    return 0;
}

LONG CLineSimulator::Close(HLINE line) {
    if (!m_hLine || line != m_hLine)
        return LINEERR_INVALLINEHANDLE;
    CloseOpenLine("line closed");
    return 0;
}

void CLineSimulator::CloseOpenLine(const char* why) {
    // Closing the line drops what the application owned; nothing more is
    // reported for the line after this.
    for (auto& call : m_calls) {
        if (call->record.callState != LINECALLSTATE_IDLE) {
            call->record.callState = LINECALLSTATE_IDLE;
            call->record.idleMs = Elapsed(*call);
            call->cutOff = true;
            Log(*call, why);
        }
        call->record.deallocated = true;
    }
    std::erase_if(m_queue, [](const Message& m) { return m.line; });
    m_hLine = 0;
    m_instance = 0;
}

bool CLineSimulator::CloseLine(DWORD downMs) {
    if (!m_hLine)
        return false;
    const HLINE line = m_hLine;
    const DWORD_PTR instance = m_instance;
    CloseOpenLine("the service closed the line");
    m_lineDownUntil = Clock::now() + std::chrono::milliseconds(downMs);
    m_closedByService = true;
    char down[32];
    std::snprintf(down, sizeof down, "%.1f s", downMs / 1000.0);
    m_lineEvents.push_back("line closed by the service at " + LineEventTime() + " for " + down);
    PostToApp(line, LINE_CLOSE, instance, 0, 0, 0);
    return true;
}

bool CLineSimulator::Reinit() {
    if (!m_app)
        return false;
    m_reinitPending = true;
    // TAPI sends this one whatever the application asked for, and to the
    // application as a whole: no device, callback instance 0.
    PostToApp(0, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_REINIT, 0, 0);
    return true;
}

bool CLineSimulator::AddDevice() {
    if (m_devices >= 1)
        return false;
    m_devices = deviceCount = 1;
    // param1 is the new device's id; the message is the application's, not
    // a line's, so it carries callback instance 0.
    PostToApp(0, LINE_CREATE, 0, 0, 0, 0);
    return true;
}

LONG CLineSimulator::SetStatusMessages(HLINE line, DWORD lineStates, DWORD) {
    if (!m_hLine || line != m_hLine)
        return LINEERR_INVALLINEHANDLE;
    m_lineStates = lineStates;
    return 0;
}

SimCall* CLineSimulator::Call(HCALL handle) {
    const DWORD value = handle;
    if (!m_hLine || value <= kCallHandleBase || value > kCallHandleBase + m_calls.size())
        return nullptr;
    SimCall* call = m_calls[value - kCallHandleBase - 1].get();
    return call->record.deallocated ? nullptr : call;
}

SimCall* CLineSimulator::CallById(uint32_t id) {
    if (id == 0 || id > m_calls.size())
        return nullptr;
    return m_calls[id - 1].get();
}

const SimCall* CLineSimulator::FindCall(uint32_t id) const {
    if (id == 0 || id > m_calls.size())
        return nullptr;
    return m_calls[id - 1].get();
}

CallRecord CLineSimulator::RecordOf(const SimCall& call) const {
    CallRecord r = call.record;
    const CCallWaveDevices::Played played = CCallWaveDevices::Instance().PlayedTo(r.id);
    r.waveOpens = played.opens;
    r.bytesPlayed = played.bytes;
    const CCallWaveInput::Recorded recorded = CCallWaveInput::Instance().RecordedFrom(r.id);
    r.waveInOpens = recorded.opens;
    r.bytesRecorded = recorded.bytes;
    r.firstPlayUs = played.firstWrite && call.connectedCounter
                        ? CounterMicroseconds(call.connectedCounter, played.firstWrite)
                        : -1;
    return r;
}

LONG CLineSimulator::OwnerCheck(const SimCall* call) const {
    if (!call)
        return LINEERR_INVALCALLHANDLE;
    if (!(call->record.privilege & LINECALLPRIVILEGE_OWNER))
        return LINEERR_NOTOWNER;
    return 0;
}

LONG CLineSimulator::StartRequest(SimCall& call, const char* what,
                                  void (CLineSimulator::*complete)(uint32_t, DWORD)) {
    const DWORD request = ++m_generation;
    Log(call, what);
    const uint32_t id = call.record.id;
    Schedule(replyDelayMs, [this, id, request, complete] { (this->*complete)(id, request); });
    return static_cast<LONG>(request);
}

LONG CLineSimulator::Answer(HCALL handle) {
    // Read first, so that the checks below do not count against the program.
    const int64_t now = CounterNow();
    SimCall* call = Call(handle);
    if (const LONG refused = OwnerCheck(call))
        return refused;
    if (call->record.callState != LINECALLSTATE_OFFERING)
        return LINEERR_INVALCALLSTATE;
    if (Has(Option::AnswerNotOwner)) {
        Log(*call, "answer refused: not owner");
        return LINEERR_NOTOWNER;
    }
    // A call offered while another was up is answered only once that one
    // has ended: its wait counts from then.
    if (call->record.answerLatencyUs < 0)
        call->record.answerLatencyUs =
            CounterMicroseconds(std::max(call->offeredCounter, m_connectedEndedCounter), now);
    ++call->record.answerRequests;
    return StartRequest(*call, "answer requested", &CLineSimulator::CompleteAnswer);
}

void CLineSimulator::CompleteAnswer(uint32_t id, DWORD request) {
    SimCall* call = CallById(id);
    // Nothing more comes about a call cut off with its line.
    if (!call || call->cutOff)
        return;
    // Too late (the caller hung up or the call rang out), or a modem that
    // could not take the line: the call rings on as before.
    if (call->record.callState != LINECALLSTATE_OFFERING || Has(Option::AnswerFails)) {
        if (call->record.callState == LINECALLSTATE_OFFERING)
            Log(*call, "answer failed");
        Post(0, LINE_REPLY, request, static_cast<DWORD>(LINEERR_OPERATIONFAILED), 0, 0);
        return;
    }
    call->record.answeredMs = Elapsed(*call);
    Log(*call, "answered");
    if (Has(Option::AnswerNoReply)) {
        SetState(*call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
        return;
    }
    ReplyAndSetState(*call, request, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
}

void CLineSimulator::ReplyAndSetState(SimCall& call, DWORD request, DWORD state, DWORD mode) {
    // Services differ in which of the two an application hears first.
    if (Has(Option::ReplyAfterState)) {
        SetState(call, state, mode);
        Post(0, LINE_REPLY, request, 0, 0, 0);
    } else {
        Post(0, LINE_REPLY, request, 0, 0, 0);
        SetState(call, state, mode);
    }
}

LONG CLineSimulator::Drop(HCALL handle) {
    SimCall* call = Call(handle);
    if (const LONG refused = OwnerCheck(call))
        return refused;
    if (call->record.callState == LINECALLSTATE_IDLE)
        return LINEERR_INVALCALLSTATE;
    if (m_dropFailures) {
        --m_dropFailures;
        ++call->record.dropFailures;
        if (m_dropFailAtOnce) {
            Log(*call, "drop refused");
            return LINEERR_OPERATIONFAILED;
        }
        ++call->record.dropRequests;
        return StartRequest(*call, "drop requested", &CLineSimulator::FailDrop);
    }
    ++call->record.dropRequests;
    return StartRequest(*call, "drop requested", &CLineSimulator::CompleteDrop);
}

void CLineSimulator::FailDrop(uint32_t id, DWORD request) {
    SimCall* call = CallById(id);
    if (!call || call->cutOff)
        return;
    Log(*call, "drop failed");
    Post(0, LINE_REPLY, request, static_cast<DWORD>(LINEERR_OPERATIONFAILED), 0, 0);
}

void CLineSimulator::CompleteDrop(uint32_t id, DWORD request) {
    SimCall* call = CallById(id);
    if (!call || call->cutOff)
        return;
    if (call->record.callState == LINECALLSTATE_IDLE) {
        Post(0, LINE_REPLY, request, static_cast<DWORD>(LINEERR_INVALCALLSTATE), 0, 0);
        return;
    }
    call->record.droppedMs = Elapsed(*call);
    Log(*call, "dropped");
    ReplyAndSetState(*call, request, LINECALLSTATE_IDLE, 0);
}

LONG CLineSimulator::Deallocate(HCALL handle) {
    SimCall* call = Call(handle);
    if (!call)
        return LINEERR_INVALCALLHANDLE;
    // The only owner may not let go of a call that is still up.
    if ((call->record.privilege & LINECALLPRIVILEGE_OWNER) &&
        call->record.callState != LINECALLSTATE_IDLE)
        return LINEERR_INVALCALLSTATE;
    call->record.deallocated = true;
    Log(*call, "handle released");
    return 0;
}

LONG CLineSimulator::GetCallInfo(HCALL handle, LINECALLINFO* info) {
    SimCall* call = Call(handle);
    if (!call)
        return LINEERR_INVALCALLHANDLE;
    LINECALLINFO fixed{};
    fixed.hLine = m_hLine;
    fixed.dwLineDeviceID = 0;
    fixed.dwAddressID = 0;
    fixed.dwBearerMode = LINEBEARERMODE_VOICE;
    fixed.dwMediaMode = LINEMEDIAMODE_UNKNOWN;
    fixed.dwCallID = call->record.id;
    fixed.dwCallStates = LINECALLSTATE_IDLE | LINECALLSTATE_OFFERING | LINECALLSTATE_DIALING |
                         LINECALLSTATE_CONNECTED | LINECALLSTATE_DISCONNECTED;
    fixed.dwMonitorDigitModes = call->record.monitorModes;
    fixed.dwOrigin = call->record.outbound ? LINECALLORIGIN_OUTBOUND : LINECALLORIGIN_INBOUND;
    fixed.dwReason = call->record.outbound ? LINECALLREASON_DIRECT : LINECALLREASON_UNAVAIL;
    fixed.dwNumOwners = (call->record.privilege & LINECALLPRIVILEGE_OWNER) ? 1 : 0;
    fixed.dwNumMonitors = (call->record.privilege & LINECALLPRIVILEGE_OWNER) ? 0 : 1;
    fixed.dwCallerIDFlags = CallerIdFlags(call->kind);
    fixed.dwCalledIDFlags = LINECALLPARTYID_UNKNOWN;
    fixed.dwConnectedIDFlags = LINECALLPARTYID_UNKNOWN;
    fixed.dwRedirectionIDFlags = LINECALLPARTYID_UNKNOWN;
    fixed.dwRedirectingIDFlags = LINECALLPARTYID_UNKNOWN;
    CVarStruct out(&fixed, kCallInfoSize);
    out.AddPart(offsetof(LINECALLINFO, dwCallerIDSize), offsetof(LINECALLINFO, dwCallerIDOffset),
                call->number, call->numberLayout);
    out.AddPart(offsetof(LINECALLINFO, dwCallerIDNameSize),
                offsetof(LINECALLINFO, dwCallerIDNameOffset), call->name, call->nameLayout);
    return out.WriteTo(info);
}

LONG CLineSimulator::GetCallStatus(HCALL handle, LINECALLSTATUS* status) {
    SimCall* call = Call(handle);
    if (!call)
        return LINEERR_INVALCALLHANDLE;
    LINECALLSTATUS fixed{};
    fixed.dwCallState = call->record.callState;
    fixed.dwCallStateMode = call->stateMode;
    fixed.dwCallPrivilege = call->record.privilege;
    if (call->record.privilege & LINECALLPRIVILEGE_OWNER) {
        if (call->record.callState == LINECALLSTATE_OFFERING)
            fixed.dwCallFeatures = LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP;
        else if (call->record.callState != LINECALLSTATE_IDLE)
            fixed.dwCallFeatures = LINECALLFEATURE_DROP | LINECALLFEATURE_MONITORDIGITS;
    }
    CVarStruct out(&fixed, kCallStatusSize);
    return out.WriteTo(status);
}

LONG CLineSimulator::MonitorDigits(HCALL handle, DWORD modes) {
    SimCall* call = Call(handle);
    if (!call)
        return LINEERR_INVALCALLHANDLE;
    if ((modes & ~kDigitModes) || (modes && Has(Option::NoDtmf)))
        return LINEERR_INVALDIGITMODE;
    if (call->record.callState == LINECALLSTATE_IDLE)
        return LINEERR_INVALCALLSTATE;
    call->record.monitorModes = modes;
    if (modes) {
        ++call->record.monitorOn;
        Log(*call, "digit monitoring on");
    } else {
        ++call->record.monitorOff;
        Log(*call, "digit monitoring off");
    }
    return 0;
}

LONG CLineSimulator::GetId(HLINE line, DWORD address, HCALL handle, DWORD select, VARSTRING* id,
                           const char* deviceClass) {
    SimCall* call = nullptr;
    switch (select) {
    case LINECALLSELECT_LINE:
        if (!m_hLine || line != m_hLine)
            return LINEERR_INVALLINEHANDLE;
        break;
    case LINECALLSELECT_ADDRESS:
        if (!m_hLine || line != m_hLine)
            return LINEERR_INVALLINEHANDLE;
        if (address != 0)
            return LINEERR_INVALADDRESSID;
        break;
    case LINECALLSELECT_CALL:
        call = Call(handle);
        if (!call)
            return LINEERR_INVALCALLHANDLE;
        break;
    default:
        return LINEERR_INVALCALLSELECT;
    }
    if (!id || !deviceClass)
        return LINEERR_INVALPOINTER;
    const bool waveOut = lstrcmpiA(deviceClass, "wave/out") == 0;
    const bool waveIn = lstrcmpiA(deviceClass, "wave/in") == 0;
    if (waveOut || waveIn) {
        if (!voice || (waveIn && Has(Option::NoWaveIn)))
            return LINEERR_INVALDEVICECLASS;
        if (call) {
            call->record.waveOutRequests += waveOut ? 1 : 0;
            Log(*call, std::string("asked for ") + deviceClass);
        }
        // A call's "wave/in" is the simulator's own (see CCallWaveInput),
        // whatever the machine has, unless the modem is made to lack one.
        const bool ownInput = waveIn && call && CCallWaveInput::Instance().Installed();
        if (ownInput && CCallWaveInput::Instance().GetMode() == CCallWaveInput::Mode::Missing)
            return LINEERR_NODEVICE;
        if (!ownInput && (waveOut ? waveOutGetNumDevs() : waveInGetNumDevs()) == 0)
            return LINEERR_NODEVICE;
    } else if (lstrcmpiA(deviceClass, "tapi/line") != 0) {
        return LINEERR_INVALDEVICECLASS;
    }
    // The line's own index, 0; for a call's voice path its own wave device
    // (see CCallWaveDevices), else the machine's default, device 0.
    const DWORD value = !call     ? 0
                        : waveOut ? CCallWaveDevices::Instance().DeviceFor(call->record.id)
                        : waveIn  ? CCallWaveInput::Instance().DeviceFor(call->record.id)
                                  : 0;
    VARSTRING fixed{};
    fixed.dwStringFormat = STRINGFORMAT_BINARY;
    CVarStruct out(&fixed, sizeof fixed);
    out.AddBinary(offsetof(VARSTRING, dwStringSize), offsetof(VARSTRING, dwStringOffset), &value,
                  sizeof value);
    return out.WriteTo(id);
}

uint32_t CLineSimulator::Ring(const CallerId& callerId, bool outbound) {
    if (!m_hLine)
        return 0;
    // Before this call's own allocations, which belong to the figures.
    if (!m_firstSample.taken)
        m_firstSample = SampleResources();
    auto call = std::make_unique<SimCall>();
    const uint32_t id = static_cast<uint32_t>(m_calls.size() + 1);
    CopyCallerId(*call, callerId);
    // A modem that cannot report caller ID never knows who calls.
    if (Has(Option::NoCallerId))
        CopyCallerId(*call, CallerId{CallerIdKind::Unknown, {}, {}});
    call->offeredAt = Clock::now();
    CallRecord& r = call->record;
    r.id = id;
    r.hCall = kCallHandleBase + id;
    r.outbound = outbound;
    r.answeredMs = r.droppedMs = r.hungUpMs = r.idleMs = r.pickedUpMs = -1;
    r.answerLatencyUs = -1;
    // Inbound calls go to the owner when there is one; a call made on
    // another extension is only watched; an application opened with no
    // privilege gets no handle at all.
    if (m_privileges == LINECALLPRIVILEGE_NONE)
        r.privilege = 0;
    else if (!outbound && (m_privileges & LINECALLPRIVILEGE_OWNER))
        r.privilege = LINECALLPRIVILEGE_OWNER;
    else
        r.privilege = LINECALLPRIVILEGE_MONITOR;
    r.deallocated = r.privilege == 0;
    Log(*call, outbound ? "dialled out" : "ringing");
    m_calls.push_back(std::move(call));
    CCallWaveDevices::Instance().AddCall(id);
    CCallWaveInput::Instance().AddCall(id);
    // Applications of TAPI 2.0 and later would get LINE_APPNEWCALL first;
    // the versions negotiated here (1.3, 1.4) learn of the call from its
    // first LINE_CALLSTATE, whose third parameter gives their privilege.
    if (outbound) {
        r.callState = LINECALLSTATE_DIALING;
        Post(r.hCall, LINE_CALLSTATE, LINECALLSTATE_DIALING, 0, r.privilege, id);
        return id;
    }
    r.callState = LINECALLSTATE_OFFERING;
    m_calls.back()->offeredCounter = CounterNow();
    Post(r.hCall, LINE_CALLSTATE, LINECALLSTATE_OFFERING, 0, r.privilege, id);
    RingOnce(id);
    return id;
}

void CLineSimulator::RingOnce(uint32_t id) {
    SimCall* call = CallById(id);
    if (!call || call->record.callState != LINECALLSTATE_OFFERING)
        return;
    if (call->record.rings >= maxRings) {
        call->record.rangOut = true;
        Log(*call, "stopped ringing");
        SetState(*call, LINECALLSTATE_IDLE, 0);
        return;
    }
    ++call->record.rings;
    if (m_lineStates & LINEDEVSTATE_RINGING)
        // Ring mode 1, the only one this line has; then the ring count.
        Post(m_hLine, LINE_LINEDEVSTATE, LINEDEVSTATE_RINGING, 1, call->record.rings, 0);
    Schedule(ringIntervalMs, [this, id] { RingOnce(id); });
}

bool CLineSimulator::DeliverCallerId(uint32_t id, const CallerId& callerId) {
    SimCall* call = CallById(id);
    if (!call || call->record.callState == LINECALLSTATE_IDLE || Has(Option::NoCallerId))
        return false;
    CopyCallerId(*call, callerId);
    Log(*call, "caller ID arrived");
    Post(call->record.hCall, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID, 0, 0, id);
    return true;
}

bool CLineSimulator::KeyDigits(uint32_t id, const char* digits) {
    SimCall* call = CallById(id);
    if (!call || !digits)
        return false;
    for (const char* d = digits; *d; ++d) {
        CallRecord& r = call->record;
        AppendDigit(r.keyed, r.digitsKeyed, *d);
        ++r.digitsKeyed;
        // A digit is heard only on an answered call the caller is still on,
        // and reported only while the application listens for its kind.
        if (r.callState != LINECALLSTATE_CONNECTED || r.deallocated || call->hungUp)
            continue;
        const DWORD modes = r.monitorModes & (LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND);
        if (!modes)
            continue;
        AppendDigit(r.delivered, r.digitsDelivered, *d);
        ++r.digitsDelivered;
        const DWORD_PTR digit = static_cast<unsigned char>(*d);
        // A service that reports key-up as well, whatever was asked for.
        if (Has(Option::DigitsTwice)) {
            Post(r.hCall, LINE_MONITORDIGITS, digit, LINEDIGITMODE_DTMF, GetTickCount(), id);
            Post(r.hCall, LINE_MONITORDIGITS, digit, LINEDIGITMODE_DTMFEND, GetTickCount(), id);
            continue;
        }
        if (modes & LINEDIGITMODE_DTMF)
            Post(r.hCall, LINE_MONITORDIGITS, digit, LINEDIGITMODE_DTMF, GetTickCount(), id);
        if (modes & LINEDIGITMODE_DTMFEND)
            Post(r.hCall, LINE_MONITORDIGITS, digit, LINEDIGITMODE_DTMFEND, GetTickCount(), id);
    }
    Log(*call, std::string("caller keyed ") + digits);
    return true;
}

bool CLineSimulator::HangUp(uint32_t id) {
    SimCall* call = CallById(id);
    if (!call)
        return false;
    CallRecord& r = call->record;
    if (r.callState == LINECALLSTATE_IDLE || r.callState == LINECALLSTATE_DISCONNECTED ||
        call->hungUp)
        return false;
    call->hungUp = true;
    r.hungUpMs = Elapsed(*call);
    Log(*call, "caller hung up");
    if (r.callState == LINECALLSTATE_OFFERING) {
        SetState(*call, LINECALLSTATE_IDLE, 0); // a modem only sees the ringing stop
    } else if (Has(Option::NoHangUpReport)) {
        // The modem never noticed: the call stays up until the application
        // drops it.
    } else if (Has(Option::IdleWithoutDisconnected)) {
        SetState(*call, LINECALLSTATE_IDLE, 0);
    } else {
        SetState(*call, LINECALLSTATE_DISCONNECTED, LINEDISCONNECTMODE_NORMAL);
    }
    return true;
}

void CLineSimulator::HangUpWhenHeard(uint32_t id, DWORD waitedMs) {
    constexpr DWORD kLookMs = 20, kMostMs = 30000;
    const SimCall* call = CallById(id);
    if (call && Has(Option::ListenFirst) && waitedMs < kMostMs &&
        call->record.callState == LINECALLSTATE_CONNECTED && !call->hungUp &&
        CCallWaveDevices::Instance().PlayedTo(id).bytes == 0) {
        Schedule(kLookMs, [this, id, waitedMs] { HangUpWhenHeard(id, waitedMs + kLookMs); });
        return;
    }
    HangUp(id);
}

bool CLineSimulator::PickUp(uint32_t id) {
    SimCall* call = CallById(id);
    if (!call || call->record.callState != LINECALLSTATE_OFFERING)
        return false;
    call->record.pickedUpMs = Elapsed(*call);
    Log(*call, "picked up elsewhere");
    SetState(*call, LINECALLSTATE_CONNECTED, LINECONNECTEDMODE_ACTIVE);
    return true;
}

uint32_t CLineSimulator::LatestLiveCall() const {
    for (size_t i = m_calls.size(); i > 0; --i)
        if (m_calls[i - 1]->record.callState != LINECALLSTATE_IDLE)
            return static_cast<uint32_t>(i);
    return 0;
}

std::string CLineSimulator::Summary(uint32_t id) const {
    const SimCall* call = FindCall(id);
    return call ? FormatCallSummary(*call, RecordOf(*call)) : std::string();
}

std::string CLineSimulator::Stats(const char* when) const {
    return m_quitSample.taken ? FormatStatsAt(m_quitSample, "quit")
                              : FormatStatsAt(SampleResources(), when);
}

std::string CLineSimulator::FormatStatsAt(const ResourceSample& last, const char* when) const {
    std::vector<CallRecord> records;
    records.reserve(m_calls.size());
    // What this simulator keeps for each call, so that the figures can tell
    // it apart from the program's own growth.
    auto heapBytes = [](const std::string& text) {
        return text.capacity() > std::string().capacity() ? text.capacity() + 1 : 0;
    };
    int64_t own = static_cast<int64_t>(m_calls.capacity() * sizeof m_calls[0]);
    for (const auto& call : m_calls) {
        records.push_back(RecordOf(*call));
        own +=
            static_cast<int64_t>(sizeof(SimCall) + heapBytes(call->number) + heapBytes(call->name));
    }
    return FormatStats(records, m_firstSample, m_firstSample.taken ? last : ResourceSample{}, when,
                       own);
}

void CLineSimulator::SetState(SimCall& call, DWORD state, DWORD mode) {
    call.record.callState = state;
    call.stateMode = mode;
    if (state == LINECALLSTATE_CONNECTED && !call.connectedCounter)
        call.connectedCounter = CounterNow();
    if (state == LINECALLSTATE_IDLE) {
        call.record.idleMs = Elapsed(call);
        if (call.connectedCounter)
            m_connectedEndedCounter = CounterNow();
    }
    Post(call.record.hCall, LINE_CALLSTATE, state, mode, 0, call.record.id);
    if (state == LINECALLSTATE_CONNECTED && Has(Option::ConnectedTwice))
        Post(call.record.hCall, LINE_CALLSTATE, state, mode, 0, call.record.id);
}

int32_t CLineSimulator::Elapsed(const SimCall& call) const {
    using namespace std::chrono;
    return static_cast<int32_t>(duration_cast<milliseconds>(Clock::now() - call.offeredAt).count());
}

void CLineSimulator::Log(const SimCall& call, const std::string& what) {
    if (!m_window)
        return;
    char line[64];
    std::snprintf(line, sizeof line, "%7.2f s  call %u: ", Elapsed(call) / 1000.0, call.record.id);
    m_window->AddLog(line + what);
}

void CLineSimulator::Post(DWORD device, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3,
                          uint32_t call) {
    if (!m_hWnd || !m_hLine)
        return;
    m_queue.push_back({device, message, m_instance, p1, p2, p3, call, true});
    PostMessageW(m_hWnd, kDeliverMessage, 0, 0);
}

void CLineSimulator::PostToApp(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1,
                               DWORD_PTR p2, DWORD_PTR p3) {
    if (!m_hWnd || !m_app)
        return;
    m_queue.push_back({device, message, instance, p1, p2, p3, 0, false});
    PostMessageW(m_hWnd, kDeliverMessage, 0, 0);
}

void CLineSimulator::DeliverNext() {
    if (m_queue.empty())
        return;
    const Message m = m_queue.front();
    m_queue.pop_front();
    if (m.call) {
        // Nothing more reaches an application about a handle it released.
        const SimCall* call = FindCall(m.call);
        if (!call || call->record.deallocated)
            return;
    }
    if (m_callback)
        m_callback(m.device, m.message, m.instance, m.p1, m.p2, m.p3);
}

void CLineSimulator::Schedule(DWORD ms, std::function<void()> action) {
    m_timers.emplace(Clock::now() + std::chrono::milliseconds(ms), std::move(action));
    ArmTimer();
}

void CLineSimulator::ArmTimer() {
    if (!m_hWnd)
        return;
    if (m_timers.empty()) {
        KillTimer(m_hWnd, kTimerId);
        return;
    }
    using namespace std::chrono;
    const auto wait = duration_cast<milliseconds>(m_timers.begin()->first - Clock::now()).count();
    SetTimer(m_hWnd, kTimerId, static_cast<UINT>(std::max<long long>(wait, USER_TIMER_MINIMUM)),
             nullptr);
}

void CLineSimulator::RunTimers() {
    const auto now = Clock::now();
    while (!m_timers.empty() && m_timers.begin()->first <= now) {
        auto action = std::move(m_timers.begin()->second);
        m_timers.erase(m_timers.begin());
        action();
    }
    ArmTimer();
}

void CLineSimulator::ReadScript() {
    if (scriptPath.empty())
        return;
    m_scriptRead = true;
    std::string error;
    std::vector<ScriptEvent> events;
    if (!LoadScript(scriptPath, events, error)) {
        std::fprintf(stderr, "rwlinesim: %s\n", error.c_str());
        std::fflush(stderr);
        return;
    }
    DWORD devices = deviceCount;
    for (ScriptEvent& e : events) {
        // These hold from the start, before anything rings.
        if (e.kind == ScriptEvent::Kind::Option)
            SetOption(e.option, e.on);
        else if (e.kind == ScriptEvent::Kind::Devices)
            devices = e.count;
        else if (e.kind == ScriptEvent::Kind::DropFails)
            SetDropFailures(e.count, e.atOnce);
        else if (e.kind == ScriptEvent::Kind::WaveIn)
            rw::linesim::SetWaveInput(e.waveIn);
        else
            m_script.push_back(std::move(e));
    }
    // The device count counts from this or the next lineInitialize. It is
    // the script's only the first time: a modem plugged in since stays when
    // the program registers again and the script is read again.
    if (scriptPath != m_scriptDevicesFrom) {
        m_scriptDevicesFrom = scriptPath;
        deviceCount = devices;
    }
    // In the order they fall due, those due together in the file's order.
    std::stable_sort(m_script.begin(), m_script.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.atMs < b.atMs; });
}

void CLineSimulator::StartScript() {
    m_scriptStarted = true;
    m_scriptStart = Clock::now();
    m_nextScriptEvent = 0;
    ScheduleScriptEvent();
}

void CLineSimulator::ScheduleScriptEvent() {
    // One event waits at a time, and the script stays as loaded until the
    // line shuts down, so that a long script's own memory neither grows nor
    // shrinks while calls come and go (the figures would count it).
    if (m_nextScriptEvent >= m_script.size())
        return;
    const auto due = m_scriptStart + std::chrono::milliseconds(m_script[m_nextScriptEvent].atMs);
    m_timers.emplace(due, [this] {
        const size_t next = m_nextScriptEvent++;
        RunScriptEvent(m_script[next]);
        ScheduleScriptEvent();
    });
    ArmTimer();
}

void CLineSimulator::RunScriptEvent(const ScriptEvent& e) {
    CallerId id;
    id.kind = e.callerKind;
    id.number = {e.number.data(), e.number.size()};
    id.name = {e.name.data(), e.name.size()};
    switch (e.kind) {
    case ScriptEvent::Kind::Ring:
        Ring(id, false);
        break;
    case ScriptEvent::Kind::Dial:
        Ring(id, true);
        break;
    case ScriptEvent::Kind::CallerId:
        DeliverCallerId(e.call, id);
        break;
    case ScriptEvent::Kind::Keys:
        KeyDigits(e.call, e.digits.c_str());
        break;
    case ScriptEvent::Kind::KeysAsked: {
        // As a person does: listens to the prompt and presses its digit.
        const int digit = CCallWaveDevices::Instance().AskedDigit(e.call, kFirstKeyPrompt);
        if (digit >= 0) {
            const char keys[2] = {static_cast<char>('0' + digit), '\0'};
            KeyDigits(e.call, keys);
        }
        break;
    }
    case ScriptEvent::Kind::HangUp:
        HangUpWhenHeard(e.call, 0);
        break;
    case ScriptEvent::Kind::Quit:
        Quit();
        break;
    case ScriptEvent::Kind::Timing:
        maxRings = e.rings;
        ringIntervalMs = e.intervalMs;
        break;
    case ScriptEvent::Kind::Option:
        SetOption(e.option, e.on);
        break;
    case ScriptEvent::Kind::PickUp:
        PickUp(e.call);
        break;
    case ScriptEvent::Kind::CloseLine:
        CloseLine(e.downMs);
        break;
    case ScriptEvent::Kind::Reinit:
        Reinit();
        break;
    case ScriptEvent::Kind::NewDevice:
        AddDevice();
        break;
    case ScriptEvent::Kind::Say:
        if (e.said == ScriptEvent::Said::File)
            rw::linesim::SayFile(e.call, e.path.c_str());
        else if (e.said == ScriptEvent::Said::Tone)
            rw::linesim::SayTone(e.call, e.f1, e.f2, e.lengthMs);
        else
            rw::linesim::SayNoise(e.call, e.lengthMs);
        break;
    case ScriptEvent::Kind::Gone:
        rw::linesim::Gone(e.call, e.tone);
        break;
    case ScriptEvent::Kind::Devices:
    case ScriptEvent::Kind::DropFails:
    case ScriptEvent::Kind::WaveIn:
        break; // applied when the script was read
    }
}

void CLineSimulator::Quit() {
    // The program then shuts down, and lineShutdown prints the summary. The
    // figures are taken now, while the program still has all it had during
    // the calls, rather than part way through its tidying up.
    if (printStats && m_firstSample.taken)
        m_quitSample = SampleResources();
    PostQuitMessage(0);
}

std::string CLineSimulator::LineEventTime() const {
    // Seconds of the script's clock when one runs, as its events are timed.
    const auto since = m_scriptStarted ? Clock::now() - m_scriptStart : Clock::duration::zero();
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(since).count());
    return text;
}

void CLineSimulator::PrintSummary() {
    if (m_summaryPrinted)
        return;
    m_summaryPrinted = true;
    if (printSummary) {
        for (uint32_t id = 1; id <= CallCount(); ++id)
            std::printf("%s\n", Summary(id).c_str());
        for (const std::string& event : m_lineEvents)
            std::printf("%s\n", event.c_str());
    }
    if (printStats) {
        // A program that ends without lineShutdown gets them as they are.
        const std::string stats = m_shutdownStats.empty() ? Stats("exit") : m_shutdownStats;
        std::fputs(stats.c_str(), stdout);
    }
    std::fflush(stdout);
}

LRESULT CALLBACK CLineSimulator::WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CLineSimulator& sim = Instance();
    if (hWnd == sim.m_hWnd) {
        if (message == kDeliverMessage) {
            sim.DeliverNext();
            return 0;
        }
        if (message == WM_TIMER && wParam == kTimerId) {
            sim.RunTimers();
            return 0;
        }
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

} // namespace rw::linesim
