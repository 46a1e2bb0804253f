// The main window: a dialog that runs modally for the program's whole life.
// It lists the calls of this run, leads to the phone book and the
// configuration, and hides in the tray instead of closing. It renders and
// asks; the session (CScreenerSession) decides what happens to the user's
// data and the screening engine follows the lines, and both tell the window
// what changed through their notify interfaces.
#pragma once

#include "app/CallScreener.h"
#include "app/CommandLine.h"
#include "app/ConfigLocation.h"
#include "app/LineSupervisor.h"
#include "app/ScreenerSession.h"
#include "records/Clock.h"
#include "telephony/TapiLine.h"
#include "ui/BadgedIcon.h"
#include "ui/CallListView.h"
#include "ui/ListEnterKey.h"
#include "ui/MainWindowLayout.h"
#include "ui/MessagePlayback.h"
#include "ui/NotificationOwner.h"
#include "ui/TrayIcon.h"
#include "ui/framework/Dialog.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rw {

class CConfigPropertySheet;
class CNotificationDialog;

class CMainDialog : public CDialog,
                    public CCallScreenerNotify,
                    public CLineSupervisorNotify,
                    public CNotificationOwner,
                    public CScreenerSessionNotify,
                    public CSessionTimers,
                    public CSessionCallLog {
public:
    // Shows a message box and returns the button pressed.
    using MessageBoxFn = std::function<int(HWND owner, const std::string& text, UINT type)>;

    explicit CMainDialog(const CClock& clock, HWND parent = nullptr);
    // Destroys the window here, while the records still exist, so that the
    // configuration is saved.
    ~CMainDialog() override { DestroyWindow(); }

    // The session: the user's data and what happens to it.
    CScreenerSession& Session() { return m_session; }
    CPhoneBook& PhoneBook() { return m_session.PhoneBook(); }
    CRingwardenPreferences& Preferences() { return m_session.Preferences(); }
    CScreeningRules& Rules() { return m_session.Rules(); }
    std::string SettingsPath() const { return m_session.SettingsPath(); }
    CCallScreener& Screener() { return m_screener; }
    // The call a list row shows: this run's (the screener's log) or, from
    // CCallListOrder::kEarlierRunBase on, an earlier run's (the history).
    CLoggedCall& CallAt(size_t logIndex) { return m_session.CallAt(logIndex); }
    // The calls of earlier runs shown in the list, oldest first.
    size_t EarlierCallCount() const { return m_session.EarlierCallCount(); }
    const CCallHistoryLog& HistoryLog() const { return m_session.HistoryLog(); }
    const CCallListView& CallList() const { return m_callList; }
    const std::vector<std::unique_ptr<CTapiLine>>& Lines() const { return m_supervisor.Lines(); }
    CLineSupervisor& Supervisor() { return m_supervisor; }
    // The call state the tray shows: string 130, 131 or 132. While the line
    // is not watched, or watched with a warning, the idle state shows that
    // instead (TrayIconId and TrayTipText say what the tray holds).
    UINT TrayTip() const { return m_trayTip; }
    UINT TrayIconId() const;
    std::string TrayTipText() const;
    // The messages folder's warning for the tray (full, or a recording cut
    // short by a full disk), or 0.
    UINT MessagesWarning() const;
    // "\n2 new messages" for the tray's tip, or empty.
    std::string NewMessagesTip() const;
    const CTrayIcon& Tray() const { return m_tray; }

    // Set before the window opens; see CScreenerSession.
    void SetConfigPath(const std::string& path) { m_session.SetConfigPath(path); }
    void SetConfigLocation(const CConfigLocation::Result& location) {
        m_session.SetConfigLocation(location);
    }
    using LoadRetry = CScreenerSession::LoadRetry;
    void SetLoadRetry(const LoadRetry& retry) { m_session.SetLoadRetry(retry); }
    void SetCallSaveDelay(UINT ms) { m_session.SetCallSaveDelay(ms); }
    bool ConfigurationUnread() const { return m_session.ConfigurationUnread(); }
    void SetHistoryAllowed(bool allowed) { m_session.SetHistoryAllowed(allowed); }
    void SetTraceForced(bool on) { m_session.SetTraceForced(on); }
    // The text "Check the modem" shows and copies.
    std::string ModemReportNow() const;
    void SetHistoryRetryInterval(UINT ms) { m_session.SetHistoryRetryInterval(ms); }
    // An override asked for on the command line, set once the settings are
    // read (so that it replaces the one they hold).
    void SetStartOverride(OverrideRequest request, int minutes) {
        m_startOverride = request;
        m_startOverrideMinutes = minutes;
    }
    // Whether the window, once open, checks that some line can screen calls
    // and offers "Check the modem" when none can (the program does; tests
    // of other things need not).
    void SetStartupModemCheck(bool on) { m_startupModemCheck = on; }
    // The help document to open instead of the one beside the executable.
    void SetHelpPath(const std::string& path) { m_helpPath = path; }

    // One click: gives the caller of the call at `logIndex` the filter type
    // `filterType` (FilterAlwaysBlock, FilterNeverBlock). Refused, with a
    // word to the user, while a sheet is open over the book or the
    // configuration has not been read. False when nothing changed.
    bool SetCallerFilter(size_t logIndex, int32_t filterType);

    // Shows the main window with its list filtered to the calls `text` finds
    // (a name, or a number in any writing), as if typed in the search box.
    void ShowCallsFrom(const std::string& text);

    // Replaces the platform's message box (tests answer it themselves).
    void SetMessageBox(MessageBoxFn show) { m_messageBox = std::move(show); }

    // CScreenerSessionNotify.
    void OnConfigurationUnreadable(const std::string& path, const std::string& reason) override;
    void OnConfigurationReadOnly(const std::string& folder) override;
    void OnConfigurationDamaged(const std::string& path, size_t read, size_t declared,
                                const std::string& keptAs) override;
    void OnConfigurationRead() override;
    void OnSaveFailed(const std::string& path, const std::string& reason) override;
    void OnEarlierCallsReady(size_t first, size_t count) override;
    void OnCallerRenamed(size_t logIndex) override;
    void OnHistoryWaiting(const std::string& path, const std::string& reason, size_t rows) override;
    void OnOverrideChanged() override;
    void OnOverrideReminder() override;
    void OnMessagesChanged() override;
    // Plays messages on the computer's speakers (tests choose the device).
    CMessagePlayback& Playback() { return m_playback; }
    void OnCallHookFailed(const std::string& command, const std::string& reason) override;
    // What the override line above the list says, and the tray's tip while
    // no call is up; empty while no override is on.
    std::string OverrideText() const;
    // CSessionTimers: window timers and posted messages.
    void Start(Timer timer, unsigned ms) override;
    void Post(Timer timer) override;
    void Stop(Timer timer) override;
    uint32_t Now() override { return GetTickCount(); }
    void Wait(unsigned ms) override { Sleep(ms); }
    // CSessionCallLog: the screener's log.
    size_t CallCount() const override { return m_screener.CallCount(); }
    CLoggedCall& Call(size_t index) override { return m_screener.Call(index); }
    // Calls that only wait for a failing drop do not hold the save up.
    size_t LiveCallCount() const override { return m_screener.CallsUpCount(); }
    bool MessagePending(size_t index) const override { return m_screener.MessagePending(index); }

    // CCallScreenerNotify.
    void OnCallLogged(size_t index) override;
    void OnCallChanged(size_t index) override;
    void OnTrayTipChanged(UINT id) override;
    void OnShowNotification(size_t index) override;
    void OnRefreshNotification(size_t index) override;
    void OnCallerIdOutcome(bool arrived) override;
    void OnCallEnded(size_t index) override;
    void OnDropFailed(size_t index) override;
    // CLineSupervisorNotify.
    void OnLineHealthChanged() override;

    // The tray icon and the popup change at most every 200 ms and never
    // while a call is being screened: the changes are applied from the
    // message loop.

    // CNotificationOwner.
    CRingwardenPreferences& NotificationPreferences() override { return m_session.Preferences(); }
    void OnNotificationDestroyed(CNotificationDialog* dialog) override;
    void OnBlockCaller(const CLoggedCall* call) override;
    // The incoming call popup while it exists (shown or hidden by the user).
    CNotificationDialog* Notification() const { return m_notification; }

protected:
    BOOL OnInitDialog() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;
    bool OnClose() override;
    void OnDestroy() override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    // The phone book entry sheet on `entry`, modal to this window; true when
    // the user confirmed.
    virtual bool RunEntrySheet(CPhoneBookEntry& entry);
    // The configuration sheet, modal to this window; true when the user
    // confirmed.
    virtual bool RunConfigSheet();
    // The call list's context menu at `screenPoint`; the command chosen, or
    // 0 (tests choose without a menu).
    virtual UINT TrackCallMenu(HMENU menu, POINT screenPoint);

private:
    struct CommandHandler {
        WORD id;
        void (CMainDialog::*handle)();
    };
    struct MessageHandler {
        UINT message;
        bool (CMainDialog::*handle)(WPARAM wParam, LPARAM lParam, INT_PTR& result);
    };
    static const CommandHandler kCommands[];
    static const MessageHandler kMessages[];

    void AddAboutToSystemMenu();
    void SetIcons();
    void RestorePlacement();
    void StorePlacement();
    void UpdateButtons();
    void EnableButton(int id, bool enable);
    std::string HelpPath() const;
    // What the Messages page says of where messages are kept, or why none
    // are recorded.
    std::string MessageStatusText() const;
    int ShowMessage(const std::string& text, UINT type);
    // Tells once, when the window has opened, what the session's start found
    // wrong.
    void TellConfigurationProblems();
    // At start: when no line device can screen calls, says why and offers
    // the modem check.
    void CheckLinesSuit();
    // Before the configuration is changed: true once the file has been read;
    // until then tells the user why not, and tries again while asked to.
    bool ConfigurationReadyForChange();
    bool OnSessionTimer(WPARAM timer, LPARAM, INT_PTR& result);
    // The entry sheet on a copy of `entry`; the copy, confirmed, or null.
    std::unique_ptr<CPhoneBookEntry> EditEntry(const CPhoneBookEntry& entry);

    // Commands
    void OnBlockSelected();
    void OnNeverBlockSelected();
    void OnEditSelected();
    void OnCopyNumber();
    void OnBlockLastCaller();
    void OnAddEntry();
    void OnEditEntry();
    void OnConfigure();
    void OnHelp();
    void OnQuit();
    void OnHide();
    void OnOpen();
    void OnAbout();
    // "Check the modem": the report on every line device, through the
    // program's own lines where they are open.
    void OnCheckModem();
    // "Export calls...": every call in the list, to an .xlsx workbook the
    // user names.
    void OnExportCalls();
    // Asks where, then writes `rows` to a workbook and says how it went.
    void ExportRows(const std::vector<CHistoryRow>& rows);
    // Asks where to save a workbook; false when the user cancelled.
    virtual bool AskExportPath(std::string& path);
    // The statistics window, from the button and the tray menu.
    void OnStatistics();
    void OnBalloonClicked();
    void OnOverrideButton();
    void OnOverrideOff();
    // Messages: the selected call's, and the newest not heard.
    void OnPlayMessage();
    void OnStopMessage();
    void OnDeleteMessage();
    void OnOpenMessages();
    void OnPlayNewest();
    // The message the selected call left, or empty.
    std::string SelectedMessage();
    // The caller a message names: the call that left it, else its file's
    // digits.
    std::string MessageCaller(const std::string& name);
    // Clears the message of the calls from log index `first` on (and, from
    // 0, of the earlier runs' too) whose file is no longer in the folder.
    void ForgetMissingMessages(size_t first, size_t count);
    // Tells, with a balloon, of messages left since the last look.
    void AnnounceNewMessages();
    // A choice from an override menu (the tray's or the button's).
    void OnOverrideChoice(WORD id);
    // The override line above the list: shown with its text while one is on.
    void UpdateOverrideLine();
    bool OnInitMenuPopup(WPARAM menu, LPARAM, INT_PTR& result);
    // An override from the command line, this copy's or a second copy's.
    void ApplyOverrideRequest(OverrideRequest request, int minutes);
    bool OnOverrideRequest(WPARAM request, LPARAM minutes, INT_PTR& result);

    // Window messages
    bool OnSysCommand(WPARAM command, LPARAM, INT_PTR& result);
    bool OnPaint(WPARAM, LPARAM, INT_PTR& result);
    bool OnQueryDragIcon(WPARAM, LPARAM, INT_PTR& result);
    bool OnTimer(WPARAM timer, LPARAM, INT_PTR& result);
    bool OnApplyShellState(WPARAM, LPARAM, INT_PTR& result);
    void RequestShellUpdate();
    void ApplyShellState();
    void ShowNotification(size_t index);
    void ShowBalloon(UINT titleId, UINT textId, bool warning);
    bool OnQueryEndSession(WPARAM, LPARAM, INT_PTR& result);
    bool OnContextMenu(WPARAM window, LPARAM at, INT_PTR& result);
    bool OnRunningCopyQuery(WPARAM, LPARAM, INT_PTR& result);
    bool OnSize(WPARAM type, LPARAM size, INT_PTR& result);
    bool OnGetMinMaxInfo(WPARAM, LPARAM info, INT_PTR& result);
    void PaintIcon();

    // First: the screener reads its rules and preferences.
    CScreenerSession m_session;
    CCallScreener m_screener;
    CCallListView m_callList;
    CListEnterKey m_listEnterKey;
    CMessagePlayback m_playback;
    // The newest message told of by a balloon (or there at start).
    std::string m_newestAnnounced;
    bool m_announcePending = false;
    // A recording that stopped on a full disk was told of.
    bool m_diskFullTold = false;
    CMainWindowLayout m_layout;
    // Opens the lines with the screener as their listener and keeps them
    // open.
    CLineSupervisor m_supervisor;
    // What the session's start found wrong, told once the window has opened.
    bool m_tellLocation = false;
    std::string m_locationFolder;
    bool m_tellUnreadable = false;
    bool m_tellDamaged = false;
    std::string m_damagedText;
    // A sheet over the book is open: the configuration sheet (whose phone
    // book page's copy is saved at log-off) or an entry sheet.
    CConfigPropertySheet* m_configSheet = nullptr;
    bool m_entrySheetOpen = false;
    // The settings the configuration sheet edits, taken at OK.
    CSettings m_sheetSettings;
    CMessageSettings m_sheetMessageSettings;
    std::string m_helpPath;
    MessageBoxFn m_messageBox;
    // Icon 128, shared by the system (LoadIcon): never destroyed.
    HICON m_icon;
    UINT m_trayTip = 130;
    // Shows m_trayTip in the notification area while the window exists.
    CTrayIcon m_tray;
    // The one incoming call popup; it deletes itself when its window goes
    // and tells this window first.
    CNotificationDialog* m_notification = nullptr;
    // A tray or popup change waits to be applied (posted or on the timer).
    bool m_shellUpdatePending = false;
    DWORD m_lastShellUpdate = 0;
    // The popup is to show the logged call m_popupCall.
    bool m_popupPending = false;
    size_t m_popupCall = 0;
    // A failed hang-up waits to be told (shown with the tray).
    bool m_dropFailedPending = false;
    // An override without an end waits to be recalled (shown with the tray).
    bool m_overrideReminderPending = false;
    OverrideRequest m_startOverride = OverrideRequest::None;
    int m_startOverrideMinutes = 0;
    // The tray's icon with the override's badge.
    CBadgedIcon m_badgedIcon;
    // What the last balloon was about, for its click: the help topic.
    UINT m_balloonTopic = 0;
    // Hides the window at each paint until the user opens it from the
    // tray; set from StartMinimised at initialisation.
    bool m_startHidden = true;
    // The close request then ends the program instead of hiding the window.
    bool m_quitting = false;
    bool m_startupModemCheck = false;
};

} // namespace rw
