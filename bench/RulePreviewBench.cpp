// What a rule would have done, over 10,000 calls of history: a prefix entry
// (the case that looks at most calls), an exact entry, and the defaults,
// against a phone book of 1,000 entries. The sheets ask for these as the
// user changes a field, on the UI thread: each should take well under
// 100 ms.
#include "app/RulePreview.h"
#include "app/ScreeningRules.h"
#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace rw;

struct Fixture {
    std::vector<std::unique_ptr<CLoggedCall>> calls;
    std::vector<const CLoggedCall*> pointers;
    CPhoneBook book;
    CRingwardenPreferences preferences;
    CSettableClock clock;
    CScreeningRules live{book, preferences, clock};

    Fixture() {
        std::mt19937 random(27);
        for (size_t i = 0; i < 1000; ++i) {
            auto e = std::make_unique<CPhoneBookEntry>();
            e->Name = "Caller " + std::to_string(i);
            e->Number = "0161 " + std::to_string(4960000 + i);
            e->FilterType = static_cast<int32_t>(i % 3);
            e->InPhoneBook = 1;
            e->MakeLookupKey();
            const std::string key = e->LookupKey;
            book.SetAt(key, std::move(e));
        }
        preferences.OutOfHoursStart = CDateTime::TimeOfDay(21, 0);
        preferences.OutOfHoursEnd = CDateTime::TimeOfDay(8, 0);
        // 10,000 calls over the last 30 days: a third from the book, a third
        // from premium-rate numbers, a third from anywhere.
        for (size_t i = 0; i < 10000; ++i) {
            auto call = std::make_unique<CLoggedCall>();
            const unsigned n = random();
            const std::string number = i % 3 == 0   ? "0161 " + std::to_string(4960000 + n % 1000)
                                       : i % 3 == 1 ? "0909 " + std::to_string(100000 + n % 5000)
                                                    : "07700 " + std::to_string(900000 + n % 90000);
            call->SetNumber(number);
            call->SetCallerIdKind(CallerIdNumber);
            call->MakeLookupKey();
            call->SetCallTime(CDateTime(CDateTime::FromParts(2026, 11, 21, 0, 0, 0).GetDays() +
                                        30.0 * static_cast<double>(i) / 10000.0));
            pointers.push_back(call.get());
            calls.push_back(std::move(call));
        }
    }
    CDateTime Now() const { return CDateTime::FromParts(2026, 12, 21, 0, 0, 0); }
};

Fixture& Shared() {
    static Fixture fixture;
    return fixture;
}

void PrefixEntry(benchmark::State& state) {
    Fixture& f = Shared();
    CPhoneBookEntry candidate;
    candidate.Name = "Premium rate";
    candidate.Number = "0909*";
    candidate.FilterType = FilterAlwaysBlock;
    candidate.MakeLookupKey();
    size_t blocked = 0;
    for (auto _ : state) {
        const CRulePreview preview(f.pointers, f.live, f.Now());
        blocked = preview.ForEntry(f.book, candidate, std::string(), f.preferences).blocked;
        benchmark::DoNotOptimize(blocked);
    }
    state.counters["blocked"] = static_cast<double>(blocked);
}
BENCHMARK(PrefixEntry)->Unit(benchmark::kMillisecond);

void ExactEntrySometimes(benchmark::State& state) {
    Fixture& f = Shared();
    CPhoneBookEntry candidate;
    candidate.Name = "Night caller";
    candidate.Number = "07700 912345";
    candidate.FilterType = FilterBlockSometimes;
    candidate.MakeLookupKey();
    for (auto _ : state) {
        const CRulePreview preview(f.pointers, f.live, f.Now());
        benchmark::DoNotOptimize(
            preview.ForEntry(f.book, candidate, std::string(), f.preferences).blocked);
    }
}
BENCHMARK(ExactEntrySometimes)->Unit(benchmark::kMillisecond);

void Defaults(benchmark::State& state) {
    Fixture& f = Shared();
    CRingwardenPreferences candidate = f.preferences;
    candidate.NonPhoneBookRule = FilterBlockSometimes;
    size_t blocked = 0;
    for (auto _ : state) {
        const CRulePreview preview(f.pointers, f.live, f.Now());
        blocked = preview.ForDefaults(f.book, candidate, kSaturday | kSunday).blocked;
        benchmark::DoNotOptimize(blocked);
    }
    state.counters["blocked"] = static_cast<double>(blocked);
}
BENCHMARK(Defaults)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
