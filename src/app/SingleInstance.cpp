#include "app/SingleInstance.h"

#include "app/RunningCopy.h"

namespace rw {
namespace {

// How often a waiting copy asks the holder's window again.
constexpr DWORD kPollMs = 100;

} // namespace

CSingleInstance::~CSingleInstance() {
    if (m_held)
        ReleaseMutex(m_mutex);
    if (m_mutex)
        CloseHandle(m_mutex);
}

bool CSingleInstance::TryTake() {
    if (!m_mutex)
        return false;
    // WAIT_ABANDONED: the holder ended without letting go (it crashed or
    // was killed); the mutex is this thread's all the same.
    const DWORD result = WaitForSingleObject(m_mutex, 0);
    m_held = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    return m_held;
}

bool CSingleInstance::Acquire(const std::string& name, const std::string& title, DWORD waitMs,
                              WPARAM request, LPARAM minutes) {
    // Owned from the start by the copy that creates it; a copy that finds it
    // only gets a handle.
    SetLastError(ERROR_SUCCESS);
    m_mutex = CreateMutexA(nullptr, TRUE, name.c_str());
    DWORD error = GetLastError();
    if (!m_mutex && error == ERROR_ACCESS_DENIED) {
        // Made by a copy running with other rights (an elevated one): still
        // a copy that runs. A handle that can wait on it, where granted,
        // shows when that copy ends.
        m_mutex = OpenMutexA(SYNCHRONIZE, FALSE, name.c_str());
        error = ERROR_ALREADY_EXISTS;
    }
    if (error != ERROR_ALREADY_EXISTS) {
        // The first copy, or no mutex to be had at all (the name taken by
        // another kind of object): the handshake alone decides, so that a
        // running window that answers is still handed over to.
        m_held = m_mutex != nullptr;
        return !ActivateRunningCopy(title, 1000, request, minutes);
    }
    // Another copy holds it: running, or still starting or already saving
    // at exit, when its window does not answer yet or any more.
    const DWORD start = GetTickCount();
    for (;;) {
        if (ActivateRunningCopy(title, 1000, request, minutes))
            return false;
        if (TryTake())
            return true;
        if (GetTickCount() - start >= waitMs)
            return false;
        Sleep(kPollMs);
    }
}

} // namespace rw
