#include "ui/MainDialog.h"

#include "app/CallerFilter.h"
#include "app/ProgramDirectory.h"
#include "app/RunningCopy.h"
#include "records/Archive.h"
#include "records/ByteStream.h"
#include "records/CallWorkbook.h"
#include "records/StringTable.h"
#include "records/WidePath.h"
#include "res/resource.h"
#include "telephony/TapiRegistration.h"
#include "app/ModemCheck.h"
#include "ui/AboutDialog.h"
#include "ui/ModemCheckDialog.h"
#include "ui/StatisticsDialog.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/NotificationDialog.h"
#include "ui/PhoneBookPropertySheet.h"
#include "ui/RulePreviewText.h"
#include "ui/framework/AppMessageBox.h"
#include "ui/framework/PaintDC.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <utility>

namespace rw {
namespace {

std::string WindowTextOf(HWND hWnd) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hWnd)) + 1, '\0');
    text.resize(
        static_cast<size_t>(GetWindowTextA(hWnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

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
// The session's timers are window timers from here on (kSessionTimerBase
// plus the timer), and its posted timers this message.
constexpr UINT_PTR kSessionTimerBase = 10;
constexpr UINT kSessionTimer = WM_APP + 0x53;
// Posted by the handshake's answer: a second copy's override, applied once
// that copy has its answer.
constexpr UINT kOverrideRequest = WM_APP + 0x54;
constexpr size_t kEarlierRunBase = CCallListOrder::kEarlierRunBase;
static_assert(kEarlierRunBase == CScreenerSession::kEarlierRunBase);

int PlatformMessageBox(HWND owner, const std::string& text, UINT type) {
    return AppMessageBox(owner, text, type);
}

// The badges: a night blue for quiet, a green for every call ringing.
constexpr COLORREF kQuietBadge = RGB(0x2B, 0x4C, 0x9E);
constexpr COLORREF kAllRingBadge = RGB(0x2E, 0x9E, 0x44);
// Messages wait to be heard: an amber dot, as a phone's answering machine
// shows a light.
constexpr COLORREF kMessageBadge = RGB(0xE0, 0x8A, 0x00);

// A local time as the user reads a clock: hours and minutes, with the
// weekday when it is not today.
std::string ClockText(CDateTime time, CDateTime now) {
    CDateTimeParts p, n;
    if (!time.GetParts(p) || !now.GetParts(n))
        return std::string();
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(p.year);
    st.wMonth = static_cast<WORD>(p.month);
    st.wDay = static_cast<WORD>(p.day);
    st.wHour = static_cast<WORD>(p.hour);
    st.wMinute = static_cast<WORD>(p.minute);
    char clock[64] = {};
    GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &st, nullptr, clock, sizeof clock);
    if (p.year == n.year && p.month == n.month && p.day == n.day)
        return clock;
    char day[32] = {};
    GetDateFormatA(LOCALE_USER_DEFAULT, 0, &st, "ddd", day, sizeof day);
    return std::string(day) + " " + clock;
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
    {IDC_OVERRIDE, &CMainDialog::OnOverrideButton},
    {IDC_OVERRIDE_OFF, &CMainDialog::OnOverrideOff},
    {ID_OVERRIDE_OFF, &CMainDialog::OnOverrideOff},
    {ID_TRAY_CHECK_MODEM, &CMainDialog::OnCheckModem},
    {IDC_EXPORT_CALLS, &CMainDialog::OnExportCalls},
    {ID_CALL_PLAY_MESSAGE, &CMainDialog::OnPlayMessage},
    {ID_CALL_STOP_MESSAGE, &CMainDialog::OnStopMessage},
    {ID_CALL_DELETE_MESSAGE, &CMainDialog::OnDeleteMessage},
    {ID_CALL_OPEN_MESSAGES, &CMainDialog::OnOpenMessages},
    {ID_TRAY_PLAY_NEWEST, &CMainDialog::OnPlayNewest},
    {IDC_STATISTICS, &CMainDialog::OnStatistics},
    {ID_TRAY_STATISTICS, &CMainDialog::OnStatistics},
};

const CMainDialog::MessageHandler CMainDialog::kMessages[] = {
    {WM_SYSCOMMAND, &CMainDialog::OnSysCommand},
    {WM_PAINT, &CMainDialog::OnPaint},
    {WM_QUERYDRAGICON, &CMainDialog::OnQueryDragIcon},
    {WM_TIMER, &CMainDialog::OnTimer},
    {WM_QUERYENDSESSION, &CMainDialog::OnQueryEndSession},
    {kRunningCopyQuery, &CMainDialog::OnRunningCopyQuery},
    {kApplyShellState, &CMainDialog::OnApplyShellState},
    {kSessionTimer, &CMainDialog::OnSessionTimer},
    {WM_CONTEXTMENU, &CMainDialog::OnContextMenu},
    {WM_SIZE, &CMainDialog::OnSize},
    {WM_GETMINMAXINFO, &CMainDialog::OnGetMinMaxInfo},
    {WM_INITMENUPOPUP, &CMainDialog::OnInitMenuPopup},
    {kOverrideRequest, &CMainDialog::OnOverrideRequest},
};

CMainDialog::CMainDialog(const CClock& clock, HWND parent)
    : CDialog(IDD_RINGWARDEN_DIALOG, parent), m_session(clock, *this, this),
      m_screener(m_session.Preferences(), m_session.Rules(), this, GetModuleHandleA(nullptr)),
      m_callList([this](size_t index) -> const CLoggedCall& { return CallAt(index); }),
      m_playback(m_session.Messages(),
                 [this](const std::string& text, UINT type) { return ShowMessage(text, type); }),
      m_supervisor(m_screener, this), m_messageBox(&PlatformMessageBox),
      m_icon(LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN))),
      m_tray(IDR_TRAY_MENU) {}

