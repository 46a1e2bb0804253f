#include "ui/ConfigSecurityPage.h"

#include "app/Settings.h"
#include "res/resource.h"
#include "ui/ConfigPropertySheet.h"

#include <cstring>

namespace rw {
namespace {

constexpr int kMinMinutes = 1;
constexpr int kMaxMinutes = 10;

// Dialog init data: the resource (type 240, named like the template) that
// lists the items of a template's lists, so the items live with the
// template and not in code.
constexpr WORD kDialogInitType = 240;
constexpr WORD kListAddString = 0x0403;
constexpr WORD kListBoxAddString = 0x0401;

// Fills the lists of `dialog` from the init data of template `templateId`,
// if it has any. Each record: control id (0 ends), message, text length,
// text with its terminating zero.
void RunDialogInitData(HWND dialog, UINT templateId) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC found =
        FindResourceA(module, MAKEINTRESOURCEA(templateId), MAKEINTRESOURCEA(kDialogInitType));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* data = loaded ? static_cast<const BYTE*>(LockResource(loaded)) : nullptr;
    if (!data)
        return;
    const DWORD size = SizeofResource(module, found);
    constexpr DWORD kRecordHead = 2 * sizeof(WORD) + sizeof(DWORD);
    DWORD at = 0;
    while (size - at >= kRecordHead) {
        WORD id, message;
        DWORD length;
        std::memcpy(&id, data + at, sizeof id);
        if (id == 0)
            break;
        std::memcpy(&message, data + at + sizeof(WORD), sizeof message);
        std::memcpy(&length, data + at + 2 * sizeof(WORD), sizeof length);
        at += kRecordHead;
        if (length > size - at)
            break;
        // The text must end inside its record.
        const char* text = reinterpret_cast<const char*>(data + at);
        const bool terminated = length > 0 && text[length - 1] == '\0';
        if (terminated && message == kListAddString)
            SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        else if (terminated && message == kListBoxAddString)
            SendDlgItemMessageA(dialog, id, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        at += length;
    }
}

} // namespace

CConfigSecurityPage::CConfigSecurityPage() : CCorePropertyPage(IDD_CONFIG_SECURITY) {}

void CConfigSecurityPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    dx.Check(IDC_ALLOW_SUSPEND, m_allow);
    dx.ComboText(IDC_KEY1, m_key1);
    dx.ComboText(IDC_KEY2, m_key2);
    dx.Int(IDC_MINUTES, m_minutes);
    dx.Check(IDC_REPEAT_CALLS, m_repeat);
    dx.Check(IDC_REPEAT_WITHOUT_ENTRY, m_repeatWithoutEntry);
    // Only a minutes box that is in use has to hold a valid value.
    if (!dx.SaveAndValidate() || m_repeat) {
        dx.Int(IDC_REPEAT_MINUTES, m_repeatMinutes);
        dx.MinMaxInt(IDC_REPEAT_MINUTES, m_repeatMinutes, CSettings::kMinRepeatedCallMinutes,
                     CSettings::kMaxRepeatedCallMinutes);
    }
}

BOOL CConfigSecurityPage::OnInitDialog() {
    // The lists need their items before the first transfer selects one.
    RunDialogInitData(m_hWnd, GetTemplateId());
    CCorePropertyPage::OnInitDialog();
    const CRingwardenPreferences& preferences =
        static_cast<CConfigPropertySheet*>(GetSheet())->Preferences();
    m_allow = preferences.AllowSuspend ? 1 : 0;
    SendDlgItemMessageA(m_hWnd, IDC_MINUTES_SPIN, UDM_SETRANGE32, kMinMinutes, kMaxMinutes);
    m_minutes = preferences.SuspendMinutes;
    m_key1.assign(1, preferences.SecurityKey1);
    m_key2.assign(1, preferences.SecurityKey2);
    const CSettings& settings = static_cast<CConfigPropertySheet*>(GetSheet())->Settings();
    SendDlgItemMessageA(m_hWnd, IDC_REPEAT_SPIN, UDM_SETRANGE32, CSettings::kMinRepeatedCallMinutes,
                        CSettings::kMaxRepeatedCallMinutes);
    m_repeat = settings.RepeatedCallsRingThrough() ? 1 : 0;
    m_repeatMinutes = settings.RepeatedCallMinutes();
    m_repeatWithoutEntry = settings.RepeatedCallsWithoutEntry() ? 1 : 0;
    UpdateData(false);
    OnAllowClicked();
    OnRepeatClicked();
    return TRUE;
}

bool CConfigSecurityPage::OnCommand(WORD id, WORD notifyCode, HWND /*control*/) {
    if (id == IDC_ALLOW_SUSPEND && notifyCode == BN_CLICKED) {
        OnAllowClicked();
        return true;
    }
    if (id == IDC_REPEAT_CALLS && notifyCode == BN_CLICKED) {
        OnRepeatClicked();
        return true;
    }
    return false;
}

void CConfigSecurityPage::OnRepeatClicked() {
    m_repeat = IsDlgButtonChecked(m_hWnd, IDC_REPEAT_CALLS) == BST_CHECKED ? 1 : 0;
    for (int id : {IDC_REPEAT_LABEL, IDC_REPEAT_MINUTES, IDC_REPEAT_SPIN, IDC_REPEAT_UNIT,
                   IDC_REPEAT_WITHOUT_ENTRY})
        EnableWindow(GetDlgItem(id), m_repeat != 0);
}

void CConfigSecurityPage::OnAllowClicked() {
    // The check box is read before the minutes, so a bad minutes value (which
    // is reported here) leaves the enabling following the box.
    UpdateData(true);
    EnableCodeControls();
}

void CConfigSecurityPage::EnableCodeControls() {
    for (int id : {IDC_KEY1_LABEL, IDC_KEY2_LABEL, IDC_KEY1, IDC_KEY2, IDC_MINUTES_LABEL,
                   IDC_MINUTES_UNIT, IDC_MINUTES, IDC_MINUTES_SPIN})
        EnableWindow(GetDlgItem(id), m_allow != 0);
}

bool CConfigSecurityPage::OnApply() {
    if (!UpdateData(true)) {
        BringToFront();
        return false;
    }
    CRingwardenPreferences& preferences =
        static_cast<CConfigPropertySheet*>(GetSheet())->Preferences();
    preferences.AllowSuspend = m_allow;
    preferences.SuspendMinutes = m_minutes;
    // A stored key that is not one of the twelve (from a foreign file)
    // selects nothing; unless the user picks one, it stays as it was.
    if (!m_key1.empty())
        preferences.SecurityKey1 = m_key1[0];
    if (!m_key2.empty())
        preferences.SecurityKey2 = m_key2[0];
    CSettings& settings = static_cast<CConfigPropertySheet*>(GetSheet())->Settings();
    settings.SetRepeatedCallsRingThrough(m_repeat != 0);
    if (m_repeat) {
        settings.SetRepeatedCallMinutes(m_repeatMinutes);
        settings.SetRepeatedCallsWithoutEntry(m_repeatWithoutEntry != 0);
    }
    return CCorePropertyPage::OnApply();
}

} // namespace rw
