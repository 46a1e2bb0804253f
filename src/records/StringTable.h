// The program's own texts by string id. Both builds compile the same list
// (res/strings.def) that the resource script turns into the STRINGTABLE.
#pragma once

#include <string>

namespace rw {

// The text of string `id`, or an empty text when there is none (as the
// platform's string loader gives for a missing id).
std::string LoadResString(unsigned id);

} // namespace rw
