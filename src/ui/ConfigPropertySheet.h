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

#include <functional>
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

    // What the defaults as the pages now hold them would have done to
    // earlier calls, as a sentence for the Defaults page; null: none.
    using DefaultsPreview =
        std::function<std::string(const CRingwardenPreferences& candidate, unsigned allDayDays)>;
    void SetDefaultsPreview(DefaultsPreview preview) { m_defaultsPreview = std::move(preview); }
    const DefaultsPreview& GetDefaultsPreview() const { return m_defaultsPreview; }
    // The same for the entry sheets the Phone Book page opens: what
    // `candidate` would have done, `replacedKey` the key of the entry it
    // edits (empty for a new one).
    using EntryPreview = std::function<std::string(const CPhoneBookEntry& candidate,
                                                   const std::string& replacedKey)>;
    void SetEntryPreview(EntryPreview preview) { m_entryPreview = std::move(preview); }
    const EntryPreview& GetEntryPreview() const { return m_entryPreview; }

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
    DefaultsPreview m_defaultsPreview;
    EntryPreview m_entryPreview;
    // In tab order.
    CConfigGeneralPage m_generalPage;
    CConfigDefaultsPage m_defaultsPage;
    CConfigPhoneBookPage m_phoneBookPage;
    CConfigNonPhoneBookPage m_nonPhoneBookPage;
    CConfigSecurityPage m_securityPage;
    CConfigMessagesPage m_messagesPage;
};

} // namespace rw
