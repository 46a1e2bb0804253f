// A stand-in for Windows' telephony library, copied as tapi32.dll where a
// careless search would find it: what its functions answer shows whether it
// was the one loaded.
#pragma once

#include <windows.h>

namespace rw::test {

constexpr LONG kPlantedTapiAnswer = 0x7E57ED;

} // namespace rw::test
