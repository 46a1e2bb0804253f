#include "ui/PhoneBookPropertySheet.h"

namespace rw {

CPhoneBookPropertySheet::CPhoneBookPropertySheet(CPhoneBookEntry& entry, CPhoneBook& phoneBook,
                                                 CRingwardenPreferences& preferences,
                                                 UINT captionId, HWND parent, UINT firstPage)
    : CCorePropertySheet(captionId, parent, firstPage), m_entry(entry), m_phoneBook(phoneBook),
      m_preferences(preferences) {
    AddPage(&m_generalPage);
    AddPage(&m_filterPage);
}

} // namespace rw
