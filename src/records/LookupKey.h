#pragma once

#include <string>
#include <string_view>

namespace rw {

// The phone book key of a number or call type: its digits in order when it
// has any ("(01234) 567-890" gives "01234567890"), otherwise the whole text
// upper-cased in the system code page ("<Blocked>" gives "<BLOCKED>").
// Only the bytes '0' to '9' are digits. A number with digits whose text
// ends in '*' (blanks after it aside) is a prefix: its key is the digits
// followed by '*' ("+44 870*" gives "44870*"), so that it never clashes with
// the exact number made of the same digits.
std::string MakeLookupKeyFrom(std::string_view number);

// What the entry sheet takes: a number with no '*', or with one '*' as its
// last character (blanks aside) after at least one digit.
bool IsStarPlacedRight(std::string_view number);

// True for a prefix's key: one or more digits, then '*'.
bool IsPrefixKey(std::string_view key);

} // namespace rw
