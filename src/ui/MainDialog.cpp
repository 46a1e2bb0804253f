#include "ui/MainDialog.h"

#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/AboutDialog.h"

namespace rw {

CMainDialog::CMainDialog(const CClock& clock, HWND parent)
    : CDialog(IDD_RINGWARDEN_DIALOG, parent), m_rules(m_phoneBook, m_preferences, clock) {}

BOOL CMainDialog::OnInitDialog() {
    AddAboutToSystemMenu();
    SetWindowTextA(m_hWnd, LoadResString(IDS_APP_TITLE).c_str());
    return TRUE;
}

void CMainDialog::AddAboutToSystemMenu() {
    const std::string about = LoadResString(IDS_ABOUTBOX);
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (about.empty() || !menu)
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

bool CMainDialog::OnSysCommand(WPARAM command) {
    // The low four bits of a system command are the system's own.
    if ((command & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    CAboutDialog about(m_hWnd);
    about.DoModal();
    return true;
}

bool CMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM, INT_PTR& result) {
    if (message == WM_SYSCOMMAND && OnSysCommand(wParam)) {
        result = TRUE;
        return true;
    }
    return false;
}

} // namespace rw
