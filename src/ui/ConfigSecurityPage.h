// The configuration sheet's Block Suspend page: whether a caller blocked
// for the time of the call may key a two-key code to suspend such blocks,
// the code, and for how many minutes; and whether such a caller who calls
// again within a few minutes rings through (kept in Ringwarden.ini).
#pragma once

#include "ui/framework/PropertyPage.h"

#include <string>

namespace rw {

class CConfigSecurityPage : public CCorePropertyPage {
public:
    CConfigSecurityPage();

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnApply() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;

private:
    void OnAllowClicked();
    // The code and minutes controls follow the allow check box.
    void EnableCodeControls();
    void OnRepeatClicked();

    int m_allow = 0;
    std::string m_key1;
    std::string m_key2;
    int m_minutes = 0;
    int m_repeat = 0;
    int m_repeatMinutes = 0;
    int m_repeatWithoutEntry = 0;
};

} // namespace rw
