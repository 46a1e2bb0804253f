#include "ui/ModemCheckDialog.h"

#include "app/CallScreener.h"
#include "records/Clock.h"

#include <string>

namespace rw {

BOOL CModemCheckDialog::OnInitDialog() {
    SetDlgItemTextA(m_hWnd, IDC_MODEM_REPORT, m_report.c_str());
    // Without the program's own lines there is nothing to ring.
    EnableWindow(GetDlgItem(IDC_MODEM_RING_TEST), m_screener && m_clock);
    m_ringTest.SetOnChange([this] { OnRingTestChanged(); });
    return TRUE;
}

std::string CModemCheckDialog::Text() const {
    const std::string test = m_ringTest.Text();
    return test.empty() ? m_report : m_report + "\r\n\r\n" + test;
}

void CModemCheckDialog::OnRingTest() {
    if (!m_screener || !m_clock)
        return;
    m_ringTest.Start(m_clock->Now());
    m_screener->SetRingTest(&m_ringTest);
}

void CModemCheckDialog::OnRingTestChanged() {
    if (m_screener && !m_ringTest.Listening())
        m_screener->SetRingTest(nullptr);
    if (!m_hWnd)
        return;
    const std::string text = Text();
    HWND report = GetDlgItem(IDC_MODEM_REPORT);
    SetWindowTextA(report, text.c_str());
    // The test's lines are at the end: scrolled into view.
    SendMessageA(report, EM_SETSEL, text.size(), text.size());
    SendMessageA(report, EM_SCROLLCARET, 0, 0);
}

void CModemCheckDialog::OnDestroy() {
    // A test call still ringing is left to ring; nothing more is told here.
    if (m_screener)
        m_screener->SetRingTest(nullptr);
}

bool CModemCheckDialog::OnCommand(WORD id, WORD notifyCode, HWND control) {
    if (id == IDC_MODEM_COPY && notifyCode == BN_CLICKED) {
        CopyText(m_hWnd, Text());
        return true;
    }
    if (id == IDC_MODEM_RING_TEST && notifyCode == BN_CLICKED) {
        OnRingTest();
        return true;
    }
    return CDialog::OnCommand(id, notifyCode, control);
}

bool CModemCheckDialog::CopyText(HWND owner, const std::string& text) {
    // The report is in the system code page; the clipboard takes UTF-16.
    const int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE, (static_cast<size_t>(length) + 1) * sizeof(wchar_t));
    if (!memory)
        return false;
    auto* wide = static_cast<wchar_t*>(GlobalLock(memory));
    if (wide) {
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide, length);
        wide[length] = L'\0';
        GlobalUnlock(memory);
    }
    bool copied = false;
    // The clipboard owns the memory once SetClipboardData takes it.
    if (wide && OpenClipboard(owner)) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, memory)) {
            memory = nullptr;
            copied = true;
        }
        CloseClipboard();
    }
    if (memory)
        GlobalFree(memory);
    return copied;
}

} // namespace rw