BOOL CMainDialog::OnInitDialog() {
    AddAboutToSystemMenu();
    SetIcons();
    SetWindowTextA(m_hWnd, LoadResString(IDS_APP_TITLE).c_str());
    m_tray.SetNotifyWindow(m_hWnd, WM_USER);
    m_screener.SetTrayTip(kTrayIdleTip);
    m_session.SetCallLog(this);
    // Ringwarden.ini first: it says whether the history is kept.
    m_session.LoadSettings();
    ApplyOverrideRequest(m_startOverride, m_startOverrideMinutes);
    m_screener.SetMessageTaker(&m_session.Messages());
    // Before the lines open, so that the first call is kept too.
    m_session.OpenHistory();
    // The lines first, so that the icon shows from the start whether they
    // are watched.
    m_supervisor.Start();
    ApplyShellState();
    SetTimer(m_hWnd, kTrayTimer, kTrayTimerMs, nullptr);
    m_session.LoadConfiguration();
    m_callList.Attach(GetDlgItem(IDC_CALL_LIST), GetModuleHandleA(nullptr));
    m_callList.SetUnheard([this](const CLoggedCall& call) {
        return !call.GetRecording().empty() && m_session.Messages().IsUnheard(call.GetRecording());
    });
    m_listEnterKey.SetHookWindow(m_callList.Handle());
    // Messages already there at start were told of by the run that took
    // them: only those left from now on get a balloon.
    if (const StoredMessage* newest = m_session.Messages().NewestUnheard())
        m_newestAnnounced = newest->name;
    m_session.LoadEarlierCalls();
    UpdateButtons();
    m_layout.Attach(m_hWnd);
    RestorePlacement();
    m_startHidden = Preferences().StartMinimised != 0;
    // Last: a message box runs a message loop, in which calls may already
    // be logged into the list.
    TellConfigurationProblems();
    if (m_startupModemCheck)
        CheckLinesSuit();
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
            ShowMessage(FormatResString(IDS_CONFIG_UNREADABLE, DisplayPath(m_session.ConfigPath()),
                                        DisplayPath(m_session.LastErrorText())),
                        MB_OK | MB_ICONEXCLAMATION);
    }
    if (m_tellDamaged) {
        m_tellDamaged = false;
        const bool goOn =
            ShowMessage(m_damagedText, MB_YESNO | MB_ICONEXCLAMATION | MB_DEFBUTTON1) != IDNO;
        m_session.GoOnWithDamagedFile(goOn);
        if (!goOn)
            OnQuit();
    }
}

void CMainDialog::CheckLinesSuit() {
    // No device at all was told at registration.
    if (LineDeviceCount() == 0)
        return;
    std::vector<const CTapiLine*> lines;
    for (const auto& line : m_supervisor.Lines())
        lines.push_back(line.get());
    std::string why;
    for (const CModemDescription& modem : CModemCheck::Describe(lines)) {
        if (ModemSuits(modem))
            return;
        why += modem.name + ": " + VerdictText(JudgeModem(modem).front()) + "\n";
    }
    if (ShowMessage(FormatResString(IDS_NO_LINE_SUITS, why), MB_YESNO | MB_ICONEXCLAMATION) ==
        IDYES)
        OnCheckModem();
}

void CMainDialog::OnConfigurationUnreadable(const std::string&, const std::string&) {
    m_tellUnreadable = true;
}

void CMainDialog::OnConfigurationReadOnly(const std::string& folder) {
    m_tellLocation = true;
    m_locationFolder = folder;
}

void CMainDialog::OnConfigurationDamaged(const std::string& path, size_t read, size_t declared,
                                         const std::string& keptAs) {
    m_tellDamaged = true;
    m_damagedText = FormatResStrings(
        IDS_CONFIG_DAMAGED,
        {DisplayPath(path), std::to_string(read), std::to_string(declared),
         keptAs.empty() ? LoadResString(IDS_CONFIG_DAMAGED_NO_COPY) : DisplayPath(keptAs)});
}

void CMainDialog::OnConfigurationRead() {
    if (!m_hWnd)
        return;
    UpdateButtons();
    if (m_notification)
        m_notification->UpdateLabels();
}

void CMainDialog::OnSaveFailed(const std::string& path, const std::string& reason) {
    ShowMessage(FormatResString(IDS_CONFIG_SAVE_FAILED, DisplayPath(path), DisplayPath(reason)),
                MB_OK | MB_ICONEXCLAMATION);
}

void CMainDialog::OnCallHookFailed(const std::string& command, const std::string& reason) {
    ShowMessage(FormatResString(IDS_HOOK_FAILED, DisplayPath(command), DisplayPath(reason)),
                MB_OK | MB_ICONEXCLAMATION);
}

