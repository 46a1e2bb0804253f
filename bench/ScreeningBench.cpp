// EvaluateCall against phone books of 1,000 and 1,000,000 entries, and of
// 1,000,000 exact entries with 10,000 prefix entries beside them; and the
// memory one typical entry costs (name 20 bytes, number 12, notes empty).
#include "app/ScreeningRules.h"
#include "records/LoggedCall.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace rw;

std::string NumberOf(size_t i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0%03zu %07zu", i % 1000, i); // 12 bytes
    return buf;
}

void Fill(CPhoneBook& book, size_t count) {
    book.InitHashTable(count > 80 ? static_cast<size_t>(count * 1.2) : 100);
    for (size_t i = 0; i < count; ++i) {
        auto e = std::make_unique<CPhoneBookEntry>();
        char name[32];
        std::snprintf(name, sizeof name, "Caller number %06zu", i % 1000000); // 20 bytes
        e->Name = name;
        e->Number = NumberOf(i);
        e->FilterType = static_cast<int32_t>(i % 3);
        e->InPhoneBook = 1;
        e->MakeLookupKey();
        std::string key = e->LookupKey;
        book.SetAt(key, std::move(e));
    }
}

// Prefix i: "07" or "08" and four to six more digits, so that prefixes
// nest ("0712*" under "071*") and the unknown numbers below fall under some.
std::string PrefixOf(size_t i) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0%zu%0*zu*", 7 + i % 2, static_cast<int>(4 + i % 3), i / 2);
    return buf;
}

void FillPrefixes(CPhoneBook& book, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        auto e = std::make_unique<CPhoneBookEntry>();
        e->Name = "Range " + std::to_string(i);
        e->Number = PrefixOf(i);
        e->FilterType = FilterAlwaysBlock;
        e->InPhoneBook = 1;
        e->MakeLookupKey();
        std::string key = e->LookupKey;
        book.SetAt(key, std::move(e));
    }
}

// Arguments: exact entries, prefix entries.
void BM_EvaluateCall(benchmark::State& state) {
    const size_t count = static_cast<size_t>(state.range(0));
    const size_t prefixes = static_cast<size_t>(state.range(1));
    CPhoneBook book;
    CRingwardenPreferences prefs;
    prefs.NonPhoneBookRule = FilterBlockSometimes;
    CSettableClock clock(CDateTime::FromParts(2026, 12, 9, 23, 30, 0));
    CScreeningRules rules(book, prefs, clock);
    Fill(book, count);
    FillPrefixes(book, prefixes);

    // Nine calls in ten come from the book, the rest from unknown numbers
    // (every number in the book is tried against the prefixes too).
    std::vector<CLoggedCall> calls(4096);
    std::mt19937 rng(42);
    for (auto& call : calls) {
        const size_t i = rng() % count;
        call.SetNumber(rng() % 10 ? NumberOf(i) : "0700 " + std::to_string(i % 1000) + " 900");
        call.SetHasNumber(true);
        call.MakeLookupKey();
        call.SetCallTime(clock.Now());
    }
    // The first screening of a book sorts its prefixes; a program does that
    // once, at its first call after loading.
    rules.EvaluateCall(calls[0]);
    size_t next = 0;
    for (auto _ : state) {
        CLoggedCall& call = calls[next++ & 4095];
        rules.EvaluateCall(call);
        benchmark::DoNotOptimize(call.GetAction());
    }
}
BENCHMARK(BM_EvaluateCall)
    ->Args({1000, 0})
    ->Args({1000000, 0})
    ->Args({1000000, 10000})
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

void BM_PhoneBookMemoryPerEntry(benchmark::State& state) {
    const size_t count = 1000000;
    double perEntry = 0;
    for (auto _ : state) {
        const size_t before = mallinfo2().uordblks;
        {
            CPhoneBook book;
            Fill(book, count);
            perEntry = double(mallinfo2().uordblks - before) / count;
        }
    }
    state.counters["bytes_per_entry"] = perEntry;
    std::printf("phone book of %zu typical entries: %.1f bytes per entry (heap in use)\n", count,
                perEntry);
}
BENCHMARK(BM_PhoneBookMemoryPerEntry)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
