#include "app/MessageSettings.h"

#include "records/WidePath.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace rw {
namespace {

constexpr const wchar_t* kSection = L"Messages";
constexpr const wchar_t* kFromTimeBlocked = L"FromTimeBlocked";
constexpr const wchar_t* kFromUnknownCallers = L"FromUnknownCallers";
constexpr const wchar_t* kMaxSeconds = L"MaxSeconds";
constexpr const wchar_t* kBalloon = L"Balloon";

// The value of `key` when it is a whole decimal number from `low` to
// `high` (spaces around it allowed), else `fallback`: GetPrivateProfileInt
// would read "3x" as 3 and "x" as 0.
int ReadInt(const std::wstring& file, const wchar_t* key, int fallback, int low, int high) {
    wchar_t text[32] = {};
    GetPrivateProfileStringW(kSection, key, L"", text, 32, file.c_str());
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t')
        ++p;
    if (*p < L'0' || *p > L'9')
        return fallback;
    long value = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        value = value * 10 + (*p - L'0');
        if (value > high)
            return fallback;
    }
    while (*p == L' ' || *p == L'\t')
        ++p;
    return *p != L'\0' || value < low ? fallback : static_cast<int>(value);
}

bool WriteInt(const std::wstring& file, const wchar_t* key, int value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", value);
    return WritePrivateProfileStringW(kSection, key, text, file.c_str()) != FALSE;
}

} // namespace

void CMessageSettings::SetMaxSeconds(int seconds) {
    m_maxSeconds = std::clamp(seconds, kMinMaxSeconds, kMaxMaxSeconds);
}

void CMessageSettings::Load(const std::string& path) {
    *this = CMessageSettings();
    const std::wstring file = WidePath(path);
    if (file.empty())
        return;
    m_rules.fromTimeBlocked = ReadInt(file, kFromTimeBlocked, kDefaultFromTimeBlocked, 0, 1) != 0;
    m_rules.fromUnknownCallers =
        ReadInt(file, kFromUnknownCallers, kDefaultFromUnknownCallers, 0, 1) != 0;
    m_maxSeconds = ReadInt(file, kMaxSeconds, kDefaultMaxSeconds, kMinMaxSeconds, kMaxMaxSeconds);
    m_balloon = ReadInt(file, kBalloon, kDefaultBalloon, 0, 1) != 0;
}

bool CMessageSettings::Save(const std::string& path) const {
    const std::wstring file = WidePath(path);
    if (file.empty())
        return false;
    bool written = WriteInt(file, kFromTimeBlocked, m_rules.fromTimeBlocked ? 1 : 0);
    written = WriteInt(file, kFromUnknownCallers, m_rules.fromUnknownCallers ? 1 : 0) && written;
    written = WriteInt(file, kMaxSeconds, m_maxSeconds) && written;
    written = WriteInt(file, kBalloon, m_balloon ? 1 : 0) && written;
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    return written;
}

} // namespace rw
