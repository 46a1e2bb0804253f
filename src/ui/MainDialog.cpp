#include "ui/MainDialog.h"

#include "app/CallerFilter.h"
#include "app/ProgramDirectory.h"
#include "app/RunningCopy.h"
#include "records/Archive.h"
#include "records/ByteStream.h"
#include "records/StringTable.h"
#include "records/WidePath.h"
#include "res/resource.h"
#include "telephony/TapiRegistration.h"
#include "ui/AboutDialog.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/NotificationDialog.h"
#include "ui/PhoneBookPropertySheet.h"
#include "ui/framework/AppMessageBox.h"
#include "ui/framework/PaintDC.h"

#include <shellapi.h>

#include <cstring>
#include <utility>

namespace rw {
namespace {

constexpr UINT_PTR kTrayTimer = 1;
constexpr UINT kTrayTimerMs = 60000;
// The tray icon and the popup follow the calls at most this often. Each
// tray change is a call into the shell's process that waits for its answer
// (tens of milliseconds under load); made while a call is being screened,
// it would hold up the answer to the next one. People read neither faster.
constexpr UINT_PTR kShellTimer = 2;
constexpr DWORD kShellUpdateMs = 200;
// Posted to apply the tray and popup at once when nothing was applied for
// kShellUpdateMs.
constexpr UINT kApplyShellState = WM_APP + 0x52;
constexpr UINT kTrayIdleTip = 130; // "Ringwarden is active"
// Tries a configuration file that could not be read at start again.
constexpr UINT_PTR kLoadRetryTimer = 3;
// Saves the last-call times that screening stamped, a while after the call:
// a save of a large phone book takes tens of milliseconds, which no call
// being screened should wait for, and calls that come together share one.
constexpr UINT_PTR kCallSaveTimer = 4;
// Writes the call history's queued rows from the message loop, after the
// call that queued them has been screened; a locked file is tried again on
// kHistoryRetryTimer.
constexpr UINT kWriteHistory = WM_APP + 0x53;
constexpr UINT_PTR kHistoryRetryTimer = 5;
constexpr size_t kEarlierRunBase = CCallListOrder::kEarlierRunBase;

int PlatformMessageBox(HWND owner, const std::string& text, UINT type) {
    return AppMessageBox(owner, text, type);
}

} // namespace

const CMainDialog::CommandHandler CMainDialog::kCommands[] = {
    {IDC_ADD_ENTRY, &CMainDialog::OnAddEntry},
    {IDC_EDIT_ENTRY, &CMainDialog::OnEditEntry},
    {IDC_CONFIGURE, &CMainDialog::OnConfigure},
    {IDC_HELP_BUTTON, &CMainDialog::OnHelp},
    {IDC_QUIT, &CMainDialog::OnQuit},
    {ID_TRAY_QUIT, &CMainDialog::OnQuit},
    {IDC_HIDE, &CMainDialog::OnHide},
    {ID_TRAY_OPEN, &CMainDialog::OnOpen},
    {ID_APP_ABOUT, &CMainDialog::OnAbout},
    {ID_TRAY_BALLOON, &CMainDialog::OnBalloonClicked},
    {ID_CALL_BLOCK, &CMainDialog::OnBlockSelected},
    {ID_CALL_NEVER_BLOCK, &CMainDialog::OnNeverBlockSelected},
    {ID_CALL_EDIT, &CMainDialog::OnEditSelected},
    {ID_CALL_COPY_NUMBER, &CMainDialog::OnCopyNumber},
    {ID_TRAY_BLOCK_LAST, &CMainDialog::OnBlockLastCaller},
};

const CMainDialog::MessageHandler CMainDialog::kMessages[] = {
    {WM_SYSCOMMAND, &CMainDialog::OnSysCommand},
    {WM_PAINT, &CMainDialog::OnPaint},
    {WM_QUERYDRAGICON, &CMainDialog::OnQueryDragIcon},
    {WM_TIMER, &CMainDialog::OnTimer},
    {WM_QUERYENDSESSION, &CMainDialog::OnQueryEndSession},
    {kRunningCopyQuery, &CMainDialog::OnRunningCopyQuery},
    {kApplyShellState, &CMainDialog::OnApplyShellState},
    {kWriteHistory, &CMainDialog::OnWriteHistory},
    {WM_CONTEXTMENU, &CMainDialog::OnContextMenu},
    {WM_SIZE, &CMainDialog::OnSize},
    {WM_GETMINMAXINFO, &CMainDialog::OnGetMinMaxInfo},
};

CMainDialog::CMainDialog(const CClock& clock, HWND parent)
    : CDialog(IDD_RINGWARDEN_DIALOG, parent), m_rules(m_phoneBook, m_preferences, clock),
      m_screener(m_preferences, m_rules, this, GetModuleHandleA(nullptr)),
      m_callList([this](size_t index) -> const CLoggedCall& { return CallAt(index); }),
      m_supervisor(m_screener, this), m_fileSystem(CreateSystemFileSystem()),
      m_configFile(*m_fileSystem), m_historyLog(*m_fileSystem, clock),
      m_messageBox(&PlatformMessageBox),
      m_icon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN))),
      m_tray(IDR_TRAY_MENU) {}

