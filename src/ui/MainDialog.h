// The main window: a dialog that runs modally for the program's whole life.
// It lists the calls of this run, leads to the phone book and the
// configuration, and hides in the tray instead of closing. It owns the
// records and the screening engine, which follows the lines and tells the
// window what changed through CCallScreenerNotify.
#pragma once

#include "app/CallHistoryLog.h"
#include "app/CallScreener.h"
#include "app/ConfigLocation.h"
#include "app/LineSupervisor.h"
#include "app/ScreeningRules.h"
#include "app/Settings.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "telephony/TapiLine.h"
#include "ui/CallListView.h"
#include "ui/MainWindowLayout.h"
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
                    public CNotificationOwner {
public:
    // Shows a message box and returns the button pressed.
    using MessageBoxFn = std::function<int(HWND owner, const std::string& text, UINT type)>;

    explicit CMainDialog(const CClock& clock, HWND parent = nullptr);
    // Destroys the window here, while the records still exist, so that the
    // configuration is saved.
    ~CMainDialog() override { DestroyWindow(); }

    CPhoneBook& PhoneBook() { return m_phoneBook; }
    CRingwardenPreferences& Preferences() { return m_preferences; }
    CScreeningRules& Rules() { return m_rules; }
    // The settings of Ringwarden.ini, read at start beside the
    // configuration file and written when the configuration sheet's OK
    // changes them.
    CSettings& Settings() { return m_settings; }
    std::string SettingsPath() const { return CSettings::PathBeside(ConfigPath()); }
    CCallScreener& Screener() { return m_screener; }
    // The call a list row shows: this run's (the screener's log) or, from
    // CCallListOrder::kEarlierRunBase on, an earlier run's (the history).
    CLoggedCall& CallAt(size_t logIndex);
    // The calls of earlier runs shown in the list, oldest first.
    size_t EarlierCallCount() const { return m_history.size(); }
    const CCallHistoryLog& HistoryLog() const { return m_historyLog; }
    const CCallListView& CallList() const { return m_callList; }
    const std::vector<std::unique_ptr<CTapiLine>>& Lines() const { return m_supervisor.Lines(); }
    CLineSupervisor& Supervisor() { return m_supervisor; }
    // The call state the tray shows: string 130, 131 or 132. While the line
    // is not watched, or watched with a warning, the idle state shows that
    // instead (TrayIconId and TrayTipText say what the tray holds).
    UINT TrayTip() const { return m_trayTip; }
    UINT TrayIconId() const;
    std::string TrayTipText() const;
    const CTrayIcon& Tray() const { return m_tray; }

    // How hard the start tries a configuration file that is there but cannot
    // be read (a backup or a virus scan holding it), and how often it tries
    // again in the background afterwards.
    struct LoadRetry {
        int attempts = 5;
        DWORD intervalMs = 500;
        UINT backgroundMs = 10000;
    };

    // Reads Ringwarden.cfg into the preferences and the phone book. A
    // missing or damaged file is not reported (what was read stays); one
    // that cannot be read is tried a few times, then reported once (when the
    // window has opened) and tried again in the background, and nothing is
    // saved over it until it has been read.
    void LoadConfiguration();
    // Writes them back at once, unless the file has not been read or this
    // run cannot save. A failure leaves the old file and the records as
    // they are; with `report` it is told once (until a save succeeds again).
    // True when the file now holds the records.
    bool SaveConfiguration(bool report = false);
    // The file to use instead of the one beside the executable.
    void SetConfigPath(const std::string& path) { m_configPath = path; }
    // Where the configuration lives this run; one that cannot be saved is
    // told to the user when the window opens.
    void SetConfigLocation(const CConfigLocation::Result& location);
    void SetLoadRetry(const LoadRetry& retry) { m_loadRetry = retry; }
    // How long after a call the last-call times it stamped are saved.
    void SetCallSaveDelay(UINT ms) { m_callSaveDelayMs = ms; }
    // True while the file is there but has not been read.
    bool ConfigurationUnread() const { return m_configFile.IsUnread(ConfigPath()); }
    // The help document to open instead of the one beside the executable.
    void SetHelpPath(const std::string& path) { m_helpPath = path; }
    // False: this run neither reads nor writes the call history, whatever
    // Ringwarden.ini says (--no-history). Set before the window opens.
    void SetHistoryAllowed(bool allowed) { m_historyAllowed = allowed; }
    // How long rows wait before a locked history file is tried again.
    void SetHistoryRetryInterval(UINT ms) { m_historyRetryMs = ms; }

    // One click: gives the caller of the call at `logIndex` the filter type
    // `filterType` (FilterAlwaysBlock, FilterNeverBlock), making the entry
    // or changing only the filter type of the one there, saves at once and
    // renames the rows of the same caller. False when nothing changed (no
    // caller ID to key an entry on, or the configuration not read yet).
    bool SetCallerFilter(size_t logIndex, int32_t filterType);

    // Replaces the platform's message box (tests answer it themselves).
    void SetMessageBox(MessageBoxFn show) { m_messageBox = std::move(show); }

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
    CRingwardenPreferences& NotificationPreferences() override { return m_preferences; }
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
    std::string ConfigPath() const;
    std::string HelpPath() const;
    int ShowMessage(const std::string& text, UINT type);
    // Tells once what LoadConfiguration and SetConfigLocation found wrong.
    void TellConfigurationProblems();
    // One load of the file; false while it is still unreadable.
    bool TryLoadConfiguration();
    // Before the configuration is changed: true once the file has been read;
    // until then tells the user why not, and tries again while asked to.
    bool ConfigurationReadyForChange();
    // Reads Ringwarden.ini and hands its settings to the screening.
    void LoadSettings();
    void ApplySettings();
    // The last-call times of a call are saved a few seconds after it.
    void ScheduleCallSave();
    // At log-off with the configuration sheet open: the records as they
    // were before it opened.
    void SaveBeforeConfigSheet();

    // The call history: opened (or not) at start and when the Preferences
    // page changes it; its rows are written from the message loop.
    void OpenHistory();
    void ShowEarlierCalls();
    void QueueHistory(size_t index);
    bool OnWriteHistory(WPARAM, LPARAM, INT_PTR& result);
    void WriteHistory();
    // Every row of the caller with lookup key `key` takes the name `name`.
    void RenameCaller(const std::string& key, const std::string& name);

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
    void OnBalloonClicked();

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

    CPhoneBook m_phoneBook;
    CRingwardenPreferences m_preferences;
    CSettings m_settings;
    CScreeningRules m_rules;
    CCallScreener m_screener;
    // The calls of earlier runs, read from the history at start.
    std::vector<std::unique_ptr<CLoggedCall>> m_history;
    CCallListView m_callList;
    CMainWindowLayout m_layout;
    // Opens the lines with the screener as their listener and keeps them
    // open.
    CLineSupervisor m_supervisor;
    std::unique_ptr<CFileSystem> m_fileSystem;
    CConfigFile m_configFile;
    CCallHistoryLog m_historyLog;
    bool m_historyAllowed = true;
    bool m_historyWritePending = false; // a write is posted or on its timer
    DWORD m_lastHistoryWrite = 0;
    // The history was there at start but locked: the earlier calls are
    // listed once it can be read (tried with the writes).
    bool m_earlierCallsUnread = false;
    UINT m_historyRetryMs = 10000;
    std::string m_configPath;
    // This run reads but never writes the configuration (its folder could
    // not be used); m_locationFolder is told to the user at start.
    bool m_configReadOnly = false;
    bool m_tellLocation = false;
    bool m_tellUnreadable = false;
    std::string m_locationFolder;
    LoadRetry m_loadRetry;
    UINT m_callSaveDelayMs = 3000;
    bool m_callSavePending = false;
    // A failed save was told with this reason; not told again until a save
    // succeeds or the reason changes.
    bool m_saveFailureTold = false;
    std::string m_saveFailureReason;
    // The configuration sheet while it is open: at log-off its phone book
    // page's copy of the book is saved, not the edits not yet confirmed.
    CConfigPropertySheet* m_configSheet = nullptr;
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
    // What the last balloon was about, for its click: the help topic.
    UINT m_balloonTopic = 0;
    // Hides the window at each paint until the user opens it from the
    // tray; set from StartMinimised at initialisation.
    bool m_startHidden = true;
    // The close request then ends the program instead of hiding the window.
    bool m_quitting = false;
};

} // namespace rw
