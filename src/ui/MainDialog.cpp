#include "ui/MainDialog.h"

#include "app/ProgramDirectory.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "telephony/TapiRegistration.h"
#include "ui/AboutDialog.h"

namespace rw {

CMainDialog::CMainDialog(const CClock& clock, HWND parent)
    : CDialog(IDD_RINGWARDEN_DIALOG, parent), m_rules(m_phoneBook, m_preferences, clock),
      m_fileSystem(CreateSystemFileSystem()), m_configFile(*m_fileSystem) {}

BOOL CMainDialog::OnInitDialog() {
    AddAboutToSystemMenu();
    SetWindowTextA(m_hWnd, LoadResString(IDS_APP_TITLE).c_str());
    OpenLines();
    LoadConfiguration();
    return TRUE;
}

void CMainDialog::OnDestroy() {
    SaveConfiguration();
    CloseLines();
}

void CMainDialog::OpenLines() {
    const DWORD count = LineDeviceCount();
    m_lines.clear();
    m_lines.reserve(count);
    for (DWORD device = 0; device < count; ++device) {
        auto line = std::make_unique<CTapiLine>();
        // A device that refuses both ways stays closed.
        line->OpenWithFallback(device, this);
        m_lines.push_back(std::move(line));
    }
}

void CMainDialog::CloseLines() {
    // Each line closes itself as it is destroyed.
    m_lines.clear();
}

std::string CMainDialog::ConfigPath() const {
    // Built afresh each time: the program directory and string 200.
    return m_configPath.empty() ? ConfigFilePath(ProgramDirectory()) : m_configPath;
}

void CMainDialog::LoadConfiguration() {
    // A damaged file keeps what was read before the fault; the next save
    // keeps the damaged original beside the new file.
    m_configFile.Load(ConfigPath(), m_preferences, m_phoneBook);
}

void CMainDialog::SaveConfiguration() {
    m_configFile.Save(ConfigPath(), m_preferences, m_phoneBook);
}

bool CMainDialog::OnQueryEndSession(INT_PTR& result) {
    // Log-off or shut-down: save now, then agree to end.
    SaveConfiguration();
    SetDialogResult(TRUE);
    result = TRUE;
    return true;
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
    if (message == WM_QUERYENDSESSION)
        return OnQueryEndSession(result);
    return false;
}

} // namespace rw
