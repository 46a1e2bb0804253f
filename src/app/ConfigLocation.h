// Where Ringwarden.cfg lives. A portable copy keeps it beside the program.
// An installed copy sits in a folder its users cannot write to (and a
// manifested program gets no write redirection there), so it keeps the file
// in the user's application-data folder and takes over an older file left
// beside the program once, on its first run.
#pragma once

#include <memory>
#include <string>

namespace rw {

// The file-system questions the decision asks, so tests can answer them.
class CConfigLocationProbe {
public:
    virtual ~CConfigLocationProbe() = default;
    virtual bool FileExists(const std::string& path) = 0;
    // True when a new file can be made in `directory` (ending in a separator).
    virtual bool DirectoryWritable(const std::string& directory) = 0;
    // Makes `directory` and any missing parents; true when it is there after.
    virtual bool MakeDirectory(const std::string& directory) = 0;
    // Copies `from` to a `to` that does not exist yet; never overwrites.
    virtual bool CopyNewFile(const std::string& from, const std::string& to) = 0;
};

class CConfigLocation {
public:
    enum class Kind {
        portable,  // beside the program
        installed, // in the user's application-data folder
    };

    struct Result {
        Kind kind = Kind::portable;
        std::string path;
        // The old file beside the program was copied into application data.
        bool migrated = false;
    };

    // Written beside the program by the installer.
    static constexpr const char* kInstalledMarker = "installed.ini";
    static constexpr const char* kAppFolder = "Ringwarden";

    explicit CConfigLocation(CConfigLocationProbe& probe) : m_probe(probe) {}

    // `programDirectory` and `appDataDirectory` end in a separator or are
    // empty (not known). An installed copy without a known application-data
    // folder, or whose old file cannot be taken over, keeps using the file
    // beside the program, as a copy without this logic would.
    Result Resolve(const std::string& programDirectory, const std::string& appDataDirectory);

    // True for a copy the installer put there, or one in a folder the user
    // cannot write to that holds no configuration of its own.
    bool IsInstalled(const std::string& programDirectory);

private:
    CConfigLocationProbe& m_probe;
};

// The system's answers (Windows only).
std::unique_ptr<CConfigLocationProbe> CreateSystemConfigLocationProbe();

// The path for this run of the program or rwcfg, asking the system
// (Windows only): the executable's folder and the user's %APPDATA%.
std::string ResolveConfigPath();

} // namespace rw
