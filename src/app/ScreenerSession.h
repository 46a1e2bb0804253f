// The user's data while the program runs: the phone book, the preferences
// and Ringwarden.ini's settings, the configuration file's state and the
// call history. It decides when each is read, retried, saved and written,
// and offers the commands a user or a call changes them with. It has no
// window: it reports through CScreenerSessionNotify and its timers come
// through CSessionTimers, so its tests drive it by hand. The main window
// renders what it reports and asks the user what it must.
#pragma once

#include "app/CallHistoryLog.h"
#include "app/CallHook.h"
#include "app/ConfigLocation.h"
#include "app/ScreeningRules.h"
#include "app/MessageSettings.h"
#include "app/MessageStore.h"
#include "app/RulePreview.h"
#include "app/Settings.h"
#include "app/TraceLog.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/FileSystem.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "telephony/TapiTrace.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rw {

class CLoggedCall;

// The session's timers. A started timer comes back through
// CScreenerSession::OnTimer every `ms` until stopped, as a window timer
// does; a posted one comes back once, as soon as the message loop is free.
class CSessionTimers {
public:
    enum Timer : unsigned {
        LoadRetry = 1, // a configuration file that could not be read is tried again
        CallSave,      // the last-call times a call stamped are saved
        HistoryWrite,  // queued history rows are written
        OverrideCheck, // an override is looked at: ended, or due a reminder
        TraceWrite,    // queued trace lines are written
        CallHook,      // the program run for each call is started or looked at
    };
    virtual ~CSessionTimers() = default;
    virtual void Start(Timer timer, unsigned ms) = 0;
    virtual void Post(Timer timer) = 0;
    virtual void Stop(Timer timer) = 0;
    // Milliseconds from some fixed moment (wraps, as GetTickCount).
    virtual uint32_t Now() = 0;
    // Blocks for `ms`: only the start's few quick tries of a locked file.
    virtual void Wait(unsigned ms) = 0;
};

// This run's calls as the session sees them: the screener's log.
class CSessionCallLog {
public:
    virtual ~CSessionCallLog() = default;
    virtual size_t CallCount() const = 0;
    virtual CLoggedCall& Call(size_t index) = 0;
    // Calls not yet idle: nothing is saved while one is up.
    virtual size_t LiveCallCount() const = 0;
    // The message the call at `index` left is still being finished: its
    // row waits for it (OnCallChanged comes when it is done).
    virtual bool MessagePending(size_t /*index*/) const { return false; }
};

class CScreenerSessionNotify {
public:
    virtual ~CScreenerSessionNotify() = default;
    // The file is there but cannot be read yet; nothing is written over it.
    virtual void OnConfigurationUnreadable(const std::string& path, const std::string& reason) = 0;
    // This run may read its configuration but never write it (`folder`, the
    // one that could not be used; empty when not even known).
    virtual void OnConfigurationReadOnly(const std::string& folder) = 0;
    // The file was damaged: `read` of the `declared` entries were read; the
    // whole file is kept aside as `keptAs` (empty when it could not be).
    // The session saves nothing until GoOnWithDamagedFile answers.
    virtual void OnConfigurationDamaged(const std::string& path, size_t read, size_t declared,
                                        const std::string& keptAs) = 0;
    // The file was read (at last, or again after another program changed it).
    virtual void OnConfigurationRead() = 0;
    // A save of `path` (the configuration or the settings) failed; told
    // once per reason until a save succeeds.
    virtual void OnSaveFailed(const std::string& path, const std::string& reason) = 0;
    // The calls of earlier runs were read: log indexes `first` on, `count`.
    virtual void OnEarlierCallsReady(size_t first, size_t count) = 0;
    // The call at `logIndex` took its caller's new name.
    virtual void OnCallerRenamed(size_t logIndex) = 0;
    // History rows have waited long enough to matter; told once until they
    // are written.
    virtual void OnHistoryWaiting(const std::string& path, const std::string& reason,
                                  size_t rows) = 0;
    // An override started, ended or was turned off.
    virtual void OnOverrideChanged() {}
    // An override that lasts until it is turned off is still on (at each
    // start, and once a day).
    virtual void OnOverrideReminder() {}
    // The messages folder changed: a message kept, heard or deleted, or the
    // folder filled up or a recording failed.
    virtual void OnMessagesChanged() {}
    // The program set to run for each call could not be started; told once
    // per command line in a run. `reason` is the system's (UTF-8).
    virtual void OnCallHookFailed(const std::string& /*command*/, const std::string& /*reason*/) {}
};

