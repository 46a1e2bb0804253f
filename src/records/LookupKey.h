#pragma once

#include <string>
#include <string_view>

namespace rw {

// The phone book key of a number or call type: its digits in order when it
// has any ("(01234) 567-890" gives "01234567890"), otherwise the whole text
// upper-cased in the system code page ("<Blocked>" gives "<BLOCKED>").
// Only the bytes '0' to '9' are digits.
std::string MakeLookupKeyFrom(std::string_view number);

} // namespace rw
