#include "app/ScreeningRules.h"

#include "records/LoggedCall.h"
#include "records/LookupKey.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "records/StringTable.h"
#include "res/resource.h"

#include <cmath>

namespace rw {

bool IsInsideWindow(CDateTime start, CDateTime end, CDateTime now) {
    CDateTimeParts s, e, n;
    if (!start.GetParts(s) || !end.GetParts(e) || !now.GetParts(n))
        return false;
    // The window lies on the calendar day of now, so comparing seconds of
    // that day is exact; the bounds start at second 0 of their minute.
    const int from = s.hour * 3600 + s.minute * 60;
    const int to = e.hour * 3600 + e.minute * 60;
    const int at = n.hour * 3600 + n.minute * 60 + n.second;
    // Hours and minutes together decide whether the window wraps, so that
    // 12:10 to 12:40 is half an hour and not the whole day.
    if (from < to)
        return from <= at && at <= to;
    return at >= from || at <= to;
}

int WeekdayOf(CDateTime local) {
    if (!local.IsValid())
        return -1;
    // Day 0 of the date-time scale, 30 December 1899, was a Saturday.
    const long long day = static_cast<long long>(std::floor(local.GetDays()));
    return static_cast<int>(((day + 6) % 7 + 7) % 7);
}

CScreeningRules::CScreeningRules(CPhoneBook& phoneBook, const CRingwardenPreferences& preferences,
                                 const CClock& clock)
    : m_phoneBook(phoneBook), m_preferences(preferences), m_clock(clock) {}

CallAction CScreeningRules::ByTime(CDateTime start, CDateTime end, CDateTime now, CallAction inside,
                                   CallAction outside) const {
    if (!IsInsideWindow(start, end, now))
        return outside;
    return m_suspension.IsActive() ? ActionPermitBlockSuspended : inside;
}

CallAction CScreeningRules::ByDefaultTime(CDateTime now, CallAction inside,
                                          CallAction outside) const {
    const int weekday = WeekdayOf(now);
    if (weekday >= 0 && (m_allDayDays & (1u << weekday)))
        return m_suspension.IsActive() ? ActionPermitBlockSuspended : inside;
    return ByTime(m_preferences.OutOfHoursStart, m_preferences.OutOfHoursEnd, now, inside, outside);
}

void CScreeningRules::WouldScreen(CLoggedCall& call) {
    // Back to real screening however EvaluateCall ends.
    struct Restore {
        bool& flag;
        ~Restore() { flag = false; }
    } restore{m_dryRun};
    m_dryRun = true;
    EvaluateCall(call);
}

void CScreeningRules::EvaluateCall(CLoggedCall& call) {
    call.SetAction(ActionWaitingForCallerId);
    if (call.GetNumber().empty())
        return;
    const CDateTime now = m_clock.Now();
    CallAction action = ActionWaitingForCallerId;

    // A name that came with a number was the caller's key before numbers
    // came first: an entry made from it then still matches.
    const std::string nameKey = call.HasNumber() && !call.GetCallerIdName().empty()
                                    ? MakeLookupKeyFrom(call.GetCallerIdName())
                                    : std::string();
    CPhoneBookEntry* entry = m_phoneBook.FindForCall(call.GetLookupKey(), nameKey);
    const bool fromEntry = entry != nullptr;
    if (entry) {
        call.SetName(entry->Name);
        call.SetAnswerMode(entry->AnswerMode);
        // An entry set to silence keeps its own file for when the user
        // switches back, but the call is answered without a sound.
        if (entry->AnswerMode == AnswerDefaultMessage)
            call.SetMessageFile(m_preferences.DefaultMessageFile);
        else if (entry->AnswerMode == AnswerSilence)
            call.SetMessageFile(std::string());
        else
            call.SetMessageFile(entry->MessageFile);
        if (!m_dryRun)
            entry->LastCallTime = call.GetCallTime();
        switch (entry->FilterType) {
        case FilterNeverBlock:
            action = ActionPermitNeverBlock;
            break;
        case FilterAlwaysBlock:
            action = ActionBlockAlways;
            break;
        case FilterBlockSometimes:
            action = entry->UseOwnHours != 0
                         ? ByTime(entry->OwnHoursStart, entry->OwnHoursEnd, now, ActionBlockByTime,
                                  ActionPermitByTime)
                         : ByDefaultTime(now, ActionBlockByTime, ActionPermitByTime);
            break;
        default:
            break; // a filter type from a foreign file: keep waiting
        }
    } else {
        call.SetName(LoadResString(IDS_NO_PHONE_BOOK_ENTRY));
        call.SetAnswerMode(AnswerDefaultMessage);
        call.SetMessageFile(m_preferences.DefaultMessageFile);
        switch (m_preferences.NonPhoneBookRule) {
        case FilterNeverBlock:
            action = ActionPermitNeverBlockDefault;
            break;
        case FilterAlwaysBlock:
            action = ActionBlockAlwaysDefault;
            break;
        case FilterBlockSometimes:
            action = ByDefaultTime(now, ActionBlockByTimeDefault, ActionPermitByTimeDefault);
            break;
        default:
            break;
        }
    }
    if (action == ActionWaitingForCallerId) {
        call.SetAction(action);
        return;
    }
    const long long realNow = m_clock.UtcSeconds();
    switch (m_override.ModeAt(realNow)) {
    case OverrideMode::AllRing:
        call.SetAction(ActionPermitEveryCallRings);
        return;
    case OverrideMode::Quiet:
        // As at night: the caller who would ring is blocked by the time of
        // day, so the security code and repeated calls apply. A Never Block
        // entry is the user's own choice to ring always.
        if (action == ActionPermitByTime || action == ActionPermitNeverBlockDefault ||
            action == ActionPermitByTimeDefault)
            action = m_suspension.IsActive() ? ActionPermitBlockSuspended : ActionBlockQuiet;
        break;
    case OverrideMode::None:
        break;
    }
    // Only a real number identifies a caller: a withheld call or a bare
    // name is shared by many. A caller with no entry redials as robots do,
    // so its repeat rings only when the user asked for that.
    if (IsSuspendableAction(action) && call.HasNumber() && (fromEntry || m_repeatsWithoutEntry)) {
        if (m_repeats.IsRepeat(call.GetLookupKey(), realNow))
            action = ActionPermitRepeatedCall;
        else if (!m_dryRun)
            m_repeats.RememberBlock(call.GetLookupKey(), realNow);
    }
    // Robots do not press keys; people do. Withheld callers are not asked:
    // their second call could not be told from anyone else's.
    const bool defaultBlock = action == ActionBlockByTimeDefault ||
                              action == ActionBlockAlwaysDefault ||
                              (action == ActionBlockQuiet && !fromEntry);
    if (m_keyCheck && defaultBlock && !fromEntry && call.HasNumber()) {
        if (m_verified.IsVerified(call.GetLookupKey(), realNow)) {
            action = ActionPermitCheckedCaller;
        } else {
            call.SetKeyCheckFallback(action);
            action = ActionKeyCheck;
        }
    }
    call.SetAction(action);
}

} // namespace rw