void CMainDialog::OnEarlierCallsReady(size_t first, size_t count) {
    ForgetMissingMessages(first, count);
    m_callList.AddRows(first, count);
}

void CMainDialog::OnCallerRenamed(size_t logIndex) {
    m_callList.RedrawRow(logIndex);
}

void CMainDialog::OnHistoryWaiting(const std::string& path, const std::string& reason,
                                   size_t rows) {
    ShowMessage(FormatResStrings(IDS_HISTORY_WAITING,
                                 {DisplayPath(path), DisplayPath(reason), std::to_string(rows)}),
                MB_OK | MB_ICONEXCLAMATION);
}

void CMainDialog::OnOverrideChanged() {
    UpdateOverrideLine();
    RequestShellUpdate();
}

void CMainDialog::OnOverrideReminder() {
    m_overrideReminderPending = true;
    RequestShellUpdate();
}

std::string CMainDialog::OverrideText() const {
    const OverrideMode mode = m_session.OverrideNow();
    if (mode == OverrideMode::None)
        return std::string();
    const bool quiet = mode == OverrideMode::Quiet;
    const long long until = m_session.OverrideUntil();
    if (until == CScreeningOverride::kNever)
        return LoadResString(quiet ? IDS_OVERRIDE_QUIET_NEVER : IDS_OVERRIDE_ALL_RING_NEVER);
    // The end in local time: now, moved on by the universal seconds left.
    const CClock& clock = m_session.Rules().Clock();
    const CDateTime now = clock.Now();
    const CDateTime end(now.GetDays() + static_cast<double>(until - clock.UtcSeconds()) / 86400.0);
    return FormatResString(quiet ? IDS_OVERRIDE_QUIET_UNTIL : IDS_OVERRIDE_ALL_RING_UNTIL,
                           ClockText(end, now));
}

void CMainDialog::UpdateOverrideLine() {
    if (!m_hWnd)
        return;
    const std::string text = OverrideText();
    HWND line = GetDlgItem(IDC_OVERRIDE_TEXT);
    HWND off = GetDlgItem(IDC_OVERRIDE_OFF);
    SetWindowTextA(line, text.c_str());
    const int show = text.empty() ? SW_HIDE : SW_SHOWNA;
    // The focus must not stay on a button that goes.
    if (text.empty() && GetFocus() == off)
        SendMessageA(m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_callList.Handle()), TRUE);
    ShowWindow(line, show);
    ShowWindow(off, show);
}

void CMainDialog::OnOverrideButton() {
    HMENU menu = LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_OVERRIDE_MENU));
    if (!menu)
        return;
    RECT button{};
    GetWindowRect(GetDlgItem(IDC_OVERRIDE), &button);
    const UINT command = TrackCallMenu(GetSubMenu(menu, 0), POINT{button.left, button.bottom});
    DestroyMenu(menu);
    if (command)
        OnCommand(static_cast<WORD>(command), 0, nullptr);
}

void CMainDialog::ApplyOverrideRequest(OverrideRequest request, int minutes) {
    switch (request) {
    case OverrideRequest::Quiet:
        m_session.SetOverrideFor(OverrideMode::Quiet, minutes);
        break;
    case OverrideRequest::AllRing:
        m_session.SetOverrideFor(OverrideMode::AllRing, minutes);
        break;
    case OverrideRequest::Off:
        m_session.TurnOffOverride();
        break;
    case OverrideRequest::None:
        break;
    }
}

bool CMainDialog::OnOverrideRequest(WPARAM request, LPARAM minutes, INT_PTR& result) {
    // Only the three a command line can ask for, with minutes it accepts.
    if (request >= static_cast<WPARAM>(OverrideRequest::Quiet) &&
        request <= static_cast<WPARAM>(OverrideRequest::Off) && minutes >= 0 &&
        minutes <= CCommandLine::kMaxOverrideMinutes)
        ApplyOverrideRequest(static_cast<OverrideRequest>(request), static_cast<int>(minutes));
    result = TRUE;
    return true;
}

void CMainDialog::OnOverrideOff() {
    m_session.TurnOffOverride();
}

// --- Messages ----------------------------------------------------------------

std::string CMainDialog::SelectedMessage() {
    const int selected = m_callList.SelectedCall();
    if (selected < 0)
        return std::string();
    return CallAt(static_cast<size_t>(selected)).GetRecording();
}

std::string CMainDialog::MessageCaller(const std::string& name) {
    for (size_t i = m_screener.CallCount(); i-- > 0;) {
        const CLoggedCall& call = std::as_const(m_screener).Call(i);
        if (call.GetRecording() == name)
            return call.GetName();
    }
    for (size_t i = m_session.EarlierCallCount(); i-- > 0;) {
        const CLoggedCall& call = m_session.CallAt(kEarlierRunBase + i);
        if (call.GetRecording() == name)
            return call.GetName();
    }
    return CMessageStore::CallerOf(name);
}

void CMainDialog::OnPlayMessage() {
    const std::string name = SelectedMessage();
    if (!name.empty())
        m_playback.Play(name);
}

void CMainDialog::OnStopMessage() {
    m_playback.Stop();
}