BOOL CMainDialog::OnInitDialog() {
    AddAboutToSystemMenu();
    SetIcons();
    SetWindowTextA(m_hWnd, LoadResString(IDS_APP_TITLE).c_str());
    m_tray.SetNotifyWindow(m_hWnd, WM_USER);
    m_screener.SetTrayTip(kTrayIdleTip);
    // Ringwarden.ini first: it says whether the history is kept.
    LoadSettings();
    // Before the lines open, so that the first call is kept too.
    OpenHistory();
    // The lines first, so that the icon shows from the start whether they
    // are watched.
    m_supervisor.Start();
    ApplyShellState();
    SetTimer(m_hWnd, kTrayTimer, kTrayTimerMs, nullptr);
    LoadConfiguration();
    m_callList.Attach(GetDlgItem(IDC_CALL_LIST), GetModuleHandleA(nullptr));
    ShowEarlierCalls();
    UpdateButtons();
    m_layout.Attach(m_hWnd);
    RestorePlacement();
    m_startHidden = m_preferences.StartMinimised != 0;
    // Last: a message box runs a message loop, in which calls may already
    // be logged into the list.
    TellConfigurationProblems();
    return TRUE;
}

void CMainDialog::TellConfigurationProblems() {
    if (m_tellLocation) {
        m_tellLocation = false;
        const std::string folder = m_locationFolder.empty()
                                       ? LoadResString(IDS_CONFIG_NO_APPDATA_FOLDER)
                                       : DisplayPath(m_locationFolder);
        ShowMessage(FormatResString(IDS_CONFIG_NO_APPDATA, folder), MB_OK | MB_ICONEXCLAMATION);
    }
    if (m_tellUnreadable) {
        m_tellUnreadable = false;
        // Not read even by now: the background retry may have read it
        // meanwhile.
        if (ConfigurationUnread())
            ShowMessage(FormatResString(IDS_CONFIG_UNREADABLE, DisplayPath(ConfigPath()),
                                        DisplayPath(m_configFile.LastErrorText())),
                        MB_OK | MB_ICONEXCLAMATION);
    }
}

void CMainDialog::OnDestroy() {
    KillTimer(m_hWnd, kTrayTimer);
    KillTimer(m_hWnd, kShellTimer);
    KillTimer(m_hWnd, kLoadRetryTimer);
    KillTimer(m_hWnd, kHistoryRetryTimer);
    m_popupPending = false;
    // The popup (owned by this window) normally went before; if not, it goes
    // before the configuration is saved, so nothing of it comes later.
    if (m_notification)
        m_notification->DestroyWindow();
    SaveConfiguration();
    // The supervisor ends the calls' sound, lets the calls go while the
    // lines they belong to are open, then closes the lines.
    m_supervisor.Stop();
    // Rows still queued (and those of calls the supervisor just let go) get
    // a few last tries, a second in all; a file locked even then loses them
    // with the run.
    for (int attempt = 0; !m_historyLog.WriteQueued() && attempt < 5; ++attempt)
        Sleep(200);
    // The icon goes with the window; later tip changes find no window.
    m_tray.SetTrayIcon(0u);
    m_tray.SetNotifyWindow(nullptr, 0);
}

void CMainDialog::SetIcons() {
    if (!m_icon)
        return;
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    // The caption shows the image drawn for the small size at this DPI, not
    // the large one shrunk; shared, like the large one.
    HICON small = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small ? small : m_icon));
    SetClassLongPtrA(m_hWnd, GCLP_HICON, reinterpret_cast<LONG_PTR>(m_icon));
}

std::string CMainDialog::ConfigPath() const {
    // Built afresh each time: the program directory and string 200.
    return m_configPath.empty() ? ConfigFilePath(ProgramDirectory()) : m_configPath;
}

void CMainDialog::SetConfigLocation(const CConfigLocation::Result& location) {
    m_configPath = location.path;
    m_configReadOnly = !location.canSave;
    m_tellLocation = !location.canSave;
    m_locationFolder = location.unusableFolder;
}

void CMainDialog::LoadSettings() {
    m_settings.Load(SettingsPath());
    ApplySettings();
}

void CMainDialog::ApplySettings() {
    m_rules.RepeatedCalls().SetMinutes(m_settings.EffectiveRepeatedCallMinutes());
}

bool CMainDialog::TryLoadConfiguration() {
    // A damaged file keeps what was read before the fault; the next save
    // keeps the damaged original beside the new file. One that cannot be
    // read leaves the records alone.
    if (m_configFile.Load(ConfigPath(), m_preferences, m_phoneBook) ==
        CConfigFile::LoadResult::unreadable)
        return false;
    if (m_hWnd)
        KillTimer(m_hWnd, kLoadRetryTimer);
    return true;
}

