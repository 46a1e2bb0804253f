#include "records/FileSystem.h"

#include "records/WidePath.h"

#include <windows.h>

#include <algorithm>

namespace rw {
namespace {

// Owns a file handle.
class CFileHandle {
public:
    explicit CFileHandle(HANDLE h) : m_h(h) {}
    ~CFileHandle() { Close(); }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    HANDLE Get() const { return m_h; }
    bool Close() {
        const HANDLE h = m_h;
        m_h = INVALID_HANDLE_VALUE;
        return h == INVALID_HANDLE_VALUE || CloseHandle(h);
    }

private:
    HANDLE m_h;
};

// A file's last bytes after their last line feed: empty when it ended in one.
std::string AfterLastNewline(const std::string& tail) {
    const size_t newline = tail.rfind('\n');
    return newline == std::string::npos ? tail : tail.substr(newline + 1);
}

class CWin32ReadFile : public CReadFile {
public:
    CWin32ReadFile(HANDLE h, uint64_t size) : m_file(h), m_size(size) {}

    size_t Read(void* buffer, size_t size) override {
        size_t done = 0;
        while (done < size) {
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size - done, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(m_file.Get(), static_cast<char*>(buffer) + done, want, &got, nullptr) ||
                got == 0)
                break;
            done += got;
        }
        m_pos += done;
        return done;
    }
    uint64_t Remaining() const override { return m_pos < m_size ? m_size - m_pos : 0; }

private:
    CFileHandle m_file;
    uint64_t m_size;
    uint64_t m_pos = 0;
};

// `error` is the file system's last-error slot: a file lives only as long
// as the save that made it, never longer than its file system.
class CWin32WriteFile : public CWriteFile {
public:
    CWin32WriteFile(HANDLE h, bool sync, DWORD& error) : m_file(h), m_sync(sync), m_error(error) {}

    bool Write(const void* data, size_t size) override {
        const char* p = static_cast<const char*>(data);
        while (size) {
            const DWORD want = static_cast<DWORD>(std::min<size_t>(size, 1u << 30));
            DWORD put = 0;
            if (!WriteFile(m_file.Get(), p, want, &put, nullptr) || put != want)
                return Failed();
            p += put;
            size -= put;
        }
        return true;
    }
    bool Flush() override { return !m_sync || FlushFileBuffers(m_file.Get()) || Failed(); }
    bool Close() override { return m_file.Close() || Failed(); }

private:
    bool Failed() {
        // A short write to a full disk sets no error of its own.
        const DWORD error = GetLastError();
        m_error = error ? error : ERROR_DISK_FULL;
        return false;
    }

    CFileHandle m_file;
    bool m_sync;
    DWORD& m_error;
};

class CWin32AppendFile : public CAppendFile {
public:
    CWin32AppendFile(HANDLE h, bool sync, DWORD& error, uint64_t size, std::string lastLine)
        : m_file(h, sync, error), m_size(size), m_lastLine(std::move(lastLine)) {}
    bool Write(const void* data, size_t size) override { return m_file.Write(data, size); }
    bool Flush() override { return m_file.Flush(); }
    bool Close() override { return m_file.Close(); }
    uint64_t SizeAtOpen() const override { return m_size; }
    bool EndedInNewline() const override { return m_lastLine.empty(); }
    std::string LastLine() const override { return m_lastLine; }

private:
    CWin32WriteFile m_file;
    uint64_t m_size;
    std::string m_lastLine;
};

class CWin32FileSystem : public CFileSystem {
public:
    explicit CWin32FileSystem(bool sync) : m_sync(sync) {}

    std::unique_ptr<CReadFile> OpenRead(const std::string& path) override {
        // Reading only, so a read-only file still loads.
        HANDLE h =
            CreateFileW(WidePath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            KeepError();
            return nullptr;
        }
        LARGE_INTEGER size;
        if (!GetFileSizeEx(h, &size)) {
            m_error = GetLastError();
            CloseHandle(h);
            return nullptr;
        }
        return std::make_unique<CWin32ReadFile>(h, static_cast<uint64_t>(size.QuadPart));
    }

    std::unique_ptr<CWriteFile> Create(const std::string& path) override {
        HANDLE h = CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            KeepError();
            return nullptr;
        }
        return std::make_unique<CWin32WriteFile>(h, m_sync, m_error);
    }

