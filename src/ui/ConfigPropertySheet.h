// The configuration sheet: preferences, defaults, the phone book, the rule
// for callers without an entry, and the security code. Its pages edit the
// preferences and the phone book in place, and only when the user presses
// OK; the owner of the records saves them.
#pragma once

#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "res/resource.h"
#include "ui/ConfigDefaultsPage.h"
#include "ui/ConfigGeneralPage.h"
#include "ui/ConfigNonPhoneBookPage.h"
#include "ui/ConfigPhoneBookPage.h"
#include "ui/ConfigSecurityPage.h"
#include "ui/framework/PropertySheet.h"

namespace rw {

class CConfigPropertySheet : public CCorePropertySheet {
public:
    CConfigPropertySheet(CRingwardenPreferences& preferences, CPhoneBook& phoneBook,
                         UINT captionId = IDS_CONFIG_SHEET_CAPTION, HWND parent = nullptr,
                         UINT firstPage = 0);

    CRingwardenPreferences& Preferences() { return m_preferences; }
    CPhoneBook& PhoneBook() { return m_phoneBook; }

    // Whether calls are kept in the call history: a setting of the program's
    // own (Ringwarden.ini), not of the configuration file. The owner sets it
    // before the sheet runs and reads it after OK.
    bool KeepHistory() const { return m_keepHistory; }
    void SetKeepHistory(bool keep) { m_keepHistory = keep; }

    CConfigGeneralPage& GeneralPage() { return m_generalPage; }
    CConfigDefaultsPage& DefaultsPage() { return m_defaultsPage; }
    CConfigPhoneBookPage& PhoneBookPage() { return m_phoneBookPage; }
    CConfigNonPhoneBookPage& NonPhoneBookPage() { return m_nonPhoneBookPage; }
    CConfigSecurityPage& SecurityPage() { return m_securityPage; }

private:
    CRingwardenPreferences& m_preferences;
    CPhoneBook& m_phoneBook;
    bool m_keepHistory = true;
    // In tab order.
    CConfigGeneralPage m_generalPage;
    CConfigDefaultsPage m_defaultsPage;
    CConfigPhoneBookPage m_phoneBookPage;
    CConfigNonPhoneBookPage m_nonPhoneBookPage;
    CConfigSecurityPage m_securityPage;
};

} // namespace rw
