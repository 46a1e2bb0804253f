// Paths travel through the program as UTF-8 and become UTF-16 only where a
// Windows call takes them, so a folder named in any script works (the ANSI
// calls lose every character outside the system code page). Windows only.
#pragma once

#include <string>

namespace rw {

std::wstring WidePath(const std::string& utf8);
std::string Utf8Path(const std::wstring& wide);
// A UTF-8 path for a text shown through the ANSI calls (message boxes):
// characters the code page lacks become '?'.
std::string DisplayPath(const std::string& utf8);
// The system's text for error `code` (FormatMessage), in UTF-8, without the
// trailing line break; the number when the system has no text for it.
std::string SystemErrorText(unsigned long code);

} // namespace rw
