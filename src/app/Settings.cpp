#include "app/Settings.h"

#include "app/ProfileValues.h"

#include "records/WidePath.h"

#include <windows.h>

#include <algorithm>

namespace rw {
namespace {

constexpr const wchar_t* kScreening = L"Screening";
constexpr const wchar_t* kRepeatedCalls = L"RepeatedCallsRingThrough";
constexpr const wchar_t* kRepeatedMinutes = L"RepeatedCallMinutes";
constexpr const wchar_t* kHistory = L"History";
constexpr const wchar_t* kKeepHistory = L"KeepHistory";
constexpr const wchar_t* kKeyCheck = L"KeyCheck";
constexpr const wchar_t* kVerifiedDays = L"VerifiedDays";
constexpr const wchar_t* kKeyCheckPrompt = L"KeyCheckPrompt";
constexpr const wchar_t* kRepeatedWithoutEntry = L"RepeatedCallsWithoutEntry";
constexpr const wchar_t* kOverride = L"Override";
constexpr const wchar_t* kMode = L"Mode";
constexpr const wchar_t* kUntil = L"Until";
constexpr const wchar_t* kHours = L"Hours";
constexpr const wchar_t* kAllDay = L"AllDayOutOfHours";
constexpr const char* kDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};

// The value of `key` as text (ASCII: anything else reads as damaged), at
// most a line's worth.
std::string ReadText(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    wchar_t text[128] = {};
    GetPrivateProfileStringW(section, key, L"", text, 128, file.c_str());
    std::string out;
    for (const wchar_t* p = text; *p; ++p)
        out += *p < 128 ? static_cast<char>(*p) : '\x7F';
    return out;
}

bool WriteText(const std::wstring& file, const wchar_t* section, const wchar_t* key,
               const std::string& value) {
    const std::wstring wide(value.begin(), value.end());
    return WritePrivateProfileStringW(section, key, wide.c_str(), file.c_str()) != FALSE;
}
constexpr const wchar_t* kDiagnostics = L"Diagnostics";
constexpr const wchar_t* kTrace = L"Trace";
constexpr const wchar_t* kHook = L"Hook";
constexpr const wchar_t* kHookCommand = L"Command";
constexpr const wchar_t* kHookEvents = L"Events";

} // namespace

std::string CSettings::PathBeside(const std::string& configPath) {
    const size_t slash = configPath.find_last_of("\\/");
    return (slash == std::string::npos ? std::string() : configPath.substr(0, slash + 1)) +
           kFileName;
}

void CSettings::SetRepeatedCallMinutes(int minutes) {
    m_repeatedCallMinutes = std::clamp(minutes, kMinRepeatedCallMinutes, kMaxRepeatedCallMinutes);
}

void CSettings::SetVerifiedDays(int days) {
    m_verifiedDays = std::clamp(days, 0, kMaxVerifiedDays);
}

void CSettings::SetOverride(OverrideMode mode, long long untilUtc) {
    m_override = mode;
    m_overrideUntil = mode == OverrideMode::None ? 0 : untilUtc;
}

std::string CSettings::FormatDays(unsigned days) {
    std::string text;
    // Monday first, as a week is read; Sunday last.
    for (int i = 1; i <= 7; ++i) {
        const int day = i % 7;
        if (!(days & (1u << day)))
            continue;
        if (!text.empty())
            text += ',';
        text += kDayNames[day];
    }
    return text;
}

bool CSettings::ParseDays(const std::string& text, unsigned& days) {
    unsigned read = 0;
    size_t at = 0;
    while (at <= text.size()) {
        size_t comma = text.find(',', at);
        if (comma == std::string::npos)
            comma = text.size();
        std::string word = text.substr(at, comma - at);
        while (!word.empty() && (word.front() == ' ' || word.front() == '\t'))
            word.erase(word.begin());
        while (!word.empty() && (word.back() == ' ' || word.back() == '\t'))
            word.pop_back();
        if (!word.empty()) {
            bool known = false;
            for (int day = 0; day < 7 && !known; ++day) {
                if (word.size() == 3 && _stricmp(word.c_str(), kDayNames[day]) == 0) {
                    read |= 1u << day;
                    known = true;
                }
            }
            if (!known)
                return false;
        }
        at = comma + 1;
    }
    days = read;
    return true;
}

