// The simulated telephony service: one line device with one voice modem,
// one registered application at a time. All state belongs to the thread
// that called lineInitialize; events reach the application's callback
// through a hidden window on that thread, one posted message per event, so
// the callback never runs inside a TAPI function.
#pragma once

#include "LineSim.h"
#include "SimScript.h"
#include "SimStats.h"

#include <windows.h>
#include <tapi.h>

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rw::linesim {

class CSimWindow;

using Clock = std::chrono::steady_clock;

// The simulator DLL's own module: its resources and window classes.
HINSTANCE ThisModule();

struct SimCall {
    CallRecord record{};
    CallerIdKind kind = CallerIdKind::Number;
    std::string number, name;
    TextLayout numberLayout = TextLayout::Normal, nameLayout = TextLayout::Normal;
    Clock::time_point offeredAt;
    int64_t offeredCounter = 0;   // QueryPerformanceCounter when OFFERING was posted
    int64_t connectedCounter = 0; // ...and when CONNECTED first was
    DWORD stateMode = 0;
    bool hungUp = false;
    bool cutOff = false; // still up when the line closed
};

class CLineSimulator {
public:
    static CLineSimulator& Instance();

    // Settings (control API and command line).
    bool showWindow = true;
    bool printSummary = true;
    bool printStats = false;
    bool voice = true;
    DWORD ringIntervalMs = 2000;
    DWORD maxRings = 5;
    DWORD replyDelayMs = 0;
    std::string scriptPath;
    DWORD deviceCount = 1; // reported at lineInitialize: 0 or 1
    void SetDeviceCount(DWORD count);
    void SetDropFailures(DWORD count, bool atOnce);
    bool SetOption(Option option, bool on);
    bool Has(Option option) const { return (m_options >> static_cast<uint32_t>(option)) & 1; }

    // TAPI, arguments already named as TAPI names them.
    LONG Initialize(HLINEAPP* app, HINSTANCE instance, LINECALLBACK callback, DWORD* numDevs);
    LONG Shutdown(HLINEAPP app);
    LONG Negotiate(HLINEAPP app, DWORD device, DWORD low, DWORD high, DWORD* version,
                   LINEEXTENSIONID* extension);
    LONG GetDevCaps(HLINEAPP app, DWORD device, DWORD version, LINEDEVCAPS* caps);
    LONG GetAddressCaps(HLINEAPP app, DWORD device, DWORD address, DWORD version,
                        LINEADDRESSCAPS* caps);
    LONG Open(HLINEAPP app, DWORD device, HLINE* line, DWORD version, DWORD extVersion,
              DWORD_PTR instance, DWORD privileges, DWORD mediaModes);
    LONG Close(HLINE line);
    LONG SetStatusMessages(HLINE line, DWORD lineStates, DWORD addressStates);
    LONG Answer(HCALL call);
    LONG Drop(HCALL call);
    LONG Deallocate(HCALL call);
    LONG GetCallInfo(HCALL call, LINECALLINFO* info);
    LONG GetCallStatus(HCALL call, LINECALLSTATUS* status);
    LONG MonitorDigits(HCALL call, DWORD modes);
    LONG GetId(HLINE line, DWORD address, HCALL call, DWORD select, VARSTRING* id,
               const char* deviceClass);

    // The far end (control API, script, window).
    uint32_t Ring(const CallerId& callerId, bool outbound);
    bool DeliverCallerId(uint32_t id, const CallerId& callerId);
    bool KeyDigits(uint32_t id, const char* digits);
    bool HangUp(uint32_t id);
    // A script's hang-up: with ListenFirst, put off while the answered call
    // has been played nothing (`waitedMs` so far).
    void HangUpWhenHeard(uint32_t id, DWORD waitedMs);
    bool PickUp(uint32_t id);
    // The service's own doings (control API, script).
    bool CloseLine(DWORD downMs);
    bool Reinit();
    bool AddDevice();
    uint32_t CallCount() const { return static_cast<uint32_t>(m_calls.size()); }
    const SimCall* FindCall(uint32_t id) const;
    // The call's record with what was played to it, which the wave devices
    // keep (they may be used from another thread).
    CallRecord RecordOf(const SimCall& call) const;
    std::string Summary(uint32_t id) const;
    // The --sim-stats lines as they stand now; `when` names this moment
    // for the process figures unless the script's quit already took them.
    std::string Stats(const char* when) const;
    // The latest call that has not gone idle, or 0.
    uint32_t LatestLiveCall() const;

    // Runs `action` after `ms` milliseconds on the simulator's thread.
    void Schedule(DWORD ms, std::function<void()> action);
    // Ends the program's message loop (the script's "quit").
    void Quit();
    // The call summary and, with --sim-stats, the figures: once a run.
    void PrintSummary();

    bool LineOpen() const { return m_hLine != 0; }

    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

private:
    struct Message {
        DWORD device, message;
        DWORD_PTR instance, p1, p2, p3;
        uint32_t call; // 0 for line-level messages
        bool line;     // about the open line: dropped when it closes
    };

    SimCall* Call(HCALL handle);
    SimCall* CallById(uint32_t id);
    // A message about the open line or one of its calls; none without one.
    void Post(DWORD device, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3, uint32_t call);
    // A message to the registered application about the service itself.
    void PostToApp(DWORD device, DWORD message, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR p2,
                   DWORD_PTR p3);
    // Closes the open line: calls still up are cut off, handles taken back.
    void CloseOpenLine(const char* why);
    void SetState(SimCall& call, DWORD state, DWORD mode);
    int32_t Elapsed(const SimCall& call) const;
    void Log(const SimCall& call, const std::string& what);
    // An owner's asynchronous request: refused at once, or given a request
    // id and completed later with LINE_REPLY, in the order made.
    LONG OwnerCheck(const SimCall* call) const;
    LONG StartRequest(SimCall& call, const char* what,
                      void (CLineSimulator::*complete)(uint32_t, DWORD));
    void RingOnce(uint32_t id);
    void CompleteAnswer(uint32_t id, DWORD request);
    void CompleteDrop(uint32_t id, DWORD request);
    void FailDrop(uint32_t id, DWORD request);
    void ReplyAndSetState(SimCall& call, DWORD request, DWORD state, DWORD mode);
    void DeliverNext();
    void RunTimers();
    void ArmTimer();
    void ReadScript();
    void StartScript();
    void ScheduleScriptEvent();
    void RunScriptEvent(const ScriptEvent& event);
    void Reset();
    std::string FormatStatsAt(const ResourceSample& last, const char* when) const;

    HWND m_hWnd = nullptr;
    HLINEAPP m_app = 0;
    LINECALLBACK m_callback = nullptr;
    HLINE m_hLine = 0;
    DWORD_PTR m_instance = 0;
    DWORD m_privileges = 0;
    DWORD m_lineStates = 0;
    DWORD m_generation = 0;
    DWORD m_devices = 1; // as this registration knows them
    DWORD m_lineOpenings = 0;
    // The service closed the line: lineOpen is refused until then.
    Clock::time_point m_lineDownUntil;
    // QueryPerformanceCounter when a call that had been connected last went
    // idle (0: none yet).
    int64_t m_connectedEndedCounter = 0;
    // What happened to the line itself (closed by the service, opened
    // again), for the summary; a line closed by the service waits to be
    // reported open again.
    std::vector<std::string> m_lineEvents;
    bool m_closedByService = false;
    std::string LineEventTime() const;
    // A REINIT was posted and the application has not shut down yet; then,
    // from its lineShutdown to its next lineInitialize, the run goes on.
    bool m_reinitPending = false;
    bool m_reinitShutDown = false;
    DWORD m_dropFailures = 0;
    bool m_dropFailAtOnce = false;
    bool m_summaryPrinted = true;
    std::vector<std::unique_ptr<SimCall>> m_calls;
    std::deque<Message> m_queue;
    std::multimap<Clock::time_point, std::function<void()>> m_timers;
    std::unique_ptr<CSimWindow> m_window;
    bool m_scriptRead = false;
    std::string m_scriptDevicesFrom; // the script whose "devices" line was applied
    bool m_scriptStarted = false;
    std::vector<ScriptEvent> m_script;
    size_t m_nextScriptEvent = 0;
    Clock::time_point m_scriptStart;
    uint32_t m_options = 0;
    // Resources at the first ring, and at the script's quit if it ran.
    ResourceSample m_firstSample, m_quitSample;
    // The figures taken at lineShutdown before the line closed, for printing.
    std::string m_shutdownStats;
};

} // namespace rw::linesim
