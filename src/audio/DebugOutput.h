// Low-level audio failures go to the debugger output, never to the user.
// Tests install their own sink to read what was written.
#pragma once

namespace rw {

using DebugOutputSink = void (*)(const char* text);

// Writes text with OutputDebugStringA, or to the installed sink.
void DebugOutput(const char* text);
// Installs a sink (null restores OutputDebugStringA); returns the previous one.
DebugOutputSink SetDebugOutputSink(DebugOutputSink sink);

} // namespace rw