void CSettings::Load(const std::string& path) {
    *this = CSettings();
    const std::wstring file = WidePath(path);
    if (file.empty())
        return;
    m_repeatedCallsRingThrough =
        ReadProfileInt(file, kScreening, kRepeatedCalls, kDefaultRepeatedCallsRingThrough ? 1 : 0,
                       0, 1) != 0;
    const int minutes = ReadProfileInt(file, kScreening, kRepeatedMinutes,
                                       kDefaultRepeatedCallMinutes, 0, kMaxRepeatedCallMinutes);
    if (minutes == 0)
        m_repeatedCallsRingThrough = false; // the file's way of saying off
    else
        m_repeatedCallMinutes = minutes;
    m_keepHistory =
        ReadProfileInt(file, kHistory, kKeepHistory, kDefaultKeepHistory ? 1 : 0, 0, 1) != 0;
    m_keyCheck = ReadProfileInt(file, kScreening, kKeyCheck, kDefaultKeyCheck ? 1 : 0, 0, 1) != 0;
    m_verifiedDays =
        ReadProfileInt(file, kScreening, kVerifiedDays, kDefaultVerifiedDays, 0, kMaxVerifiedDays);
    {
        // A path in any script: read wide, kept as UTF-8.
        wchar_t path[MAX_PATH] = {};
        GetPrivateProfileStringW(kScreening, kKeyCheckPrompt, L"", path, MAX_PATH, file.c_str());
        m_keyCheckPrompt = Utf8Path(path);
    }
    m_repeatedCallsWithoutEntry =
        ReadProfileInt(file, kScreening, kRepeatedWithoutEntry,
                       kDefaultRepeatedCallsWithoutEntry ? 1 : 0, 0, 1) != 0;
    unsigned days = 0;
    if (ParseDays(ReadText(file, kHours, kAllDay), days))
        m_allDayOutOfHours = days;
    // An override needs both its mode and a readable end; else none.
    OverrideMode mode = OverrideMode::None;
    long long until = 0;
    if (CScreeningOverride::ParseMode(ReadText(file, kOverride, kMode), mode) &&
        mode != OverrideMode::None &&
        CScreeningOverride::ParseUntil(ReadText(file, kOverride, kUntil), until))
        SetOverride(mode, until);
    m_trace = ReadProfileInt(file, kDiagnostics, kTrace, kDefaultTrace ? 1 : 0, 0, 1) != 0;
    {
        // Any script, as a path: read wide, kept as UTF-8. One that fills
        // the buffer was cut short: run no part of a command line.
        std::wstring command(kMaxHookCommand + 2, L'\0');
        const DWORD length =
            GetPrivateProfileStringW(kHook, kHookCommand, L"", command.data(),
                                     static_cast<DWORD>(command.size()), file.c_str());
        if (length <= kMaxHookCommand) {
            command.resize(length);
            m_hookCommand = Utf8Path(command);
        }
    }
    HookEvents events = HookEvents::All;
    if (ParseHookEvents(ReadText(file, kHook, kHookEvents), events))
        m_hookEvents = events;
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
        keep(WriteProfileInt(file, kScreening, kRepeatedCalls, m_repeatedCallsRingThrough ? 1 : 0));
    written =
        keep(WriteProfileInt(file, kScreening, kRepeatedMinutes, m_repeatedCallMinutes)) && written;
    written = keep(WriteProfileInt(file, kHistory, kKeepHistory, m_keepHistory ? 1 : 0)) && written;
    written = keep(WriteProfileInt(file, kScreening, kKeyCheck, m_keyCheck ? 1 : 0)) && written;
    written = keep(WriteProfileInt(file, kScreening, kVerifiedDays, m_verifiedDays)) && written;
    written = keep(WritePrivateProfileStringW(kScreening, kKeyCheckPrompt,
                                              WidePath(m_keyCheckPrompt).c_str(),
                                              file.c_str()) != FALSE) &&
              written;
    written = keep(WriteProfileInt(file, kScreening, kRepeatedWithoutEntry,
                                   m_repeatedCallsWithoutEntry ? 1 : 0)) &&
              written;
    written = keep(WriteText(file, kHours, kAllDay, FormatDays(m_allDayOutOfHours))) && written;
    written = keep(WriteText(file, kOverride, kMode, CScreeningOverride::ModeName(m_override))) &&
              written;
    written = keep(WriteText(file, kOverride, kUntil,
                             m_override == OverrideMode::None
                                 ? std::string("never")
                                 : CScreeningOverride::FormatUntil(m_overrideUntil))) &&
              written;
    written = keep(WriteProfileInt(file, kDiagnostics, kTrace, m_trace ? 1 : 0)) && written;
    {
        // The profile functions take one pair of quotes off a value that
        // starts and ends with them ("C:\Program Files\x.exe" "%1" would
        // lose its first and last): such a command gets a pair to lose.
        std::wstring command = WidePath(m_hookCommand);
        if (command.size() >= 2 && command.front() == command.back() &&
            (command.front() == L'"' || command.front() == L'\''))
            command = L'"' + command + L'"';
        written = keep(WritePrivateProfileStringW(kHook, kHookCommand, command.c_str(),
                                                  file.c_str()) != FALSE) &&
                  written;
    }
    written = keep(WriteText(file, kHook, kHookEvents, HookEventsName(m_hookEvents))) && written;
    // The profile functions may keep the file in a cache; all three null
    // flushes it, so that the file on disk holds the settings now.
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, file.c_str());
    if (!written)
        m_lastError = error ? SystemErrorText(error) : std::string();
    return written;
}

} // namespace rw
