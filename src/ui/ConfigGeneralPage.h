// The configuration sheet's Preferences page: start minimised, and whether
// and for how long the incoming call notification shows, and whether calls
// are kept in the call history.
#pragma once

#include "ui/framework/PropertyPage.h"

namespace rw {

class CConfigGeneralPage : public CCorePropertyPage {
public:
    CConfigGeneralPage();

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnApply() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;

private:
    void OnShowNotificationClicked();
    // The seconds controls follow the notification check box.
    void EnableSecondsControls();

    int m_showNotification = 0;
    int m_startMinimised = 0;
    int m_seconds = 0;
    int m_keepHistory = 0;
    int m_trace = 0;
};

} // namespace rw
