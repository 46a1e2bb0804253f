#include "app/ConfigLocation.h"

#include "records/ConfigFile.h"

namespace rw {

bool CConfigLocation::IsInstalled(const std::string& programDirectory) {
    if (m_probe.FileExists(programDirectory + kInstalledMarker))
        return true;
    // A copy unpacked by hand keeps its file where it always was, even in a
    // folder that has since become read-only.
    if (m_probe.FileExists(ConfigFilePath(programDirectory)))
        return false;
    return !m_probe.DirectoryWritable(programDirectory);
}

CConfigLocation::Result CConfigLocation::Resolve(const std::string& programDirectory,
                                                 const std::string& appDataDirectory) {
    Result result;
    const std::string besideProgram = ConfigFilePath(programDirectory);
    result.path = besideProgram;
    if (programDirectory.empty() || !IsInstalled(programDirectory))
        return result;

    result.kind = Kind::installed;
    // From here on the folder beside the program is never written: a
    // standard user cannot save there, and a file saved there by someone
    // who could would be found by nobody else.
    const auto unusable = [&result](const std::string& folder) {
        result.canSave = false;
        result.unusableFolder = folder;
        return result;
    };
    if (appDataDirectory.empty())
        return unusable(std::string());
    const std::string folder = appDataDirectory + kAppFolder + "\\";
    if (!m_probe.MakeDirectory(folder))
        return unusable(folder);
    const std::string inAppData = ConfigFilePath(folder);
    if (!m_probe.FileExists(inAppData) && m_probe.FileExists(besideProgram)) {
        // Taken over once: from now on the copy in application data exists
        // and is the one read.
        if (!m_probe.CopyNewFile(besideProgram, inAppData))
            return unusable(folder);
        result.migrated = true;
    }
    result.path = inAppData;
    return result;
}

} // namespace rw
