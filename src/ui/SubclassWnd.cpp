#include "ui/SubclassWnd.h"

#include <new>
#include <unordered_map>

namespace rw {
namespace {

// Each hooked window and the newest hook on it. Process state, made on first
// use; hooks are only touched on the thread that owns their windows.
std::unordered_map<HWND, CSubclassWnd*>& HookMap() {
    static std::unordered_map<HWND, CSubclassWnd*> map;
    return map;
}

LONG_PTR SetWindowProc(HWND hWnd, bool unicode, WNDPROC proc) {
    const auto value = reinterpret_cast<LONG_PTR>(proc);
    return unicode ? SetWindowLongPtrW(hWnd, GWLP_WNDPROC, value)
                   : SetWindowLongPtrA(hWnd, GWLP_WNDPROC, value);
}

} // namespace

CSubclassWnd::~CSubclassWnd() {
    Detach();
}

bool CSubclassWnd::SetHookWindow(HWND hWnd) {
    if (hWnd == m_hWnd)
        return true;
    Detach();
    return hWnd ? Attach(hWnd) : true;
}

CSubclassWnd* CSubclassWnd::NewestHook(HWND hWnd) {
    const auto& map = HookMap();
    const auto found = map.find(hWnd);
    return found == map.end() ? nullptr : found->second;
}

std::size_t CSubclassWnd::HookedWindowCount() {
    return HookMap().size();
}

bool CSubclassWnd::Attach(HWND hWnd) {
    auto& map = HookMap();
    std::unordered_map<HWND, CSubclassWnd*>::iterator slot;
    try {
        slot = map.try_emplace(hWnd, nullptr).first;
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_next = slot->second;
    if (m_next) {
        // The window already runs SubclassHookProc.
        m_priorProc = m_next->m_priorProc;
        m_unicode = m_next->m_unicode;
    } else {
        m_unicode = IsWindowUnicode(hWnd) != FALSE;
        SetLastError(0);
        const LONG_PTR prior = SetWindowProc(hWnd, m_unicode, &SubclassHookProc);
        if (!prior && GetLastError() != 0) {
            // Not a window of this process (or none at all): nothing to hook.
            map.erase(slot);
            return false;
        }
        m_priorProc = reinterpret_cast<WNDPROC>(prior);
    }
    slot->second = this;
    m_hWnd = hWnd;
    return true;
}

void CSubclassWnd::Detach() {
    if (!m_hWnd)
        return;
    auto& map = HookMap();
    const auto found = map.find(m_hWnd);
    if (found != map.end()) {
        if (found->second == this) {
            if (m_next) {
                found->second = m_next;
            } else {
                map.erase(found);
                SetWindowProc(m_hWnd, m_unicode, m_priorProc);
            }
        } else {
            for (CSubclassWnd* hook = found->second; hook; hook = hook->m_next) {
                if (hook->m_next == this) {
                    hook->m_next = m_next;
                    break;
                }
            }
        }
    }
    m_hWnd = nullptr;
    m_priorProc = nullptr;
    m_next = nullptr;
}

LRESULT CSubclassWnd::CallPrior(UINT message, WPARAM wParam, LPARAM lParam) const {
    return m_unicode ? CallWindowProcW(m_priorProc, m_hWnd, message, wParam, lParam)
                     : CallWindowProcA(m_priorProc, m_hWnd, message, wParam, lParam);
}

LRESULT CSubclassWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_next)
        return m_next->HandleMessage(message, wParam, lParam);
    // A hook that came off its window while handling this message no longer
    // knows where to pass it.
    if (!m_hWnd)
        return 0;
    return CallPrior(message, wParam, lParam);
}

LRESULT CALLBACK CSubclassWnd::SubclassHookProc(HWND hWnd, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    CSubclassWnd* head = NewestHook(hWnd);
    if (!head) {
        return IsWindowUnicode(hWnd) ? DefWindowProcW(hWnd, message, wParam, lParam)
                                     : DefWindowProcA(hWnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        // The window's last message: every hook comes off (the last one puts
        // the prior procedure back), then that procedure sees the message.
        const WNDPROC prior = head->m_priorProc;
        const bool unicode = head->m_unicode;
        while (CSubclassWnd* hook = NewestHook(hWnd))
            hook->Detach();
        return unicode ? CallWindowProcW(prior, hWnd, message, wParam, lParam)
                       : CallWindowProcA(prior, hWnd, message, wParam, lParam);
    }
    // Nothing may unwind through the window manager.
    try {
        return head->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

} // namespace rw
