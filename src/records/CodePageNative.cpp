#include "records/CodePage.h"

#include "records/Cp1252.h"

namespace rw {
namespace {

// Windows-1252 upper case: ASCII letters, the Latin-1 letters from 0xE0
// (except the division sign 0xF7) and the few letters 1252 keeps in
// 0x80-0x9F and at 0xFF.
unsigned char Upper1252(unsigned char c) {
    if (c >= 'a' && c <= 'z')
        return static_cast<unsigned char>(c - 0x20);
    if (c >= 0xE0 && c <= 0xFE && c != 0xF7)
        return static_cast<unsigned char>(c - 0x20);
    switch (c) {
    case 0x9A:
        return 0x8A; // s caron
    case 0x9C:
        return 0x8C; // oe
    case 0x9E:
        return 0x8E; // z caron
    case 0xFF:
        return 0x9F; // y diaeresis
    default:
        return c;
    }
}

} // namespace

void UpperCaseInPlace(std::string& text) {
    for (char& ch : text)
        ch = static_cast<char>(Upper1252(static_cast<unsigned char>(ch)));
}

std::string Utf16ToSystem(std::u16string_view text) {
    return Utf16ToCp1252(text);
}

} // namespace rw
