#include "records/LocaleTime.h"

#include "records/CodePage.h"

#include <windows.h>

namespace rw {
namespace {

SYSTEMTIME ToSystemTime(const std::tm& time) {
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(time.tm_year + 1900);
    st.wMonth = static_cast<WORD>(time.tm_mon + 1);
    st.wDayOfWeek = static_cast<WORD>(time.tm_wday);
    st.wDay = static_cast<WORD>(time.tm_mday);
    st.wHour = static_cast<WORD>(time.tm_hour);
    st.wMinute = static_cast<WORD>(time.tm_min);
    st.wSecond = static_cast<WORD>(time.tm_sec);
    return st;
}

// The W functions give the locale's text whatever its code page; it is
// then put into the system code page that every text of the program uses.
// `written` counts the terminating NUL; 0 is a failure.
std::string FromWide(const wchar_t* text, int written) {
    if (written <= 1)
        return std::string();
    return Utf16ToSystem(std::u16string_view(reinterpret_cast<const char16_t*>(text), written - 1));
}

} // namespace

std::string LocaleTimeText(const std::tm& time) {
    const SYSTEMTIME st = ToSystemTime(time);
    wchar_t text[128];
    return FromWide(text, GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, text, 128));
}

std::string LocaleDateText(const std::tm& time, bool longForm) {
    const SYSTEMTIME st = ToSystemTime(time);
    wchar_t text[128];
    return FromWide(text,
                    GetDateFormatW(LOCALE_USER_DEFAULT, longForm ? DATE_LONGDATE : DATE_SHORTDATE,
                                   &st, nullptr, text, 128));
}

} // namespace rw
