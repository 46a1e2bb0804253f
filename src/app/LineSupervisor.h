// Keeps Ringwarden watching the line. It opens every line device with the
// screener as the listener of its calls and then follows what the service
// does to the lines: a line the service closed is reopened every 30 seconds
// until it opens; a request to register again (REINIT) is carried out as
// soon as no call is up; a device plugged in later is opened; and when
// nothing could be registered or opened at all, it keeps trying. Its health
// says what the user should be told. User-interface thread only.
#pragma once

#include "app/LineHealth.h"
#include "audio/HiddenWindow.h"
#include "telephony/TapiLine.h"
#include "telephony/TapiNotify.h"

#include <memory>
#include <vector>

namespace rw {

class CCallScreener;

class CLineSupervisorNotify {
public:
    // The health may have changed: the window updates the tray.
    virtual void OnLineHealthChanged() {}

protected:
    ~CLineSupervisorNotify() = default;
};

class CLineSupervisor : public CTapiAppNotify, public CTapiLineNotify {
public:
    static constexpr UINT kDefaultRetryMs = 30000;

    // The screener must outlive the supervisor; `instance` registers the
    // program again after a REINIT (null: the program's own module).
    explicit CLineSupervisor(CCallScreener& screener, CLineSupervisorNotify* notify = nullptr,
                             HINSTANCE instance = nullptr);
    // Lets go of the calls and closes the lines (Stop).
    ~CLineSupervisor();
    CLineSupervisor(const CLineSupervisor&) = delete;
    CLineSupervisor& operator=(const CLineSupervisor&) = delete;

    // Takes over the registration made at start (or its absence): hears its
    // new devices and REINIT from now on, and opens every line.
    void Start();
    // Lets go of every call, closes every line and stops trying; the
    // registration itself is the application's to end.
    void Stop();

    // One per line device, open or not.
    const std::vector<std::unique_ptr<CTapiLine>>& Lines() const { return m_lines; }
    const CLineHealth& Health() const { return m_health; }
    // The health's next change for the user to hear of (see CLineHealth).
    bool TakeAnnouncement(unsigned& titleId, unsigned& textId, bool& warning) {
        return m_health.TakeAnnouncement(titleId, textId, warning);
    }
    // A call's caller ID arrived, or the call ended without it.
    void OnCallerIdOutcome(bool arrived);
    bool ReinitPending() const { return m_reinitPending; }
    // How often a line that will not open is tried again (tests shorten it).
    void SetRetryInterval(UINT ms) { m_retryMs = ms; }
    // How long a REINIT waits for calls that have ended but will not drop.
    static constexpr UINT kDefaultReinitEndingMs = 10000;
    void SetReinitEndingWait(UINT ms) { m_reinitEndingMs = ms; }

    // CTapiAppNotify
    void OnLineCreated(DWORD device) override;
    void OnReinit() override;
    // CTapiLineNotify
    void OnLineClose(CTapiLine* line) override;

    static LRESULT CALLBACK TimerWindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    void OpenClosedLines();
    void UpdateHealth();
    void SetTimerMs(UINT_PTR id, UINT ms);
    void StopTimer(UINT_PTR id);
    void OnTimer(UINT_PTR id);
    void OnRetry();
    void RegisterAgain();
    bool Register();

    CCallScreener& m_screener;
    CLineSupervisorNotify* m_notify;
    HINSTANCE m_instance;
    std::vector<std::unique_ptr<CTapiLine>> m_lines;
    CLineHealth m_health;
    // What last took the lines away; None once a line is open again.
    LineTrouble m_trouble = LineTrouble::None;
    bool m_started = false;
    bool m_reinitPending = false;
    UINT m_retryMs = kDefaultRetryMs;
    UINT m_reinitEndingMs = kDefaultReinitEndingMs;
    UINT m_reinitEndingWaitedMs = 0;
    CHiddenWindow m_timerWindow;
};

} // namespace rw
