// Owns a window handle and destroys the window when dropped.
#pragma once

#include <windows.h>

namespace rw {

class CHiddenWindow {
public:
    CHiddenWindow() = default;
    ~CHiddenWindow() { Destroy(); }
    CHiddenWindow(const CHiddenWindow&) = delete;
    CHiddenWindow& operator=(const CHiddenWindow&) = delete;

    void Attach(HWND hWnd) {
        Destroy();
        m_hWnd = hWnd;
    }
    // Creates a window of the registered class `className` (null: the
    // registration failed) with `owner` in its user data, where the class's
    // procedure finds it. False when no window could be made.
    bool Create(const char* className, DWORD style, HWND parent, void* owner) {
        if (!className)
            return false;
        HWND hWnd = CreateWindowExA(0, className, "", style, 0, 0, 0, 0, parent, nullptr,
                                    GetModuleHandleA(nullptr), nullptr);
        if (!hWnd)
            return false;
        SetWindowLongPtrA(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(owner));
        Attach(hWnd);
        return true;
    }
    // The owner that Create stored in `hWnd`, or null.
    template <class T> static T* Owner(HWND hWnd) {
        return reinterpret_cast<T*>(GetWindowLongPtrA(hWnd, GWLP_USERDATA));
    }
    void Destroy() {
        if (m_hWnd)
            DestroyWindow(m_hWnd);
        m_hWnd = nullptr;
    }
    HWND Get() const { return m_hWnd; }

private:
    HWND m_hWnd = nullptr;
};

} // namespace rw
