// Text in the system code page: single bytes, upper-cased as the platform
// does it. The Windows build asks the system; the native build uses an
// equivalent for Windows-1252.
#pragma once

#include <string>
#include <string_view>

namespace rw {

// Upper-cases `text` in place, byte for byte.
void UpperCaseInPlace(std::string& text);

// UTF-16 text in the system code page; characters it lacks become '?'.
std::string Utf16ToSystem(std::u16string_view text);

} // namespace rw
