#include "records/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rw {
namespace {

// write() until all of it is written: a short write is not a failure.
bool WriteWhole(int fd, const void* data, size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size) {
        const ssize_t n = ::write(fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// A file's last bytes after their last line feed: empty when it ended in one.
std::string AfterLastNewline(const std::string& tail) {
    const size_t newline = tail.rfind('\n');
    return newline == std::string::npos ? tail : tail.substr(newline + 1);
}

class CPosixReadFile : public CReadFile {
public:
    CPosixReadFile(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~CPosixReadFile() override { ::close(m_fd); }
    CPosixReadFile(const CPosixReadFile&) = delete;
    CPosixReadFile& operator=(const CPosixReadFile&) = delete;

    size_t Read(void* buffer, size_t size) override {
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::read(m_fd, static_cast<char*>(buffer) + done, size - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            done += static_cast<size_t>(n);
        }
        m_pos += done;
        return done;
    }
    uint64_t Remaining() const override { return m_pos < m_size ? m_size - m_pos : 0; }

private:
    int m_fd;
    uint64_t m_size;
    uint64_t m_pos = 0;
};

// Gathers the archive's 4096-byte writes into fewer system calls, as stdio
// would.
class CPosixWriteFile : public CWriteFile {
public:
    CPosixWriteFile(int fd, bool sync) : m_fd(fd), m_sync(sync) { m_pending.reserve(kGather); }
    ~CPosixWriteFile() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CPosixWriteFile(const CPosixWriteFile&) = delete;
    CPosixWriteFile& operator=(const CPosixWriteFile&) = delete;

    bool Write(const void* data, size_t size) override {
        if (m_pending.size() + size > kGather && !WritePending())
            return false;
        if (size >= kGather)
            return WriteAll(data, size);
        const char* p = static_cast<const char*>(data);
        m_pending.insert(m_pending.end(), p, p + size);
        return true;
    }
    bool Flush() override { return WritePending() && (!m_sync || ::fsync(m_fd) == 0); }
    bool Close() override {
        const bool written = WritePending();
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0 && written;
    }

private:
    static constexpr size_t kGather = 64 * 1024;

    bool WritePending() {
        const bool ok = WriteAll(m_pending.data(), m_pending.size());
        m_pending.clear();
        return ok;
    }
    bool WriteAll(const void* data, size_t size) { return WriteWhole(m_fd, data, size); }

    int m_fd;
    bool m_sync;
    std::vector<char> m_pending;
};

// Appends: each Write is one write() of the whole buffer when the system
// takes it, as the history's rows need.
class CPosixAppendFile : public CAppendFile {
public:
    CPosixAppendFile(int fd, bool sync, uint64_t size, std::string lastLine)
        : m_fd(fd), m_sync(sync), m_size(size), m_lastLine(std::move(lastLine)) {}
    ~CPosixAppendFile() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    CPosixAppendFile(const CPosixAppendFile&) = delete;
    CPosixAppendFile& operator=(const CPosixAppendFile&) = delete;

    bool Write(const void* data, size_t size) override { return WriteWhole(m_fd, data, size); }
    bool Flush() override { return !m_sync || ::fsync(m_fd) == 0; }
    bool Close() override {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }
    uint64_t SizeAtOpen() const override { return m_size; }
    bool EndedInNewline() const override { return m_lastLine.empty(); }
    std::string LastLine() const override { return m_lastLine; }

private:
    int m_fd;
    bool m_sync;
    uint64_t m_size;
    std::string m_lastLine;
};

class CPosixFileSystem : public CFileSystem {
    static constexpr size_t kTail = CAppendFile::kLastLineBytes;

public:
    explicit CPosixFileSystem(bool sync) : m_sync(sync) {}

    std::unique_ptr<CReadFile> OpenRead(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            m_errno = errno;
            return nullptr;
        }
        struct stat st;
        const bool statted = ::fstat(fd, &st) == 0;
        if (!statted || !S_ISREG(st.st_mode)) {
            m_errno = statted ? EISDIR : errno;
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<CPosixReadFile>(fd, static_cast<uint64_t>(st.st_size));
    }

    std::unique_ptr<CWriteFile> Create(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        if (fd < 0) {
            m_errno = errno;
            return nullptr;
        }
        return std::make_unique<CPosixWriteFile>(fd, m_sync);
    }

    std::unique_ptr<CAppendFile> OpenAppend(const std::string& path) override {
        const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            m_errno = errno;
            return nullptr;
        }
        struct stat st;
        if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
            m_errno = errno ? errno : EISDIR;
            ::close(fd);
            return nullptr;
        }
        // The last byte, and only when it is not a line feed the row torn
        // off before it.
        const uint64_t size = static_cast<uint64_t>(st.st_size);
        char last = '\n';
        std::string tail;
        bool read = size == 0 || ::pread(fd, &last, 1, static_cast<off_t>(size - 1)) == 1;
        if (read && last != '\n') {
            tail.resize(static_cast<size_t>(std::min<uint64_t>(size, kTail)));
            read = ::pread(fd, tail.data(), tail.size(), static_cast<off_t>(size - tail.size())) ==
                   static_cast<ssize_t>(tail.size());
        }
        if (!read) {
            m_errno = errno ? errno : EIO;
            ::close(fd);
            return nullptr;
        }
        return std::make_unique<CPosixAppendFile>(fd, m_sync, size, AfterLastNewline(tail));
    }

    bool Replace(const std::string& from, const std::string& to) override {
        // rename() would replace a read-only file (only the directory's
        // permission counts); Windows refuses, and so do we.
        struct stat st;
        if (::stat(to.c_str(), &st) == 0 && (st.st_mode & 0222) == 0) {
            m_errno = EACCES;
            return false;
        }
        return ::rename(from.c_str(), to.c_str()) == 0 || Failed();
    }

    bool Remove(const std::string& path) override {
        return ::unlink(path.c_str()) == 0 || Failed();
    }

    bool Exists(const std::string& path) override {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
    }

    bool Stamp(const std::string& path, CFileStamp& stamp) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0)
            return false;
        stamp.size = static_cast<uint64_t>(st.st_size);
        stamp.written = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        return true;
    }

    bool MakeFolder(const std::string& path) override {
        return ::mkdir(path.c_str(), 0777) == 0 || errno == EEXIST || Failed();
    }

    std::vector<std::string> FindFiles(const std::string& pathPrefix) override {
        const size_t slash = pathPrefix.rfind('/');
        const std::string folder =
            slash == std::string::npos ? "." : pathPrefix.substr(0, slash + 1);
        const std::string start =
            slash == std::string::npos ? pathPrefix : pathPrefix.substr(slash + 1);
        std::vector<std::string> found;
        DIR* dir = ::opendir(folder.c_str());
        if (!dir)
            return found;
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name.compare(0, start.size(), start) == 0 && name != "." && name != "..")
                found.push_back(slash == std::string::npos ? name : folder + name);
        }
        ::closedir(dir);
        return found;
    }

    std::string LastErrorText() const override {
        return m_errno ? std::strerror(m_errno) : std::string();
    }

private:
    bool Failed() {
        m_errno = errno;
        return false;
    }

    bool m_sync;
    int m_errno = 0;
};

} // namespace

uint32_t CurrentProcessId() {
    return static_cast<uint32_t>(::getpid());
}

std::unique_ptr<CFileSystem> CreateSystemFileSystem(bool syncToDisk) {
    return std::make_unique<CPosixFileSystem>(syncToDisk);
}

} // namespace rw
