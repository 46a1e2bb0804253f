#include "SimStats.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>

namespace rw::linesim {

namespace {

// The first and last this many answered calls are compared, so that a
// program that slows down as calls pile up shows it.
constexpr size_t kLatencyWindow = 500;

// Nearest-rank percentile of sorted values.
int64_t Percentile(const std::vector<int64_t>& sorted, unsigned percent) {
    const size_t rank = (sorted.size() * percent + 99) / 100;
    return sorted[rank == 0 ? 0 : rank - 1];
}

std::string Window(std::vector<int64_t> values) {
    std::sort(values.begin(), values.end());
    char text[96];
    std::snprintf(text, sizeof text, "median %.3f ms, p99 %.3f ms",
                  static_cast<double>(Percentile(values, 50)) / 1000.0,
                  static_cast<double>(Percentile(values, 99)) / 1000.0);
    return text;
}

// What PrivateUsage stands for, counted from the address space itself:
// Wine leaves PrivateUsage at 0.
int64_t CommittedPrivateBytes() {
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    int64_t total = 0;
    const char* at = static_cast<const char*>(system.lpMinimumApplicationAddress);
    MEMORY_BASIC_INFORMATION region{};
    while (at < system.lpMaximumApplicationAddress &&
           VirtualQuery(at, &region, sizeof region) == sizeof region && region.RegionSize > 0) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += static_cast<int64_t>(region.RegionSize);
        at = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
    }
    return total;
}

} // namespace

namespace {

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<uint32_t*>(count);
    return TRUE;
}

BOOL CALLBACK CountOwnWindow(HWND hWnd, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(hWnd, &process);
    if (process == GetCurrentProcessId()) {
        ++*reinterpret_cast<uint32_t*>(count);
        EnumChildWindows(hWnd, CountChild, count);
    }
    return TRUE;
}

uint32_t CountWindows() {
    uint32_t count = 0;
    EnumWindows(CountOwnWindow, reinterpret_cast<LPARAM>(&count));
    // Message-only windows are not top-level windows to EnumWindows.
    for (HWND h = FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
         h = FindWindowExA(HWND_MESSAGE, h, nullptr, nullptr))
        CountOwnWindow(h, reinterpret_cast<LPARAM>(&count));
    return count;
}

} // namespace

ResourceSample SampleResources() {
    ResourceSample s;
    s.taken = true;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        s.privateUsage = static_cast<int64_t>(memory.PrivateUsage);
    s.committedPrivate = CommittedPrivateBytes();
    s.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    s.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    s.windows = CountWindows();
    return s;
}

int64_t CounterNow() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t CounterMicroseconds(int64_t from, int64_t to) {
    static const int64_t frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f.QuadPart > 0 ? f.QuadPart : 1;
    }();
    const int64_t ticks = to > from ? to - from : 0;
    // In two parts, so that a long wait cannot overflow.
    return ticks / frequency * 1000000 + ticks % frequency * 1000000 / frequency;
}

std::string FormatStats(const std::vector<CallRecord>& calls, const ResourceSample& first,
                        const ResourceSample& last, const char* lastWhen, int64_t ownBytes) {
    size_t answered = 0, answeredAndDropped = 0, notDeallocated = 0;
    size_t askedForWave = 0, playedTo = 0;
    uint64_t bytesPlayed = 0, bytesRecorded = 0;
    size_t recordedFrom = 0;
    std::vector<int64_t> latencies, firstPlays;
    for (const CallRecord& r : calls) {
        bytesRecorded += r.bytesRecorded;
        recordedFrom += r.waveInOpens ? 1 : 0;
        if (r.firstPlayUs >= 0)
            firstPlays.push_back(r.firstPlayUs);
        if (r.answeredMs >= 0) {
            ++answered;
            if (r.droppedMs >= 0)
                ++answeredAndDropped;
            if (r.waveOutRequests) {
                ++askedForWave;
                if (r.bytesPlayed)
                    ++playedTo;
            }
        }
        bytesPlayed += r.bytesPlayed;
        if (!r.deallocated)
            ++notDeallocated;
        if (r.answerLatencyUs >= 0)
            latencies.push_back(r.answerLatencyUs);
    }
    std::string out;
    char line[256];
    std::snprintf(line, sizeof line,
                  "sim-stats: calls %zu, answered %zu, answered-and-dropped %zu, "
                  "not deallocated %zu\n",
                  calls.size(), answered, answeredAndDropped, notDeallocated);
    out += line;
    std::snprintf(line, sizeof line,
                  "sim-stats: played to %zu of %zu answered calls that asked for the wave "
                  "device, %" PRIu64 " bytes in all\n",
                  playedTo, askedForWave, bytesPlayed);
    out += line;
    if (firstPlays.empty())
        out += "sim-stats: playback: nothing written to a call's wave device\n";
    else
        out += "sim-stats: playback from CONNECTED to the first buffer written, " +
               std::to_string(firstPlays.size()) + " calls: " + Window(firstPlays) + "\n";
    std::snprintf(line, sizeof line,
                  "sim-stats: recorded from %zu calls' wave input, %" PRIu64 " bytes in all\n",
                  recordedFrom, bytesRecorded);
    out += line;

    if (latencies.empty()) {
        out += "sim-stats: answer latency: no call answered\n";
    } else {
        // Halves when there are few, so that first and last do not overlap.
        const size_t n = latencies.size();
        const size_t window = n < 2 ? n : std::min(kLatencyWindow, n / 2);
        const std::vector<int64_t> head(latencies.begin(), latencies.begin() + window);
        const std::vector<int64_t> tail(latencies.end() - window, latencies.end());
        out += "sim-stats: answer latency first " + std::to_string(window) +
               " answered: " + Window(head) + "; last " + std::to_string(window) + ": " +
               Window(tail) + "\n";
    }

    if (!first.taken || !last.taken) {
        out += "sim-stats: no call rang, so no process figures\n";
        return out;
    }
    const bool usage = first.privateUsage > 0 && last.privateUsage > 0;
    const int64_t delta = usage ? last.privateUsage - first.privateUsage
                                : last.committedPrivate - first.committedPrivate;
    const double count = calls.empty() ? 1.0 : static_cast<double>(calls.size());
    std::snprintf(line, sizeof line,
                  "sim-stats: process private bytes %+" PRId64
                  " from first ring to %s (%.1f bytes per call, of which the simulator's own "
                  "records about %.0f%s); ",
                  delta, lastWhen, static_cast<double>(delta) / count,
                  static_cast<double>(ownBytes) / count,
                  usage ? "" : "; counted with VirtualQuery as PrivateUsage reads 0");
    out += line;
    std::snprintf(line, sizeof line, "USER objects %u -> %u, GDI objects %u -> %u%s\n",
                  first.userObjects, last.userObjects, first.gdiObjects, last.gdiObjects,
                  first.userObjects || last.userObjects || first.gdiObjects || last.gdiObjects
                      ? ""
                      : " (GetGuiResources reads 0 here: not counted)");
    out += line;
    out.pop_back(); // the windows go on the same line
    std::snprintf(line, sizeof line, "; windows %u -> %u\n", first.windows, last.windows);
    out += line;
    return out;
}

} // namespace rw::linesim
