// Where Ringwarden.cfg lives. A portable copy keeps it beside the program.
// An installed copy sits in a folder its users cannot write to (and a
// manifested program gets no write redirection there), so it keeps the file
// in the user's application-data folder and takes over an older file left
// beside the program once, on its first run. An installed copy never writes
// beside itself: when application data cannot be used it reads the old file
// there, if any, and saves nothing. Paths are UTF-8.
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
        // False for an installed copy whose application-data folder could
        // not be used: `path` is then the old file beside the program, to be
        // read (if it is there) and never written.
        bool canSave = true;
        // The folder that could not be used (empty when not even known).
        std::string unusableFolder;
    };

    // Written beside the program by the installer.
    static constexpr const char* kInstalledMarker = "installed.ini";
    static constexpr const char* kAppFolder = "Ringwarden";

    explicit CConfigLocation(CConfigLocationProbe& probe) : m_probe(probe) {}

    // `programDirectory` and `appDataDirectory` end in a separator or are
    // empty (not known). An installed copy without a usable application-data
    // folder (not known, cannot be made, the old file cannot be copied into
    // it) reads the file beside the program and cannot save.
    Result Resolve(const std::string& programDirectory, const std::string& appDataDirectory);

    // True for a copy the installer put there, or one in a folder the user
    // cannot write to that holds no configuration of its own.
    bool IsInstalled(const std::string& programDirectory);

private:
    CConfigLocationProbe& m_probe;
};

// The system's answers (Windows only).
std::unique_ptr<CConfigLocationProbe> CreateSystemConfigLocationProbe();

// The decision for this run of the program, asking the system (Windows
// only): the executable's folder and the user's %APPDATA%.
CConfigLocation::Result ResolveConfigLocation();
// Its path, for rwcfg.
std::string ResolveConfigPath();

} // namespace rw
