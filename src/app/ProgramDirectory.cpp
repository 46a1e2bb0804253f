#include "app/ProgramDirectory.h"

#include <windows.h>

#include <cstdlib>

namespace rw {

std::string ProgramDirectory() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    // A full buffer means the path was cut short: treat it as unknown.
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    char drive[_MAX_DRIVE];
    char directory[_MAX_DIR];
    if (_splitpath_s(path, drive, sizeof drive, directory, sizeof directory, nullptr, 0, nullptr,
                     0) != 0)
        return std::string();
    return std::string(drive) + directory;
}

} // namespace rw
