#include "ui/ConfigGeneralPage.h"

#include "res/resource.h"
#include "records/StringTable.h"
#include "records/WidePath.h"
#include "ui/ConfigPropertySheet.h"

namespace rw {
namespace {

constexpr int kMinSeconds = 2;
constexpr int kMaxSeconds = 10;

} // namespace

CConfigGeneralPage::CConfigGeneralPage() : CCorePropertyPage(IDD_CONFIG_GENERAL) {}

void CConfigGeneralPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    dx.Check(IDC_SHOW_NOTIFICATION, m_showNotification);
    dx.Check(IDC_START_MINIMISED, m_startMinimised);
    dx.Check(IDC_KEEP_HISTORY, m_keepHistory);
    dx.Check(IDC_TRACE, m_trace);
    dx.Int(IDC_SECONDS, m_seconds);
    dx.MinMaxInt(IDC_SECONDS, m_seconds, kMinSeconds, kMaxSeconds);
    dx.ComboIndex(IDC_HOOK_EVENTS, m_hookEvents);
    ExchangeHookCommand(dx);
}

void CConfigGeneralPage::ExchangeHookCommand(CDataExchange& dx) {
    HWND edit = GetDlgItem(IDC_HOOK_COMMAND);
    if (!dx.SaveAndValidate()) {
        // A command line in any script: the edit is given and read as UTF-16.
        SetWindowTextW(edit, WidePath(m_hookCommand).c_str());
        return;
    }
    if (dx.Failed())
        return;
    std::wstring command(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    command.resize(static_cast<size_t>(
        GetWindowTextW(edit, command.data(), static_cast<int>(command.size()))));
    // Spaces around it are no part of any command.
    while (!command.empty() && command.back() == L' ')
        command.pop_back();
    while (!command.empty() && command.front() == L' ')
        command.erase(command.begin());
    BOOL lost = FALSE;
    if (!command.empty())
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, command.data(),
                            static_cast<int>(command.size()), nullptr, 0, nullptr, &lost);
    if (lost) {
        dx.Fail(IDC_HOOK_COMMAND, IDS_HOOK_NOT_IN_CODE_PAGE);
        return;
    }
    m_hookCommand = Utf8Path(command);
}

BOOL CConfigGeneralPage::OnInitDialog() {
    CCorePropertyPage::OnInitDialog();
    const CRingwardenPreferences& preferences =
        static_cast<CConfigPropertySheet*>(GetSheet())->Preferences();
    m_showNotification = preferences.ShowNotification ? 1 : 0;
    m_startMinimised = preferences.StartMinimised ? 1 : 0;
    SendDlgItemMessageA(m_hWnd, IDC_SECONDS_SPIN, UDM_SETRANGE32, kMinSeconds, kMaxSeconds);
    m_seconds = preferences.NotificationSeconds;
    m_keepHistory =
        static_cast<CConfigPropertySheet*>(GetSheet())->Settings().KeepHistory() ? 1 : 0;
    const CSettings& settings = static_cast<CConfigPropertySheet*>(GetSheet())->Settings();
    m_trace = settings.Trace() ? 1 : 0;
    for (UINT id : {IDS_HOOK_EVENT_ALL, IDS_HOOK_EVENT_BLOCKED, IDS_HOOK_EVENT_MESSAGES})
        SendDlgItemMessageA(m_hWnd, IDC_HOOK_EVENTS, CB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(LoadResString(id).c_str()));
    m_hookEvents = static_cast<int>(settings.HookEventsChosen());
    m_hookCommand = settings.HookCommand();
    SendDlgItemMessageW(m_hWnd, IDC_HOOK_COMMAND, EM_LIMITTEXT, CSettings::kMaxHookCommand, 0);
    UpdateData(false);
    // The controls hold the fields just written, so the enabling follows the
    // field; a stored value out of range is reported when the user leaves
    // the page, not while it opens.
    EnableSecondsControls();
    return TRUE;
}

bool CConfigGeneralPage::OnCommand(WORD id, WORD notifyCode, HWND /*control*/) {
    if (id == IDC_SHOW_NOTIFICATION && notifyCode == BN_CLICKED) {
        OnShowNotificationClicked();
        return true;
    }
    return false;
}

void CConfigGeneralPage::OnShowNotificationClicked() {
    // Reports a bad seconds value now; the check box is read before it, so
    // the enabling follows the box either way.
    UpdateData(true);
    EnableSecondsControls();
}

void CConfigGeneralPage::EnableSecondsControls() {
    for (int id : {IDC_SECONDS_LABEL, IDC_SECONDS, IDC_SECONDS_SPIN, IDC_SECONDS_UNIT})
        EnableWindow(GetDlgItem(id), m_showNotification != 0);
}

bool CConfigGeneralPage::OnApply() {
    if (!UpdateData(true)) {
        BringToFront();
        return false;
    }
    CRingwardenPreferences& preferences =
        static_cast<CConfigPropertySheet*>(GetSheet())->Preferences();
    preferences.ShowNotification = m_showNotification;
    preferences.StartMinimised = m_startMinimised;
    preferences.NotificationSeconds = m_seconds;
    static_cast<CConfigPropertySheet*>(GetSheet())->Settings().SetKeepHistory(m_keepHistory != 0);
    CSettings& settings = static_cast<CConfigPropertySheet*>(GetSheet())->Settings();
    settings.SetTrace(m_trace != 0);
    settings.SetHookEvents(m_hookEvents == 1   ? HookEvents::Blocked
                           : m_hookEvents == 2 ? HookEvents::Messages
                                               : HookEvents::All);
    settings.SetHookCommand(m_hookCommand);
    return CCorePropertyPage::OnApply();
}

} // namespace rw
