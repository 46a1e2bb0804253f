// The screening decision: given a logged call, the phone book, the
// preferences and the time, Permit or Block and why. The main window owns
// one and calls it for each call; it needs no window of its own.
#pragma once

#include "app/BlockSuspension.h"
#include "app/RepeatedCalls.h"
#include "app/ScreeningOverride.h"
#include "app/VerifiedCallers.h"
#include "records/CallAction.h"
#include "records/Clock.h"
#include "records/DateTime.h"

#include <string>

namespace rw {

class CLoggedCall;
class CPhoneBook;
class CRingwardenPreferences;

// True when `now` falls inside the daily window from `start` to `end`
// (only their hours and minutes count; both ends are inclusive from the
// second they begin). A window whose start is not before its end runs
// across midnight, so equal bounds cover the whole day. A bound that is not
// a valid time makes the window empty.
bool IsInsideWindow(CDateTime start, CDateTime end, CDateTime now);

// Days of the week as a mask: bit 0 Sunday ... bit 6 Saturday.
int WeekdayOf(CDateTime local); // 0 Sunday ... 6 Saturday; -1 for a time that is not valid
inline constexpr unsigned kSaturday = 1u << 6, kSunday = 1u << 0;

class CScreeningRules {
public:
    // The rules read the book, the preferences and the clock, which must
    // outlive them; they stamp LastCallTime on matching entries.
    CScreeningRules(CPhoneBook& phoneBook, const CRingwardenPreferences& preferences,
                    const CClock& clock);

    // Screens `call`: sets its Action and, where a rule reaches them, its
    // Name, AnswerMode and MessageFile, and the matching entry's
    // LastCallTime. A call with no number stays waiting for caller ID. The
    // entry is the one for the number's key, else the longest prefix of
    // it, else the one for the caller ID name's key (as an earlier copy
    // keyed such callers); else the rule for callers without an entry. A
    // caller with an entry (or any caller with a number, with
    // RepeatsWithoutEntry) blocked by time at least 20 seconds and at most
    // RepeatedCalls().Minutes() after an earlier such block of the same
    // number is let through. An override in force comes last: every call
    // rings, or every call that would ring (but a Never Block entry's) is
    // blocked as at night. With the key check on, a caller with a number
    // and no entry whom the default rule (or quiet) would block is asked to
    // press a key instead (ActionKeyCheck, the block kept as its fallback),
    // unless the number passed the check lately (ActionPermitCheckedCaller).
    void EvaluateCall(CLoggedCall& call);
    // What EvaluateCall would make of `call` now, changing nothing: no
    // entry is stamped and no block is remembered for a repeat.
    void WouldScreen(CLoggedCall& call);

    // Ends an expired suspension; called once per newly reported call,
    // before it is first screened.
    void ExpireSuspension(CDateTime now) { m_suspension.Expire(now); }
    CBlockSuspension& Suspension() { return m_suspension; }
    const CBlockSuspension& Suspension() const { return m_suspension; }
    const CClock& Clock() const { return m_clock; }
    CRepeatedCalls& RepeatedCalls() { return m_repeats; }
    const CRepeatedCalls& RepeatedCalls() const { return m_repeats; }
    // A repeated call rings through for a caller with no entry too.
    void SetRepeatsWithoutEntry(bool on) { m_repeatsWithoutEntry = on; }
    bool RepeatsWithoutEntry() const { return m_repeatsWithoutEntry; }
    // Whole days out of hours, wherever the default window applies (a mask
    // of days: bit 0 Sunday ... bit 6 Saturday).
    void SetAllDayOutOfHours(unsigned days) { m_allDayDays = days & 0x7F; }
    unsigned AllDayOutOfHours() const { return m_allDayDays; }
    void SetKeyCheck(bool on) { m_keyCheck = on; }
    bool KeyCheck() const { return m_keyCheck; }
    // A recording of the user's own for the check's sentence (empty: the
    // built-in one).
    void SetKeyCheckPrompt(const std::string& file) { m_keyCheckPrompt = file; }
    const std::string& KeyCheckPrompt() const { return m_keyCheckPrompt; }
    CVerifiedCallers& Verified() { return m_verified; }
    const CVerifiedCallers& Verified() const { return m_verified; }
    CScreeningOverride& Override() { return m_override; }
    const CScreeningOverride& Override() const { return m_override; }
    // The override in force now.
    OverrideMode OverrideNow() const { return m_override.ModeAt(m_clock.UtcSeconds()); }

private:
    CallAction ByTime(CDateTime start, CDateTime end, CDateTime now, CallAction inside,
                      CallAction outside) const;
    // The default out-of-hours window, with its whole days.
    CallAction ByDefaultTime(CDateTime now, CallAction inside, CallAction outside) const;

    CPhoneBook& m_phoneBook;
    const CRingwardenPreferences& m_preferences;
    const CClock& m_clock;
    CBlockSuspension m_suspension;
    CRepeatedCalls m_repeats;
    bool m_repeatsWithoutEntry = false;
    unsigned m_allDayDays = 0;
    CScreeningOverride m_override;
    bool m_keyCheck = false;
    std::string m_keyCheckPrompt;
    CVerifiedCallers m_verified;
    // Set while WouldScreen runs: EvaluateCall then leaves everything as it
    // was.
    bool m_dryRun = false;
};

} // namespace rw
