// The configuration sheet's Preferences page: start minimised, and whether
// and for how long the incoming call notification shows, and whether calls
// are kept in the call history, and the program run for each call.
#pragma once

#include "ui/framework/PropertyPage.h"

#include <string>

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
    // The command line's edit <-> m_hookCommand, refusing what
    // Ringwarden.ini (a file in the system code page) cannot hold.
    void ExchangeHookCommand(CDataExchange& dx);

    int m_showNotification = 0;
    int m_startMinimised = 0;
    int m_seconds = 0;
    int m_keepHistory = 0;
    int m_trace = 0;
    int m_hookEvents = 0;
    std::string m_hookCommand; // UTF-8
};

} // namespace rw
