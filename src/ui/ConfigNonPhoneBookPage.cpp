#include "ui/ConfigNonPhoneBookPage.h"

#include "app/Settings.h"
#include "res/resource.h"
#include "ui/ConfigPropertySheet.h"

namespace rw {

CConfigNonPhoneBookPage::CConfigNonPhoneBookPage() : CCorePropertyPage(IDD_CONFIG_NON_PHONE_BOOK) {}

void CConfigNonPhoneBookPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    dx.Radio(IDC_RULE_NEVER, m_rule);
    dx.Check(IDC_KEY_CHECK, m_keyCheck);
}

BOOL CConfigNonPhoneBookPage::OnInitDialog() {
    CCorePropertyPage::OnInitDialog();
    m_rule = static_cast<CConfigPropertySheet*>(GetSheet())->Preferences().NonPhoneBookRule;
    m_keyCheck = static_cast<CConfigPropertySheet*>(GetSheet())->Settings().KeyCheck() ? 1 : 0;
    UpdateData(false);
    return TRUE;
}

bool CConfigNonPhoneBookPage::OnApply() {
    UpdateData(true);
    // A stored rule that none of the buttons stands for (from a foreign
    // file) shows no choice; unless the user makes one, it stays as it was.
    if (m_rule >= 0)
        static_cast<CConfigPropertySheet*>(GetSheet())->Preferences().NonPhoneBookRule = m_rule;
    static_cast<CConfigPropertySheet*>(GetSheet())->Settings().SetKeyCheck(m_keyCheck != 0);
    return CCorePropertyPage::OnApply();
}

} // namespace rw
