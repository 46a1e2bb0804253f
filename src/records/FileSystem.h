// The few file operations the configuration needs, behind an interface so
// that tests can make any step fail. Each build supplies the system's own.
// Paths are UTF-8; the Windows build hands them to the system's wide-character
// calls, so a folder named in any script works.
#pragma once

#include "records/ByteStream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace rw {

// A file open for reading only; closed on destruction.
class CReadFile : public CByteSource {};

// A new file open for writing; an unclosed one is closed on destruction.
class CWriteFile : public CByteSink {
public:
    // Pushes what was written through to the disk.
    virtual bool Flush() = 0;
    virtual bool Close() = 0;
};

// A file open for adding to its end; closed on destruction.
class CAppendFile : public CWriteFile {
public:
    // The file's size when it was opened.
    virtual uint64_t SizeAtOpen() const = 0;
    // Whether its last byte was a line feed when it was opened (true for an
    // empty file).
    virtual bool EndedInNewline() const = 0;
    // The bytes after its last line feed when it was opened (at most the
    // last kLastLineBytes): a row that was torn off.
    virtual std::string LastLine() const { return std::string(); }
    static constexpr size_t kLastLineBytes = 64 * 1024;
};

// What tells one version of a file from another without reading it: its
// size and the time it was last written (in the system's own units).
struct CFileStamp {
    uint64_t size = 0;
    int64_t written = 0;

    friend bool operator==(const CFileStamp&, const CFileStamp&) = default;
};

class CFileSystem {
public:
    virtual ~CFileSystem() = default;
    // Null when the file cannot be opened for reading.
    virtual std::unique_ptr<CReadFile> OpenRead(const std::string& path) = 0;
    // Creates the file, or empties an existing one; null on failure.
    virtual std::unique_ptr<CWriteFile> Create(const std::string& path) = 0;
    // Opens the file to add to its end, creating it when missing; null on
    // failure (another program holds it without sharing, no permission).
    // Each Write goes to the end of the file in one system call.
    virtual std::unique_ptr<CAppendFile> OpenAppend(const std::string&) { return nullptr; }
    // Puts `from` in the place of `to` in one step. Fails, leaving `to`
    // alone, when `to` is read-only.
    virtual bool Replace(const std::string& from, const std::string& to) = 0;
    virtual bool Remove(const std::string& path) = 0;
    // False only when the file is known not to be there; a file that
    // cannot even be looked at (locked, no permission) counts as there.
    virtual bool Exists(const std::string& path) = 0;
    // The file's stamp; false when it cannot be looked at (missing, or not
    // known to this file system).
    virtual bool Stamp(const std::string&, CFileStamp&) { return false; }
    // The files whose full paths begin with `pathPrefix` (which names a
    // folder, then the start of a file name), in no set order; empty when
    // there are none or the folder cannot be listed.
    virtual std::vector<std::string> FindFiles(const std::string&) { return {}; }
    // Makes the folder; true when it is there afterwards.
    virtual bool MakeFolder(const std::string&) { return false; }
    // Why the last operation that failed did (the system's own words), or
    // empty when not known.
    virtual std::string LastErrorText() const { return std::string(); }
};

// This process's id, which no other running process has: it makes the
// names of temporary files unique to their writer.
uint32_t CurrentProcessId();

// The system's files. Without `syncToDisk` Flush does nothing (for
// measurements that leave the disk out).
std::unique_ptr<CFileSystem> CreateSystemFileSystem(bool syncToDisk = true);

} // namespace rw
