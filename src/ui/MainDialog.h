// The main window: a dialog that runs modally for the program's whole life,
// lists the calls of this run and is the home of the screening engine.
#pragma once

#include "app/ScreeningRules.h"
#include "records/Clock.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "ui/framework/Dialog.h"

namespace rw {

class CMainDialog : public CDialog {
public:
    explicit CMainDialog(const CClock& clock, HWND parent = nullptr);

    CPhoneBook& PhoneBook() { return m_phoneBook; }
    CRingwardenPreferences& Preferences() { return m_preferences; }
    CScreeningRules& Rules() { return m_rules; }

protected:
    BOOL OnInitDialog() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

private:
    void AddAboutToSystemMenu();
    bool OnSysCommand(WPARAM command);

    CPhoneBook m_phoneBook;
    CRingwardenPreferences m_preferences;
    CScreeningRules m_rules;
};

} // namespace rw
