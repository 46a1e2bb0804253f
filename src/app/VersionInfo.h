// The version a module's VERSIONINFO resource gives, so that the About box
// and the installer's "1.00" come from one place.
#pragma once

#include <windows.h>

#include <string>

namespace rw {

// The file's StringFileInfo value `name` ("FileVersion", "CompanyName",
// ...) in its first translation, in UTF-8; empty when it has none. The path
// is UTF-8.
std::string FileVersionString(const std::string& path, const char* name);

// The "FileVersion" text of a loaded module (null: the executable), e.g.
// "1.00".
std::string ModuleVersion(HMODULE module);

} // namespace rw
