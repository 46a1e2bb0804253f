// Browse and Test for a message file, as the Defaults page and an entry's
// Filter Details page both offer them.
#pragma once

#include <windows.h>

#include <string>

namespace rw {

class CWavePlayer;

// The system's file-open dialog for a wave file, owned by `owner`: true and
// the chosen file's full path in `path` when the user pressed OK; false
// (and `path` untouched) when cancelled.
bool BrowseForWaveFile(HWND owner, std::string& path);

// Test: plays `path` once on the computer's own sound device (not the
// telephone line) through `player`; loading stops a playback still running,
// so a second Test starts again. An empty path, a file that cannot be loaded
// and one that cannot be played are reported in messages owned by `owner`.
// False when Test is to be disabled (the file could not be loaded or
// played).
bool PlayMessageFile(HWND owner, CWavePlayer& player, const std::string& path);

// Disables the Test button `test` of the property page `page`. A disabled
// button that keeps the focus leaves the keyboard dead, so a Test button
// holding it hands it to `browse` first (through the sheet, which owns the
// focus).
void DisableTestButton(HWND page, HWND test, HWND browse);

} // namespace rw
