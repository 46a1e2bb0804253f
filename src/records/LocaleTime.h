// A date and a time of day in the user's own forms, in the system code page.
// The Windows build asks the user's locale; the native build, which has no
// user locale to ask, gives the C locale's forms.
#pragma once

#include <ctime>
#include <string>

namespace rw {

// The time of day, as "%X" means it in the user's locale.
std::string LocaleTimeText(const std::tm& time);
// The date: the locale's short form ("%x"), or its long one ("%#x"), which
// names the weekday `time` carries.
std::string LocaleDateText(const std::tm& time, bool longForm);

} // namespace rw
