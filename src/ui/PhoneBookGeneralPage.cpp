#include "ui/PhoneBookGeneralPage.h"

#include "records/EntryLimits.h"
#include "records/LookupKey.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/PhoneBookPropertySheet.h"
#include "ui/framework/AppMessageBox.h"

#include <utility>

namespace rw {

std::string FormatLastCallTime(CDateTime time) {
    return FormatDateTime(time, LoadResString(IDS_LAST_CALL_FORMAT));
}

CPhoneBookGeneralPage::CPhoneBookGeneralPage() : CCorePropertyPage(IDD_ENTRY_GENERAL) {}

std::string CPhoneBookGeneralPage::CurrentNumber() const {
    if (!m_numberEdit)
        return Sheet().Entry().Number;
    std::string text(static_cast<size_t>(GetWindowTextLengthA(m_numberEdit)) + 1, '\0');
    text.resize(static_cast<size_t>(
        GetWindowTextA(m_numberEdit, text.data(), static_cast<int>(text.size()))));
    return text;
}

CPhoneBookPropertySheet& CPhoneBookGeneralPage::Sheet() const {
    return *static_cast<CPhoneBookPropertySheet*>(GetSheet());
}

void CPhoneBookGeneralPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    dx.Text(IDC_ENTRY_NUMBER, m_number);
    dx.Text(IDC_ENTRY_NAME, m_name);
    dx.Text(IDC_ENTRY_NOTES, m_notes);
    dx.Text(IDC_ENTRY_LAST_CALL, m_lastCall);
}

BOOL CPhoneBookGeneralPage::OnInitDialog() {
    CCorePropertyPage::OnInitDialog();
    const CPhoneBookEntry& entry = Sheet().Entry();
    m_number = entry.Number;
    m_name = entry.Name;
    m_notes = entry.Notes;
    m_lastCall = FormatLastCallTime(entry.LastCallTime);
    m_numberEdit = GetDlgItem(IDC_ENTRY_NUMBER);
    // The lengths rwcfg also holds imports to.
    const std::pair<int, size_t> limits[] = {{IDC_ENTRY_NUMBER, kMaxEntryNumberLength},
                                             {IDC_ENTRY_NAME, kMaxEntryNameLength},
                                             {IDC_ENTRY_NOTES, kMaxEntryNotesLength}};
    for (const auto& [id, length] : limits)
        SendMessageA(GetDlgItem(id), EM_SETLIMITTEXT, length, 0);
    // A stored entry's number is its key in the phone book: it never
    // changes.
    if (entry.InPhoneBook)
        EnableWindow(m_numberEdit, FALSE);
    UpdateData(false);
    return TRUE;
}

bool CPhoneBookGeneralPage::RefuseAt(UINT messageId, int focusId) {
    BringToFront();
    AppMessageBox(m_hWnd, messageId, MB_OK | MB_ICONEXCLAMATION);
    SetFocus(GetDlgItem(focusId));
    return false;
}

bool CPhoneBookGeneralPage::OnApply() {
    if (!UpdateData(true))
        return false;
    if (m_number.empty())
        return RefuseAt(IDS_NUMBER_MISSING, IDC_ENTRY_NUMBER);
    if (m_name.empty())
        return RefuseAt(IDS_NAME_MISSING, IDC_ENTRY_NAME);

    CPhoneBookEntry& entry = Sheet().Entry();
    if (!entry.InPhoneBook) {
        if (!IsStarPlacedRight(m_number))
            return RefuseAt(IDS_NUMBER_BAD_PREFIX, IDC_ENTRY_NUMBER);
        // A prefix's key ends in '*', so "0900*" and "0900" never clash.
        if (const CPhoneBookEntry* found =
                Sheet().PhoneBook().Lookup(MakeLookupKeyFrom(m_number))) {
            AppMessageBox(m_hWnd, FormatResString(IDS_NUMBER_CLASH, found->Name), MB_OK);
            return false;
        }
    }
    entry.Number = m_number;
    entry.Name = m_name;
    entry.Notes = m_notes;
    entry.MakeLookupKey();
    return true;
}

} // namespace rw