void CMainDialog::OnDeleteMessage() {
    const int selected = m_callList.SelectedCall();
    const std::string name = SelectedMessage();
    if (name.empty())
        return;
    const CLoggedCall& call = CallAt(static_cast<size_t>(selected));
    if (m_playback.Delete(name, call.GetName(), FormatCallTime(call.GetCallTime())))
        ForgetMissingMessages(0, m_screener.CallCount());
}

void CMainDialog::ForgetMissingMessages(size_t first, size_t count) {
    // A row names a message only while its file is in the folder: one the
    // user deleted, or one gone outside the program, leaves the column.
    const CMessageStore& store = m_session.Messages();
    auto forget = [&](size_t logIndex) {
        CLoggedCall& call = CallAt(logIndex);
        if (!call.GetRecording().empty() && !store.Has(call.GetRecording())) {
            call.SetRecording(std::string(), 0);
            m_callList.RedrawRow(logIndex);
        }
    };
    for (size_t i = 0; i < count; ++i)
        forget(first + i);
    if (first == 0)
        for (size_t i = 0; i < m_session.EarlierCallCount(); ++i)
            forget(kEarlierRunBase + i);
}

void CMainDialog::OnOpenMessages() {
    m_playback.OpenFolder(m_hWnd);
}

void CMainDialog::OnPlayNewest() {
    if (const StoredMessage* newest = m_session.Messages().NewestUnheard())
        m_playback.Play(newest->name);
}

void CMainDialog::OnMessagesChanged() {
    if (!m_hWnd)
        return;
    m_callList.RedrawAll();
    const CMessageStore& store = m_session.Messages();
    const StoredMessage* newest = store.NewestUnheard();
    if (newest && newest->name > m_newestAnnounced)
        m_announcePending = true;
    if (!store.DiskFull())
        m_diskFullTold = false;
    RequestShellUpdate();
}

void CMainDialog::AnnounceNewMessages() {
    const CMessageStore& store = m_session.Messages();
    if (store.DiskFull() && !m_diskFullTold) {
        m_diskFullTold = true;
        ShowBalloon(IDS_APP_TITLE, IDS_MESSAGES_DISK_FULL, true);
        return;
    }
    if (!m_announcePending)
        return;
    m_announcePending = false;
    const StoredMessage* newest = store.NewestUnheard();
    if (!newest || newest->name <= m_newestAnnounced)
        return;
    m_newestAnnounced = newest->name;
    if (!m_session.MessageSettings().Balloon())
        return;
    // The length as the list shows it, from the call that left it.
    CLoggedCall length;
    length.SetRecording(newest->name, 0);
    for (size_t i = m_screener.CallCount(); i-- > 0;) {
        const CLoggedCall& call = std::as_const(m_screener).Call(i);
        if (call.GetRecording() == newest->name)
            length.SetRecording(newest->name, call.GetRecordingMs());
    }
    m_balloonTopic = IDS_BALLOON_NEW_MESSAGE;
    m_tray.ShowBalloon(
        LoadResString(IDS_BALLOON_NEW_MESSAGE_TITLE),
        FormatResStrings(IDS_BALLOON_NEW_MESSAGE,
                         {MessageCaller(newest->name), CCallListOrder::MessageText(length)}),
        NIIF_INFO);
}

void CMainDialog::OnOverrideChoice(WORD id) {
    const bool quiet = id <= ID_QUIET_NEVER;
    const OverrideMode mode = quiet ? OverrideMode::Quiet : OverrideMode::AllRing;
    switch (id - (quiet ? ID_QUIET_30 : ID_ALL_RING_30)) {
    case 0:
        m_session.SetOverrideFor(mode, 30);
        break;
    case 1:
        m_session.SetOverrideFor(mode, 60);
        break;
    case 2:
        m_session.SetOverrideFor(mode, 120);
        break;
    case 3:
        m_session.SetOverrideUntilWindowEnds(mode);
        break;
    default:
        m_session.SetOverrideFor(mode, 0);
        break;
    }
}

bool CMainDialog::OnInitMenuPopup(WPARAM wParam, LPARAM, INT_PTR& result) {
    HMENU menu = reinterpret_cast<HMENU>(wParam);
    // "Until 8:00": the end of the out-of-hours window, by the clock.
    const std::string until =
        FormatResString(IDS_MENU_UNTIL_WINDOW_END,
                        ClockText(m_session.WindowEndAfterNow(), m_session.WindowEndAfterNow()));
    for (UINT id : {ID_QUIET_WINDOW_END, ID_ALL_RING_WINDOW_END})
        if (GetMenuState(menu, id, MF_BYCOMMAND) != static_cast<UINT>(-1))
            ModifyMenuA(menu, id, MF_BYCOMMAND | MF_STRING, id, until.c_str());
    EnableMenuItem(menu, ID_OVERRIDE_OFF,
                   MF_BYCOMMAND |
                       (m_session.OverrideNow() == OverrideMode::None ? MF_GRAYED : MF_ENABLED));
    EnableMenuItem(menu, ID_TRAY_PLAY_NEWEST,
                   MF_BYCOMMAND | (m_session.Messages().NewestUnheard() ? MF_ENABLED : MF_GRAYED));
    result = 0;
    return true;
}

void CMainDialog::Start(Timer timer, unsigned ms) {
    if (m_hWnd)
        SetTimer(m_hWnd, kSessionTimerBase + timer, ms, nullptr);
}

