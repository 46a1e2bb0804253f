#include "app/VersionInfo.h"

#include "records/WidePath.h"

#include <cstdio>
#include <vector>

namespace rw {

std::string FileVersionString(const std::string& path, const char* name) {
    // Through the wide calls: the program's folder may be named in any script.
    const std::wstring file = WidePath(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    if (size == 0)
        return std::string();
    std::vector<char> block(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, block.data()))
        return std::string();

    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translations = nullptr;
    UINT bytes = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &bytes) ||
        bytes < sizeof(Translation))
        return std::string();
    char query[80];
    std::snprintf(query, sizeof query, "\\StringFileInfo\\%04x%04x\\%s", translations[0].language,
                  translations[0].codePage, name);
    wchar_t* value = nullptr;
    UINT chars = 0;
    if (!VerQueryValueW(block.data(), WidePath(query).c_str(), reinterpret_cast<void**>(&value),
                        &chars) ||
        !value || chars == 0)
        return std::string();
    // The count may or may not include the terminator.
    return Utf8Path(std::wstring(value));
}

std::string ModuleVersion(HMODULE module) {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        return std::string();
    path.resize(length);
    return FileVersionString(Utf8Path(path), "FileVersion");
}

} // namespace rw
