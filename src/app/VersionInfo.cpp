#include "app/VersionInfo.h"

#include <cstdio>
#include <vector>

namespace rw {

std::string FileVersionString(const std::string& path, const char* name) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return std::string();
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return std::string();

    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &bytes) ||
        bytes < sizeof(Translation))
        return std::string();
    char query[80];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codePage, name);
    char* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueA(block.data(), query, reinterpret_cast<void**>(&value), &chars) || !value ||
        chars == 0)
        return std::string();
    // The count may or may not include the terminator.
    return std::string(value);
}

std::string ModuleVersion(HMODULE module) {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    return FileVersionString(std::string(path, length), "FileVersion");
}

} // namespace rw
