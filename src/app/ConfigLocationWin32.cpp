// The system's answers to the configuration location's questions.
#include "app/ConfigLocation.h"

#include "app/ProgramDirectory.h"

#include <windows.h>

#include <shlobj.h>

namespace rw {
namespace {

class CWin32ConfigLocationProbe : public CConfigLocationProbe {
public:
    bool FileExists(const std::string& path) override {
        return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool DirectoryWritable(const std::string& directory) override {
        // Only trying tells: ACLs, a read-only medium and UAC virtualisation
        // all decide it, and none is visible in the folder's attributes.
        char name[MAX_PATH];
        if (GetTempFileNameA(directory.c_str(), "rw", 0, name) == 0)
            return false;
        DeleteFileA(name);
        return true;
    }

    bool MakeDirectory(const std::string& directory) override {
        // SHCreateDirectoryExA wants no trailing separator and a full path.
        std::string path = directory;
        while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
            path.pop_back();
        // Its result is not trusted: what counts is a folder there afterwards.
        SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
        const DWORD attributes = GetFileAttributesA(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool CopyNewFile(const std::string& from, const std::string& to) override {
        return CopyFileA(from.c_str(), to.c_str(), TRUE) != 0;
    }
};

std::string AppDataDirectory() {
    char path[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) ||
        path[0] == '\0')
        return std::string();
    std::string directory(path);
    if (directory.back() != '\\')
        directory += '\\';
    return directory;
}

} // namespace

std::unique_ptr<CConfigLocationProbe> CreateSystemConfigLocationProbe() {
    return std::make_unique<CWin32ConfigLocationProbe>();
}

std::string ResolveConfigPath() {
    CWin32ConfigLocationProbe probe;
    return CConfigLocation(probe).Resolve(ProgramDirectory(), AppDataDirectory()).path;
}

} // namespace rw
