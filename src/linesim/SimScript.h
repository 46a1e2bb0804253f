// Scripts of timed far-end events for the line simulator (--sim-script
// FILE). One event a line, times in seconds from when the line is opened:
//
//   rings 4 every 1.5                  # cadence of unanswered calls
//   option answer-fails on             # see Option in LineSim.h; holds from the start
//   at 1    ring number "01234 567890"
//   at 1.5  ring both "0123" "Fred Bloggs"
//   at 2    ring name "" "Fred"         # texts are always NUMBER then NAME
//   at 3    ring unknown
//   at 4    callerid 3 number "0555"
//   at 5    keys 1 "12#"
//   at 6    hangup 1
//   at 7    dial "0800 123"             # an outbound call on another extension
//   at 9    quit
//
// Kinds: number, name, both, blocked, outofarea, unavailable, unknown.
// Options: reply-after-state, answer-fails, idle-without-disconnected,
// no-hangup-report.
// Quoted texts take \" \\ and \xHH escapes, so any bytes can be sent.
#pragma once

#include "LineSim.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rw::linesim {

struct ScriptEvent {
    enum class Kind { Ring, Dial, CallerId, Keys, HangUp, Quit, Timing, Option };
    Kind kind = Kind::Ring;
    uint32_t atMs = 0;
    uint32_t call = 0; // callerid, keys, hangup
    CallerIdKind callerKind = CallerIdKind::Number;
    std::string number, name, digits;
    uint32_t rings = 0, intervalMs = 0; // Timing
    Option option = Option::ReplyAfterState;
    bool on = false; // Option
};

// Parses one line; an empty or comment-only line gives true with no event.
// On a bad line returns false with the reason in `error`.
bool ParseScriptLine(const std::string& line, std::vector<ScriptEvent>& events, std::string& error);

// Reads a whole file; the error names the file and line.
bool LoadScript(const std::string& path, std::vector<ScriptEvent>& events, std::string& error);

} // namespace rw::linesim
