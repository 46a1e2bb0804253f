#include "app/CommandLine.h"

namespace rw {

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
        else if (arg == "--sim-script" || arg == "--sim-devices")
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
