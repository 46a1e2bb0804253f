// The configuration sheet: preferences, defaults, the phone book, the rule
// for callers without an entry, and the security code. Its pages edit the
// preferences and the phone book in place, and only when the user presses
// OK; the owner of the records saves them.
#pragma once

#include "app/MessageSettings.h"
#include "app/Settings.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "res/resource.h"
#include "ui/ConfigDefaultsPage.h"
#include "ui/ConfigGeneralPage.h"
#include "ui/ConfigMessagesPage.h"
#include "ui/ConfigNonPhoneBookPage.h"
#include "ui/ConfigPhoneBookPage.h"
#include "ui/ConfigSecurityPage.h"
#include "ui/framework/PropertySheet.h"

#include <string>

namespace rw {

class CConfigPropertySheet : public CCorePropertySheet {
public:
    CConfigPropertySheet(CRingwardenPreferences& preferences, CPhoneBook& phoneBook,
                         UINT captionId = IDS_CONFIG_SHEET_CAPTION, HWND parent = nullptr,
                         UINT firstPage = 0);

    CRingwardenPreferences& Preferences() { return m_preferences; }
    CPhoneBook& PhoneBook() { return m_phoneBook; }
    // The settings of Ringwarden.ini the pages edit (on OK, like the
    // preferences); a copy of the sheet's own until the owner gives its own.
    CSettings& Settings() { return *m_settings; }
    void SetSettings(CSettings& settings) { m_settings = &settings; }
    // The settings of messages ([Messages]), likewise; and what the
    // Messages page says of where they are kept and whether this modem
    // can record.
    CMessageSettings& MessageSettings() { return *m_messageSettings; }
    void SetMessageSettings(CMessageSettings& settings) { m_messageSettings = &settings; }
    const std::string& MessageStatus() const { return m_messageStatus; }
    void SetMessageStatus(const std::string& status) { m_messageStatus = status; }

    CConfigGeneralPage& GeneralPage() { return m_generalPage; }
    CConfigDefaultsPage& DefaultsPage() { return m_defaultsPage; }
    CConfigPhoneBookPage& PhoneBookPage() { return m_phoneBookPage; }
    CConfigNonPhoneBookPage& NonPhoneBookPage() { return m_nonPhoneBookPage; }
    CConfigSecurityPage& SecurityPage() { return m_securityPage; }
    CConfigMessagesPage& MessagesPage() { return m_messagesPage; }

private:
    CRingwardenPreferences& m_preferences;
    CPhoneBook& m_phoneBook;
    CSettings m_ownSettings;
    CSettings* m_settings = &m_ownSettings;
    CMessageSettings m_ownMessageSettings;
    CMessageSettings* m_messageSettings = &m_ownMessageSettings;
    std::string m_messageStatus;
    // In tab order.
    CConfigGeneralPage m_generalPage;
    CConfigDefaultsPage m_defaultsPage;
    CConfigPhoneBookPage m_phoneBookPage;
    CConfigNonPhoneBookPage m_nonPhoneBookPage;
    CConfigSecurityPage m_securityPage;
    CConfigMessagesPage m_messagesPage;
};

} // namespace rw
