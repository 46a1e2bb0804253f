// The single-instance handshake. A running copy's main window carries the
// program's title and answers a private message with a fixed value; a
// second copy that finds one brings it forward and ends.
#pragma once

#include <windows.h>

#include <string>

namespace rw {

constexpr UINT kRunningCopyQuery = 9789;
constexpr LRESULT kRunningCopyAnswer = 0x09081999;

// Looks through the top-level windows, hidden ones included, for one titled
// exactly `title` that answers kRunningCopyQuery with kRunningCopyAnswer.
// The query carries `request` and `minutes` (an override asked for on the
// command line; 0 and 0 for none), which the running copy takes over.
// Makes the first such window the foreground window (without showing a
// hidden one) and returns true; false when none answers. A window that
// does not answer within `timeoutMs` counts as not answering.
bool ActivateRunningCopy(const std::string& title, UINT timeoutMs = 1000, WPARAM request = 0,
                         LPARAM minutes = 0);

} // namespace rw
