// Runs the user's program for a call ([Hook] Command=): hidden, never
// waited for, at most kMaxRunning at a time, each in a job of its own that
// is ended after the time limit (with whatever it started). The call's data
// reach it only in its environment: the command line is the user's text,
// exactly as configured, and nothing from the line is ever put into it.
// Driven from the message loop: Queue from a call's outcome, Service from
// a timer.
#pragma once

#include "app/CallHookEvent.h"

#include <windows.h>

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace rw {

class CCallHook {
public:
    static constexpr size_t kMaxRunning = 4;
    // Runs beyond this many waiting are skipped: a burst of calls never
    // piles up programs to start minutes later.
    static constexpr size_t kMaxWaiting = 16;
    static constexpr uint32_t kTimeLimitMs = 30000;

    struct Failure {
        std::string command; // UTF-8, as configured
        std::string reason;  // the system's text, UTF-8
    };

    CCallHook() { m_running.reserve(kMaxRunning); }
    // Programs still running are ended with their jobs.
    ~CCallHook() = default;
    CCallHook(const CCallHook&) = delete;
    CCallHook& operator=(const CCallHook&) = delete;

    // A run of `command` (UTF-8) with `variables` added to a copy of this
    // process's environment. False when kMaxWaiting runs already wait: this
    // one is skipped.
    bool Queue(const std::string& command, std::vector<CHookVariable> variables);
    // Ends the runs past the time limit, forgets those that finished and
    // starts waiting ones while fewer than kMaxRunning run. `nowMs` is a
    // tick count. Returns the runs that could not be started.
    std::vector<Failure> Service(uint32_t nowMs);
    bool Idle() const { return m_running.empty() && m_waiting.empty(); }
    size_t RunningCount() const { return m_running.size(); }
    size_t WaitingCount() const { return m_waiting.size(); }
    void SetTimeLimit(uint32_t ms) { m_timeLimitMs = ms; }

    // The environment block a run is given: this process's, without any
    // RINGWARDEN_ variable it had, plus `variables`, sorted by name as
    // Windows keeps an environment; UTF-16, ending in two NULs.
    static std::wstring EnvironmentWith(const std::vector<CHookVariable>& variables);

private:
    struct HandleCloser {
        void operator()(HANDLE handle) const { CloseHandle(handle); }
    };
    using OwnedHandle = std::unique_ptr<void, HandleCloser>;

    struct Waiting {
        std::string command;
        std::vector<CHookVariable> variables;
    };
    struct Running {
        // Closed last: a job made to end its processes when closed.
        OwnedHandle job;
        OwnedHandle process;
        uint32_t startedMs = 0;
    };

    // False with `error` set when the program could not be started.
    bool Start(const Waiting& run, uint32_t nowMs, DWORD& error);
    static bool Finished(const Running& run);

    std::deque<Waiting> m_waiting;
    std::vector<Running> m_running;
    uint32_t m_timeLimitMs = kTimeLimitMs;
};

} // namespace rw
