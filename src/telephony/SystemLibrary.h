// Loading Windows' own libraries from the system folder only, so that a DLL
// of the same name planted beside the program or in the current folder is
// never picked up.
#pragma once

#include <windows.h>

namespace rw {

// Limits the search for every later load by bare name (including the
// libraries a DLL imports) to the system folder. Windows 8 and later, and
// Windows 7 with KB2533623, have SetDefaultDllDirectories; without it, at
// least the current folder is taken out of the search. Call it first thing
// in WinMain. Returns false when only the fallback could be applied.
bool LimitDllSearchToSystemFolder();

// Loads Windows' library NAME (for example "TAPI32.DLL") from the system
// folder and nowhere else; nullptr when it is not there.
HMODULE LoadSystemLibrary(const char* name);

} // namespace rw
