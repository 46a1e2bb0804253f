// BeginPaint and EndPaint as one scope.
#pragma once

#include <windows.h>

namespace rw {

class CPaintDC {
public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd) { m_dc = BeginPaint(hWnd, &m_paint); }
    ~CPaintDC() { EndPaint(m_hWnd, &m_paint); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC Get() const { return m_dc; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_paint{};
    HDC m_dc;
};

} // namespace rw
