// The configuration sheet's Non Phone Book Calls page: the rule for callers
// without a phone book entry.
#pragma once

#include "ui/framework/PropertyPage.h"

namespace rw {

class CConfigNonPhoneBookPage : public CCorePropertyPage {
public:
    CConfigNonPhoneBookPage();

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnApply() override;

private:
    // Position of the chosen button in the group (a filter type), -1 for
    // none.
    int m_rule = -1;
    int m_keyCheck = 0;
};

} // namespace rw
