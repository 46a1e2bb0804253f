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
    if (programDirectory.empty() || appDataDirectory.empty() || !IsInstalled(programDirectory))
        return result;

    const std::string folder = appDataDirectory + kAppFolder + "\\";
    if (!m_probe.MakeDirectory(folder))
        return result;
    const std::string inAppData = ConfigFilePath(folder);
    if (!m_probe.FileExists(inAppData) && m_probe.FileExists(besideProgram)) {
        // Taken over once: from now on the copy in application data exists
        // and is the one read. When the copy fails the old file stays in use
        // for this run, rather than starting from defaults that the next
        // save would make permanent.
        if (!m_probe.CopyNewFile(besideProgram, inAppData))
            return result;
        result.migrated = true;
    }
    result.kind = Kind::installed;
    result.path = inAppData;
    return result;
}

} // namespace rw
