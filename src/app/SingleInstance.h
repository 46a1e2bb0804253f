// One copy of the program per user session. Every copy creates the same
// named mutex as it starts, and the copy that runs holds it for its whole
// life, the save at exit included. A copy that finds it held waits for the
// holder's window to answer the running-copy handshake and hands over to
// it, so that a first copy busy loading or saving its phone book is never
// joined by a second one answering the same calls.
#pragma once

#include <windows.h>

#include <string>

namespace rw {

// The mutex every copy of the program names: `Local\` keeps it to this
// user's session, where the handshake's windows are.
inline constexpr char kSingleInstanceName[] = "Local\\Ringwarden.SingleInstance";
// How long a copy that finds the mutex held waits for the holder's window.
inline constexpr DWORD kSingleInstanceWaitMs = 10000;

class CSingleInstance {
public:
    CSingleInstance() = default;
    // Lets the mutex go if this copy holds it. On the thread that called
    // Acquire: a mutex belongs to the thread that took it.
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // True when this process is the copy to run, and then holds mutex
    // `name`. False when it handed over to a running copy (whose window,
    // titled `title`, it made the foreground window) or when another copy
    // holds the mutex and its window did not answer within `waitMs`. A
    // holder that ends within the wait leaves this copy to run. The first
    // copy still hands over to a window that answers, as copies did before
    // the mutex. Once per object.
    // `request` and `minutes` go to the running copy with the handshake.
    bool Acquire(const std::string& name, const std::string& title,
                 DWORD waitMs = kSingleInstanceWaitMs, WPARAM request = 0, LPARAM minutes = 0);
    bool Holds() const { return m_held; }

private:
    // Takes the mutex if no other copy holds it (or one ended holding it).
    bool TryTake();

    HANDLE m_mutex = nullptr;
    bool m_held = false;
};

} // namespace rw