class CScreenerSession : public CTapiTraceSink {
public:
    // Log indexes from here on are the calls of earlier runs.
    static constexpr size_t kEarlierRunBase = size_t(1) << 30;

    // How hard the start tries a configuration file that is there but cannot
    // be read (a backup or a virus scan holding it), and how often it tries
    // again in the background afterwards.
    struct LoadRetry {
        int attempts = 5;
        unsigned intervalMs = 500;
        unsigned backgroundMs = 10000;
    };
    // Rows that still wait this long are told to the user.
    static constexpr uint32_t kHistoryWaitTellMs = 3 * 60 * 1000;
    // History rows are written at most this often.
    static constexpr uint32_t kHistoryWriteMs = 200;

    // `fs` null: the system's files.
    CScreenerSession(const CClock& clock, CSessionTimers& timers,
                     CScreenerSessionNotify* notify = nullptr,
                     std::unique_ptr<CFileSystem> fs = nullptr);
    ~CScreenerSession();
    CScreenerSession(const CScreenerSession&) = delete;
    CScreenerSession& operator=(const CScreenerSession&) = delete;

    CPhoneBook& PhoneBook() { return m_phoneBook; }
    CRingwardenPreferences& Preferences() { return m_preferences; }
    CScreeningRules& Rules() { return m_rules; }
    const CScreeningRules& Rules() const { return m_rules; }
    const CSettings& Settings() const { return m_settings; }
    // The messages callers left, and their settings ([Messages]).
    CMessageStore& Messages() { return m_messages; }
    const CMessageStore& Messages() const { return m_messages; }
    const CMessageSettings& MessageSettings() const { return m_messageSettings; }
    // The Messages page's OK: applied at once, saved unless this run
    // cannot save.
    void ConfirmMessageSettings(const CMessageSettings& settings);
    void SetCallLog(CSessionCallLog* calls) { m_calls = calls; }
    void SetNotify(CScreenerSessionNotify* notify) { m_notify = notify; }

    // Where the data lives, set before the start.
    void SetConfigPath(const std::string& path) { m_configPath = path; }
    void SetConfigLocation(const CConfigLocation::Result& location);
    const std::string& ConfigPath() const { return m_configPath; }
    std::string SettingsPath() const { return CSettings::PathBeside(m_configPath); }
    void SetLoadRetry(const LoadRetry& retry) { m_loadRetry = retry; }
    // How long after a call the last-call times it stamped are saved.
    void SetCallSaveDelay(unsigned ms) { m_callSaveDelayMs = ms; }
    // False: this run neither reads nor writes the call history (--no-history).
    void SetHistoryAllowed(bool allowed) { m_historyAllowed = allowed; }
    // How long rows wait before a locked history file is tried again.
    void SetHistoryRetryInterval(unsigned ms) { m_historyRetryMs = ms; }
    // True: this run keeps the telephony trace whatever the settings say
    // (--trace).
    void SetTraceForced(bool on) { m_traceForced = on; }
    bool TraceOn() const { return m_trace.IsOn(); }
    std::string TracePath() const { return CTraceLog::PathBeside(m_configPath); }
    // Trace lines are written at most this often.
    static constexpr unsigned kTraceWriteMs = 250;

    // CTapiTraceSink: a line for the trace, queued until the next write.
    void OnTapiTrace(const std::string& line) override;

    // The start, in this order: the settings (they say whether the history
    // is kept) and the history before the lines open, so that the first
    // call is kept; then the configuration; then the earlier calls.
    void LoadSettings();
    void OpenHistory();
    // Reads Ringwarden.cfg. A missing file is not reported; a damaged one
    // keeps what was read and is reported; one that cannot be read is tried
    // a few times, reported, and tried again in the background, and nothing
    // is saved over it until it has been read.
    void LoadConfiguration();
    void LoadEarlierCalls();

    // True while the file is there but has not been read.
    bool ConfigurationUnread() const { return m_configFile.IsUnread(m_configPath); }
    bool ReadOnly() const { return m_readOnly; }
    const std::string& LastErrorText() const { return m_configFile.LastErrorText(); }
    // One more try of a file that could not be read; true once it is read.
    bool RetryLoad();
    // The answer to OnConfigurationDamaged: go on with what was read (saved
    // from now on), or not (this run saves nothing over the file).
    void GoOnWithDamagedFile(bool goOn);
    // False while the configuration may not change: unread, or a damaged
    // file not yet answered for.
    bool ReadyForChange() const { return !ConfigurationUnread() && !m_damageUndecided; }

    // A sheet is open over the book (entry pages hold its entries): calls'
    // saves and another program's changes wait until it closes.
    void SetSheetOpen(bool open);
    bool SheetOpen() const { return m_sheetOpen; }

