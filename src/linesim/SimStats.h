// Figures for a benchmark (--sim-stats): what the program did to the calls,
// how quickly it answered them, and what the process held before the first
// ring and after the last call.
#pragma once

#include "LineSim.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rw::linesim {

struct ResourceSample {
    bool taken = false;
    int64_t privateUsage = 0;     // PROCESS_MEMORY_COUNTERS_EX.PrivateUsage (0: unknown)
    int64_t committedPrivate = 0; // committed private pages, counted with VirtualQuery
    uint32_t userObjects = 0, gdiObjects = 0;
    // The process's windows, message-only ones and children included: the
    // USER objects a leak would most likely be, counted where
    // GetGuiResources is not.
    uint32_t windows = 0;
};

// The current process's figures, now.
ResourceSample SampleResources();

// A QueryPerformanceCounter reading, and the microseconds between two.
int64_t CounterNow();
int64_t CounterMicroseconds(int64_t from, int64_t to);

// The "sim-stats: " lines, each ending in a newline. `calls` are in the
// order they rang; `last` was taken at `lastWhen` ("quit", "shutdown");
// `ownBytes` is about what the simulator itself holds for those calls,
// which the process's growth includes.
std::string FormatStats(const std::vector<CallRecord>& calls, const ResourceSample& first,
                        const ResourceSample& last, const char* lastWhen, int64_t ownBytes);

} // namespace rw::linesim
