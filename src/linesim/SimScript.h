// Scripts of timed far-end events for the line simulator (--sim-script
// FILE). One event a line, times in seconds from when the line is first
// opened (from lineInitialize instead when it finds no line device):
//
//   rings 4 every 1.5                  # cadence of unanswered calls
//   option answer-fails on             # see Option in LineSim.h; holds from the start
//   devices 0                          # no line device until new-device (default 1)
//   drop-fails 2                       # the next 2 drops fail in LINE_REPLY...
//   drop-fails 1 at-once               # ...or lineDrop fails itself (the last line wins)
//   at 1    ring number "01234 567890"
//   at 1.5  ring both "0123" "Fred Bloggs"
//   at 2    ring name "" "Fred"         # texts are always NUMBER then NAME
//   at 3    ring unknown
//   at 4    callerid 3 number "0555"
//   at 5    keys 1 "12#"
//   at 6    hangup 1
//   at 7    dial "0800 123"             # an outbound call on another extension
//   at 8    pickup 4                    # someone else answers ringing call 4
//   at 9    close-line 10               # the service closes the line for 10 s
//   at 20   reinit                      # LINEDEVSTATE_REINIT
//   at 21   new-device                  # the modem is plugged in (LINE_CREATE)
//   at 22   say 5 "hello.wav"            # the caller speaks a WAV file (16-bit PCM)...
//   at 22   say 5 tone 440 480 1.5       # ...a tone of one or two frequencies, in seconds
//   at 22   say 5 noise 3                # ...or noise with the rhythm of speech
//   at 23   gone 5 dial                  # the caller has gone: dial, busy or reorder tone
//   wave-in missing                      # the modem has no voice input (works, refuses)
//   at 30   quit
//
// Kinds: number, name, both, blocked, outofarea, unavailable, unknown.
// Options: reply-after-state, answer-fails, idle-without-disconnected,
// no-hangup-report, answer-not-owner, digits-twice, connected-twice,
// listen-first.
// "option", "devices" and "drop-fails" lines apply when the script is read,
// wherever they stand: at lineInitialize, or at the first lineOpen for a
// script set after lineInitialize ("devices" then counts from the next
// lineInitialize). "devices" applies only the first time a script is read,
// so a modem plugged in stays when the program registers again. "rings"
// applies when the script's clock starts.
// What a caller says waits for the program to record: it is heard after
// the beep, one piece after another, then silence; "gone" makes the line
// carry the exchange's tone after that, with no hang-up reported. A relative
// WAV path is taken from the current folder. "wave-in" applies when the
// script is read, as "option" does.
// Quoted texts take \" \\ and \xHH escapes, so any bytes can be sent.
#pragma once

#include "LineSim.h"

#include <cstdint>
#include <string>
#include <vector>

namespace rw::linesim {

struct ScriptEvent {
    enum class Kind {
        Ring,
        Dial,
        CallerId,
        Keys,
        KeysAsked,
        HangUp,
        Quit,
        Timing,
        Option,
        PickUp,
        CloseLine,
        Reinit,
        NewDevice,
        Devices,
        DropFails,
        Say,
        Gone,
        WaveIn
    };
    enum class Said { File, Tone, Noise };
    Kind kind = Kind::Ring;
    uint32_t atMs = 0;
    uint32_t call = 0; // callerid, keys, keys-asked, hangup, pickup
    CallerIdKind callerKind = CallerIdKind::Number;
    std::string number, name, digits;
    uint32_t rings = 0, intervalMs = 0; // Timing
    Option option = Option::ReplyAfterState;
    bool on = false;                     // Option
    uint32_t downMs = 0;                 // CloseLine
    uint32_t count = 0;                  // Devices, DropFails
    bool atOnce = false;                 // DropFails
    Said said = Said::Noise;             // Say
    std::string path;                    // Say File
    double f1 = 0, f2 = 0;               // Say Tone
    uint32_t lengthMs = 0;               // Say Tone, Noise
    LineTone tone = LineTone::Dial;      // Gone
    WaveInput waveIn = WaveInput::Works; // WaveIn
};

// Parses one line; an empty or comment-only line gives true with no event.
// On a bad line returns false with the reason in `error`.
bool ParseScriptLine(const std::string& line, std::vector<ScriptEvent>& events, std::string& error);

// Reads a whole file; the error names the file and line.
bool LoadScript(const std::string& path, std::vector<ScriptEvent>& events, std::string& error);

} // namespace rw::linesim