    // Commands. Each saves at once and reports a failure.
    // The configuration sheet's OK: its pages changed the book and the
    // preferences in place; `settings` are the sheet's settings.
    void ConfirmConfiguration(const CSettings& settings);
    // The configuration sheet's Cancel: only the saves it held up.
    void CancelConfiguration();
    // A new entry from the call at `logIndex`'s entry sheet.
    void ConfirmNewEntry(std::unique_ptr<CPhoneBookEntry> entry, size_t logIndex);
    // The entry with lookup key `key` takes `edited`'s fields.
    void ConfirmEntryEdit(const std::string& key, const CPhoneBookEntry& edited);
    // One click: gives the caller of the call at `logIndex` the filter type
    // `filterType`. False when nothing changed (no caller ID to key an entry
    // on, or the configuration not ready).
    bool SetCallerFilter(size_t logIndex, int32_t filterType);

    // Overrides. Each is kept in Ringwarden.ini at once; a choice that
    // cannot be kept there still holds for this run and is reported.
    // `minutes` 0: until the user turns it off.
    void SetOverrideFor(OverrideMode mode, int minutes);
    // Until the default out-of-hours window next ends ("until 7:00").
    void SetOverrideUntilWindowEnds(OverrideMode mode);
    void TurnOffOverride();
    // The override in force now, and its end (universal seconds, or
    // CScreeningOverride::kNever).
    OverrideMode OverrideNow() const { return m_rules.OverrideNow(); }
    long long OverrideUntil() const { return m_rules.Override().Until(); }
    // The local time the default out-of-hours window next ends.
    CDateTime WindowEndAfterNow() const;
    // How often an override is looked at, and how often one without an
    // end is recalled to the user.
    static constexpr unsigned kOverrideCheckMs = 15000;
    static constexpr uint32_t kOverrideReminderMs = 24u * 60 * 60 * 1000;

    // What a call did. Each call is written to the history once, when its
    // outcome is final: once it has ended and its message (if one was being
    // recorded) is known, or at exit and log-off for a call still up. Until
    // then it is kept in the history's unfinished file, so that a crash
    // loses none.
    void OnCallLogged(size_t index);
    void OnCallChanged(size_t index);
    void OnCallEnded(size_t index);
    // The runs of the program set for each call ([Hook]), and how often
    // they are looked at while any runs or waits.
    const CCallHook& CallHook() const { return m_hook; }
    CCallHook& CallHook() { return m_hook; }
    static constexpr unsigned kCallHookCheckMs = 250;

    // Log-off or shut-down: saves now, and keeps the rows that wait. With a
    // configuration sheet open, `bookBefore` is its Phone Book page's copy
    // of the book as it was when the sheet opened (null: the page changed
    // nothing), saved in place of the unconfirmed edits.
    void EndSession(const std::vector<uint8_t>* bookBefore);
    // The program quits: saves, before the lines close.
    void Quit();
    // Once the lines have closed (their calls' last rows queued): the rows
    // that wait get a second of tries, and what still waits is kept for the
    // next start.
    void WriteLastRows();

    void OnTimer(CSessionTimers::Timer timer);

    // The call a list row shows: this run's or an earlier run's.
    CLoggedCall& CallAt(size_t logIndex);
    size_t EarlierCallCount() const { return m_history.size(); }
    const CCallHistoryLog& HistoryLog() const { return m_historyLog; }
    // Every call the list holds (the earlier runs' and this run's), oldest
    // first, as history rows; those before `since` (when not null) left out.
    std::vector<CHistoryRow> CallRows(CDateTime since = CDateTime());
    // This run's calls as history rows (those still up as they are now),
    // and the clock's now: what the statistics count besides the file.
    std::vector<CHistoryRow> ThisRunRows();
    CDateTime Now() const { return m_clock.Now(); }

    // What a rule would have done to the calls of the last kPreviewDays days
    // (this run's and the history's), the rest as it is now; changes
    // nothing. `replacedKey`: the key of the entry being edited (empty for
    // a new one).
    static constexpr int kPreviewDays = 30;
    CRulePreviewResult PreviewEntry(const CPhoneBookEntry& candidate,
                                    const std::string& replacedKey);
    CRulePreviewResult PreviewDefaults(const CRingwardenPreferences& preferences,
                                       unsigned allDayDays);

