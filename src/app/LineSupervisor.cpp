#include "app/LineSupervisor.h"

#include "app/CallScreener.h"
#include "audio/WindowClassRegistration.h"
#include "telephony/TapiRegistration.h"

namespace rw {
namespace {

// Registered for the program's whole life, before any supervisor exists.
const CWindowClassRegistration g_timerClass("RingwardenLineSupervisorTimers",
                                            CLineSupervisor::TimerWindowProc);

constexpr UINT_PTR kRetryTimer = 1;
constexpr UINT_PTR kReinitTimer = 2;
// REINIT arrives inside the service's callback, where shutting down is not
// allowed; the restart runs from the message loop, and while calls are up
// it waits for them, looking this often.
constexpr UINT kReinitSoonMs = 10;
constexpr UINT kReinitWaitMs = 500;

constexpr UINT kTrayIdle = 130;

} // namespace

CLineSupervisor::CLineSupervisor(CCallScreener& screener, CLineSupervisorNotify* notify,
                                 HINSTANCE instance)
    : m_screener(screener), m_notify(notify),
      m_instance(instance ? instance : GetModuleHandleA(nullptr)) {}

CLineSupervisor::~CLineSupervisor() {
    Stop();
    m_timerWindow.Destroy();
}

void CLineSupervisor::Start() {
    m_started = true;
    SetLineAppNotify(this);
    SetPhoneAppNotify(this);
    OpenClosedLines();
}

void CLineSupervisor::Stop() {
    if (!m_started)
        return;
    m_started = false;
    StopTimer(kRetryTimer);
    StopTimer(kReinitTimer);
    m_reinitPending = false;
    // Sound first, so that no device is still opening for a call whose line
    // is gone; then the calls, which belong to the lines, while the lines
    // are open.
    m_screener.ShutDownSound();
    m_screener.ReleaseCalls();
    m_lines.clear();
    SetLineAppNotify(nullptr);
    SetPhoneAppNotify(nullptr);
}

bool CLineSupervisor::Register() {
    if (RegisterLineApp(this, nullptr, m_instance) < 0)
        return false;
    // The phone registration only lives beside the line one; its result
    // changes nothing.
    RegisterPhoneApp(this, nullptr, m_instance);
    return true;
}

void CLineSupervisor::OpenClosedLines() {
    const DWORD count = LineDeviceCount();
    while (m_lines.size() < count)
        m_lines.push_back(std::make_unique<CTapiLine>());
    bool allOpen = LineAppHandle() != 0;
    for (DWORD device = 0; device < m_lines.size(); ++device) {
        CTapiLine& line = *m_lines[device];
        // Watched but unable to block: the owner open is tried again at
        // each retry, once no call is up (a modem opens to one owner at a
        // time, so the monitor handle goes first).
        if (line.OwnerRefused()) {
            allOpen = false;
            if (m_screener.LiveCallCount() > 0)
                continue;
            line.Close();
        }
        if (line.Handle())
            continue;
        // As owner for voice calls, failing that as a monitor only.
        const LONG result = line.OpenWithFallback(device, &m_screener);
        if (result == 0)
            line.AddNotify(this);
        if (result != 0 || line.OwnerRefused())
            allOpen = false;
    }
    UpdateHealth();
    // Until every device is open (or there is a registration to open them
    // with), keep trying.
    if (allOpen)
        StopTimer(kRetryTimer);
    else
        SetTimerMs(kRetryTimer, m_retryMs);
}

void CLineSupervisor::UpdateHealth() {
    unsigned owner = 0, monitor = 0;
    for (const auto& line : m_lines) {
        if (line->IsOwner())
            ++owner;
        else if (line->Handle())
            ++monitor;
    }
    if (owner + monitor > 0)
        m_trouble = LineTrouble::None;
    LineTrouble why = m_trouble;
    if (!LineAppHandle())
        why = m_trouble == LineTrouble::Reinit ? LineTrouble::Reinit : LineTrouble::NoTelephony;
    else if (LineDeviceCount() == 0)
        why = LineTrouble::NoLine;
    else if (why == LineTrouble::None)
        why = LineTrouble::OpenFailed;
    m_health.SetLines(owner, monitor, why);
    if (m_notify)
        m_notify->OnLineHealthChanged();
}

void CLineSupervisor::OnCallerIdOutcome(bool arrived) {
    m_health.OnCallerIdOutcome(arrived);
    if (m_notify)
        m_notify->OnLineHealthChanged();
}

void CLineSupervisor::OnLineCreated(DWORD) {
    // The registration already counted and negotiated the new device; it is
    // opened like those found at start.
    if (m_started)
        OpenClosedLines();
}

void CLineSupervisor::OnLineClose(CTapiLine* line) {
    // The service has closed the line and every call on it: let go of the
    // call objects (their rows stay), release the handle, and try again
    // later.
    m_screener.ReleaseCalls(line);
    line->Close();
    if (m_screener.LiveCallCount() == 0)
        m_screener.SetTrayTip(kTrayIdle);
    m_trouble = LineTrouble::Closed;
    UpdateHealth();
    if (m_started)
        SetTimerMs(kRetryTimer, m_retryMs);
}

void CLineSupervisor::OnReinit() {
    if (!m_started || m_reinitPending)
        return;
    m_reinitPending = true;
    m_reinitEndingWaitedMs = 0;
    SetTimerMs(kReinitTimer, kReinitSoonMs);
}

void CLineSupervisor::RegisterAgain() {
    StopTimer(kReinitTimer);
    m_reinitPending = false;
    m_screener.ReleaseCalls();
    m_lines.clear();
    UnregisterLineApp();
    UnregisterPhoneApp();
    m_trouble = LineTrouble::Reinit;
    // A service still restarting may refuse; the retry timer tries again.
    Register();
    OpenClosedLines();
}

void CLineSupervisor::OnRetry() {
    if (!LineAppHandle())
        Register();
    OpenClosedLines();
}

void CLineSupervisor::OnTimer(UINT_PTR id) {
    if (!m_started) {
        StopTimer(id);
        return;
    }
    if (id == kRetryTimer) {
        OnRetry();
    } else if (id == kReinitTimer) {
        // Calls up finish first: the restart closes their lines. A call
        // whose caller has gone but whose drops keep failing is waited for
        // only so long; it is let go with the old registration.
        if (m_screener.CallsUpCount() > 0) {
            m_reinitEndingWaitedMs = 0;
            SetTimerMs(kReinitTimer, kReinitWaitMs);
        } else if (m_screener.LiveCallCount() > 0 && m_reinitEndingWaitedMs < m_reinitEndingMs) {
            m_reinitEndingWaitedMs += kReinitWaitMs;
            SetTimerMs(kReinitTimer, kReinitWaitMs);
        } else {
            RegisterAgain();
        }
    }
}

void CLineSupervisor::SetTimerMs(UINT_PTR id, UINT ms) {
    // A message-only window: it only ever receives this supervisor's timers.
    if (!m_timerWindow.Get() && !m_timerWindow.Create(g_timerClass.Name(), 0, HWND_MESSAGE, this))
        return;
    SetTimer(m_timerWindow.Get(), id, ms, nullptr);
}

void CLineSupervisor::StopTimer(UINT_PTR id) {
    if (m_timerWindow.Get())
        KillTimer(m_timerWindow.Get(), id);
}

LRESULT CALLBACK CLineSupervisor::TimerWindowProc(HWND hWnd, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    auto* self = CHiddenWindow::Owner<CLineSupervisor>(hWnd);
    if (self && message == WM_TIMER) {
        // Nothing may unwind into the system's dispatcher.
        try {
            self->OnTimer(wParam);
        } catch (...) {
        }
        return 0;
    }
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

} // namespace rw
