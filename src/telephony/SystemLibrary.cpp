#include "telephony/SystemLibrary.h"

#include <string>

namespace rw {

bool LimitDllSearchToSystemFolder() {
    // Looked up, not imported: a Windows 7 without the update lacks it, and
    // an import would stop the program from starting there at all.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    auto setDefault = kernel ? reinterpret_cast<SetDefaultDllDirectoriesFn>(reinterpret_cast<void*>(
                                   GetProcAddress(kernel, "SetDefaultDllDirectories")))
                             : nullptr;
    if (setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32))
        return true;
    // An empty DLL directory takes the current folder out of the search.
    SetDllDirectoryA("");
    return false;
}

HMODULE LoadSystemLibrary(const char* name) {
    HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module || GetLastError() != ERROR_INVALID_PARAMETER)
        return module;
    // Windows 7 without KB2533623 rejects the flag: name the file by its
    // full path, and let the libraries it imports be searched for from the
    // system folder first.
    char folder[MAX_PATH];
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    const std::string path = std::string(folder, length) + "\\" + name;
    return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace rw
