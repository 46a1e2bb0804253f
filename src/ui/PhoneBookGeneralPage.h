// The entry sheet's "General Information" page: number, name, notes and
// the time of the last logged call. On OK it refuses an entry without a
// number or name, and a new entry whose number would take the key of one
// already in the phone book.
#pragma once

#include "records/DateTime.h"
#include "ui/framework/PropertyPage.h"

#include <string>

namespace rw {

class CPhoneBookPropertySheet;

class CPhoneBookGeneralPage : public CCorePropertyPage {
public:
    CPhoneBookGeneralPage();
    // The number as it stands in the page now (the entry's before the page
    // has opened).
    std::string CurrentNumber() const;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnApply() override;

private:
    CPhoneBookPropertySheet& Sheet() const;
    // Brings the page to the front, warns with string `messageId`, puts
    // the focus on control `focusId`; always false (the OK is refused).
    bool RefuseAt(UINT messageId, int focusId);

    std::string m_number;
    std::string m_name;
    std::string m_notes;
    std::string m_lastCall;
    HWND m_numberEdit = nullptr;
};

// A last-call time in the long date and time form of string 1002 ("%#c");
// empty for a time that is not valid.
std::string FormatLastCallTime(CDateTime time);

} // namespace rw
