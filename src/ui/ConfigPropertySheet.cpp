#include "ui/ConfigPropertySheet.h"

namespace rw {

CConfigPropertySheet::CConfigPropertySheet(CRingwardenPreferences& preferences,
                                           CPhoneBook& phoneBook, UINT captionId, HWND parent,
                                           UINT firstPage)
    : CCorePropertySheet(captionId, parent, firstPage), m_preferences(preferences),
      m_phoneBook(phoneBook) {
    AddPage(&m_generalPage);
    AddPage(&m_defaultsPage);
    AddPage(&m_phoneBookPage);
    AddPage(&m_nonPhoneBookPage);
    AddPage(&m_securityPage);
    AddPage(&m_messagesPage);
}

} // namespace rw
