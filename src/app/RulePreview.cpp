#include "app/RulePreview.h"

#include "app/ScreeningRules.h"
#include "records/LoggedCall.h"
#include "records/LookupKey.h"
#include "records/PhoneBook.h"
#include "records/PhoneBookEntry.h"
#include "records/RingwardenPreferences.h"

#include <algorithm>
#include <memory>
#include <set>

namespace rw {
namespace {

// A clock the preview sets to each call's time in turn.
class CCallClock : public CClock {
public:
    CDateTime Now() const override { return m_now; }
    long long UtcSeconds() const override {
        // Local seconds serve: only the gaps between calls count here.
        return static_cast<long long>(m_now.GetDays() * 86400.0 + 0.5);
    }
    int UtcOffsetMinutes(CDateTime) const override { return 0; }
    void Set(CDateTime now) { m_now = now; }

private:
    CDateTime m_now;
};

// The digits a prefix key covers ("44870*" covers "44870...").
bool Covers(const std::string& prefixKey, const std::string& key) {
    return IsPrefixKey(prefixKey) && key.size() >= prefixKey.size() &&
           key.compare(0, prefixKey.size() - 1, prefixKey, 0, prefixKey.size() - 1) == 0 &&
           !IsPrefixKey(key);
}

} // namespace

CRulePreview::CRulePreview(std::vector<const CLoggedCall*> calls, const CScreeningRules& live,
                           CDateTime now, int days)
    : m_repeatMinutes(live.RepeatedCalls().Minutes()),
      m_repeatsWithoutEntry(live.RepeatsWithoutEntry()), m_keyCheck(live.KeyCheck()),
      m_allDayDays(live.AllDayOutOfHours()) {
    const double from = now.GetDays() - days;
    for (const CLoggedCall* call : calls) {
        const CDateTime time = call->GetCallTime();
        if (time.IsValid() && time.GetDays() >= from && time.GetDays() <= now.GetDays() + 1e-6 &&
            !call->GetNumber().empty())
            m_calls.push_back(call);
    }
    std::stable_sort(m_calls.begin(), m_calls.end(),
                     [](const CLoggedCall* a, const CLoggedCall* b) {
                         return a->GetCallTime().GetDays() < b->GetCallTime().GetDays();
                     });
}

template <class Takes>
CRulePreviewResult CRulePreview::Run(CPhoneBook& rulesBook,
                                     const CRingwardenPreferences& preferences, unsigned allDayDays,
                                     Takes takes) const {
    CCallClock clock;
    CScreeningRules rules(rulesBook, preferences, clock);
    rules.RepeatedCalls().SetMinutes(m_repeatMinutes);
    rules.SetRepeatsWithoutEntry(m_repeatsWithoutEntry);
    rules.SetAllDayOutOfHours(allDayDays);
    rules.SetKeyCheck(m_keyCheck);
    CRulePreviewResult result;
    std::set<std::string> numbers;
    std::vector<const CLoggedCall*> blocked;
    for (const CLoggedCall* call : m_calls) {
        if (!takes(*call))
            continue;
        CLoggedCall copy;
        copy.SetNumber(call->GetNumber());
        // Calls read back from the history do not say it: their caller ID
        // kind does.
        const CallerIdType kind = call->GetCallerIdKind();
        copy.SetHasNumber(call->HasNumber() || kind == CallerIdNumber ||
                          kind == CallerIdNameAndNumber);
        copy.SetCallerIdName(call->GetCallerIdName());
        copy.SetLookupKey(call->GetLookupKey());
        copy.SetCallTime(call->GetCallTime());
        clock.Set(call->GetCallTime());
        rules.EvaluateCall(copy);
        if (!copy.IsBlockingAction())
            continue;
        ++result.blocked;
        numbers.insert(copy.GetLookupKey());
        blocked.push_back(call);
    }
    result.numbers = numbers.size();
    for (auto it = blocked.rbegin();
         it != blocked.rend() && result.examples.size() < CRulePreviewResult::kExamples; ++it)
        result.examples.push_back(*it);
    return result;
}

CRulePreviewResult CRulePreview::ForEntry(const CPhoneBook& book, const CPhoneBookEntry& candidate,
                                          const std::string& replacedKey,
                                          const CRingwardenPreferences& preferences) const {
    // The candidate alone in a book of the preview's own: its last-call
    // time may be stamped there, never in the user's.
    CPhoneBook own;
    auto copy = std::make_unique<CPhoneBookEntry>(candidate);
    copy->MakeLookupKey();
    const std::string key = copy->LookupKey;
    own.SetAt(key, std::move(copy));
    auto takes = [&](const CLoggedCall& call) {
        const std::string callKey = call.GetLookupKey();
        if (callKey != key && !Covers(key, callKey))
            return false;
        // Another entry of the book found first keeps the call: one for the
        // number itself, or a longer prefix.
        const CPhoneBookEntry* found = book.FindForCall(callKey);
        if (!found || found->LookupKey == replacedKey || found->LookupKey == key)
            return true;
        return callKey != key && IsPrefixKey(found->LookupKey) &&
               found->LookupKey.size() < key.size();
    };
    return Run(own, preferences, m_allDayDays, takes);
}

CRulePreviewResult CRulePreview::ForDefaults(const CPhoneBook& book,
                                             const CRingwardenPreferences& preferences,
                                             unsigned allDayDays) const {
    CPhoneBook none;
    auto takes = [&](const CLoggedCall& call) {
        return book.FindForCall(call.GetLookupKey(),
                                call.HasNumber() && !call.GetCallerIdName().empty()
                                    ? MakeLookupKeyFrom(call.GetCallerIdName())
                                    : std::string()) == nullptr;
    };
    return Run(none, preferences, allDayDays, takes);
}

} // namespace rw
