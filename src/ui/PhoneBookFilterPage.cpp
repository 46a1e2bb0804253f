#include "ui/PhoneBookFilterPage.h"

#include "records/Enums.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/MessageFileButtons.h"
#include "ui/PhoneBookPropertySheet.h"

#include <commctrl.h>

#include <algorithm>
#include <utility>
#include <vector>

namespace rw {
namespace {

constexpr int kTimeChoiceOwn = 1;

// A window's device context with the window's font selected, for
// measuring the texts it shows.
class CWindowFontDC {
public:
    explicit CWindowFontDC(HWND hWnd) : m_hWnd(hWnd), m_dc(GetDC(hWnd)) {
        if (auto font = reinterpret_cast<HFONT>(SendMessageA(hWnd, WM_GETFONT, 0, 0)))
            m_previous = SelectObject(m_dc, font);
    }
    ~CWindowFontDC() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
        ReleaseDC(m_hWnd, m_dc);
    }
    CWindowFontDC(const CWindowFontDC&) = delete;
    CWindowFontDC& operator=(const CWindowFontDC&) = delete;

    int TextWidth(const std::string& text) const {
        SIZE size{};
        GetTextExtentPoint32A(m_dc, text.c_str(), static_cast<int>(text.size()), &size);
        return size.cx;
    }

private:
    HWND m_hWnd;
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

// The filter types' texts are longer than the box is wide: the open list
// grows to show them whole.
void FitDroppedWidth(HWND list, const std::vector<std::string>& texts) {
    const CWindowFontDC dc(list);
    int widest = 0;
    for (const std::string& text : texts)
        widest = std::max(widest, dc.TextWidth(text));
    const int margin = 4 * GetSystemMetrics(SM_CXEDGE) + GetSystemMetrics(SM_CXVSCROLL);
    SendMessageA(list, CB_SETDROPPEDWIDTH, widest + margin, 0);
}

CPhoneBookFilterPage::OpenFileDialog& OpenFileDialogHook() {
    static CPhoneBookFilterPage::OpenFileDialog hook;
    return hook;
}

} // namespace

const CPhoneBookFilterPage::CommandHandler CPhoneBookFilterPage::kCommands[] = {
    {IDC_FILTER_TYPE, CBN_SELCHANGE, &CPhoneBookFilterPage::UpdateEnabling},
    {IDC_USE_DEFAULT_HOURS, BN_CLICKED, &CPhoneBookFilterPage::UpdateEnabling},
    {IDC_USE_OWN_HOURS, BN_CLICKED, &CPhoneBookFilterPage::UpdateEnabling},
    {IDC_ANSWER_SILENCE, BN_CLICKED, &CPhoneBookFilterPage::UpdateEnabling},
    {IDC_ANSWER_DEFAULT, BN_CLICKED, &CPhoneBookFilterPage::UpdateEnabling},
    {IDC_ANSWER_MESSAGE, BN_CLICKED, &CPhoneBookFilterPage::UpdateEnabling},
    {IDC_BROWSE, BN_CLICKED, &CPhoneBookFilterPage::OnBrowse},
    {IDC_TEST, BN_CLICKED, &CPhoneBookFilterPage::OnTest},
};

CPhoneBookFilterPage::CPhoneBookFilterPage() : CCorePropertyPage(IDD_ENTRY_FILTER) {}

CPhoneBookFilterPage::OpenFileDialog
CPhoneBookFilterPage::SetOpenFileDialog(OpenFileDialog dialog) {
    return std::exchange(OpenFileDialogHook(), std::move(dialog));
}

CPhoneBookPropertySheet& CPhoneBookFilterPage::Sheet() const {
    return *static_cast<CPhoneBookPropertySheet*>(GetSheet());
}

void CPhoneBookFilterPage::ExchangeTime(CDataExchange& dx, int id, CDateTime& time) {
    if (dx.Failed())
        return;
    HWND picker = GetDlgItem(id);
    SYSTEMTIME st{};
    if (dx.SaveAndValidate()) {
        if (DateTime_GetSystemtime(picker, &st) == GDT_VALID)
            time = CDateTime::TimeOfDay(st.wHour, st.wMinute, st.wSecond);
        return;
    }
    // The picker shows only the time of day, but needs a whole date: today.
    GetLocalTime(&st);
    CDateTimeParts parts;
    if (!time.GetParts(parts))
        parts = CDateTimeParts{};
    st.wHour = static_cast<WORD>(parts.hour);
    st.wMinute = static_cast<WORD>(parts.minute);
    st.wSecond = static_cast<WORD>(parts.second);
    st.wMilliseconds = 0;
    DateTime_SetSystemtime(picker, GDT_VALID, &st);
}

void CPhoneBookFilterPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    dx.ComboIndex(IDC_FILTER_TYPE, m_filterType);
    dx.Radio(IDC_USE_DEFAULT_HOURS, m_timeChoice);
    ExchangeTime(dx, IDC_OWN_HOURS_START, m_start);
    ExchangeTime(dx, IDC_OWN_HOURS_END, m_end);
    dx.Radio(IDC_ANSWER_SILENCE, m_answerMode);
    dx.Text(IDC_MESSAGE_FILE, m_messageFile);
}