    std::unique_ptr<CAppendFile> OpenAppend(const std::string& path) override {
        // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the
        // end. Readers may share it; another writer may not, so two rows
        // never interleave. A program holding the file without sharing
        // (a spreadsheet, a backup) makes this fail, and the caller waits.
        HANDLE h =
            CreateFileW(WidePath(path).c_str(), GENERIC_READ | FILE_APPEND_DATA, FILE_SHARE_READ,
                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            KeepError();
            return nullptr;
        }
        // The last byte, and only when it is not a line feed the row torn
        // off before it.
        LARGE_INTEGER size;
        std::string tail;
        const auto readEnd = [h, &size](std::string& bytes) {
            LARGE_INTEGER at;
            at.QuadPart = size.QuadPart - static_cast<LONGLONG>(bytes.size());
            DWORD got = 0;
            return SetFilePointerEx(h, at, nullptr, FILE_BEGIN) &&
                   ReadFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) &&
                   got == bytes.size();
        };
        bool ok = GetFileSizeEx(h, &size) != FALSE;
        if (ok && size.QuadPart > 0) {
            tail.resize(1);
            ok = readEnd(tail);
            if (ok && tail[0] != '\n') {
                tail.resize(static_cast<size_t>(std::min<uint64_t>(
                    static_cast<uint64_t>(size.QuadPart), CAppendFile::kLastLineBytes)));
                ok = readEnd(tail);
            }
        }
        if (!ok) {
            m_error = GetLastError();
            CloseHandle(h);
            return nullptr;
        }
        return std::make_unique<CWin32AppendFile>(
            h, m_sync, m_error, static_cast<uint64_t>(size.QuadPart), AfterLastNewline(tail));
    }

    bool Replace(const std::string& from, const std::string& to) override {
        // Windows refuses to replace a read-only file; say so before Wine,
        // whose replace is a plain rename(), is asked. Wine's rename also
        // fails while anyone holds the target open, so the load has closed
        // it long before.
        const std::wstring target = WidePath(to);
        const DWORD attributes = GetFileAttributesW(target.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
            m_error = ERROR_ACCESS_DENIED;
            return false;
        }
        if (MoveFileExW(WidePath(from).c_str(), target.c_str(),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return true;
        m_error = GetLastError();
        return false;
    }

    bool Remove(const std::string& path) override {
        if (DeleteFileW(WidePath(path).c_str()))
            return true;
        KeepError();
        return false;
    }

    bool Exists(const std::string& path) override {
        if (GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES)
            return true;
        const DWORD error = GetLastError();
        return error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND;
    }

    bool Stamp(const std::string& path, CFileStamp& stamp) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(WidePath(path).c_str(), GetFileExInfoStandard, &data))
            return false;
        stamp.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        stamp.written = static_cast<int64_t>(
            (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
            data.ftLastWriteTime.dwLowDateTime);
        return true;
    }

    bool MakeFolder(const std::string& path) override {
        if (CreateDirectoryW(WidePath(path).c_str(), nullptr) ||
            GetLastError() == ERROR_ALREADY_EXISTS)
            return true;
        KeepError();
        return false;
    }

    std::vector<std::string> FindFiles(const std::string& pathPrefix) override {
        const size_t slash = pathPrefix.find_last_of("\\/");
        const std::string folder =
            slash == std::string::npos ? std::string() : pathPrefix.substr(0, slash + 1);
        std::vector<std::string> found;
        WIN32_FIND_DATAW data;
        const HANDLE find = FindFirstFileW(WidePath(pathPrefix + "*").c_str(), &data);
        if (find == INVALID_HANDLE_VALUE)
            return found;
        // The pattern also matches short (8.3) names, and "x.cfg.*" matches
        // "x.cfg" itself: only the names that really begin so are kept.
        do {
            const std::string path = folder + Utf8Path(data.cFileName);
            if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                path.compare(0, pathPrefix.size(), pathPrefix) == 0)
                found.push_back(path);
        } while (FindNextFileW(find, &data));
        FindClose(find);
        return found;
    }

    std::string LastErrorText() const override {
        return m_error ? SystemErrorText(m_error) : std::string();
    }

private:
    // Keeps the system's reason for a failure, for LastErrorText.
    void KeepError() { m_error = GetLastError(); }

    bool m_sync;
    DWORD m_error = 0;
};

} // namespace

uint32_t CurrentProcessId() {
    return GetCurrentProcessId();
}

std::unique_ptr<CFileSystem> CreateSystemFileSystem(bool syncToDisk) {
    return std::make_unique<CWin32FileSystem>(syncToDisk);
}

} // namespace rw
