// The program's own settings file, Ringwarden.ini beside Ringwarden.cfg:
// the settings that Ringwarden.cfg's fixed format has no room for. The one
// place that reads and writes it, through the Windows profile functions.
// Each setting has a named getter and setter and a default; a missing file,
// section or value, or one that is not a number in range, gives the default,
// and nothing here ever stops the program. To add a setting: a member with
// its default, a getter and setter, and a line each in Load and Save.
#pragma once

#include "app/CallHookEvent.h"
#include "app/ScreeningOverride.h"

#include <string>

namespace rw {

class CSettings {
public:
    static constexpr const char* kFileName = "Ringwarden.ini";

    // Repeated calls: a second call from the same number within this many
    // minutes of a block made by the time of day rings through.
    static constexpr bool kDefaultRepeatedCallsRingThrough = true;
    static constexpr int kDefaultRepeatedCallMinutes = 3;
    static constexpr int kMinRepeatedCallMinutes = 1;
    static constexpr int kMaxRepeatedCallMinutes = 60;
    // The call history (Ringwarden-calls.csv) is kept.
    static constexpr bool kDefaultKeepHistory = true;
    // Callers with a number and no entry whom the default rule would block
    // are asked to press a key first.
    static constexpr bool kDefaultKeyCheck = false;
    // Days a caller who passed the key check stays verified (0: never).
    static constexpr int kDefaultVerifiedDays = 30;
    static constexpr int kMaxVerifiedDays = 3650;
    // A repeated call rings through for a caller with no entry too.
    static constexpr bool kDefaultRepeatedCallsWithoutEntry = false;
    // The telephony trace (Ringwarden-trace.log) is written: off unless asked.
    static constexpr bool kDefaultTrace = false;

    // The settings file in the folder of `configPath` (a UTF-8 path).
    static std::string PathBeside(const std::string& configPath);

    // Reads every setting from `path` (UTF-8, a full path: the profile
    // functions look in the Windows folder for a bare name). Anything
    // missing or damaged takes its default.
    void Load(const std::string& path);
    // Writes every setting to `path`; false when it could not be written
    // (LastErrorText says why).
    bool Save(const std::string& path);
    const std::string& LastErrorText() const { return m_lastError; }

    bool RepeatedCallsRingThrough() const { return m_repeatedCallsRingThrough; }
    void SetRepeatedCallsRingThrough(bool on) { m_repeatedCallsRingThrough = on; }
    // 1 to 60; the file's 0 turns repeated calls off instead.
    int RepeatedCallMinutes() const { return m_repeatedCallMinutes; }
    void SetRepeatedCallMinutes(int minutes);
    // The minutes the screening uses: 0 when repeated calls are off.
    int EffectiveRepeatedCallMinutes() const {
        return m_repeatedCallsRingThrough ? m_repeatedCallMinutes : 0;
    }

    bool KeepHistory() const { return m_keepHistory; }
    void SetKeepHistory(bool keep) { m_keepHistory = keep; }

    bool KeyCheck() const { return m_keyCheck; }
    void SetKeyCheck(bool on) { m_keyCheck = on; }
    // A recording of the user's own for the key check's sentence.
    const std::string& KeyCheckPrompt() const { return m_keyCheckPrompt; }
    void SetKeyCheckPrompt(const std::string& file) { m_keyCheckPrompt = file; }
    int VerifiedDays() const { return m_verifiedDays; }
    void SetVerifiedDays(int days);
    bool RepeatedCallsWithoutEntry() const { return m_repeatedCallsWithoutEntry; }
    void SetRepeatedCallsWithoutEntry(bool on) { m_repeatedCallsWithoutEntry = on; }
    // Whole days out of hours: bit 0 Sunday ... bit 6 Saturday.
    unsigned AllDayOutOfHours() const { return m_allDayOutOfHours; }
    void SetAllDayOutOfHours(unsigned days) { m_allDayOutOfHours = days & 0x7F; }
    // The override and its end (universal seconds, or kNever).
    OverrideMode Override() const { return m_override; }
    long long OverrideUntil() const { return m_overrideUntil; }
    void SetOverride(OverrideMode mode, long long untilUtc);

    // "Sat,Sun" for the days of `days`; and back (false for a word that
    // is not a day's).
    static std::string FormatDays(unsigned days);
    static bool ParseDays(const std::string& text, unsigned& days);
    // [Diagnostics] Trace
    bool Trace() const { return m_trace; }
    void SetTrace(bool on) { m_trace = on; }
    // [Hook] Command: the program run for each call (UTF-8, the user's
    // command line as typed; empty: none), and Events: which calls.
    static constexpr size_t kMaxHookCommand = 2048;
    const std::string& HookCommand() const { return m_hookCommand; }
    void SetHookCommand(const std::string& command) { m_hookCommand = command; }
    HookEvents HookEventsChosen() const { return m_hookEvents; }
    void SetHookEvents(HookEvents events) { m_hookEvents = events; }

private:
    std::string m_lastError;
    bool m_keepHistory = kDefaultKeepHistory;
    bool m_trace = kDefaultTrace;
    bool m_repeatedCallsRingThrough = kDefaultRepeatedCallsRingThrough;
    int m_repeatedCallMinutes = kDefaultRepeatedCallMinutes;
    bool m_keyCheck = kDefaultKeyCheck;
    std::string m_keyCheckPrompt;
    int m_verifiedDays = kDefaultVerifiedDays;
    bool m_repeatedCallsWithoutEntry = kDefaultRepeatedCallsWithoutEntry;
    unsigned m_allDayOutOfHours = 0;
    OverrideMode m_override = OverrideMode::None;
    long long m_overrideUntil = 0;
    std::string m_hookCommand;
    HookEvents m_hookEvents = HookEvents::All;
};

} // namespace rw