void CMainDialog::LoadConfiguration() {
    // A backup or a virus scan usually lets go within moments.
    for (int attempt = 1; !TryLoadConfiguration(); ++attempt) {
        if (attempt >= m_loadRetry.attempts) {
            m_tellUnreadable = true;
            if (m_hWnd)
                SetTimer(m_hWnd, kLoadRetryTimer, m_loadRetry.backgroundMs, nullptr);
            return;
        }
        Sleep(m_loadRetry.intervalMs);
    }
}

bool CMainDialog::ConfigurationReadyForChange() {
    while (ConfigurationUnread()) {
        const int answer =
            ShowMessage(FormatResString(IDS_CONFIG_NOT_READ_YET, DisplayPath(ConfigPath()),
                                        DisplayPath(m_configFile.LastErrorText())),
                        MB_RETRYCANCEL | MB_ICONEXCLAMATION);
        if (answer != IDRETRY)
            return false;
        if (TryLoadConfiguration())
            UpdateButtons();
    }
    return true;
}

bool CMainDialog::SaveConfiguration(bool report) {
    if (m_hWnd)
        KillTimer(m_hWnd, kCallSaveTimer);
    m_callSavePending = false;
    if (m_configReadOnly || ConfigurationUnread())
        return false;
    if (m_configFile.Save(ConfigPath(), m_preferences, m_phoneBook)) {
        m_saveFailureTold = false;
        return true;
    }
    const std::string reason = m_configFile.LastErrorText();
    if (report && (!m_saveFailureTold || reason != m_saveFailureReason)) {
        m_saveFailureTold = true;
        m_saveFailureReason = reason;
        ShowMessage(
            FormatResString(IDS_CONFIG_SAVE_FAILED, DisplayPath(ConfigPath()), DisplayPath(reason)),
            MB_OK | MB_ICONEXCLAMATION);
    }
    return false;
}

void CMainDialog::ScheduleCallSave() {
    if (m_callSavePending || !m_hWnd || m_configReadOnly)
        return;
    m_callSavePending = true;
    SetTimer(m_hWnd, kCallSaveTimer, m_callSaveDelayMs, nullptr);
}

void CMainDialog::RestorePlacement() {
    if (!m_preferences.GetMainPlacementValid())
        return;
    static_assert(sizeof(WINDOWPLACEMENT) == sizeof(RwWindowPlacement));
    WINDOWPLACEMENT placement;
    std::memcpy(&placement, m_preferences.GetMainPlacement(), sizeof placement);
    // A placement on a monitor that has gone would put the window where
    // nobody can reach it.
    RECT workArea{};
    RECT overlap;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    if (!IntersectRect(&overlap, &placement.rcNormalPosition, &workArea)) {
        m_preferences.SetMainPlacementValid(0);
        return;
    }
    placement.length = sizeof placement;
    SetWindowPlacement(m_hWnd, &placement);
}

void CMainDialog::StorePlacement() {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(m_hWnd, &placement))
        return;
    std::memcpy(m_preferences.GetMainPlacement(), &placement, sizeof placement);
    m_preferences.SetMainPlacementValid(1);
}

void CMainDialog::OnCallLogged(size_t index) {
    m_callList.AddRow(index);
    UpdateButtons();
    ScheduleCallSave();
    QueueHistory(index);
}

void CMainDialog::OnCallChanged(size_t index) {
    m_callList.RedrawRow(index);
    UpdateButtons();
    ScheduleCallSave();
    QueueHistory(index);
}

void CMainDialog::OnCallEnded(size_t index) {
    // The call's row says now whether the program answered and dropped it.
    if (std::as_const(m_screener).Call(index).GetAnsweredAndDropped())
        QueueHistory(index);
}

CLoggedCall& CMainDialog::CallAt(size_t logIndex) {
    if (logIndex >= kEarlierRunBase)
        return *m_history[logIndex - kEarlierRunBase];
    return m_screener.Call(logIndex);
}

void CMainDialog::OpenHistory() {
    const bool enabled = m_historyAllowed && m_settings.KeepHistory();
    m_historyLog.Open(enabled ? HistoryPathFor(ConfigPath()) : std::string());
}

void CMainDialog::ShowEarlierCalls() {
    size_t skipped = 0;
    bool readable = true;
    std::vector<std::unique_ptr<CLoggedCall>> calls = m_historyLog.LoadRecent(skipped, readable);
    m_earlierCallsUnread = !readable;
    if (!readable) {
        // Tried again with the writes, which wait for the same file.
        if (m_hWnd)
            SetTimer(m_hWnd, kHistoryRetryTimer, m_historyRetryMs, nullptr);
        return;
    }
    m_history = std::move(calls);
    m_callList.AddRows(kEarlierRunBase, m_history.size());
}