BOOL CPhoneBookFilterPage::OnInitDialog() {
    CCorePropertyPage::OnInitDialog();
    const std::string format = LoadResString(IDS_PICKER_TIME_FORMAT);
    DateTime_SetFormat(GetDlgItem(IDC_OWN_HOURS_START), format.c_str());
    DateTime_SetFormat(GetDlgItem(IDC_OWN_HOURS_END), format.c_str());

    HWND list = GetDlgItem(IDC_FILTER_TYPE);
    std::vector<std::string> texts;
    for (UINT id : {IDS_FILTER_NEVER_BLOCK_LONG, IDS_FILTER_BLOCK_SOMETIMES_LONG,
                    IDS_FILTER_ALWAYS_BLOCK_LONG}) {
        texts.push_back(LoadResString(id));
        SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(texts.back().c_str()));
    }
    FitDroppedWidth(list, texts);

    const CPhoneBookEntry& entry = Sheet().Entry();
    const CRingwardenPreferences& preferences = Sheet().Preferences();
    m_filterType = entry.FilterType;
    m_messageFile = entry.MessageFile;
    m_answerMode = entry.AnswerMode;
    m_timeChoice = entry.UseOwnHours;
    const bool ownHours = entry.UseOwnHours == kTimeChoiceOwn;
    m_start = ownHours ? entry.OwnHoursStart : preferences.OutOfHoursStart;
    m_end = ownHours ? entry.OwnHoursEnd : preferences.OutOfHoursEnd;
    UpdateData(false);
    UpdateEnabling();
    return TRUE;
}

void CPhoneBookFilterPage::Enable(int id, bool enable) {
    EnableWindow(GetDlgItem(id), enable ? TRUE : FALSE);
}

void CPhoneBookFilterPage::UpdateEnabling() {
    UpdateData(true);
    if (m_filterType < 0)
        return;
    const bool sometimes = m_filterType == FilterBlockSometimes;
    const bool blocks = m_filterType != FilterNeverBlock;
    for (int id :
         {IDC_ANSWER_TIMES_LABEL, IDC_USE_DEFAULT_HOURS, IDC_USE_OWN_HOURS, IDC_OWN_HOURS_AND})
        Enable(id, sometimes);
    const bool ownTimes = sometimes && m_timeChoice == kTimeChoiceOwn;
    Enable(IDC_OWN_HOURS_START, ownTimes);
    Enable(IDC_OWN_HOURS_END, ownTimes);
    for (int id :
         {IDC_ANSWER_MODE_LABEL, IDC_ANSWER_SILENCE, IDC_ANSWER_DEFAULT, IDC_ANSWER_MESSAGE})
        Enable(id, blocks);
    const bool ownMessage = blocks && m_answerMode == AnswerOwnMessage;
    for (int id : {IDC_MESSAGE_FILE, IDC_BROWSE, IDC_TEST})
        Enable(id, ownMessage);
    UpdatePreview();
}

void CPhoneBookFilterPage::OnSetActive() {
    // The number may have changed on the General page.
    UpdatePreview();
}

bool CPhoneBookFilterPage::OnNotify(NMHDR* header, LRESULT& /*result*/) {
    if (header->code == DTN_DATETIMECHANGE &&
        (header->idFrom == IDC_OWN_HOURS_START || header->idFrom == IDC_OWN_HOURS_END)) {
        UpdateData(true);
        UpdatePreview();
    }
    return false;
}

void CPhoneBookFilterPage::UpdatePreview() {
    const CPhoneBookPropertySheet::Preview& preview = Sheet().GetPreview();
    std::string text;
    if (preview && m_filterType != FilterNeverBlock && m_filterType >= 0) {
        CPhoneBookEntry candidate = Sheet().Entry();
        candidate.Number = Sheet().GeneralPage().CurrentNumber();
        candidate.MakeLookupKey();
        candidate.FilterType = m_filterType;
        if (m_timeChoice >= 0)
            candidate.UseOwnHours = m_timeChoice;
        candidate.OwnHoursStart = m_start;
        candidate.OwnHoursEnd = m_end;
        if (!candidate.Number.empty())
            text = preview(candidate);
    }
    SetDlgItemTextA(m_hWnd, IDC_RULE_PREVIEW, text.c_str());
}

bool CPhoneBookFilterPage::OnApply() {
    if (!UpdateData(true))
        return false;
    CPhoneBookEntry& entry = Sheet().Entry();
    // The list takes no typed text, so a position is selected unless the
    // entry came with a filter type outside the list; that value stays.
    if (m_filterType >= 0)
        entry.FilterType = m_filterType;
    entry.MessageFile = m_messageFile;
    // Written even for the default window: the entry's own window then
    // takes the times shown.
    entry.OwnHoursStart = m_start;
    entry.OwnHoursEnd = m_end;
    if (m_answerMode >= 0)
        entry.AnswerMode = m_answerMode;
    if (m_timeChoice >= 0)
        entry.UseOwnHours = m_timeChoice;
    return true;
}

bool CPhoneBookFilterPage::OnCommand(WORD id, WORD notifyCode, HWND /*control*/) {
    for (const CommandHandler& command : kCommands) {
        if (command.id == id && command.notifyCode == notifyCode) {
            (this->*command.handle)();
            return true;
        }
    }
    return false;
}

void CPhoneBookFilterPage::OnDestroy() {
    // The sound of Test plays while the sheet is open, no longer.
    m_player.Unload();
}

void CPhoneBookFilterPage::OnBrowse() {
    std::string path;
    const OpenFileDialog& hook = OpenFileDialogHook();
    if (!(hook ? hook(m_hWnd, path) : BrowseForWaveFile(m_hWnd, path)))
        return;
    m_messageFile = path;
    SetDlgItemTextA(m_hWnd, IDC_MESSAGE_FILE, m_messageFile.c_str());
    Enable(IDC_TEST, true);
}

void CPhoneBookFilterPage::OnTest() {
    UpdateData(true);
    if (!PlayMessageFile(m_hWnd, m_player, m_messageFile))
        DisableTestButton(m_hWnd, GetDlgItem(IDC_TEST), GetDlgItem(IDC_BROWSE));
}

} // namespace rw
