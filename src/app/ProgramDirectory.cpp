#include "app/ProgramDirectory.h"

#include "records/WidePath.h"

#include <windows.h>

namespace rw {

std::string ProgramDirectory() {
    // Long enough for any path the system gives; the ANSI call would lose
    // every character outside the code page.
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    // A full buffer means the path was cut short: treat it as unknown.
    if (length == 0 || length >= path.size())
        return std::string();
    path.resize(length);
    const size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return std::string();
    return Utf8Path(path.substr(0, slash + 1));
}

} // namespace rw
