// A hook on some other code's window: it sees each of the window's messages
// before the window's own procedure and decides whether to pass it on.
// Several hooks, from unrelated owners, may sit on one window; they form a
// chain, newest first, that ends in the procedure the window had before the
// first hook came. The window keeps its character set: a Unicode window is
// hooked and called through the W functions, so its texts are not converted.
#pragma once

#include <windows.h>

#include <cstddef>

namespace rw {

class CSubclassWnd {
public:
    CSubclassWnd() = default;
    // Detaches, if attached.
    virtual ~CSubclassWnd();
    // A copy would sit in no chain while claiming a window.
    CSubclassWnd(const CSubclassWnd&) = delete;
    CSubclassWnd& operator=(const CSubclassWnd&) = delete;

    // With a window, attaches this hook to it as the newest of its chain
    // (leaving any window it was on first); with null, detaches it. False
    // only when memory for the chain ran out, leaving the hook detached.
    bool SetHookWindow(HWND hWnd);
    HWND GetHookWindow() const { return m_hWnd; }

    // The message handler. This one passes the message on, to the next older
    // hook or else to the window's prior procedure. A derived hook does its
    // own work and calls it, or returns without calling it to swallow the
    // message.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    // The newest hook on `hWnd`, or null; and how many windows carry hooks.
    static CSubclassWnd* NewestHook(HWND hWnd);
    static std::size_t HookedWindowCount();

private:
    static LRESULT CALLBACK SubclassHookProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool Attach(HWND hWnd);
    void Detach();
    LRESULT CallPrior(UINT message, WPARAM wParam, LPARAM lParam) const;

    HWND m_hWnd = nullptr;
    // The window's procedure before the first hook of its chain; every hook
    // of the chain holds the same one.
    WNDPROC m_priorProc = nullptr;
    // Whether the chain was installed through the W functions.
    bool m_unicode = false;
    // The hook attached to the same window just before this one.
    CSubclassWnd* m_next = nullptr;
};

} // namespace rw
