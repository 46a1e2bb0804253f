// Windows-1252 <-> Unicode, independent of the system: the native build's
// system code page, and the companion tool's text conversions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace rw {

// The Unicode code point of a Windows-1252 byte. The five bytes 1252 leaves
// undefined map to the C1 controls of the same value, as Windows does.
char32_t Cp1252ToUnicode(unsigned char byte);
// The Windows-1252 byte of a code point, or nothing when 1252 has none.
std::optional<unsigned char> UnicodeToCp1252(char32_t c);

std::string Cp1252ToUtf8(std::string_view text);
// Nothing when the text is not valid UTF-8 or holds a character 1252 lacks.
std::optional<std::string> Utf8ToCp1252(std::string_view text);
// UTF-16 to 1252; characters 1252 lacks, and lone surrogates, become '?'.
std::string Utf16ToCp1252(std::u16string_view text);

} // namespace rw
