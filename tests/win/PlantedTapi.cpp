// Built as rwplanted.dll. No tapi.h: only the names and the answer matter.
#include "PlantedTapi.h"

extern "C" {

__declspec(dllexport) LONG WINAPI lineInitialize(void*, HINSTANCE, void*, const char*, DWORD*) {
    return rw::test::kPlantedTapiAnswer;
}

__declspec(dllexport) LONG WINAPI lineShutdown(DWORD) {
    return rw::test::kPlantedTapiAnswer;
}

} // extern "C"
