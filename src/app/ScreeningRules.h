// The screening decision: given a logged call, the phone book, the
// preferences and the time, Permit or Block and why. The main window owns
// one and calls it for each call; it needs no window of its own.
#pragma once

#include "app/BlockSuspension.h"
#include "app/RepeatedCalls.h"
#include "records/CallAction.h"
#include "records/Clock.h"
#include "records/DateTime.h"

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
    // call with a number blocked by time within RepeatedCalls().Minutes()
    // of an earlier such block of the same number is let through.
    void EvaluateCall(CLoggedCall& call);

    // Ends an expired suspension; called once per newly reported call,
    // before it is first screened.
    void ExpireSuspension(CDateTime now) { m_suspension.Expire(now); }
    CBlockSuspension& Suspension() { return m_suspension; }
    const CBlockSuspension& Suspension() const { return m_suspension; }
    const CClock& Clock() const { return m_clock; }
    CRepeatedCalls& RepeatedCalls() { return m_repeats; }

private:
    CallAction ByTime(CDateTime start, CDateTime end, CDateTime now, CallAction inside,
                      CallAction outside) const;

    CPhoneBook& m_phoneBook;
    const CRingwardenPreferences& m_preferences;
    const CClock& m_clock;
    CBlockSuspension m_suspension;
    CRepeatedCalls m_repeats;
};

} // namespace rw
