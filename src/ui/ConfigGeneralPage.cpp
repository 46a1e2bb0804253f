#include "ui/ConfigGeneralPage.h"

#include "res/resource.h"
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
    m_trace = static_cast<CConfigPropertySheet*>(GetSheet())->Settings().Trace() ? 1 : 0;
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
    static_cast<CConfigPropertySheet*>(GetSheet())->Settings().SetTrace(m_trace != 0);
    return CCorePropertyPage::OnApply();
}

} // namespace rw
