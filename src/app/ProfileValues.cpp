#include "app/ProfileValues.h"

#include <windows.h>

#include <cwchar>

namespace rw {

int ReadProfileInt(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                   int fallback, int low, int high) {
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
    return *p != L'\0' || value < low ? fallback : static_cast<int>(value);
}

bool WriteProfileInt(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                     int value) {
    wchar_t text[16];
    std::swprintf(text, 16, L"%d", value);
    return WritePrivateProfileStringW(section, key, text, file.c_str()) != FALSE;
}

} // namespace rw
