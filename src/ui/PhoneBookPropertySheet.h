// The phone book entry sheet: edits one entry in place on OK.
#pragma once

#include "records/PhoneBook.h"
#include "records/PhoneBookEntry.h"
#include "records/RingwardenPreferences.h"
#include "res/resource.h"
#include "ui/PhoneBookFilterPage.h"
#include "ui/PhoneBookGeneralPage.h"
#include "ui/framework/PropertySheet.h"

#include <functional>
#include <string>

namespace rw {

class CPhoneBookPropertySheet : public CCorePropertySheet {
public:
    CPhoneBookPropertySheet(CPhoneBookEntry& entry, CPhoneBook& phoneBook,
                            CRingwardenPreferences& preferences,
                            UINT captionId = IDS_ENTRY_SHEET_CAPTION, HWND parent = nullptr,
                            UINT firstPage = 0);

    CPhoneBookEntry& Entry() { return m_entry; }
    CPhoneBook& PhoneBook() { return m_phoneBook; }
    CRingwardenPreferences& Preferences() { return m_preferences; }

    // What the entry as the pages now hold it would have done to earlier
    // calls, as a sentence for the Filter Details page; null: no preview.
    using Preview = std::function<std::string(const CPhoneBookEntry& candidate)>;
    void SetPreview(Preview preview) { m_preview = std::move(preview); }
    const Preview& GetPreview() const { return m_preview; }

    CPhoneBookGeneralPage& GeneralPage() { return m_generalPage; }
    CPhoneBookFilterPage& FilterPage() { return m_filterPage; }

private:
    CPhoneBookEntry& m_entry;
    CPhoneBook& m_phoneBook;
    CRingwardenPreferences& m_preferences;
    Preview m_preview;
    // Members, so they live and die with the sheet; added in tab order.
    CPhoneBookGeneralPage m_generalPage;
    CPhoneBookFilterPage m_filterPage;
};

} // namespace rw
