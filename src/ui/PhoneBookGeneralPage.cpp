#include "ui/PhoneBookGeneralPage.h"

#include "records/LookupKey.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/PhoneBookPropertySheet.h"
#include "ui/framework/AppMessageBox.h"

#include <ctime>

namespace rw {

std::string FormatLastCallTime(CDateTime time) {
    CDateTimeParts parts;
    // The C runtime's strftime refuses years it cannot represent.
    if (!time.GetParts(parts) || parts.year < 1900)
        return std::string();
    std::tm tm{};
    tm.tm_year = parts.year - 1900;
    tm.tm_mon = parts.month - 1;
    tm.tm_mday = parts.day;
    tm.tm_hour = parts.hour;
    tm.tm_min = parts.minute;
    tm.tm_sec = parts.second;
    tm.tm_isdst = -1;
    // The long form names the weekday, which the parts do not carry: day 0
    // (30 December 1899) was a Saturday.
    const double midnight =
        CDateTime::FromParts(parts.year, parts.month, parts.day, 0, 0, 0).GetDays();
    tm.tm_wday = static_cast<int>((static_cast<long long>(midnight) + 6) % 7);
    char text[256];
    const size_t length =
        std::strftime(text, sizeof text, LoadResString(IDS_LAST_CALL_FORMAT).c_str(), &tm);
    return std::string(text, length);
}

CPhoneBookGeneralPage::CPhoneBookGeneralPage() : CCorePropertyPage(IDD_ENTRY_GENERAL) {}

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
