// The program's message boxes, titled "Ringwarden". Every window of the
// program shows its messages through AppMessageBox, so that tests can
// answer them without a real message box (SetAppMessageBoxHandler).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace rw {

using AppMessageBoxHandler = std::function<int(HWND owner, const std::string& text, UINT type)>;

// Shows `text` with the buttons and icon of `type`; returns the button.
int AppMessageBox(HWND owner, const std::string& text, UINT type);
// Shows string `id`.
int AppMessageBox(HWND owner, UINT id, UINT type);
// Replaces the platform's message box for the whole process; an empty
// handler puts the platform's back. Returns the previous handler.
AppMessageBoxHandler SetAppMessageBoxHandler(AppMessageBoxHandler handler);

// String `id` with its one "%s" replaced by `argument` (taken literally).
std::string FormatResString(unsigned id, const std::string& argument);
// String `id` with its two "%s" replaced by `first` and `second`.
std::string FormatResString(unsigned id, const std::string& first, const std::string& second);
// String `id` with each "%s" in turn replaced by the next of `arguments`.
std::string FormatResStrings(unsigned id, const std::vector<std::string>& arguments);

} // namespace rw