void CMainDialog::Post(Timer timer) {
    if (m_hWnd)
        PostMessageA(m_hWnd, kSessionTimer, timer, 0);
}

void CMainDialog::Stop(Timer timer) {
    if (m_hWnd)
        KillTimer(m_hWnd, kSessionTimerBase + timer);
}

bool CMainDialog::OnSessionTimer(WPARAM timer, LPARAM, INT_PTR& result) {
    m_session.OnTimer(static_cast<Timer>(timer));
    result = TRUE;
    return true;
}

void CMainDialog::OnDestroy() {
    KillTimer(m_hWnd, kTrayTimer);
    KillTimer(m_hWnd, kShellTimer);
    m_popupPending = false;
    // The popup (owned by this window) normally went before; if not, it goes
    // before the configuration is saved, so nothing of it comes later.
    if (m_notification)
        m_notification->DestroyWindow();
    m_playback.Shutdown();
    m_listEnterKey.SetHookWindow(nullptr);
    m_session.Quit();
    // The supervisor ends the calls' sound, lets the calls go while the
    // lines they belong to are open, then closes the lines.
    m_supervisor.Stop();
    // Rows still queued (and those of calls the supervisor just let go).
    m_session.WriteLastRows();
    for (unsigned timer :
         {CSessionTimers::LoadRetry, CSessionTimers::CallSave, CSessionTimers::HistoryWrite,
          CSessionTimers::OverrideCheck, CSessionTimers::TraceWrite, CSessionTimers::CallHook})
        KillTimer(m_hWnd, kSessionTimerBase + timer);
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

bool CMainDialog::ConfigurationReadyForChange() {
    while (ConfigurationUnread()) {
        const int answer = ShowMessage(FormatResString(IDS_CONFIG_NOT_READ_YET,
                                                       DisplayPath(m_session.ConfigPath()),
                                                       DisplayPath(m_session.LastErrorText())),
                                       MB_RETRYCANCEL | MB_ICONEXCLAMATION);
        if (answer != IDRETRY)
            return false;
        m_session.RetryLoad();
    }
    return m_session.ReadyForChange();
}

void CMainDialog::RestorePlacement() {
    CRingwardenPreferences& preferences = Preferences();
    if (!preferences.GetMainPlacementValid())
        return;
    static_assert(sizeof(WINDOWPLACEMENT) == sizeof(RwWindowPlacement));
    WINDOWPLACEMENT placement;
    std::memcpy(&placement, preferences.GetMainPlacement(), sizeof placement);
    // A placement on a monitor that has gone would put the window where
    // nobody can reach it.
    RECT workArea{};
    RECT overlap;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    if (!IntersectRect(&overlap, &placement.rcNormalPosition, &workArea)) {
        preferences.SetMainPlacementValid(0);
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
    std::memcpy(Preferences().GetMainPlacement(), &placement, sizeof placement);
    Preferences().SetMainPlacementValid(1);
}

void CMainDialog::OnCallLogged(size_t index) {
    m_callList.AddRow(index);
    UpdateButtons();
    m_session.OnCallLogged(index);
}

void CMainDialog::OnCallChanged(size_t index) {
    m_callList.RedrawRow(index);
    UpdateButtons();
    m_session.OnCallChanged(index);
}

void CMainDialog::OnCallEnded(size_t index) {
    m_session.OnCallEnded(index);
}

bool CMainDialog::SetCallerFilter(size_t logIndex, int32_t filterType) {
    // The tray and the popup still work while a sheet is open, but the sheet
    // holds the entries it shows: a change made and saved now would save
    // the configuration sheet's unconfirmed edits with it (and its Cancel
    // would undo this one), and an entry sheet's OK would write the old
    // filter back.
    if (m_configSheet) {
        SetForegroundWindow(m_configSheet->GetSafeHwnd());
        ShowMessage(LoadResString(IDS_ONE_CLICK_SHEET_OPEN), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (m_entrySheetOpen) {
        ShowMessage(LoadResString(IDS_ONE_CLICK_ENTRY_OPEN), MB_OK | MB_ICONINFORMATION);
        return false;
    }
    if (!ConfigurationReadyForChange())
        return false;
    if (!m_session.SetCallerFilter(logIndex, filterType))
        return false;
    UpdateButtons();
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
    else if (EarlierCallCount() != 0)
        SetCallerFilter(kEarlierRunBase + EarlierCallCount() - 1, FilterAlwaysBlock);
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
    const bool inBook = keyed && PhoneBook().Lookup(call.GetLookupKey()) != nullptr;
    EnableMenuItem(items, ID_CALL_BLOCK, keyed ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(items, ID_CALL_NEVER_BLOCK, keyed ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(items, ID_CALL_EDIT, inBook ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(items, ID_CALL_COPY_NUMBER, call.GetNumber().empty() ? MF_GRAYED : MF_ENABLED);
    const bool message = !call.GetRecording().empty();
    EnableMenuItem(items, ID_CALL_PLAY_MESSAGE, message ? MF_ENABLED : MF_GRAYED);
    EnableMenuItem(items, ID_CALL_STOP_MESSAGE,
                   m_playback.Playing().empty() ? MF_GRAYED : MF_ENABLED);
    EnableMenuItem(items, ID_CALL_DELETE_MESSAGE, message ? MF_ENABLED : MF_GRAYED);
    if (message)
        SetMenuDefaultItem(items, ID_CALL_PLAY_MESSAGE, FALSE);
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
    // A call in progress shows its own state; otherwise the line's health,
    // and on a healthy line a messages folder too full to record.
    const CLineHealth& health = m_supervisor.Health();
    if (m_trayTip != kTrayIdleTip && health.State() != LineWatch::NotWatching)
        return m_trayTip;
    const UINT idle = health.IdleIcon();
    if (idle == IDI_TRAY_IDLE && MessagesWarning() != 0)
        return IDI_TRAY_WARNING;
    return idle;
}

UINT CMainDialog::MessagesWarning() const {
    const CMessageStore& store = m_session.Messages();
    if (store.Full())
        return IDS_MESSAGES_FULL;
    return store.DiskFull() ? IDS_MESSAGES_DISK_FULL : 0;
}

std::string CMainDialog::TrayTipText() const {
    const CLineHealth& health = m_supervisor.Health();
    std::string tip;
    if (m_trayTip != kTrayIdleTip && health.State() != LineWatch::NotWatching)
        tip = LoadResString(m_trayTip);
    else if (health.IdleIcon() == IDI_TRAY_IDLE && MessagesWarning() != 0)
        tip = LoadResString(MessagesWarning());
    else
        tip = LoadResString(health.IdleTip());
    return tip + NewMessagesTip();
}

std::string CMainDialog::NewMessagesTip() const {
    const size_t unheard = m_session.Messages().UnheardCount();
    if (unheard == 0)
        return std::string();
    std::string tip(1, '\n');
    tip += unheard == 1 ? LoadResString(IDS_NEW_MESSAGE_ONE)
                        : FormatResString(IDS_NEW_MESSAGES, std::to_string(unheard));
    return tip;
}

void CMainDialog::ShowBalloon(UINT titleId, UINT textId, bool warning) {
    m_balloonTopic = textId;
    m_tray.ShowBalloon(LoadResString(titleId), LoadResString(textId),
                       warning ? NIIF_WARNING : NIIF_INFO);
}

void CMainDialog::OnBalloonClicked() {
    // A new message's balloon plays it.
    if (m_balloonTopic == IDS_BALLOON_NEW_MESSAGE) {
        OnPlayNewest();
        return;
    }
    // The override's reminder leads to the window with its Turn off; every
    // other balloon but "watching again" points to what to check.
    if (m_balloonTopic == IDS_OVERRIDE_REMINDER) {
        OnOpen();
        return;
    }
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
    const OverrideMode mode = m_session.OverrideNow();
    const bool unheard = m_session.Messages().UnheardCount() != 0;
    if (mode == OverrideMode::None && !unheard) {
        m_tray.SetTrayIcon(TrayIconId(), TrayTipText());
    } else {
        const COLORREF overrideBadge = mode == OverrideMode::None    ? CBadgedIcon::kNone
                                       : mode == OverrideMode::Quiet ? kQuietBadge
                                                                     : kAllRingBadge;
        const HICON badged =
            m_badgedIcon.Make(GetModuleHandleA(nullptr), TrayIconId(), overrideBadge,
                              unheard ? kMessageBadge : CBadgedIcon::kNone);
        // While no call is up the tip says which override and until when.
        const std::string tip =
            mode != OverrideMode::None && m_trayTip == kTrayIdleTip && TrayIconId() == IDI_TRAY_IDLE
                ? OverrideText() + NewMessagesTip()
                : TrayTipText();
        if (badged)
            m_tray.SetTrayIcon(badged, tip.c_str());
        else
            m_tray.SetTrayIcon(TrayIconId(), tip);
    }
    // Each change of the line's health is told once, when it starts and
    // when it ends; a balloon needs the icon in place.
    UINT title = 0, text = 0;
    bool warning = false;
    if (m_supervisor.TakeAnnouncement(title, text, warning))
        ShowBalloon(title, text, warning);
    if (m_dropFailedPending) {
        m_dropFailedPending = false;
        ShowBalloon(IDS_APP_TITLE, IDS_DROP_FAILED, true);
    } else if (m_announcePending || (m_session.Messages().DiskFull() && !m_diskFullTold)) {
        AnnounceNewMessages();
    } else if (m_overrideReminderPending) {
        m_overrideReminderPending = false;
        m_balloonTopic = IDS_OVERRIDE_REMINDER;
        m_tray.ShowBalloon(LoadResString(IDS_APP_TITLE),
                           FormatResString(IDS_OVERRIDE_REMINDER, OverrideText()), NIIF_INFO);
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
        PhoneBook().Lookup(CallAt(static_cast<size_t>(selected)).GetLookupKey()) != nullptr;
    EnableButton(IDC_EDIT_ENTRY, selected >= 0 && inBook);
    EnableButton(IDC_ADD_ENTRY, selected >= 0 && !inBook);
}

void CMainDialog::OnAddEntry() {
    if (!ConfigurationReadyForChange())
        return;
    const int selected = m_callList.SelectedCall();
    if (selected < 0)
        return;
    const size_t logIndex = static_cast<size_t>(selected);
    const CLoggedCall& call = CallAt(logIndex);
    // The file read just now may already hold the caller.
    if (PhoneBook().Lookup(call.GetLookupKey()))
        return;
    // The entry is for the caller's number when the caller ID gave one,
    // named as the caller ID named it (the user can change both).
    CPhoneBookEntry entry;
    entry.Number = call.GetNumber();
    if (call.HasNumber())
        entry.Name = call.GetCallerIdName();
    entry.LastCallTime = call.GetCallTime();
    if (std::unique_ptr<CPhoneBookEntry> confirmed = EditEntry(entry))
        m_session.ConfirmNewEntry(std::move(confirmed), logIndex);
    UpdateButtons();
}

void CMainDialog::OnEditEntry() {
    if (!ConfigurationReadyForChange())
        return;
    const int selected = m_callList.SelectedCall();
    if (selected < 0)
        return;
    const std::string key = CallAt(static_cast<size_t>(selected)).GetLookupKey();
    const CPhoneBookEntry* entry = PhoneBook().Lookup(key);
    if (!entry)
        return;
    // The sheet edits a copy: the book may change under it (another
    // program's save read again, a call's time stamped), and only OK
    // changes the entry.
    if (std::unique_ptr<CPhoneBookEntry> confirmed = EditEntry(*entry))
        m_session.ConfirmEntryEdit(key, *confirmed);
    UpdateButtons();
}

std::unique_ptr<CPhoneBookEntry> CMainDialog::EditEntry(const CPhoneBookEntry& entry) {
    auto copy = std::make_unique<CPhoneBookEntry>(entry);
    m_entrySheetOpen = true;
    m_session.SetSheetOpen(true);
    const bool confirmed = RunEntrySheet(*copy);
    m_session.SetSheetOpen(false);
    m_entrySheetOpen = false;
    return confirmed ? std::move(copy) : nullptr;
}

// Both sheets are modal to this window, not ownerless: a second sheet opened
// from here while one runs could free entries the first still shows (a
// phone book page's Cancel replaces every entry), and Quit could end the
// program under an open sheet.
bool CMainDialog::RunEntrySheet(CPhoneBookEntry& entry) {
    CPhoneBookPropertySheet sheet(entry, PhoneBook(), Preferences(), IDS_ENTRY_SHEET_CAPTION,
                                  m_hWnd);
    sheet.SetPreview([this, replaced = entry.LookupKey](const CPhoneBookEntry& candidate) {
        return RulePreviewText(m_session.PreviewEntry(candidate, replaced), IDS_PREVIEW_ENTRY,
                               CScreenerSession::kPreviewDays);
    });
    return sheet.DoModal() == IDOK;
}

bool CMainDialog::RunConfigSheet() {
    CConfigPropertySheet sheet(Preferences(), PhoneBook(), IDS_CONFIG_SHEET_CAPTION, m_hWnd);
    sheet.SetSettings(m_sheetSettings);
    sheet.SetMessageSettings(m_sheetMessageSettings);
    sheet.SetMessageStatus(MessageStatusText());
    sheet.SetEntryPreview([this](const CPhoneBookEntry& candidate, const std::string& replaced) {
        return RulePreviewText(m_session.PreviewEntry(candidate, replaced), IDS_PREVIEW_ENTRY,
                               CScreenerSession::kPreviewDays);
    });
    sheet.SetDefaultsPreview([this](const CRingwardenPreferences& candidate, unsigned days) {
        return RulePreviewText(m_session.PreviewDefaults(candidate, days), IDS_PREVIEW_DEFAULTS,
                               CScreenerSession::kPreviewDays);
    });
    m_configSheet = &sheet;
    const bool confirmed = sheet.DoModal() == IDOK;
    m_configSheet = nullptr;
    return confirmed;
}

void CMainDialog::OnConfigure() {
    if (!ConfigurationReadyForChange())
        return;
    // The sheet edits a copy of the settings: Cancel leaves those in use
    // alone.
    m_sheetSettings = m_session.Settings();
    m_sheetMessageSettings = m_session.MessageSettings();
    m_session.SetSheetOpen(true);
    const bool confirmed = RunConfigSheet();
    m_session.SetSheetOpen(false);
    if (confirmed) {
        m_session.ConfirmConfiguration(m_sheetSettings);
        m_session.ConfirmMessageSettings(m_sheetMessageSettings);
    } else
        m_session.CancelConfiguration();
    UpdateButtons();
}

std::string CMainDialog::MessageStatusText() const {
    if (m_session.Messages().ModemCannotRecord())
        return LoadResString(IDS_MESSAGES_CANNOT_RECORD);
    if (m_session.ReadOnly())
        return LoadResString(IDS_MESSAGES_NO_FOLDER);
    std::string text =
        FormatResString(IDS_MESSAGES_CAN_RECORD, DisplayPath(m_session.Messages().Folder()));
    if (const UINT warning = MessagesWarning()) {
        text += "\n\n";
        text += LoadResString(warning);
    }
    return text;
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

void CMainDialog::ShowCallsFrom(const std::string& text) {
    SetDlgItemTextA(m_hWnd, IDC_CALL_SEARCH, text.c_str());
    OnOpen();
}

void CMainDialog::OnOpen() {
    m_startHidden = false;
    ShowWindow(m_hWnd, SW_SHOWNORMAL);
    SetForegroundWindow(m_hWnd);
}

std::string CMainDialog::ModemReportNow() const {
    std::vector<const CTapiLine*> lines;
    for (const auto& line : m_supervisor.Lines())
        lines.push_back(line.get());
    return ModemReport(CModemCheck::Describe(lines));
}

void CMainDialog::OnCheckModem() {
    CModemCheckDialog check(m_hWnd, ModemReportNow(), &m_screener, &m_session.Rules().Clock());
    check.DoModal();
}

bool CMainDialog::AskExportPath(std::string& path) {
    wchar_t file[MAX_PATH] = L"Ringwarden calls.xlsx";
    // "Name|*.ext|": the dialog wants NULs between the parts.
    std::wstring filter = WidePath(LoadResString(IDS_EXPORT_FILTER));
    for (wchar_t& c : filter)
        if (c == L'|')
            c = L'\0';
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = m_hWnd;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrDefExt = L"xlsx";
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
    if (!GetSaveFileNameW(&ofn))
        return false;
    path = Utf8Path(file);
    return true;
}

void CMainDialog::OnExportCalls() {
    ExportRows(m_session.CallRows());
}

void CMainDialog::ExportRows(const std::vector<CHistoryRow>& rows) {
    std::string path;
    if (!AskExportPath(path))
        return;
    // Times as the user's short date and time read.
    char date[80] = {}, time[80] = {};
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SSHORTDATE, date, sizeof date);
    GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIMEFORMAT, time, sizeof time);
    std::string error;
    if (CCallWorkbook::Write(path, rows, CCallWorkbook::TimeFormatFrom(date, time), error))
        ShowMessage(
            FormatResString(IDS_EXPORT_DONE, std::to_string(rows.size()), DisplayPath(path)),
            MB_OK | MB_ICONINFORMATION);
    else
        ShowMessage(FormatResString(IDS_EXPORT_FAILED, DisplayPath(path), error),
                    MB_OK | MB_ICONEXCLAMATION);
}

void CMainDialog::OnStatistics() {
    // The history file is read by the window, off this thread; this run's
    // calls are copied now. A caller chosen there is searched for in the
    // list, ready behind it.
    CStatisticsDialog statistics(
        m_hWnd,
        CStatisticsInput{m_session.HistoryLog().Path(), m_session.ThisRunRows(), m_session.Now()});
    statistics.SetCallerChosen([this](const std::string& number) { ShowCallsFrom(number); });
    statistics.SetExportCalls([this](const std::vector<CHistoryRow>& rows) { ExportRows(rows); });
    statistics.DoModal();
}

void CMainDialog::OnAbout() {
    CAboutDialog about(m_hWnd);
    about.DoModal();
}

bool CMainDialog::OnCommand(WORD id, WORD notifyCode, HWND control) {
    // The search box: the list follows each change, and Esc empties it.
    HWND search = GetDlgItem(IDC_CALL_SEARCH);
    if (id == IDC_CALL_SEARCH && notifyCode == EN_CHANGE) {
        m_callList.SetSearch(WindowTextOf(search));
        UpdateButtons();
        return true;
    }
    if (id == IDCANCEL && GetFocus() == search && GetWindowTextLengthA(search) > 0) {
        SetWindowTextA(search, "");
        return true;
    }
    // Enter in the box goes to the calls found, never to Configure: the
    // box is the default while it has the focus.
    if (id == IDC_CALL_SEARCH && (notifyCode == EN_SETFOCUS || notifyCode == EN_KILLFOCUS)) {
        SendMessageA(m_hWnd, DM_SETDEFID,
                     notifyCode == EN_SETFOCUS ? IDC_CALL_SEARCH : IDC_CONFIGURE, 0);
        return true;
    }
    if (id == IDC_CALL_SEARCH && notifyCode == BN_CLICKED) {
        SetFocus(m_callList.Handle());
        return true;
    }
    // Buttons and menus (0), accelerators (1).
    if (notifyCode <= 1 && id >= ID_QUIET_30 && id <= ID_ALL_RING_NEVER) {
        OnOverrideChoice(id);
        return true;
    }
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
    // A double-click or Enter on a row plays the message it left.
    if (header->code == NM_DBLCLK || header->code == NM_RETURN) {
        OnPlayMessage();
        result = 0;
        return true;
    }
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
    if (timer >= kSessionTimerBase + CSessionTimers::LoadRetry &&
        timer <= kSessionTimerBase + CSessionTimers::CallHook) {
        m_session.OnTimer(static_cast<Timer>(timer - kSessionTimerBase));
        return true;
    }
    // Once a minute the tray is given the current tip again, so that it
    // cannot stay out of step with the engine for long.
    m_screener.SetTrayTip(m_screener.TrayTip());
    return true;
}

bool CMainDialog::OnQueryEndSession(WPARAM, LPARAM, INT_PTR& result) {
    // Log-off or shut-down: save now, then agree to end. Nothing is told:
    // a message box would hold the session up.
    m_session.EndSession(m_configSheet ? m_configSheet->PhoneBookPage().Snapshot() : nullptr);
    SetDialogResult(TRUE);
    result = TRUE;
    return true;
}

bool CMainDialog::OnRunningCopyQuery(WPARAM request, LPARAM minutes, INT_PTR& result) {
    if (request != 0)
        PostMessageA(m_hWnd, kOverrideRequest, request, minutes);
    SetDialogResult(kRunningCopyAnswer);
    result = TRUE;
    return true;
}

} // namespace rw
