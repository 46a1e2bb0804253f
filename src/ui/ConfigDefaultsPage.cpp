#include "ui/ConfigDefaultsPage.h"

#include "records/StringTable.h"
#include "app/Settings.h"
#include "res/resource.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/MessageFileButtons.h"

#include <commctrl.h>

namespace rw {
namespace {

void SetPickerTime(HWND picker, const CDateTime& value) {
    CDateTimeParts parts;
    if (!value.GetParts(parts))
        return;
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(parts.year);
    time.wMonth = static_cast<WORD>(parts.month);
    time.wDay = static_cast<WORD>(parts.day);
    time.wHour = static_cast<WORD>(parts.hour);
    time.wMinute = static_cast<WORD>(parts.minute);
    time.wSecond = static_cast<WORD>(parts.second);
    SendMessageA(picker, DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&time));
}

// The picker's date and time; `value` is left alone when it holds none.
void GetPickerTime(HWND picker, CDateTime& value) {
    SYSTEMTIME time{};
    if (SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time)) != GDT_VALID)
        return;
    value = CDateTime::FromParts(time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute,
                                 time.wSecond);
}

} // namespace

const CConfigDefaultsPage::CommandHandler CConfigDefaultsPage::kCommands[] = {
    {IDC_BROWSE, &CConfigDefaultsPage::OnBrowse},
    {IDC_TEST, &CConfigDefaultsPage::OnTest},
};

CConfigDefaultsPage::CConfigDefaultsPage()
    : CCorePropertyPage(IDD_CONFIG_DEFAULTS), m_browse(&BrowseForWaveFile) {}

void CConfigDefaultsPage::SetBrowseHandler(BrowseHandler handler) {
    m_browse = handler ? std::move(handler) : BrowseHandler(&BrowseForWaveFile);
}

void CConfigDefaultsPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    m_startPicker = GetDlgItem(IDC_OUT_OF_HOURS_START);
    m_endPicker = GetDlgItem(IDC_OUT_OF_HOURS_END);
    m_browseButton = GetDlgItem(IDC_BROWSE);
    m_testButton = GetDlgItem(IDC_TEST);
    dx.Text(IDC_DEFAULT_MESSAGE, m_messagePath);
}

BOOL CConfigDefaultsPage::OnInitDialog() {
    CCorePropertyPage::OnInitDialog();
    const CRingwardenPreferences& preferences =
        static_cast<CConfigPropertySheet*>(GetSheet())->Preferences();
    const std::string format = LoadResString(IDS_PICKER_TIME_FORMAT);
    for (HWND picker : {m_startPicker, m_endPicker})
        SendMessageA(picker, DTM_SETFORMATA, 0, reinterpret_cast<LPARAM>(format.c_str()));
    SetPickerTime(m_startPicker, preferences.OutOfHoursStart);
    SetPickerTime(m_endPicker, preferences.OutOfHoursEnd);
    m_messagePath = preferences.DefaultMessageFile;
    UpdateData(false);
    const unsigned days =
        static_cast<CConfigPropertySheet*>(GetSheet())->Settings().AllDayOutOfHours();
    for (int day = 0; day < 7; ++day)
        CheckDlgButton(m_hWnd, IDC_ALL_DAY_SUN + day,
                       (days & (1u << day)) ? BST_CHECKED : BST_UNCHECKED);
    return TRUE;
}

bool CConfigDefaultsPage::OnCommand(WORD id, WORD notifyCode, HWND /*control*/) {
    if (notifyCode != BN_CLICKED)
        return false;
    if (id >= IDC_ALL_DAY_SUN && id <= IDC_ALL_DAY_SAT) {
        UpdatePreview();
        return false;
    }
    for (const CommandHandler& command : kCommands) {
        if (command.id == id) {
            (this->*command.handle)();
            return true;
        }
    }
    return false;
}

void CConfigDefaultsPage::OnBrowse() {
    std::string path;
    if (!m_browse(m_hWnd, path))
        return;
    m_messagePath = path;
    UpdateData(false);
    EnableWindow(m_testButton, TRUE);
}

void CConfigDefaultsPage::OnTest() {
    UpdateData(true);
    if (!PlayMessageFile(m_hWnd, m_player, m_messagePath))
        DisableTestButton(m_hWnd, m_testButton, m_browseButton);
}

unsigned CConfigDefaultsPage::CheckedDays() const {
    unsigned days = 0;
    for (int day = 0; day < 7; ++day)
        if (IsDlgButtonChecked(m_hWnd, IDC_ALL_DAY_SUN + day) == BST_CHECKED)
            days |= 1u << day;
    return days;
}

void CConfigDefaultsPage::OnSetActive() {
    // The default rule may have changed on its own page.
    UpdatePreview();
}

bool CConfigDefaultsPage::OnNotify(NMHDR* header, LRESULT& /*result*/) {
    if (header->code == DTN_DATETIMECHANGE)
        UpdatePreview();
    return false;
}

void CConfigDefaultsPage::UpdatePreview() {
    auto& sheet = *static_cast<CConfigPropertySheet*>(GetSheet());
    const CConfigPropertySheet::DefaultsPreview& preview = sheet.GetDefaultsPreview();
    if (!preview || !m_startPicker)
        return;
    CRingwardenPreferences candidate = sheet.Preferences();
    GetPickerTime(m_startPicker, candidate.OutOfHoursStart);
    GetPickerTime(m_endPicker, candidate.OutOfHoursEnd);
    if (sheet.NonPhoneBookPage().ChosenRule() >= 0)
        candidate.NonPhoneBookRule = sheet.NonPhoneBookPage().ChosenRule();
    SetDlgItemTextA(m_hWnd, IDC_RULE_PREVIEW, preview(candidate, CheckedDays()).c_str());
}

bool CConfigDefaultsPage::OnApply() {
    // Only Browse changes the path, so the field is current without a
    // transfer; the pickers are read directly.
    CRingwardenPreferences& preferences =
        static_cast<CConfigPropertySheet*>(GetSheet())->Preferences();
    GetPickerTime(m_startPicker, preferences.OutOfHoursStart);
    GetPickerTime(m_endPicker, preferences.OutOfHoursEnd);
    preferences.DefaultMessageFile = m_messagePath;
    static_cast<CConfigPropertySheet*>(GetSheet())->Settings().SetAllDayOutOfHours(CheckedDays());
    return CCorePropertyPage::OnApply();
}

} // namespace rw
