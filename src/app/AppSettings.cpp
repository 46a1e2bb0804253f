#include "app/AppSettings.h"

#include "records/WidePath.h"

#include <windows.h>

namespace rw {
namespace {

constexpr wchar_t kSection[] = L"Ringwarden";
constexpr wchar_t kKeepHistory[] = L"KeepHistory";

} // namespace

std::string CAppSettings::PathBeside(const std::string& configPath) {
    const size_t slash = configPath.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : configPath.substr(0, slash + 1)) +
           "Ringwarden.ini";
}

bool CAppSettings::GetHistoryEnabled() const {
    // Anything but 0 and 1 (text, a number out of range) is damage: the
    // default stands. GetPrivateProfileInt reads "abc" as 0, so the text is
    // read instead.
    wchar_t text[16] = {};
    GetPrivateProfileStringW(kSection, kKeepHistory, L"", text, 16, WidePath(m_path).c_str());
    if (text[0] == L'0' && text[1] == L'\0')
        return false;
    return true;
}

bool CAppSettings::SetHistoryEnabled(bool enabled) {
    return WritePrivateProfileStringW(kSection, kKeepHistory, enabled ? L"1" : L"0",
                                      WidePath(m_path).c_str()) != FALSE;
}

} // namespace rw
