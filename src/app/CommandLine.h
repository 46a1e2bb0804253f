// The program's command-line switches.
#pragma once

#include <string>
#include <vector>

namespace rw {

// An override asked for from the command line; handed to a copy already
// running with the single-instance handshake (see RunningCopy.h).
enum class OverrideRequest { None = 0, Quiet = 1, AllRing = 2, Off = 3 };

struct CCommandLine {
    // Load the project's line simulator instead of the system's TAPI32.DLL.
    bool lineSimulator = false;
    // Neither read nor write the call history.
    bool noHistory = false;
    // Show the usage text and end.
    bool help = false;
    // --quiet MINUTES, --let-all-ring MINUTES (0: until turned off),
    // --override-off.
    OverrideRequest overrideRequest = OverrideRequest::None;
    int overrideMinutes = 0;
    static constexpr int kMaxOverrideMinutes = 7 * 24 * 60;
    // Keep the telephony trace in this run, whatever the settings say.
    bool trace = false;
    // Write the modem check's report to this file and end (empty: no).
    std::string checkModemFile;

    // Reads the arguments after the program name. The simulator's own
    // switches (--sim-..., read by the simulator itself) are skipped, with
    // the file name that --sim-script takes and the count --sim-devices
    // takes; anything else unknown asks for the usage text.
    static CCommandLine Parse(const std::vector<std::string>& args);
};

// The full path of the simulator DLL beside the executable at `exePath`.
std::string LineSimulatorPath(const std::string& exePath);

} // namespace rw
