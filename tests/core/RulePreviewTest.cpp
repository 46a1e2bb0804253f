// What a rule would have done: small histories with known answers, for an
// entry being made or changed and for the defaults, and nothing the user
// has is changed by asking.
#include "ConfigTestUtil.h"
#include "app/RulePreview.h"
#include "app/ScreeningRules.h"
#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace rw {
namespace {

// 1 December 2026 was a Tuesday.
CDateTime At(int day, int hour, int minute = 0) {
    return CDateTime::FromParts(2026, 12, day, hour, minute, 0);
}

struct History {
    std::vector<std::unique_ptr<CLoggedCall>> calls;
    void Add(const std::string& number, CDateTime time) {
        auto call = std::make_unique<CLoggedCall>();
        call->SetNumber(number);
        call->SetCallTime(time);
        call->SetCallerIdKind(CallerIdNumber); // as the history reads them back
        call->MakeLookupKey();
        calls.push_back(std::move(call));
    }
    std::vector<const CLoggedCall*> Pointers() const {
        std::vector<const CLoggedCall*> out;
        for (const auto& c : calls)
            out.push_back(c.get());
        return out;
    }
};

class RulePreviewTest : public testing::Test {
protected:
    void SetUp() override {
        // Nov 1 is outside the 30 days to Dec 20; the rest inside.
        history.Add("0909 111 222", CDateTime::FromParts(2026, 11, 1, 10, 0, 0));
        history.Add("0909 111 222", At(2, 10));
        history.Add("0909 111 333", At(3, 23));
        history.Add("0909 111 333", At(4, 11));
        history.Add("0909 555 000", At(5, 12)); // has an entry of its own
        history.Add("0161 496 0000", At(6, 23, 30));
        history.Add("0161 496 0000", At(7, 9));
        history.Add("07700 900123", At(8, 2));
        history.Add("<Blocked>", At(9, 22));
        auto own = test::Entry("Friend", "0909 555 000");
        own->FilterType = FilterNeverBlock;
        const std::string key = own->LookupKey; // read before the move below
        book.SetAt(key, std::move(own));
        preferences.OutOfHoursStart = CDateTime::TimeOfDay(22, 0);
        preferences.OutOfHoursEnd = CDateTime::TimeOfDay(7, 0);
    }
    CRulePreview Preview() { return CRulePreview(history.Pointers(), live, At(20, 12)); }

    History history;
    CPhoneBook book;
    CRingwardenPreferences preferences;
    CSettableClock clock;
    CScreeningRules live{book, preferences, clock};
};

TEST_F(RulePreviewTest, AnEntryCountsTheCallsItWouldHaveBlockedAndTheirNumbers) {
    const struct {
        const char* number;
        int32_t filter;
        bool ownHours;
        size_t blocked, numbers;
        const char* newest; // the first example's number
    } cases[] = {
        // A prefix: the two 0909 111 callers, not the one with its own entry,
        // not the call before the 30 days.
        {"0909*", FilterAlwaysBlock, false, 3, 2, "0909 111 333"},
        {"0909 111 333", FilterAlwaysBlock, false, 2, 1, "0909 111 333"},
        {"0909 555 000", FilterAlwaysBlock, false, 1, 1, "0909 555 000"}, // the edited entry
        {"0909*", FilterNeverBlock, false, 0, 0, nullptr},
        // Block Sometimes, the default hours (22:00 to 07:00): only the 23:00 one.
        {"0909*", FilterBlockSometimes, false, 1, 1, "0909 111 333"},
        {"0161 496 0000", FilterBlockSometimes, false, 1, 1, "0161 496 0000"},
        // Its own hours, 08:00 to 10:00: the 09:00 call only.
        {"0161 496 0000", FilterBlockSometimes, true, 1, 1, "0161 496 0000"},
        {"<Blocked>", FilterAlwaysBlock, false, 1, 1, "<Blocked>"},
        {"0800*", FilterAlwaysBlock, false, 0, 0, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.number);
        auto candidate = test::Entry("Candidate", c.number);
        candidate->FilterType = c.filter;
        candidate->UseOwnHours = c.ownHours ? 1 : 0;
        candidate->OwnHoursStart = CDateTime::TimeOfDay(8, 0);
        candidate->OwnHoursEnd = CDateTime::TimeOfDay(10, 0);
        const std::string replaced =
            std::string(c.number) == "0909 555 000" ? candidate->LookupKey : std::string();
        const CRulePreviewResult r = Preview().ForEntry(book, *candidate, replaced, preferences);
        EXPECT_EQ(r.blocked, c.blocked);
        EXPECT_EQ(r.numbers, c.numbers);
        if (c.newest) {
            ASSERT_FALSE(r.examples.empty());
            EXPECT_EQ(r.examples.front()->GetNumber(), c.newest);
        } else {
            EXPECT_TRUE(r.examples.empty());
        }
    }
}

TEST_F(RulePreviewTest, TheDefaultsCountCallersWithoutAnEntryAndChangeNothing) {
    CPhoneBookEntry* friendEntry = book.Lookup("0909555000");
    ASSERT_NE(friendEntry, nullptr);
    const CPhoneBookEntry before = *friendEntry;
    const struct {
        int32_t rule;
        unsigned allDay;
        size_t blocked;
    } cases[] = {
        {FilterNeverBlock, 0, 0},
        // Every caller without an entry: 7 calls in the period (the entry's
        // own caller aside).
        {FilterAlwaysBlock, 0, 7},
        // Out of hours (22:00 to 07:00): Dec 3 23:00, Dec 6 23:30, Dec 8
        // 02:00, Dec 9 22:00.
        {FilterBlockSometimes, 0, 4},
        // And all of Wednesdays (Dec 2 10:00): one more.
        {FilterBlockSometimes, 1u << 3, 5},
    };
    for (const auto& c : cases) {
        CRingwardenPreferences candidate = preferences;
        candidate.NonPhoneBookRule = c.rule;
        const CRulePreviewResult r = Preview().ForDefaults(book, candidate, c.allDay);
        EXPECT_EQ(r.blocked, c.blocked) << c.rule << " " << c.allDay;
    }
    // The entry sheet's preview too.
    Preview().ForEntry(book, before, before.LookupKey, preferences);
    EXPECT_TRUE(test::SameEntry(*book.Lookup("0909555000"), before));
    for (const auto& call : history.calls)
        EXPECT_EQ(call->GetAction(), ActionWaitingForCallerId) << "the calls were only read";
}

} // namespace
} // namespace rw
