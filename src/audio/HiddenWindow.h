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
