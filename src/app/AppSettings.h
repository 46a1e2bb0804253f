// The program's own settings in Ringwarden.ini, beside Ringwarden.cfg:
// those that the configuration file's fixed format has no room for. Only
// this class reads or writes the file; a value missing or damaged there
// reads as its default.
#pragma once

#include <string>

namespace rw {

class CAppSettings {
public:
    // `iniPath`: the settings file (see PathBeside).
    explicit CAppSettings(std::string iniPath) : m_path(std::move(iniPath)) {}

    // Ringwarden.ini in the folder of the configuration file `configPath`.
    static std::string PathBeside(const std::string& configPath);

    // Whether calls are kept in the call history (default on).
    bool GetHistoryEnabled() const;
    // False when the file could not be written.
    bool SetHistoryEnabled(bool enabled);

private:
    std::string m_path;
};

} // namespace rw