    // Writes the book and preferences now unless the file is unread or this
    // run cannot save; `report` tells a failure. True when the file holds them.
    // A file another program changed meanwhile is read again first, unless
    // `mineWins` (the user has just confirmed the whole book as shown).
    bool Save(bool report = false, bool mineWins = false);

private:
    bool TryLoadConfiguration();
    // The file changed since this run read or wrote it (another program:
    // rwcfg, a restored backup, a second copy): reads it again and puts this
    // run's last-call times back on top.
    void ReloadIfChangedOutside();
    void RememberStamp();
    void ApplySettings();
    void StartOverride(OverrideMode mode, long long untilUtc);
    // The callers who passed the key check, kept beside the configuration.
    void LoadVerified();
    void SaveVerified();
    void CheckOverride();
    bool SaveSettings(bool report);
    void ReportSaveFailure(const std::string& path, const std::string& reason);
    void ScheduleCallSave();
    void QueueHistory(size_t index);
    // Each call of this run, as far as its row goes.
    enum class RowState : uint8_t { Up, Ended, Written };
    RowState& RowStateOf(size_t index);
    // The call's outcome is final: its row is queued, once.
    // `ended`: the call is over (not only written because Ringwarden quits).
    void FinishCall(size_t index, bool ended);
    // At exit and log-off: the calls still up are written as they are.
    void FinishAllCalls();
    // The calls still up changed: the unfinished file is written again.
    void UnfinishedChanged();
    void ScheduleHistoryWrite();
    void WriteUnfinished();
    void WriteHistory();
    bool KeepWaitingRows();
    void RenameCaller(const std::string& key, const std::string& name);
    // Starts or stops the trace as the settings and the command line say.
    void UpdateTrace();
    // The call's outcome is final: its program run is queued, if it is to
    // have one.
    void CallOutcomeFinal(size_t index);
    void ServiceCallHook();
    CRulePreview MakePreview();
    size_t ThisRunCallCount() const { return m_calls ? m_calls->CallCount() : 0; }

    const CClock& m_clock;
    CSessionTimers& m_timers;
    CScreenerSessionNotify* m_notify;
    CSessionCallLog* m_calls = nullptr;
    std::unique_ptr<CFileSystem> m_fs;
    CPhoneBook m_phoneBook;
    CRingwardenPreferences m_preferences;
    CSettings m_settings;
    CMessageSettings m_messageSettings;
    CMessageStore m_messages{*m_fs};
    CScreeningRules m_rules;
    CConfigFile m_configFile;
    CCallHistoryLog m_historyLog;
    // The calls of earlier runs, read from the history.
    std::vector<std::unique_ptr<CLoggedCall>> m_history;

    std::string m_configPath;
    bool m_readOnly = false;
    std::string m_unusableFolder;
    LoadRetry m_loadRetry;
    // The file as this run last read or wrote it; unknown until then.
    bool m_stampKnown = false;
    CFileStamp m_stamp;
    bool m_damageUndecided = false;
    bool m_sheetOpen = false;
    unsigned m_callSaveDelayMs = 3000;
    bool m_callSavePending = false;
    // A failed save was told for this path with this reason; not told again
    // until a save succeeds or the reason changes.
    std::string m_failureToldPath;
    std::string m_failureToldReason;

    bool m_historyAllowed = true;
    std::vector<RowState> m_rowStates; // by this run's log index
    bool m_unfinishedChanged = false;
    // The unfinished file is written at most this often: it changes with
    // every call, and each write holds the message loop.
    static constexpr uint32_t kUnfinishedWriteMs = 1000;
    bool m_unfinishedWritten = false; // m_lastUnfinishedWrite holds a time
    uint32_t m_lastUnfinishedWrite = 0;
    unsigned m_historyRetryMs = 10000;
    bool m_historyWritePending = false;
    uint32_t m_lastHistoryWrite = 0;
    bool m_historyWritten = false; // m_lastHistoryWrite holds a time
    // The history was there at start but locked: the earlier calls are read
    // once it can be (tried with the writes).
    bool m_earlierCallsUnread = false;
    // Rows have waited since then (m_rowsWaiting); told once.
    bool m_rowsWaiting = false;
    uint32_t m_rowsWaitingSince = 0;
    bool m_rowsWaitingTold = false;

    // An override with an end also ends once that long has passed by the
    // tick count, so that a clock set back never keeps it on longer.
    bool m_overrideDeadlineSet = false;
    uint32_t m_overrideDeadline = 0;
    uint32_t m_lastReminder = 0;
    // The trace's own files are not pushed to the disk at each write.
    std::unique_ptr<CFileSystem> m_traceFs = CreateSystemFileSystem(false);
    CTraceLog m_trace{*m_traceFs};
    bool m_traceForced = false;

    CCallHook m_hook;
    // The command lines whose failure has been told.
    std::vector<std::string> m_hookFailuresTold;
};

} // namespace rw
