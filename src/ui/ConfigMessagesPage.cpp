#include "ui/ConfigMessagesPage.h"

#include "res/resource.h"
#include "ui/ConfigPropertySheet.h"

namespace rw {

CConfigMessagesPage::CConfigMessagesPage() : CCorePropertyPage(IDD_CONFIG_MESSAGES) {}

void CConfigMessagesPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    dx.Check(IDC_MESSAGES_TIME_BLOCKED, m_fromTimeBlocked);
    dx.Check(IDC_MESSAGES_UNKNOWN, m_fromUnknownCallers);
    dx.Check(IDC_MESSAGES_BALLOON, m_balloon);
    dx.Int(IDC_MESSAGES_SECONDS, m_maxSeconds);
    dx.MinMaxInt(IDC_MESSAGES_SECONDS, m_maxSeconds, CMessageSettings::kMinMaxSeconds,
                 CMessageSettings::kMaxMaxSeconds);
}

BOOL CConfigMessagesPage::OnInitDialog() {
    CCorePropertyPage::OnInitDialog();
    auto* sheet = static_cast<CConfigPropertySheet*>(GetSheet());
    const CMessageSettings& settings = sheet->MessageSettings();
    m_fromTimeBlocked = settings.Rules().fromTimeBlocked ? 1 : 0;
    m_fromUnknownCallers = settings.Rules().fromUnknownCallers ? 1 : 0;
    m_maxSeconds = settings.MaxSeconds();
    m_balloon = settings.Balloon() ? 1 : 0;
    SendDlgItemMessageA(m_hWnd, IDC_MESSAGES_SECONDS_SPIN, UDM_SETRANGE32,
                        CMessageSettings::kMinMaxSeconds, CMessageSettings::kMaxMaxSeconds);
    SetDlgItemTextA(m_hWnd, IDC_MESSAGES_STATUS, sheet->MessageStatus().c_str());
    UpdateData(false);
    return TRUE;
}

bool CConfigMessagesPage::OnApply() {
    if (!UpdateData(true)) {
        BringToFront();
        return false;
    }
    CMessageSettings& settings = static_cast<CConfigPropertySheet*>(GetSheet())->MessageSettings();
    settings.SetRules(MessageRules{m_fromTimeBlocked != 0, m_fromUnknownCallers != 0});
    settings.SetMaxSeconds(m_maxSeconds);
    settings.SetBalloon(m_balloon != 0);
    return CCorePropertyPage::OnApply();
}

} // namespace rw
