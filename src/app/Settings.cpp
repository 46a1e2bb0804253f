#include "app/Settings.h"

#include "records/WidePath.h"

#include <windows.h>

#include <algorithm>
#include <cwchar>

namespace rw {
namespace {

constexpr const wchar_t* kScreening = L"Screening";
constexpr const wchar_t* kRepeatedCalls = L"RepeatedCallsRingThrough";
constexpr const wchar_t* kRepeatedMinutes = L"RepeatedCallMinutes";
constexpr const wchar_t* kHistory = L"History";
constexpr const wchar_t* kKeepHistory = L"KeepHistory";
constexpr const wchar_t* kDiagnostics = L"Diagnostics";
constexpr const wchar_t* kTrace = L"Trace";

// The value of `key` when it is a whole decimal number from `low` to
// `high`, else `fallback`. GetPrivateProfileInt would read "3x" as 3 and
// "x" as 0, so the text is read and checked here.
int ReadInt(const std::wstring& file, const wchar_t* section, const wchar_t* key, int fallback,
            int low, int high) {
    wchar_t text[32] = {};
    GetPrivateProfileStringW(section, key, L"", text, 32, file.c_str());
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
    if (*p != L'\0' || value < low)
        return fallback;
    return static_cast<int>(value);
}

bool WriteInt(const std::wstring& file, const wchar_t* section, const wchar_t* key, int value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", value);
    return WritePrivateProfileStringW(section, key, text, file.c_str()) != FALSE;
}

} // namespace

std::string CSettings::PathBeside(const std::string& configPath) {
    const size_t slash = configPath.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : configPath.substr(0, slash + 1)) +
           kFileName;
}

void CSettings::SetRepeatedCallMinutes(int minutes) {
    m_repeatedCallMinutes = std::clamp(minutes, kMinRepeatedCallMinutes, kMaxRepeatedCallMinutes);
}

void CSettings::Load(const std::string& path) {
    *this = CSettings();
    const std::wstring file = WidePath(path);
    if (file.empty())
        return;
    m_repeatedCallsRingThrough = ReadInt(file, kScreening, kRepeatedCalls,
                                         kDefaultRepeatedCallsRingThrough ? 1 : 0, 0, 1) != 0;
    const int minutes = ReadInt(file, kScreening, kRepeatedMinutes, kDefaultRepeatedCallMinutes, 0,
                                kMaxRepeatedCallMinutes);
    if (minutes == 0)
        m_repeatedCallsRingThrough = false; // the file's way of saying off
    else
        m_repeatedCallMinutes = minutes;
    m_keepHistory = ReadInt(file, kHistory, kKeepHistory, kDefaultKeepHistory ? 1 : 0, 0, 1) != 0;
    m_trace = ReadInt(file, kDiagnostics, kTrace, kDefaultTrace ? 1 : 0, 0, 1) != 0;
}

bool CSettings::Save(const std::string& path) {
    m_lastError.clear();
    const std::wstring file = WidePath(path);
    if (file.empty())
        return false;
    // Windows refuses to write a read-only file; Wine, run by a user the
    // file system lets write anyway, would not: say so before asking.
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        m_lastError = SystemErrorText(ERROR_ACCESS_DENIED);
        return false;
    }
    // The first failure's reason is the one told.
    DWORD error = 0;
    auto keep = [&error](bool ok) {
        if (!ok && !error)
            error = GetLastError();
        return ok;
    };
    bool written =
        keep(WriteInt(file, kScreening, kRepeatedCalls, m_repeatedCallsRingThrough ? 1 : 0));
    written = keep(WriteInt(file, kScreening, kRepeatedMinutes, m_repeatedCallMinutes)) && written;
    written = keep(WriteInt(file, kHistory, kKeepHistory, m_keepHistory ? 1 : 0)) && written;
    written = keep(WriteInt(file, kDiagnostics, kTrace, m_trace ? 1 : 0)) && written;
    // The profile functions may keep the file in a cache; all three null
    // flushes it, so that the file on disk holds the settings now.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    if (!written)
        m_lastError = error ? SystemErrorText(error) : std::string();
    return written;
}

} // namespace rw
