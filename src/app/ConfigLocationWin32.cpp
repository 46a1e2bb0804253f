// The system's answers to the configuration location's questions, through
// the wide-character calls so that a profile path in any script works.
#include "app/ConfigLocation.h"

#include "app/ProgramDirectory.h"
#include "records/WidePath.h"

#include <windows.h>

#include <shlobj.h>

namespace rw {
namespace {

class CWin32ConfigLocationProbe : public CConfigLocationProbe {
public:
    bool FileExists(const std::string& path) override {
        return GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    bool DirectoryWritable(const std::string& directory) override {
        // Only trying tells: ACLs, a read-only medium and UAC virtualisation
        // all decide it, and none is visible in the folder's attributes.
        wchar_t name[MAX_PATH];
        if (GetTempFileNameW(WidePath(directory).c_str(), L"rw", 0, name) == 0)
            return false;
        DeleteFileW(name);
        return true;
    }

    bool MakeDirectory(const std::string& directory) override {
        // SHCreateDirectoryExW wants no trailing separator and a full path.
        std::string path = directory;
        while (!path.empty() && (path.back() == '\\' || path.back() == '/'))
            path.pop_back();
        const std::wstring wide = WidePath(path);
        // Its result is not trusted: what counts is a folder there afterwards.
        SHCreateDirectoryExW(nullptr, wide.c_str(), nullptr);
        const DWORD attributes = GetFileAttributesW(wide.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    bool CopyNewFile(const std::string& from, const std::string& to) override {
        const std::wstring target = WidePath(to);
        if (!CopyFileW(WidePath(from).c_str(), target.c_str(), TRUE))
            return false;
        // CopyFile copies the attributes too: a read-only old file would
        // refuse every save from now on.
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
            !SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
            DeleteFileW(target.c_str());
            return false;
        }
        return true;
    }
};

std::string AppDataDirectory() {
    wchar_t path[MAX_PATH];
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) ||
        path[0] == L'\0')
        return std::string();
    std::string directory = Utf8Path(path);
    if (directory.back() != '\\')
        directory += '\\';
    return directory;
}

} // namespace

std::unique_ptr<CConfigLocationProbe> CreateSystemConfigLocationProbe() {
    return std::make_unique<CWin32ConfigLocationProbe>();
}

CConfigLocation::Result ResolveConfigLocation() {
    CWin32ConfigLocationProbe probe;
    return CConfigLocation(probe).Resolve(ProgramDirectory(), AppDataDirectory());
}

std::string ResolveConfigPath() {
    return ResolveConfigLocation().path;
}

} // namespace rw
