// Windows-side tests: where this test program lives, and so where the line
// simulator built beside it is.
#pragma once

#include "app/CommandLine.h"
#include "records/WidePath.h"

#include <windows.h>

#include <string>

namespace rw::test {

// In UTF-8, as the program's own paths.
inline std::string ExePath() {
    std::wstring path(32768, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return Utf8Path(path);
}

// rwlinesim.dll beside the test program, as --line-simulator finds it.
inline std::string SimulatorPath() {
    return LineSimulatorPath(ExePath());
}

} // namespace rw::test
