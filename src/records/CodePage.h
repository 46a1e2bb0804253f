// Text in the system code page: single bytes, upper-cased as the platform
// does it. The Windows build asks the system; the native build uses an
// equivalent for Windows-1252.
#pragma once

#include <string>

namespace rw {

// Upper-cases `text` in place, byte for byte.
void UpperCaseInPlace(std::string& text);

} // namespace rw
