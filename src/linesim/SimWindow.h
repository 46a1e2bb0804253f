// The simulator's own window, for people trying Ringwarden without a modem:
// type a caller, ring, key digits as the caller, hang up, and watch what the
// screener did in the log.
#pragma once

#include <windows.h>

#include <string>

namespace rw::linesim {

class CLineSimulator;

class CSimWindow {
public:
    explicit CSimWindow(CLineSimulator& simulator) : m_sim(simulator) {}
    ~CSimWindow();
    CSimWindow(const CSimWindow&) = delete;
    CSimWindow& operator=(const CSimWindow&) = delete;

    bool Create();
    HWND GetSafeHwnd() const { return m_hWnd; }
    void AddLog(const std::string& line);

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    void OnInitDialog();
    void MoveToBottomRight();
    void OnCommand(WORD id);
    void OnRing();
    void OnHangUp();
    void OnKey(char digit);
    std::string ItemText(int id) const;

    CLineSimulator& m_sim;
    HWND m_hWnd = nullptr;
};

} // namespace rw::linesim
