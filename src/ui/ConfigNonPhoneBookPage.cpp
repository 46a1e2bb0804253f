#include "ui/ConfigNonPhoneBookPage.h"

#include "res/resource.h"
#include "ui/ConfigPropertySheet.h"

namespace rw {

CConfigNonPhoneBookPage::CConfigNonPhoneBookPage() : CCorePropertyPage(IDD_CONFIG_NON_PHONE_BOOK) {}

void CConfigNonPhoneBookPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    dx.Radio(IDC_RULE_NEVER, m_rule);
}

BOOL CConfigNonPhoneBookPage::OnInitDialog() {
    CCorePropertyPage::OnInitDialog();
    m_rule = static_cast<CConfigPropertySheet*>(GetSheet())->Preferences().NonPhoneBookRule;
    UpdateData(false);
    return TRUE;
}

bool CConfigNonPhoneBookPage::OnApply() {
    UpdateData(true);
    // A stored rule that none of the buttons stands for (from a foreign
    // file) shows no choice; unless the user makes one, it stays as it was.
    if (m_rule >= 0)
        static_cast<CConfigPropertySheet*>(GetSheet())->Preferences().NonPhoneBookRule = m_rule;
    return CCorePropertyPage::OnApply();
}

} // namespace rw
