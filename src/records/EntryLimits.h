// How long the texts of a phone book entry may be: what the program itself
// lets the user give it. The entry sheet holds its boxes to these lengths,
// and rwcfg refuses longer fields on import.
#pragma once

#include <cstddef>

namespace rw {

// The entry sheet's number, name and notes boxes take at most this many
// characters (the edit control's own default limit, set on each box).
inline constexpr size_t kMaxEntryNumberLength = 32767;
inline constexpr size_t kMaxEntryNameLength = 32767;
inline constexpr size_t kMaxEntryNotesLength = 32767;
// A message file's path as Browse can return it: its buffer, less the
// terminating NUL.
inline constexpr size_t kMaxMessageFilePathLength = 4095;

} // namespace rw
