// Windows-side tests: where this test program lives, and so where the line
// simulator built beside it is.
#pragma once

#include "app/CommandLine.h"

#include <windows.h>

#include <string>

namespace rw::test {

inline std::string ExePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// rwlinesim.dll beside the test program, as --line-simulator finds it.
inline std::string SimulatorPath() {
    return LineSimulatorPath(ExePath());
}

} // namespace rw::test
