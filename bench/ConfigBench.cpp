// Loading and saving Ringwarden.cfg with 100,000 entries, against two
// baselines measured in the same run: reading the file's bytes and putting
// copies of the same keys and strings into a std::unordered_map; writing
// the same bytes with fwrite and a flush. The save leaves out its one
// fsync. Prints load/baseline and save/baseline at the end, and the time of
// one whole save as the program makes it (with its fsync): the program
// saves at every confirmed change, so this is what each one costs.
#include "records/ConfigFile.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

namespace {

using namespace rw;

constexpr size_t kEntries = 100000;

struct Strings {
    std::string name, number, lookupKey, notes, messageFile;
};

struct Fixture {
    std::filesystem::path dir;
    std::string file;     // the saved configuration
    std::string saveFile; // where the save benchmark writes
    std::string copyFile; // where the fwrite baseline writes
    std::vector<uint8_t> bytes;
    std::vector<std::pair<std::string, Strings>> pairs;
    std::unique_ptr<CFileSystem> fs = CreateSystemFileSystem(false);
    CRingwardenPreferences prefs;
    CPhoneBook book;

    Fixture() {
        dir = std::filesystem::temp_directory_path() /
              ("rwbench-" + std::to_string(std::hash<std::string>{}(std::to_string(
                                std::chrono::steady_clock::now().time_since_epoch().count()))));
        std::filesystem::create_directories(dir);
        file = (dir / "Ringwarden.cfg").string();
        saveFile = (dir / "Saved.cfg").string();
        copyFile = (dir / "Copy.cfg").string();
        book.InitHashTable(static_cast<size_t>(kEntries * 1.2));
        for (size_t i = 0; i < kEntries; ++i) {
            auto e = std::make_unique<CPhoneBookEntry>();
            char buf[32];
            std::snprintf(buf, sizeof buf, "0%03zu %07zu", i % 1000, i);
            e->Number = buf;
            std::snprintf(buf, sizeof buf, "Caller number %zu", i);
            e->Name = buf;
            e->Notes = i % 4 ? "" : "Rings at tea time";
            e->MessageFile = i % 10 ? "" : "C:\\Sounds\\Not today.wav";
            e->MakeLookupKey();
            e->InPhoneBook = 1;
            e->LastCallTime = CDateTime::FromParts(2020, 1, 1 + static_cast<int>(i % 28), 10, 0, 0);
            const std::string key = e->LookupKey;
            book.SetAt(key, std::move(e));
        }
        // The baseline's copies are made afterwards, so that they do not
        // sit between the book's own allocations.
        pairs.reserve(kEntries);
        book.ForEach([this](const std::string& key, CPhoneBookEntry& e) {
            pairs.push_back({key, {e.Name, e.Number, e.LookupKey, e.Notes, e.MessageFile}});
        });
        CConfigFile config(*fs);
        if (!config.Save(file, prefs, book))
            std::abort();
        bytes = ReadAll(file);
    }
    ~Fixture() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    static std::vector<uint8_t> ReadAll(const std::string& path) {
        std::vector<uint8_t> out;
        FILE* f = std::fopen(path.c_str(), "rb");
        if (!f)
            std::abort();
        std::fseek(f, 0, SEEK_END);
        out.resize(static_cast<size_t>(std::ftell(f)));
        std::fseek(f, 0, SEEK_SET);
        if (std::fread(out.data(), 1, out.size(), f) != out.size())
            std::abort();
        std::fclose(f);
        return out;
    }
};

Fixture& TheFixture() {
    static Fixture fixture;
    return fixture;
}

void BM_Load(benchmark::State& state) {
    Fixture& f = TheFixture();
    for (auto _ : state) {
        CRingwardenPreferences prefs;
        CPhoneBook book;
        CConfigFile config(*f.fs);
        if (config.Load(f.file, prefs, book) != CConfigFile::LoadResult::loaded ||
            book.GetCount() != kEntries)
            state.SkipWithError("load failed");
        benchmark::DoNotOptimize(book.GetCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_LoadBaseline(benchmark::State& state) {
    Fixture& f = TheFixture();
    for (auto _ : state) {
        std::vector<uint8_t> bytes = Fixture::ReadAll(f.file);
        std::unordered_map<std::string, Strings> map;
        map.reserve(static_cast<size_t>(kEntries * 1.2));
        for (const auto& [key, strings] : f.pairs)
            map.emplace(key, strings);
        benchmark::DoNotOptimize(bytes.data());
        benchmark::DoNotOptimize(map.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_Save(benchmark::State& state) {
    Fixture& f = TheFixture();
    CConfigFile config(*f.fs);
    for (auto _ : state) {
        if (!config.Save(f.saveFile, f.prefs, f.book))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_SaveSynced(benchmark::State& state) {
    Fixture& f = TheFixture();
    std::unique_ptr<CFileSystem> fs = CreateSystemFileSystem(true);
    CConfigFile config(*fs);
    for (auto _ : state) {
        if (!config.Save(f.saveFile, f.prefs, f.book))
            state.SkipWithError("save failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

void BM_SaveBaseline(benchmark::State& state) {
    Fixture& f = TheFixture();
    for (auto _ : state) {
        FILE* out = std::fopen(f.copyFile.c_str(), "wb");
        if (!out || std::fwrite(f.bytes.data(), 1, f.bytes.size(), out) != f.bytes.size() ||
            std::fflush(out) != 0)
            state.SkipWithError("fwrite failed");
        if (out)
            std::fclose(out);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.bytes.size()));
}

// Writing to the page cache is noisy on a shared machine: the ratios come
// from the medians of several repetitions.
void Repeated(benchmark::internal::Benchmark* b) {
    b->Repetitions(7)->ReportAggregatesOnly(true);
}

BENCHMARK(BM_Load)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(Repeated);
BENCHMARK(BM_LoadBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(Repeated);
BENCHMARK(BM_Save)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(Repeated);
BENCHMARK(BM_SaveSynced)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(Repeated);
BENCHMARK(BM_SaveBaseline)->Unit(benchmark::kMillisecond)->UseRealTime()->Apply(Repeated);

// Keeps each benchmark's median time per iteration for the closing ratios.
class CRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                !run.error_occurred)
                times[run.run_name.function_name] = run.GetAdjustedRealTime();
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    CRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto ratio = [&reporter](const char* a, const char* b) {
        const auto ia = reporter.times.find(a), ib = reporter.times.find(b);
        return ia == reporter.times.end() || ib == reporter.times.end() || ib->second <= 0
                   ? -1.0
                   : ia->second / ib->second;
    };
    std::printf("Config file, %zu entries, %zu bytes: load/baseline %.2f (target <= 3), "
                "save/baseline %.2f (target <= 3, without fsync)\n",
                kEntries, TheFixture().bytes.size(), ratio("BM_Load", "BM_LoadBaseline"),
                ratio("BM_Save", "BM_SaveBaseline"));
    auto milliseconds = [&reporter](const char* name) {
        const auto it = reporter.times.find(name);
        return it == reporter.times.end() ? -1.0 : it->second;
    };
    std::printf("Config save, %zu entries: %.1f ms without fsync, %.1f ms with it\n", kEntries,
                milliseconds("BM_Save"), milliseconds("BM_SaveSynced"));
    benchmark::Shutdown();
    return 0;
}
