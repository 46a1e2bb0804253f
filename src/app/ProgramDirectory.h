// The directory of the running executable, where the configuration lives.
#pragma once

#include <string>

namespace rw {

// Drive and directory of the executable in UTF-8, ending in a backslash; empty when
// the executable's path cannot be obtained (the file is then looked for in
// the current directory).
std::string ProgramDirectory();

} // namespace rw
