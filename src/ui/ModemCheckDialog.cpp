#include "ui/ModemCheckDialog.h"

#include <string>

namespace rw {

BOOL CModemCheckDialog::OnInitDialog() {
    SetDlgItemTextA(m_hWnd, IDC_MODEM_REPORT, m_report.c_str());
    return TRUE;
}

bool CModemCheckDialog::OnCommand(WORD id, WORD notifyCode, HWND control) {
    if (id == IDC_MODEM_COPY && notifyCode == BN_CLICKED) {
        CopyText(m_hWnd, m_report);
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