void CMainDialog::QueueHistory(size_t index) {
    // A run that cannot save its configuration (an installed copy reading
    // the old file beside itself) writes nothing beside it either.
    if (!m_historyLog.IsOpen() || m_configReadOnly)
        return;
    m_historyLog.Queue(std::as_const(m_screener).Call(index));
    if (m_historyWritePending || !m_hWnd)
        return;
    m_historyWritePending = true;
    // As the tray: at most every kShellUpdateMs, so that calls close together
    // share a write and the next call's messages are not held up by many.
    const DWORD since = GetTickCount() - m_lastHistoryWrite;
    if (since >= kShellUpdateMs)
        PostMessageA(m_hWnd, kWriteHistory, 0, 0);
    else
        SetTimer(m_hWnd, kHistoryRetryTimer, kShellUpdateMs - since, nullptr);
}

bool CMainDialog::OnWriteHistory(WPARAM, LPARAM, INT_PTR& result) {
    WriteHistory();
    result = TRUE;
    return true;
}

void CMainDialog::WriteHistory() {
    KillTimer(m_hWnd, kHistoryRetryTimer);
    m_historyWritePending = false;
    m_lastHistoryWrite = GetTickCount();
    // Read before this run's rows are written, so that none of them is
    // listed twice.
    if (m_earlierCallsUnread) {
        ShowEarlierCalls();
        if (m_earlierCallsUnread)
            return; // the timer is set again
    }
    // A file another program holds (a spreadsheet, a backup) is tried again
    // later; its rows wait in memory.
    if (!m_historyLog.WriteQueued()) {
        m_historyWritePending = true;
        SetTimer(m_hWnd, kHistoryRetryTimer, m_historyRetryMs, nullptr);
    }
}

void CMainDialog::RenameCaller(const std::string& key, const std::string& name) {
    auto rename = [&](size_t index) {
        CLoggedCall& call = CallAt(index);
        if (CompareTextNoCase(call.GetLookupKey(), key) != 0 || call.GetName() == name)
            return;
        call.SetName(name);
        m_callList.RedrawRow(index);
    };
    for (size_t i = 0; i < m_screener.CallCount(); ++i)
        rename(i);
    for (size_t i = 0; i < m_history.size(); ++i)
        rename(kEarlierRunBase + i);
}

