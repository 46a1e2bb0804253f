#include "app/CommandLine.h"

namespace rw {
namespace {

// Whole minutes from 0 to the most an override may last; -1 for anything else.
int Minutes(const std::string& text) {
    if (text.empty() || text.size() > 6)
        return -1;
    int minutes = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return -1;
        minutes = minutes * 10 + (c - '0');
    }
    return minutes <= CCommandLine::kMaxOverrideMinutes ? minutes : -1;
}

} // namespace

CCommandLine CCommandLine::Parse(const std::vector<std::string>& args) {
    CCommandLine line;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--line-simulator")
            line.lineSimulator = true;
        else if (arg == "--no-history")
            line.noHistory = true;
        else if (arg == "--trace")
            line.trace = true;
        else if (arg == "--check-modem" && i + 1 < args.size())
            line.checkModemFile = args[++i];
        else if (arg == "--help" || arg == "-h" || arg == "/?")
            line.help = true;
        else if (arg == "--override-off")
            line.overrideRequest = OverrideRequest::Off;
        else if (arg == "--quiet" || arg == "--let-all-ring") {
            const int minutes = i + 1 < args.size() ? Minutes(args[i + 1]) : -1;
            if (minutes < 0) {
                line.help = true;
                continue;
            }
            ++i;
            line.overrideRequest =
                arg == "--quiet" ? OverrideRequest::Quiet : OverrideRequest::AllRing;
            line.overrideMinutes = minutes;
        } else if (arg == "--sim-script" || arg == "--sim-devices")
            ++i; // its file name or count
        else if (arg.rfind("--sim-", 0) == 0)
            continue;
        else
            line.help = true;
    }
    return line;
}

std::string LineSimulatorPath(const std::string& exePath) {
    const size_t slash = exePath.find_last_of("\\/");
    const std::string dir =
        slash == std::string::npos ? std::string() : exePath.substr(0, slash + 1);
    return dir + "rwlinesim.dll";
}

} // namespace rw
