#include "app/CallHook.h"

#include "records/WidePath.h"

#include <algorithm>
#include <climits>
#include <cwctype>
#include <utility>

namespace rw {
namespace {

constexpr wchar_t kPrefix[] = L"RINGWARDEN_";
constexpr size_t kPrefixLength = std::size(kPrefix) - 1;

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty() || text.size() > INT_MAX)
        return std::wstring();
    const int size = static_cast<int>(text.size());
    const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    // A value never holds a NUL: it would end the variable early.
    std::replace(wide.begin(), wide.end(), L'\0', L' ');
    return wide;
}

// The name part of "NAME=value". Entries for the drives' current folders
// ("=C:=C:\dir") start with '=', which belongs to the name.
std::wstring_view NameOf(std::wstring_view entry) {
    const size_t equals = entry.find(L'=', 1);
    return entry.substr(0, equals == std::wstring_view::npos ? entry.size() : equals);
}

bool LessIgnoringCase(std::wstring_view a, std::wstring_view b) {
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wint_t x = std::towupper(a[i]);
        const wint_t y = std::towupper(b[i]);
        if (x != y)
            return x < y;
    }
    return a.size() < b.size();
}

bool IsOurs(std::wstring_view name) {
    if (name.size() < kPrefixLength)
        return false;
    for (size_t i = 0; i < kPrefixLength; ++i)
        if (std::towupper(name[i]) != kPrefix[i])
            return false;
    return true;
}

} // namespace

std::wstring CCallHook::EnvironmentWith(const std::vector<CHookVariable>& variables) {
    std::vector<std::wstring> entries;
    if (wchar_t* block = GetEnvironmentStringsW()) {
        for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
            const std::wstring_view entry(p);
            // A variable of an earlier Ringwarden, or set by the user,
            // would read as this call's.
            if (!IsOurs(NameOf(entry)))
                entries.emplace_back(entry);
        }
        FreeEnvironmentStringsW(block);
    }
    for (const CHookVariable& v : variables)
        entries.push_back(Widen(v.name, CP_UTF8) + L'=' +
                          Widen(v.value, v.utf8 ? CP_UTF8 : CP_ACP));
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return LessIgnoringCase(NameOf(a), NameOf(b));
    });
    std::wstring block;
    for (const std::wstring& entry : entries) {
        block += entry;
        block += L'\0';
    }
    if (entries.empty())
        block += L'\0';
    block += L'\0';
    return block;
}

bool CCallHook::Queue(const std::string& command, std::vector<CHookVariable> variables) {
    if (m_waiting.size() >= kMaxWaiting)
        return false;
    m_waiting.push_back({command, std::move(variables)});
    return true;
}

std::vector<CCallHook::Failure> CCallHook::Service(uint32_t nowMs) {
    for (Running& run : m_running) {
        if (nowMs - run.startedMs >= m_timeLimitMs) {
            // The whole job: a shell's children go with it.
            if (!run.job || !TerminateJobObject(run.job.get(), 1))
                TerminateProcess(run.process.get(), 1);
        }
    }
    std::erase_if(m_running, [](const Running& run) { return Finished(run); });
    std::vector<Failure> failures;
    while (m_running.size() < kMaxRunning && !m_waiting.empty()) {
        Waiting run = std::move(m_waiting.front());
        m_waiting.pop_front();
        DWORD error = 0;
        if (!Start(run, nowMs, error))
            failures.push_back({run.command, SystemErrorText(error)});
    }
    return failures;
}

bool CCallHook::Finished(const Running& run) {
    if (WaitForSingleObject(run.process.get(), 0) != WAIT_OBJECT_0)
        return false;
    // What the program started in turn counts too, until the time limit.
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (run.job && QueryInformationJobObject(run.job.get(), JobObjectBasicAccountingInformation,
                                             &info, sizeof info, nullptr))
        return info.ActiveProcesses == 0;
    return true;
}

bool CCallHook::Start(const Waiting& run, uint32_t nowMs, DWORD& error) {
    std::wstring commandLine = Widen(run.command, CP_UTF8);
    if (commandLine.empty()) {
        error = ERROR_INVALID_PARAMETER;
        return false;
    }
    std::wstring environment = EnvironmentWith(run.variables);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION info{};
    // Suspended until it is in its job, so that nothing it starts escapes.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED,
                        environment.data(), nullptr, &startup, &info)) {
        error = GetLastError();
        return false;
    }
    OwnedHandle thread(info.hThread);
    Running running;
    running.process.reset(info.hProcess);
    running.startedMs = nowMs;
    running.job.reset(CreateJobObjectW(nullptr, nullptr));
    if (running.job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        // A system that cannot nest jobs (Ringwarden itself in one) runs the
        // program alone; the time limit then ends the program only.
        if (!SetInformationJobObject(running.job.get(), JobObjectExtendedLimitInformation, &limits,
                                     sizeof limits) ||
            !AssignProcessToJobObject(running.job.get(), info.hProcess))
            running.job.reset();
    }
    ResumeThread(info.hThread);
    m_running.push_back(std::move(running));
    return true;
}

} // namespace rw