bool CMainDialog::SetCallerFilter(size_t logIndex, int32_t filterType) {
    // The tray and the popup still work while the configuration sheet is
    // open, but its Phone Book page edits the book in place and puts it back
    // on Cancel: a change made and saved now would save the page's
    // unconfirmed edits with it, and a Cancel would then undo this one.
    if (m_configSheet) {
        SetForegroundWindow(m_configSheet->GetSafeHwnd());
        ShowMessage(LoadResString(IDS_ONE_CLICK_SHEET_OPEN), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (!ConfigurationReadyForChange())
        return false;
    const CLoggedCall& call = CallAt(logIndex);
    const CPhoneBookEntry* entry = rw::SetCallerFilter(m_phoneBook, call, filterType);
    if (!entry)
        return false;
    // Copies: renaming may change the call's own texts.
    const std::string key = entry->LookupKey;
    const std::string name = entry->Name;
    RenameCaller(key, name);
    UpdateButtons();
    SaveConfiguration(true);
    if (m_notification)
        m_notification->UpdateLabels();
    return true;
}

void CMainDialog::OnBlockCaller(const CLoggedCall* call) {
    // The popup shows a call of this run; the newest is the likeliest.
    for (size_t i = m_screener.CallCount(); i-- > 0;) {
        if (&std::as_const(m_screener).Call(i) == call) {
            SetCallerFilter(i, FilterAlwaysBlock);
            return;
        }
    }
}

void CMainDialog::OnBlockSelected() {
    const int selected = m_callList.SelectedCall();
    if (selected >= 0)
        SetCallerFilter(static_cast<size_t>(selected), FilterAlwaysBlock);
}

void CMainDialog::OnNeverBlockSelected() {
    const int selected = m_callList.SelectedCall();
    if (selected >= 0)
        SetCallerFilter(static_cast<size_t>(selected), FilterNeverBlock);
}

void CMainDialog::OnEditSelected() {
    OnEditEntry();
}

void CMainDialog::OnBlockLastCaller() {
    // This run's last call, or else the newest of the earlier runs'.
    if (m_screener.CallCount() > 0)
        SetCallerFilter(m_screener.CallCount() - 1, FilterAlwaysBlock);
    else if (!m_history.empty())
        SetCallerFilter(kEarlierRunBase + m_history.size() - 1, FilterAlwaysBlock);
}

void CMainDialog::OnCopyNumber() {
    const int selected = m_callList.SelectedCall();
    if (selected < 0)
        return;
    const std::string number = CallAt(static_cast<size_t>(selected)).GetNumber();
    // The number is in the system code page; the clipboard takes UTF-16.
    const int length =
        MultiByteToWideChar(CP_ACP, 0, number.data(), static_cast<int>(number.size()), nullptr, 0);
    HGLOBAL memory =
        GlobalAlloc(GMEM_MOVEABLE, (static_cast<size_t>(length) + 1) * sizeof(wchar_t));
    if (!memory)
        return;
    auto* text = static_cast<wchar_t*>(GlobalLock(memory));
    if (text) {
        MultiByteToWideChar(CP_ACP, 0, number.data(), static_cast<int>(number.size()), text,
                            length);
        text[length] = L'\0';
        GlobalUnlock(memory);
    }
    // The clipboard owns the memory once SetClipboardData takes it.
    if (text && OpenClipboard(m_hWnd)) {
        EmptyClipboard();
        if (SetClipboardData(CF_UNICODETEXT, memory))
            memory = nullptr;
        CloseClipboard();
    }
    if (memory)
        GlobalFree(memory);
}

bool CMainDialog::OnContextMenu(WPARAM window, LPARAM at, INT_PTR& result) {
    if (reinterpret_cast<HWND>(window) != m_callList.Handle())
        return false;
    result = TRUE;
    POINT point{static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at))};
    // The context-menu key and Shift+F10 send -1: the menu opens on the
    // selected row. A click opens it on the row under the mouse.
    if (at == static_cast<LPARAM>(-1)) {
        RECT rect{};
        if (!m_callList.SelectedRowRect(rect))
            return true;
        point = {rect.left, rect.bottom};
    } else if (m_callList.SelectAt(point) < 0) {
        return true;
    }
    UpdateButtons();
    const int selected = m_callList.SelectedCall();
    if (selected < 0)
        return true;
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_CALL_MENU));
    if (!menu)
        return true;
    HMENU items = GetSubMenu(menu, 0);
    const CLoggedCall& call = CallAt(static_cast<size_t>(selected));
    const bool keyed = !call.GetLookupKey().empty();
    const bool inBook = keyed && m_phoneBook.Lookup(call.GetLookupKey()) != nullptr;
    EnableMenuItem(items, ID_CALL_BLOCK, keyed ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(items, ID_CALL_NEVER_BLOCK, keyed ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(items, ID_CALL_EDIT, inBook ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(items, ID_CALL_COPY_NUMBER, call.GetNumber().empty() ? MF_GRAYED : MF_ENABLED);
    const UINT command = TrackCallMenu(items, point);
    DestroyMenu(menu);
    if (command)
        OnCommand(static_cast<WORD>(command), 0, nullptr);
    return true;
}

UINT CMainDialog::TrackCallMenu(HMENU menu, POINT screenPoint) {
    return TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screenPoint.x, screenPoint.y, 0,
                          m_hWnd, nullptr);
}

void CMainDialog::OnShowNotification(size_t index) {
    m_popupPending = true;
    m_popupCall = index;
    RequestShellUpdate();
}

void CMainDialog::ShowNotification(size_t index) {
    const CLoggedCall* call = &std::as_const(m_screener).Call(index);
    if (m_notification) {
        // Still open (or hidden by the user until its timer ends it): it
        // moves on to the newer call rather than keep naming the old one.
        m_notification->ShowCall(call);
        return;
    }
    auto popup = std::make_unique<CNotificationDialog>(*this, m_hWnd);
    popup->SetCall(call);
    m_notification = popup.get();
    if (popup->Create())
        popup.release(); // owned by its window from now on
    else
        m_notification = nullptr;
}

void CMainDialog::OnRefreshNotification(size_t index) {
    // Only the call the popup shows; an older call's late news must not
    // take it back from the newer one.
    if (m_notification && m_notification->GetCall() == &std::as_const(m_screener).Call(index))
        m_notification->UpdateLabels();
}

void CMainDialog::OnNotificationDestroyed(CNotificationDialog* dialog) {
    if (m_notification == dialog)
        m_notification = nullptr;
}

void CMainDialog::OnCallerIdOutcome(bool arrived) {
    m_supervisor.OnCallerIdOutcome(arrived);
}

void CMainDialog::OnDropFailed(size_t) {
    m_dropFailedPending = true;
    RequestShellUpdate();
}

void CMainDialog::OnLineHealthChanged() {
    RequestShellUpdate();
}

UINT CMainDialog::TrayIconId() const {
    // A call in progress shows its own state; otherwise the line's health.
    const CLineHealth& health = m_supervisor.Health();
    if (m_trayTip != kTrayIdleTip && health.State() != LineWatch::NotWatching)
        return m_trayTip;
    return health.IdleIcon();
}

std::string CMainDialog::TrayTipText() const {
    const CLineHealth& health = m_supervisor.Health();
    if (m_trayTip != kTrayIdleTip && health.State() != LineWatch::NotWatching)
        return LoadResString(m_trayTip);
    return LoadResString(health.IdleTip());
}

void CMainDialog::ShowBalloon(UINT titleId, UINT textId, bool warning) {
    m_balloonTopic = textId;
    m_tray.ShowBalloon(LoadResString(titleId), LoadResString(textId),
                       warning ? NIIF_WARNING : NIIF_INFO);
}

void CMainDialog::OnBalloonClicked() {
    // Every balloon but "watching again" points to what to check.
    if (m_balloonTopic == IDS_BALLOON_WATCHING)
        return;
    const std::string path = HelpPath();
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ShowMessage(FormatResString(IDS_HELP_MISSING, DisplayPath(path)),
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // A file path cannot carry a fragment; a file URL can, so the browser
    // opens the page at the topic.
    std::string url = "file:///" + path;
    for (char& c : url)
        if (c == '\\')
            c = '/';
    url += m_balloonTopic == IDS_BALLOON_NO_CALLER_ID ? "#checking-the-modem" : "#line-health";
    ShellExecuteW(m_hWnd, L"open", WidePath(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainDialog::OnTrayTipChanged(UINT id) {
    m_trayTip = id;
    RequestShellUpdate();
}

void CMainDialog::RequestShellUpdate() {
    if (m_shellUpdatePending || !m_hWnd)
        return;
    m_shellUpdatePending = true;
    const DWORD since = GetTickCount() - m_lastShellUpdate;
    if (since >= kShellUpdateMs)
        PostMessageA(m_hWnd, kApplyShellState, 0, 0);
    else
        SetTimer(m_hWnd, kShellTimer, kShellUpdateMs - since, nullptr);
}

void CMainDialog::ApplyShellState() {
    KillTimer(m_hWnd, kShellTimer);
    m_shellUpdatePending = false;
    m_lastShellUpdate = GetTickCount();
    if (m_popupPending) {
        m_popupPending = false;
        ShowNotification(m_popupCall);
    }
    // Icon and tip change together.
    if (!m_tray.NotifyWindow())
        return;
    m_tray.SetTrayIcon(TrayIconId(), TrayTipText());
    // Each change of the line's health is told once, when it starts and
    // when it ends; a balloon needs the icon in place.
    UINT title = 0, text = 0;
    bool warning = false;
    if (m_supervisor.TakeAnnouncement(title, text, warning))
        ShowBalloon(title, text, warning);
    if (m_dropFailedPending) {
        m_dropFailedPending = false;
        ShowBalloon(IDS_APP_TITLE, IDS_DROP_FAILED, true);
    }
}

bool CMainDialog::OnApplyShellState(WPARAM, LPARAM, INT_PTR& result) {
    if (m_shellUpdatePending)
        ApplyShellState();
    result = TRUE;
    return true;
}

void CMainDialog::EnableButton(int id, bool enable) {
    HWND button = GetDlgItem(id);
    // A disabled control keeps the focus and the keyboard goes dead: hand
    // the focus to the list first.
    if (!enable && GetFocus() == button)
        SendMessageA(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_callList.Handle()), TRUE);
    // Wine repaints a button the moment it is enabled or disabled.
    if ((IsWindowEnabled(button) != FALSE) != enable)
        EnableWindow(button, enable);
}

void CMainDialog::UpdateButtons() {
    const int selected = m_callList.SelectedCall();
    const bool inBook =
        selected >= 0 &&
        m_phoneBook.Lookup(CallAt(static_cast<size_t>(selected)).GetLookupKey()) != nullptr;
    EnableButton(IDC_EDIT_ENTRY, selected >= 0 && inBook);
    EnableButton(IDC_ADD_ENTRY, selected >= 0 && !inBook);
}

void CMainDialog::OnAddEntry() {
    if (!ConfigurationReadyForChange())
        return;
    const int selected = m_callList.SelectedCall();
    if (selected < 0)
        return;
    CLoggedCall& call = CallAt(static_cast<size_t>(selected));
    // The file read just now may already hold the caller.
    if (m_phoneBook.Lookup(call.GetLookupKey()))
        return;
    // The entry is for the caller's number when the caller ID gave one,
    // named as the caller ID named it (the user can change both).
    auto entry = std::make_unique<CPhoneBookEntry>();
    entry->Number = call.GetNumber();
    if (call.HasNumber())
        entry->Name = call.GetCallerIdName();
    entry->LastCallTime = call.GetCallTime();
    // A cancelled entry is dropped with its pointer.
    if (!RunEntrySheet(*entry))
        return;
    entry->MakeLookupKey();
    entry->InPhoneBook = 1;
    const std::string key = entry->LookupKey;
    const std::string name = entry->Name;
    m_phoneBook.SetAt(key, std::move(entry));
    // The user may have typed another number; only the caller's own entry
    // renames the caller's rows. Their actions stay what screening made them.
    if (CompareTextNoCase(key, call.GetLookupKey()) == 0)
        RenameCaller(key, name);
    UpdateButtons();
    SaveConfiguration(true);
}

void CMainDialog::OnEditEntry() {
    if (!ConfigurationReadyForChange())
        return;
    const int selected = m_callList.SelectedCall();
    if (selected < 0)
        return;
    CLoggedCall& call = CallAt(static_cast<size_t>(selected));
    CPhoneBookEntry* entry = m_phoneBook.Lookup(call.GetLookupKey());
    if (!entry || !RunEntrySheet(*entry))
        return;
    const std::string key = entry->LookupKey;
    const std::string name = entry->Name;
    RenameCaller(key, name);
    UpdateButtons();
    SaveConfiguration(true);
}

// Both sheets are modal to this window, not ownerless: a second sheet opened
// from here while one runs could free entries the first still shows (a
// phone book page's Cancel replaces every entry), and Quit could end the
// program under an open sheet.
bool CMainDialog::RunEntrySheet(CPhoneBookEntry& entry) {
    CPhoneBookPropertySheet sheet(entry, m_phoneBook, m_preferences, IDS_ENTRY_SHEET_CAPTION,
                                  m_hWnd);
    return sheet.DoModal() == IDOK;
}

bool CMainDialog::RunConfigSheet() {
    CConfigPropertySheet sheet(m_preferences, m_phoneBook, IDS_CONFIG_SHEET_CAPTION, m_hWnd);
    // The sheet edits a copy: Cancel leaves the settings in use alone.
    CSettings settings = m_settings;
    sheet.SetSettings(settings);
    m_configSheet = &sheet;
    const bool confirmed = sheet.DoModal() == IDOK;
    m_configSheet = nullptr;
    if (confirmed) {
        const bool historyChanged = settings.KeepHistory() != m_settings.KeepHistory();
        m_settings = settings;
        ApplySettings();
        // A run that may not write beside the configuration writes no
        // settings there either; the change still holds for this run.
        if (!m_configReadOnly)
            m_settings.Save(SettingsPath());
        // Applied at once: the rows already shown stay, but no more are
        // written (or they are again).
        if (historyChanged) {
            m_historyLog.WriteQueued();
            OpenHistory();
        }
    }
    return confirmed;
}

void CMainDialog::OnConfigure() {
    if (!ConfigurationReadyForChange())
        return;
    const bool confirmed = RunConfigSheet();
    UpdateButtons();
    // A Delete on the Phone Book page is confirmed by the sheet's OK (its
    // Cancel puts the book back), so it is saved here too. Times stamped
    // while the sheet was open waited for it.
    if (confirmed || m_callSavePending)
        SaveConfiguration(true);
}

std::string CMainDialog::HelpPath() const {
    return m_helpPath.empty() ? ProgramDirectory() + "help\\main.html" : m_helpPath;
}

int CMainDialog::ShowMessage(const std::string& text, UINT type) {
    return m_messageBox ? m_messageBox(m_hWnd, text, type) : 0;
}

void CMainDialog::OnHelp() {
    // The help is a set of HTML pages beside the program; main.html is this
    // window's topic.
    const std::string path = HelpPath();
    const std::wstring widePath = WidePath(path);
    const DWORD attributes = GetFileAttributesW(widePath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        ShowMessage(FormatResString(IDS_HELP_MISSING, DisplayPath(path)),
                    MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    ShellExecuteW(m_hWnd, L"open", widePath.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void CMainDialog::OnQuit() {
    m_quitting = true;
    SendMessageA(m_hWnd, WM_CLOSE, 0, 0);
}

void CMainDialog::OnHide() {
    ShowWindow(m_hWnd, SW_HIDE);
}

void CMainDialog::OnOpen() {
    m_startHidden = false;
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    SetForegroundWindow(m_hWnd);
}

void CMainDialog::OnAbout() {
    CAboutDialog about(m_hWnd);
    about.DoModal();
}

bool CMainDialog::OnCommand(WORD id, WORD notifyCode, HWND control) {
    // Buttons and menus (0), accelerators (1).
    if (notifyCode <= 1) {
        for (const CommandHandler& command : kCommands) {
            if (command.id == id) {
                (this->*command.handle)();
                return true;
            }
        }
    }
    // Escape (IDCANCEL) ends the modal run without recording the placement.
    return CDialog::OnCommand(id, notifyCode, control);
}

bool CMainDialog::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->idFrom != IDC_CALL_LIST)
        return false;
    if (m_callList.OnNotify(*header, result))
        return true;
    if (header->code == LVN_ITEMCHANGED)
        UpdateButtons();
    return false;
}

bool CMainDialog::OnClose() {
    // The close box only hides the window; quitting closes it for good.
    if (!m_quitting) {
        ShowWindow(m_hWnd, SW_HIDE);
        return true;
    }
    StorePlacement();
    OnCancel();
    return true;
}

bool CMainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) {
    for (const MessageHandler& handler : kMessages)
        if (handler.message == message)
            return (this->*handler.handle)(wParam, lParam, result);
    return false;
}

void CMainDialog::AddAboutToSystemMenu() {
    const std::string about = LoadResString(IDS_ABOUTBOX);
    HMENU menu = GetSystemMenu(m_hWnd, FALSE);
    if (about.empty() || !menu)
        return;
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuA(menu, MF_STRING, IDM_ABOUTBOX, about.c_str());
}

bool CMainDialog::OnSysCommand(WPARAM command, LPARAM, INT_PTR& result) {
    // The low four bits of a system command are the system's own.
    if ((command & 0xFFF0) != IDM_ABOUTBOX)
        return false;
    OnAbout();
    result = TRUE;
    return true;
}

bool CMainDialog::OnPaint(WPARAM, LPARAM, INT_PTR& result) {
    // A program started minimised shows only its tray icon: the window goes
    // at its first paint, and at every paint until the user opens it.
    if (m_startHidden)
        ShowWindow(m_hWnd, SW_HIDE);
    if (!IsIconic(m_hWnd))
        return false;
    PaintIcon();
    result = TRUE;
    return true;
}

void CMainDialog::PaintIcon() {
    CPaintDC dc(m_hWnd);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
    if (!m_icon)
        return;
    RECT client{};
    GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc.Get(), x, y, m_icon);
}

bool CMainDialog::OnSize(WPARAM type, LPARAM size, INT_PTR&) {
    if (type != SIZE_MINIMIZED) {
        m_layout.Resize(LOWORD(size), HIWORD(size));
        m_callList.FillWidth();
    }
    return false;
}

bool CMainDialog::OnGetMinMaxInfo(WPARAM, LPARAM info, INT_PTR&) {
    m_layout.LimitTracking(*reinterpret_cast<MINMAXINFO*>(info));
    return false;
}

bool CMainDialog::OnQueryDragIcon(WPARAM, LPARAM, INT_PTR& result) {
    // One of the few messages a dialog procedure answers directly.
    result = reinterpret_cast<INT_PTR>(m_icon);
    return true;
}

bool CMainDialog::OnTimer(WPARAM timer, LPARAM, INT_PTR& result) {
    result = TRUE;
    if (timer == kShellTimer) {
        ApplyShellState();
        return true;
    }
    if (timer == kLoadRetryTimer) {
        if (TryLoadConfiguration())
            UpdateButtons();
        return true;
    }
    if (timer == kHistoryRetryTimer) {
        WriteHistory();
        return true;
    }
    if (timer == kCallSaveTimer) {
        // While a call is up the save waits for the next tick: the call's
        // next state or key must not queue behind a whole file's write.
        if (m_screener.LiveCallCount() != 0)
            return true;
        KillTimer(m_hWnd, kCallSaveTimer);
        // The configuration sheet may hold edits not yet confirmed: the save
        // waits for it to close (m_callSavePending stays).
        if (!m_configSheet)
            SaveConfiguration(true);
        return true;
    }
    // Once a minute the tray is given the current tip again, so that it
    // cannot stay out of step with the engine for long.
    m_screener.SetTrayTip(m_screener.TrayTip());
    return true;
}

void CMainDialog::SaveBeforeConfigSheet() {
    // The sheet's pages change the preferences only at OK; its Phone Book
    // page changes the book at once, but keeps the book as it was when it
    // opened. A page never opened changed nothing.
    const std::vector<uint8_t>* snapshot = m_configSheet->PhoneBookPage().Snapshot();
    if (!snapshot) {
        SaveConfiguration();
        return;
    }
    if (m_configReadOnly || ConfigurationUnread())
        return;
    try {
        CPhoneBook before;
        // Sized as the live book, so that reading a large one stays quick.
        before.InitHashTable(m_phoneBook.GetHashTableSize());
        CMemorySource source(*snapshot);
        CArchive ar(source);
        before.Serialize(ar);
        m_configFile.Save(ConfigPath(), m_preferences, before);
    } catch (const std::exception&) {
        // The copy was made by this program from the book in memory; should
        // it not read back, the file on disk stays as it is.
    }
}

bool CMainDialog::OnQueryEndSession(WPARAM, LPARAM, INT_PTR& result) {
    // Log-off or shut-down: save now, then agree to end. Nothing is told:
    // a message box would hold the session up.
    if (m_configSheet)
        SaveBeforeConfigSheet();
    else
        SaveConfiguration();
    SetDialogResult(TRUE);
    result = TRUE;
    return true;
}

bool CMainDialog::OnRunningCopyQuery(WPARAM, LPARAM, INT_PTR& result) {
    SetDialogResult(kRunningCopyAnswer);
    result = TRUE;
    return true;
}

} // namespace rw
