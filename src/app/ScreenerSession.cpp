#include "app/ScreenerSession.h"

#include "app/CallerFilter.h"
#include "records/Archive.h"
#include "records/ByteStream.h"
#include "records/LoggedCall.h"
#include "records/LookupKey.h"
#include "records/VerifiedFile.h"
#include "records/WidePath.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>
#include <utility>

namespace rw {
namespace {

// Lookup keys compare as the call list compares them.
bool SameKey(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

} // namespace

CScreenerSession::CScreenerSession(const CClock& clock, CSessionTimers& timers,
                                   CScreenerSessionNotify* notify, std::unique_ptr<CFileSystem> fs)
    : m_clock(clock), m_timers(timers), m_notify(notify),
      m_fs(fs ? std::move(fs) : CreateSystemFileSystem()),
      m_rules(m_phoneBook, m_preferences, clock), m_configFile(*m_fs), m_historyLog(*m_fs, clock) {
    m_historyLog.SetUnfinishedFileSystem(*m_traceFs);
}

CScreenerSession::~CScreenerSession() {
    // Nothing may report to a session that is gone.
    if (m_trace.IsOn()) {
        SetTapiTraceSink(nullptr);
        SetActiveTrace(nullptr);
        m_trace.Stop();
    }
}

void CScreenerSession::SetConfigLocation(const CConfigLocation::Result& location) {
    m_configPath = location.path;
    m_readOnly = !location.canSave;
    m_unusableFolder = location.unusableFolder;
}

// --- Ringwarden.ini ---------------------------------------------------------

void CScreenerSession::LoadSettings() {
    m_settings.Load(SettingsPath());
    m_messageSettings.Load(SettingsPath());
    ApplySettings();
    // Messages live beside the configuration; a run that cannot save it
    // (or has not read it) records none.
    m_messages.SetCanSave([this] { return !m_readOnly && ReadyForChange(); });
    m_messages.SetOnChange([this] {
        if (m_notify)
            m_notify->OnMessagesChanged();
    });
    m_messages.Open(CMessageStore::FolderBeside(m_configPath));
    LoadVerified();
}

// --- Ringwarden-verified.txt ----------------------------------------------------

void CScreenerSession::LoadVerified() {
    std::unique_ptr<CReadFile> file = m_fs->OpenRead(VerifiedPathFor(m_configPath));
    if (!file)
        return;
    size_t skipped = 0;
    m_rules.Verified().Load(ReadVerified(*file, skipped));
}

void CScreenerSession::SaveVerified() {
    CVerifiedCallers& verified = m_rules.Verified();
    if (!verified.Dirty() || m_readOnly)
        return;
    const std::string text = FormatVerified(verified.Entries(m_clock.UtcSeconds()));
    // Written as the configuration is: a crash leaves the old list or the
    // new one, never half of one.
    if (WriteFileSafely(*m_fs, VerifiedPathFor(m_configPath), [&text](CByteSink& sink) {
            if (!sink.Write(text.data(), text.size()))
                throw CArchiveException(CArchiveException::writeFailed, 0, "list not written");
        }))
        verified.SetSaved();
}

void CScreenerSession::ApplySettings() {
    m_rules.RepeatedCalls().SetMinutes(m_settings.EffectiveRepeatedCallMinutes());
    m_rules.SetRepeatsWithoutEntry(m_settings.RepeatedCallsWithoutEntry());
    m_rules.SetAllDayOutOfHours(m_settings.AllDayOutOfHours());
    m_rules.SetKeyCheck(m_settings.KeyCheck());
    m_rules.SetKeyCheckPrompt(m_settings.KeyCheckPrompt());
    m_rules.Verified().SetDays(m_settings.VerifiedDays());
    // The override read from the file: one whose end has passed is gone.
    const OverrideMode mode = m_settings.Override();
    const long long until = m_settings.OverrideUntil();
    if (mode != m_rules.Override().Mode() || until != m_rules.Override().Until()) {
        const bool ended = mode != OverrideMode::None && until != CScreeningOverride::kNever &&
                           until <= m_clock.UtcSeconds();
        if (ended)
            m_settings.SetOverride(OverrideMode::None, 0);
        StartOverride(m_settings.Override(), m_settings.OverrideUntil());
        if (m_settings.Override() != OverrideMode::None &&
            m_settings.OverrideUntil() == CScreeningOverride::kNever && m_notify)
            m_notify->OnOverrideReminder();
    }
    m_messages.SetRules(m_messageSettings.Rules());
    m_messages.SetMaxSeconds(static_cast<unsigned>(m_messageSettings.MaxSeconds()));
    UpdateTrace();
}

// --- Overrides ------------------------------------------------------------------

void CScreenerSession::StartOverride(OverrideMode mode, long long untilUtc) {
    m_rules.Override().Set(mode, untilUtc);
    m_overrideDeadlineSet = false;
    if (mode == OverrideMode::None) {
        m_timers.Stop(CSessionTimers::OverrideCheck);
        return;
    }
    if (untilUtc != CScreeningOverride::kNever) {
        const long long seconds = std::max(0LL, untilUtc - m_clock.UtcSeconds());
        m_overrideDeadline =
            m_timers.Now() + static_cast<uint32_t>(std::min(seconds, 86400LL * 40) * 1000);
        m_overrideDeadlineSet = true;
    }
    m_lastReminder = m_timers.Now();
    m_timers.Start(CSessionTimers::OverrideCheck, kOverrideCheckMs);
}

void CScreenerSession::SetOverrideFor(OverrideMode mode, int minutes) {
    const long long until =
        minutes <= 0 ? CScreeningOverride::kNever : m_clock.UtcSeconds() + 60LL * minutes;
    m_settings.SetOverride(mode, until);
    StartOverride(mode, until);
    SaveSettings(true);
    if (m_notify)
        m_notify->OnOverrideChanged();
}

CDateTime CScreenerSession::WindowEndAfterNow() const {
    const CDateTime now = m_clock.Now();
    CDateTimeParts end, today;
    if (!m_preferences.OutOfHoursEnd.GetParts(end) || !now.GetParts(today))
        return CDateTime();
    CDateTime at =
        CDateTime::FromParts(today.year, today.month, today.day, end.hour, end.minute, 0);
    if (!(now < at))
        at = CDateTime(at.GetDays() + 1);
    return at;
}

void CScreenerSession::SetOverrideUntilWindowEnds(OverrideMode mode) {
    const CDateTime end = WindowEndAfterNow();
    if (!end.IsValid())
        return;
    // Local times differ by what the wall clock says; universal seconds
    // count from now.
    const long long seconds = std::llround((end.GetDays() - m_clock.Now().GetDays()) * 86400.0);
    const long long until = m_clock.UtcSeconds() + seconds;
    m_settings.SetOverride(mode, until);
    StartOverride(mode, until);
    SaveSettings(true);
    if (m_notify)
        m_notify->OnOverrideChanged();
}

void CScreenerSession::TurnOffOverride() {
    m_settings.SetOverride(OverrideMode::None, 0);
    StartOverride(OverrideMode::None, 0);
    SaveSettings(true);
    if (m_notify)
        m_notify->OnOverrideChanged();
}

void CScreenerSession::CheckOverride() {
    if (m_rules.Override().Mode() == OverrideMode::None) {
        m_timers.Stop(CSessionTimers::OverrideCheck);
        return;
    }
    const bool pastDeadline =
        m_overrideDeadlineSet && static_cast<int32_t>(m_timers.Now() - m_overrideDeadline) >= 0;
    if (m_rules.OverrideNow() == OverrideMode::None || pastDeadline) {
        TurnOffOverride();
        return;
    }
    if (m_rules.Override().Until() == CScreeningOverride::kNever &&
        m_timers.Now() - m_lastReminder >= kOverrideReminderMs) {
        m_lastReminder = m_timers.Now();
        if (m_notify)
            m_notify->OnOverrideReminder();
    }
}

void CScreenerSession::UpdateTrace() {
    // A run that may not write beside the configuration writes no trace
    // there either.
    const bool want = (m_traceForced || m_settings.Trace()) && !m_readOnly && !m_configPath.empty();
    if (want == m_trace.IsOn())
        return;
    if (want) {
        CDateTimeParts now;
        m_clock.Now().GetParts(now);
        char header[96];
        std::snprintf(header, sizeof header,
                      "Ringwarden telephony trace, started %04d-%02d-%02d %02d:%02d:%02d; "
                      "each line starts with a millisecond tick",
                      now.year, now.month, now.day, now.hour, now.minute, now.second);
        m_trace.Start(TracePath(), CTraceLog::PathBeside(m_configPath, true), header);
        SetActiveTrace(&m_trace);
        SetTapiTraceSink(this);
        m_timers.Start(CSessionTimers::TraceWrite, kTraceWriteMs);
    } else {
        SetTapiTraceSink(nullptr);
        SetActiveTrace(nullptr);
        m_timers.Stop(CSessionTimers::TraceWrite);
        m_trace.Stop();
    }
}

void CScreenerSession::OnTapiTrace(const std::string& line) {
    m_trace.Add(m_timers.Now(), line);
}

void CScreenerSession::ConfirmMessageSettings(const CMessageSettings& settings) {
    m_messageSettings = settings;
    ApplySettings();
    if (m_readOnly || m_messageSettings.Save(SettingsPath()))
        return;
    ReportSaveFailure(SettingsPath(), SystemErrorText(GetLastError()));
}

bool CScreenerSession::SaveSettings(bool report) {
    // A run that may not write beside the configuration writes no settings
    // there either; the change still holds for this run.
    if (m_readOnly)
        return false;
    if (m_settings.Save(SettingsPath()))
        return true;
    if (report)
        ReportSaveFailure(SettingsPath(), m_settings.LastErrorText());
    return false;
}

// --- Ringwarden.cfg ---------------------------------------------------------

bool CScreenerSession::TryLoadConfiguration() {
    const CConfigFile::LoadResult result =
        m_configFile.Load(m_configPath, m_preferences, m_phoneBook);
    if (result == CConfigFile::LoadResult::unreadable)
        return false;
    m_timers.Stop(CSessionTimers::LoadRetry);
    RememberStamp();
    if (result == CConfigFile::LoadResult::damaged) {
        // What was read is used only once the user says so; the whole file
        // is kept aside first, so that nothing of it can be lost.
        m_damageUndecided = true;
        std::string keptAs;
        if (!m_readOnly && m_configFile.KeepDamagedCopyNow(m_configPath))
            keptAs = m_configFile.DamagedCopy();
        if (m_notify)
            m_notify->OnConfigurationDamaged(m_configPath, m_configFile.DamagedEntriesRead(),
                                             m_configFile.DamagedEntriesDeclared(), keptAs);
    }
    return true;
}

void CScreenerSession::LoadConfiguration() {
    if (m_readOnly && m_notify)
        m_notify->OnConfigurationReadOnly(m_unusableFolder);
    // A backup or a virus scan usually lets go within moments.
    for (int attempt = 1; !TryLoadConfiguration(); ++attempt) {
        if (attempt >= m_loadRetry.attempts) {
            m_timers.Start(CSessionTimers::LoadRetry, m_loadRetry.backgroundMs);
            if (m_notify)
                m_notify->OnConfigurationUnreadable(m_configPath, m_configFile.LastErrorText());
            return;
        }
        m_timers.Wait(m_loadRetry.intervalMs);
    }
}

bool CScreenerSession::RetryLoad() {
    if (!ConfigurationUnread())
        return true;
    if (!TryLoadConfiguration())
        return false;
    if (m_notify)
        m_notify->OnConfigurationRead();
    return true;
}

void CScreenerSession::GoOnWithDamagedFile(bool goOn) {
    m_damageUndecided = false;
    // Not going on: the file stays as it is for the user to mend, and this
    // run writes nothing over it.
    if (!goOn)
        m_readOnly = true;
}

void CScreenerSession::RememberStamp() {
    m_stampKnown = m_fs->Stamp(m_configPath, m_stamp);
}

void CScreenerSession::ReloadIfChangedOutside() {
    if (!m_stampKnown || m_sheetOpen || ConfigurationUnread())
        return;
    CFileStamp now;
    if (!m_fs->Stamp(m_configPath, now) || now == m_stamp)
        return;
    // Read into fresh records: a file that cannot be read now, or is
    // damaged, leaves this run's records alone, and the save that follows
    // writes them as before.
    CRingwardenPreferences preferences;
    CPhoneBook book;
    CConfigFile reader(*m_fs);
    if (reader.Load(m_configPath, preferences, book) != CConfigFile::LoadResult::loaded)
        return;
    // This run's own later changes are the last-call times its calls
    // stamped: each entry keeps the later of the two.
    book.ForEach([this](const std::string& key, CPhoneBookEntry& entry) {
        const CPhoneBookEntry* mine = m_phoneBook.Lookup(key);
        if (mine && mine->LastCallTime.IsValid() &&
            (!entry.LastCallTime.IsValid() || entry.LastCallTime < mine->LastCallTime))
            entry.LastCallTime = mine->LastCallTime;
    });
    // The records keep their identity (the rules and the screener hold
    // them): their contents are replaced.
    CMemorySink sink;
    {
        CArchive out(sink);
        WriteConfiguration(out, preferences, book);
        out.Flush();
    }
    CMemorySource source(sink.Bytes());
    CArchive in(source);
    m_phoneBook.DeleteAllEntries();
    try {
        ReadConfiguration(in, m_preferences, m_phoneBook);
    } catch (const std::exception&) {
        // Written by this program a moment ago; it reads back.
    }
    m_stamp = now;
    if (m_notify)
        m_notify->OnConfigurationRead();
}

bool CScreenerSession::Save(bool report, bool mineWins) {
    m_timers.Stop(CSessionTimers::CallSave);
    m_callSavePending = false;
    if (m_readOnly || !ReadyForChange())
        return false;
    if (!mineWins)
        ReloadIfChangedOutside();
    if (m_configFile.Save(m_configPath, m_preferences, m_phoneBook)) {
        RememberStamp();
        if (m_failureToldPath == m_configPath)
            m_failureToldPath.clear();
        return true;
    }
    if (report)
        ReportSaveFailure(m_configPath, m_configFile.LastErrorText());
    return false;
}

void CScreenerSession::ReportSaveFailure(const std::string& path, const std::string& reason) {
    if (m_failureToldPath == path && m_failureToldReason == reason)
        return;
    m_failureToldPath = path;
    m_failureToldReason = reason;
    if (m_notify)
        m_notify->OnSaveFailed(path, reason);
}

void CScreenerSession::ScheduleCallSave() {
    if (m_callSavePending || m_readOnly)
        return;
    m_callSavePending = true;
    m_timers.Start(CSessionTimers::CallSave, m_callSaveDelayMs);
}

void CScreenerSession::SetSheetOpen(bool open) {
    m_sheetOpen = open;
}

// --- Commands ---------------------------------------------------------------

void CScreenerSession::ConfirmConfiguration(const CSettings& settings) {
    const bool historyChanged = settings.KeepHistory() != m_settings.KeepHistory();
    // The override is not the sheet's: one set or ended while it was open
    // stays as it is now.
    const OverrideMode mode = m_settings.Override();
    const long long until = m_settings.OverrideUntil();
    m_settings = settings;
    m_settings.SetOverride(mode, until);
    ApplySettings();
    SaveSettings(true);
    // Applied at once: the rows already shown stay, but no more are written
    // (or they are again).
    if (historyChanged) {
        m_historyLog.WriteQueued();
        // Turned off: the calls still up are not kept for the next start
        // either.
        if (!m_settings.KeepHistory())
            m_historyLog.RemoveUnfinished();
        OpenHistory();
    }
    // A Delete on the Phone Book page is confirmed by the sheet's OK (its
    // Cancel puts the book back), so it is saved here too. The book the
    // user confirmed is the one kept, even over a file another program
    // wrote while the sheet was open.
    Save(true, true);
}

void CScreenerSession::CancelConfiguration() {
    // Times stamped while the sheet was open waited for it.
    if (m_callSavePending)
        Save(true);
}

void CScreenerSession::ConfirmNewEntry(std::unique_ptr<CPhoneBookEntry> entry, size_t logIndex) {
    ReloadIfChangedOutside();
    entry->MakeLookupKey();
    entry->InPhoneBook = 1;
    const std::string key = entry->LookupKey;
    const std::string name = entry->Name;
    m_phoneBook.SetAt(key, std::move(entry));
    // The user may have typed another number; only the caller's own entry
    // renames the caller's rows. Their actions stay what screening made them.
    if (SameKey(key, CallAt(logIndex).GetLookupKey()))
        RenameCaller(key, name);
    Save(true);
}

void CScreenerSession::ConfirmEntryEdit(const std::string& key, const CPhoneBookEntry& edited) {
    ReloadIfChangedOutside();
    CPhoneBookEntry* entry = m_phoneBook.Lookup(key);
    if (!entry) {
        // Gone from the file meanwhile (another program deleted it): the
        // user's confirmed entry comes back.
        auto copy = std::make_unique<CPhoneBookEntry>(edited);
        m_phoneBook.SetAt(key, std::move(copy));
        entry = m_phoneBook.Lookup(key);
    } else {
        // The last-call time is the calls' own, not the sheet's.
        const CDateTime lastCall = entry->LastCallTime;
        *entry = edited;
        if (lastCall.IsValid() &&
            (!entry->LastCallTime.IsValid() || entry->LastCallTime < lastCall))
            entry->LastCallTime = lastCall;
    }
    const std::string name = entry->Name;
    RenameCaller(key, name);
    Save(true);
}

bool CScreenerSession::SetCallerFilter(size_t logIndex, int32_t filterType) {
    if (!ReadyForChange() || m_sheetOpen)
        return false;
    ReloadIfChangedOutside();
    const CPhoneBookEntry* entry = rw::SetCallerFilter(m_phoneBook, CallAt(logIndex), filterType);
    if (!entry)
        return false;
    // Copies: renaming may change the call's own texts.
    const std::string key = entry->LookupKey;
    const std::string name = entry->Name;
    RenameCaller(key, name);
    Save(true);
    return true;
}

void CScreenerSession::RenameCaller(const std::string& key, const std::string& name) {
    auto rename = [&](size_t index) {
        CLoggedCall& call = CallAt(index);
        if (!SameKey(call.GetLookupKey(), key) || call.GetName() == name)
            return;
        call.SetName(name);
        if (m_notify)
            m_notify->OnCallerRenamed(index);
    };
    for (size_t i = 0; i < ThisRunCallCount(); ++i)
        rename(i);
    for (size_t i = 0; i < m_history.size(); ++i)
        rename(kEarlierRunBase + i);
}

// --- Calls ------------------------------------------------------------------

std::vector<CHistoryRow> CScreenerSession::CallRows(CDateTime since) {
    std::vector<CHistoryRow> rows;
    rows.reserve(m_history.size() + ThisRunCallCount());
    auto add = [&](const CLoggedCall& call) {
        if (!since.IsValid() || call.GetCallTime().GetDays() >= since.GetDays())
            rows.push_back(HistoryRowFrom(call, m_clock));
    };
    for (const auto& call : m_history)
        add(*call);
    for (size_t i = 0; i < ThisRunCallCount(); ++i)
        add(m_calls->Call(i));
    std::stable_sort(rows.begin(), rows.end(), [](const CHistoryRow& a, const CHistoryRow& b) {
        return a.time.GetDays() < b.time.GetDays();
    });
    return rows;
}

void CScreenerSession::OnCallLogged(size_t index) {
    ScheduleCallSave();
    RowStateOf(index) = RowState::Up;
    UnfinishedChanged();
}

void CScreenerSession::OnCallChanged(size_t index) {
    ScheduleCallSave();
    RowState& state = RowStateOf(index);
    if (state == RowState::Written)
        return;
    // The message of a call that has ended is known now.
    if (state == RowState::Ended && !(m_calls && m_calls->MessagePending(index)))
        FinishCall(index, true);
    else
        UnfinishedChanged();
}

void CScreenerSession::OnCallEnded(size_t index) {
    RowState& state = RowStateOf(index);
    if (state == RowState::Written)
        return;
    state = RowState::Ended;
    // A message still being finished says what the call left: its row
    // waits for it.
    if (m_calls && m_calls->MessagePending(index))
        UnfinishedChanged();
    else
        FinishCall(index, true);
}

CScreenerSession::RowState& CScreenerSession::RowStateOf(size_t index) {
    if (index >= m_rowStates.size())
        m_rowStates.resize(index + 1, RowState::Up);
    return m_rowStates[index];
}

void CScreenerSession::FinishCall(size_t index, bool ended) {
    RowStateOf(index) = RowState::Written;
    QueueHistory(index);
    UnfinishedChanged();
    // The program for each call runs once the outcome is final; a call
    // still up when Ringwarden quits has none.
    if (ended)
        CallOutcomeFinal(index);
}

void CScreenerSession::FinishAllCalls() {
    for (size_t i = 0; i < ThisRunCallCount(); ++i)
        if (RowStateOf(i) != RowState::Written)
            FinishCall(i, false);
}

CRulePreview CScreenerSession::MakePreview() {
    std::vector<const CLoggedCall*> calls;
    calls.reserve(ThisRunCallCount() + m_history.size());
    for (size_t i = 0; i < ThisRunCallCount(); ++i)
        calls.push_back(&m_calls->Call(i));
    for (const auto& call : m_history)
        calls.push_back(call.get());
    return CRulePreview(std::move(calls), m_rules, m_clock.Now(), kPreviewDays);
}

CRulePreviewResult CScreenerSession::PreviewEntry(const CPhoneBookEntry& candidate,
                                                  const std::string& replacedKey) {
    try {
        return MakePreview().ForEntry(m_phoneBook, candidate, replacedKey, m_preferences);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

CRulePreviewResult CScreenerSession::PreviewDefaults(const CRingwardenPreferences& preferences,
                                                     unsigned allDayDays) {
    try {
        return MakePreview().ForDefaults(m_phoneBook, preferences, allDayDays);
    } catch (const std::bad_alloc&) {
        return {};
    }
}

void CScreenerSession::CallOutcomeFinal(size_t index) {
    const std::string& command = m_settings.HookCommand();
    if (command.empty())
        return;
    const CLoggedCall& call = CallAt(index);
    if (!HookWanted(m_settings.HookEventsChosen(), call))
        return;
    try {
        const std::string recording = call.GetRecording();
        const std::string message =
            recording.empty() ? std::string() : m_messages.PathOf(recording);
        // Started from the message loop, never while the call's own
        // notification is being handled. A burst beyond the queue is skipped.
        if (m_hook.Queue(command, HookVariables(call, message)))
            m_timers.Post(CSessionTimers::CallHook);
    } catch (const std::bad_alloc&) {
    }
}

void CScreenerSession::ServiceCallHook() {
    std::vector<CCallHook::Failure> failures;
    try {
        failures = m_hook.Service(m_timers.Now());
    } catch (const std::bad_alloc&) {
    }
    if (m_hook.Idle())
        m_timers.Stop(CSessionTimers::CallHook);
    else
        m_timers.Start(CSessionTimers::CallHook, kCallHookCheckMs);
    for (const CCallHook::Failure& failure : failures) {
        if (std::find(m_hookFailuresTold.begin(), m_hookFailuresTold.end(), failure.command) !=
            m_hookFailuresTold.end())
            continue;
        try {
            m_hookFailuresTold.push_back(failure.command);
        } catch (const std::bad_alloc&) {
        }
        if (m_notify)
            m_notify->OnCallHookFailed(failure.command, failure.reason);
    }
}

CLoggedCall& CScreenerSession::CallAt(size_t logIndex) {
    if (logIndex >= kEarlierRunBase)
        return *m_history[logIndex - kEarlierRunBase];
    return m_calls->Call(logIndex);
}

// --- The call history ---------------------------------------------------------

void CScreenerSession::OpenHistory() {
    const bool enabled = m_historyAllowed && m_settings.KeepHistory();
    m_historyLog.Open(enabled ? HistoryPathFor(m_configPath) : std::string());
    // Rows an earlier run kept for this one are written as soon as can be.
    if (m_historyLog.Waiting() != 0 && !m_readOnly) {
        m_historyWritePending = true;
        m_timers.Post(CSessionTimers::HistoryWrite);
    }
}

void CScreenerSession::LoadEarlierCalls() {
    size_t skipped = 0;
    bool readable = true;
    std::vector<std::unique_ptr<CLoggedCall>> calls = m_historyLog.LoadRecent(skipped, readable);
    m_earlierCallsUnread = !readable;
    if (!readable) {
        // Tried again with the writes, which wait for the same file.
        m_timers.Start(CSessionTimers::HistoryWrite, m_historyRetryMs);
        return;
    }
    m_history = std::move(calls);
    if (m_notify)
        m_notify->OnEarlierCallsReady(kEarlierRunBase, m_history.size());
}

void CScreenerSession::QueueHistory(size_t index) {
    // A run that cannot save its configuration (an installed copy reading
    // the old file beside itself) writes nothing beside it either.
    if (!m_historyLog.IsOpen() || m_readOnly)
        return;
    m_historyLog.Queue(CallAt(index));
    ScheduleHistoryWrite();
}

void CScreenerSession::UnfinishedChanged() {
    if (!m_historyLog.IsOpen() || m_readOnly)
        return;
    m_unfinishedChanged = true;
    ScheduleHistoryWrite();
}

void CScreenerSession::ScheduleHistoryWrite() {
    if (m_historyWritePending)
        return;
    m_historyWritePending = true;
    // As the tray: at most every kHistoryWriteMs, so that calls close
    // together share a write and the next call's messages are not held up.
    const uint32_t since = m_timers.Now() - m_lastHistoryWrite;
    if (!m_historyWritten || since >= kHistoryWriteMs)
        m_timers.Post(CSessionTimers::HistoryWrite);
    else
        m_timers.Start(CSessionTimers::HistoryWrite, kHistoryWriteMs - since);
}

void CScreenerSession::WriteHistory() {
    m_timers.Stop(CSessionTimers::HistoryWrite);
    m_historyWritePending = false;
    m_lastHistoryWrite = m_timers.Now();
    m_historyWritten = true;
    // Read before this run's rows are written, so that none of them is
    // listed twice.
    if (m_earlierCallsUnread) {
        LoadEarlierCalls();
        if (m_earlierCallsUnread) {
            WriteUnfinished();
            return; // the timer is set again
        }
    }
    // A file another program holds (a spreadsheet, a backup) is tried again
    // later; its rows wait in memory, and are told once they have waited
    // long enough to matter.
    const bool written = m_historyLog.WriteQueued();
    // After the history: a crash between the two leaves a finished call in
    // both, and the reader takes the same call's rows as one.
    WriteUnfinished();
    if (written) {
        m_rowsWaiting = false;
        m_rowsWaitingTold = false;
        return;
    }
    m_historyWritePending = true;
    m_timers.Start(CSessionTimers::HistoryWrite, m_historyRetryMs);
    const uint32_t now = m_timers.Now();
    if (!m_rowsWaiting) {
        m_rowsWaiting = true;
        m_rowsWaitingSince = now;
    } else if (!m_rowsWaitingTold && now - m_rowsWaitingSince >= kHistoryWaitTellMs) {
        m_rowsWaitingTold = true;
        if (m_notify)
            m_notify->OnHistoryWaiting(m_historyLog.Path(), m_historyLog.LastErrorText(),
                                       m_historyLog.Waiting());
    }
}

std::vector<CHistoryRow> CScreenerSession::ThisRunRows() {
    std::vector<CHistoryRow> rows;
    rows.reserve(ThisRunCallCount());
    for (size_t i = 0; i < ThisRunCallCount(); ++i)
        rows.push_back(HistoryRowFrom(CallAt(i), m_clock));
    return rows;
}

void CScreenerSession::WriteUnfinished() {
    if (!m_historyLog.IsOpen() || m_readOnly)
        return;
    if (!m_unfinishedChanged && !m_historyLog.UnfinishedStale())
        return;
    std::vector<CHistoryRow> rows;
    for (size_t i = 0; i < ThisRunCallCount(); ++i)
        if (RowStateOf(i) != RowState::Written)
            rows.push_back(HistoryRowFrom(CallAt(i), m_clock));
    // Once no call is up the file goes at once (a quick delete); a rewrite
    // waits for its turn, so that a burst of calls makes one.
    const uint32_t now = m_timers.Now();
    const uint32_t since = now - m_lastUnfinishedWrite;
    if (!rows.empty() && m_unfinishedWritten && since < kUnfinishedWriteMs) {
        if (!m_historyWritePending) {
            m_historyWritePending = true;
            m_timers.Start(CSessionTimers::HistoryWrite, kUnfinishedWriteMs - since);
        }
        return;
    }
    m_unfinishedChanged = false;
    m_unfinishedWritten = true;
    m_lastUnfinishedWrite = now;
    // A failure is tried again with the next write (the log marks it stale).
    if (!m_historyLog.KeepUnfinished(rows) && !m_historyWritePending) {
        m_historyWritePending = true;
        m_timers.Start(CSessionTimers::HistoryWrite, m_historyRetryMs);
    }
}

bool CScreenerSession::KeepWaitingRows() {
    if (!m_historyLog.IsOpen() || m_readOnly)
        return true;
    // Every call's row is in the history or the waiting file now: the
    // unfinished file has nothing left to keep.
    if (!m_historyLog.KeepWaiting())
        return false;
    m_historyLog.RemoveUnfinished();
    return true;
}

// --- Timers and the end -------------------------------------------------------

void CScreenerSession::OnTimer(CSessionTimers::Timer timer) {
    switch (timer) {
    case CSessionTimers::LoadRetry:
        RetryLoad();
        return;
    case CSessionTimers::TraceWrite:
        m_trace.Flush();
        return;
    case CSessionTimers::HistoryWrite:
        WriteHistory();
        return;
    case CSessionTimers::CallHook:
        ServiceCallHook();
        return;
    case CSessionTimers::OverrideCheck:
        CheckOverride();
        return;
    case CSessionTimers::CallSave:
        // While a call is up the save waits for the next tick: the call's
        // next state or key must not queue behind a whole file's write. The
        // configuration sheet may hold edits not yet confirmed: the save
        // waits for it to close (m_callSavePending stays).
        if ((m_calls && m_calls->LiveCallCount() != 0) || m_sheetOpen)
            return;
        Save(true);
        SaveVerified();
        return;
    }
}

void CScreenerSession::EndSession(const std::vector<uint8_t>* bookBefore) {
    FinishAllCalls();
    WriteHistory();
    m_trace.Flush();
    KeepWaitingRows();
    SaveVerified();
    if (!bookBefore) {
        Save();
        return;
    }
    // The sheet's pages change the preferences only at OK; its Phone Book
    // page changes the book at once, but keeps the book as it was when it
    // opened.
    if (m_readOnly || !ReadyForChange())
        return;
    try {
        CPhoneBook before;
        // Sized as the live book, so that reading a large one stays quick.
        before.InitHashTable(m_phoneBook.GetHashTableSize());
        CMemorySource source(*bookBefore);
        CArchive ar(source);
        before.Serialize(ar);
        if (m_configFile.Save(m_configPath, m_preferences, before))
            RememberStamp();
    } catch (const std::exception&) {
        // The copy was made by this program from the book in memory; should
        // it not read back, the file on disk stays as it is.
    }
}

void CScreenerSession::Quit() {
    m_timers.Stop(CSessionTimers::LoadRetry);
    Save();
    SaveVerified();
}

void CScreenerSession::WriteLastRows() {
    // Calls the lines' closing left up are written as they are.
    FinishAllCalls();
    m_timers.Stop(CSessionTimers::HistoryWrite);
    m_historyWritePending = false;
    if (!m_historyLog.IsOpen() || m_readOnly)
        return;
    for (int attempt = 0; !m_historyLog.WriteQueued() && attempt < 5; ++attempt)
        m_timers.Wait(200);
    KeepWaitingRows();
}

} // namespace rw
