// Whole numbers in Ringwarden.ini through the Windows profile functions,
// read strictly: the one place both settings classes read and write them.
#pragma once

#include <string>

namespace rw {

// The value of `key` in `section` of `file` when it is a whole decimal
// number from `low` to `high` (spaces around it allowed), else `fallback`:
// GetPrivateProfileInt would read "3x" as 3 and "x" as 0.
int ReadProfileInt(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                   int fallback, int low, int high);
bool WriteProfileInt(const std::wstring& file, const wchar_t* section, const wchar_t* key,
                     int value);

} // namespace rw
