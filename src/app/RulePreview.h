// What a rule would have done: the real screening rules run over earlier
// calls with a candidate entry (the entry sheet) or candidate defaults (the
// Defaults page), before the user confirms them. Nothing the user has is
// changed: the rules run on copies of the calls, over a book of their own,
// with a clock of their own.
#pragma once

#include "records/DateTime.h"

#include <cstddef>
#include <string>
#include <vector>

namespace rw {

class CLoggedCall;
class CPhoneBook;
class CPhoneBookEntry;
class CRingwardenPreferences;
class CScreeningRules;

struct CRulePreviewResult {
    size_t blocked = 0; // calls the candidate would have blocked
    size_t numbers = 0; // their different callers (lookup keys)
    // The newest of them, newest first, at most kExamples.
    static constexpr size_t kExamples = 5;
    std::vector<const CLoggedCall*> examples;
};

class CRulePreview {
public:
    // `calls`: the calls to look over, any order (this run's and earlier
    // runs'); `live`: the rules in force, whose settings the preview keeps
    // (repeated calls, whole days out of hours, the key check); `now`: the
    // local time the period ends at.
    CRulePreview(std::vector<const CLoggedCall*> calls, const CScreeningRules& live, CDateTime now,
                 int days = 30);

    // What `candidate` would have blocked among the calls it would be the
    // entry for, the rest of `book` as it is. `replacedKey`: the key the
    // edited entry has in the book now (empty for a new entry), whose
    // calls the candidate takes over.
    CRulePreviewResult ForEntry(const CPhoneBook& book, const CPhoneBookEntry& candidate,
                                const std::string& replacedKey,
                                const CRingwardenPreferences& preferences) const;
    // What the default rule and out-of-hours window of `preferences`, and
    // the whole days `allDayDays`, would have blocked among the calls of
    // callers without an entry in `book`.
    CRulePreviewResult ForDefaults(const CPhoneBook& book,
                                   const CRingwardenPreferences& preferences,
                                   unsigned allDayDays) const;

private:
    // Screens a copy of each call `takes` accepts with rules over
    // `rulesBook`, oldest first, and counts the blocks.
    template <class Takes>
    CRulePreviewResult Run(CPhoneBook& rulesBook, const CRingwardenPreferences& preferences,
                           unsigned allDayDays, Takes takes) const;

    std::vector<const CLoggedCall*> m_calls; // within the period, oldest first
    int m_repeatMinutes;
    bool m_repeatsWithoutEntry;
    bool m_keyCheck;
    unsigned m_allDayDays;
};

} // namespace rw
