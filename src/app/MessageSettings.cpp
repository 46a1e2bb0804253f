#include "app/MessageSettings.h"

#include "app/ProfileValues.h"

#include "records/WidePath.h"

#include <windows.h>

#include <algorithm>

namespace rw {
namespace {

constexpr const wchar_t* kSection = L"Messages";
constexpr const wchar_t* kFromTimeBlocked = L"FromTimeBlocked";
constexpr const wchar_t* kFromUnknownCallers = L"FromUnknownCallers";
constexpr const wchar_t* kMaxSeconds = L"MaxSeconds";
constexpr const wchar_t* kBalloon = L"Balloon";

} // namespace

void CMessageSettings::SetMaxSeconds(int seconds) {
    m_maxSeconds = std::clamp(seconds, kMinMaxSeconds, kMaxMaxSeconds);
}

void CMessageSettings::Load(const std::string& path) {
    *this = CMessageSettings();
    const std::wstring file = WidePath(path);
    if (file.empty())
        return;
    m_rules.fromTimeBlocked =
        ReadProfileInt(file, kSection, kFromTimeBlocked, kDefaultFromTimeBlocked, 0, 1) != 0;
    m_rules.fromUnknownCallers =
        ReadProfileInt(file, kSection, kFromUnknownCallers, kDefaultFromUnknownCallers, 0, 1) != 0;
    m_maxSeconds = ReadProfileInt(file, kSection, kMaxSeconds, kDefaultMaxSeconds, kMinMaxSeconds,
                                  kMaxMaxSeconds);
    m_balloon = ReadProfileInt(file, kSection, kBalloon, kDefaultBalloon, 0, 1) != 0;
}

bool CMessageSettings::Save(const std::string& path) const {
    const std::wstring file = WidePath(path);
    if (file.empty())
        return false;
    bool written =
        WriteProfileInt(file, kSection, kFromTimeBlocked, m_rules.fromTimeBlocked ? 1 : 0);
    written =
        WriteProfileInt(file, kSection, kFromUnknownCallers, m_rules.fromUnknownCallers ? 1 : 0) &&
        written;
    written = WriteProfileInt(file, kSection, kMaxSeconds, m_maxSeconds) && written;
    written = WriteProfileInt(file, kSection, kBalloon, m_balloon ? 1 : 0) && written;
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    return written;
}

} // namespace rw
