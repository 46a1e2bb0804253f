// The configuration sheet's Non Phone Book Calls page: the rule for callers
// without a phone book entry.
#pragma once

#include "ui/framework/PropertyPage.h"

namespace rw {

class CConfigNonPhoneBookPage : public CCorePropertyPage {
public:
    CConfigNonPhoneBookPage();
    // The rule chosen when the user last left the page; -1 before it has
    // been shown (or for a stored rule no button stands for).
    int ChosenRule() const { return m_rule; }

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
