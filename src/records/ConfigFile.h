// Ringwarden.cfg: the preferences, the entry count and the phone book in
// one object archive. Loading keeps whatever was read before a fault;
// saving never puts the previous file at risk.
#pragma once

#include "records/FileSystem.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"

#include <cstdint>
#include <functional>
#include <string>

namespace rw {

class CArchive;

// The smallest pair the phone book section can hold: a one-byte key
// prefix, a class reference and an entry of empty strings.
inline constexpr uint64_t kMinPairBytes = 60;

// Buckets for a phone book of `count` entries: 100, or count x 1.2
// truncated above 80. A count larger than `bytesLeft` could hold is taken
// as the most it could hold, so a hostile count never sizes the table.
size_t PhoneBookBucketsFor(uint32_t count, uint64_t bytesLeft);

// Reads preferences, entry count and phone book into the live records,
// sizing the book's hash table first. Throws CArchiveException where
// reading stops; what was read before stays.
// `declaredCount`, when given, receives the entry count the file gives (0
// when reading stopped before it).
void ReadConfiguration(CArchive& ar, CRingwardenPreferences& preferences, CPhoneBook& book,
                       uint32_t* declaredCount = nullptr);
// Writes the three sections; the caller flushes the archive.
void WriteConfiguration(CArchive& ar, CRingwardenPreferences& preferences, CPhoneBook& book);

// The program directory (ending in a separator, or empty) and the file name.
std::string ConfigFilePath(const std::string& programDirectory);

// Writes `path` through a temporary file beside it: create, write, flush to
// disk, close, then replace `path` in one step. On any failure the
// temporary file is removed and `path` is left as it was. The temporary
// file's name is this writer's own (TemporaryPathFor), so two programs
// saving the same file never write into one temporary file, and a file
// left over by a crash is never reused. `write` may flush the file itself
// and throws CArchiveException to give up.
bool WriteFileSafely(CFileSystem& fs, const std::string& path,
                     const std::function<void(CWriteFile&)>& write);
// "<path>.<process id>.tmp", or with "-2", "-3" ... after the id when a file
// of that name is there already (left over by a crash of an earlier
// process with the same id).
std::string TemporaryPathFor(CFileSystem& fs, const std::string& path);

class CConfigFile {
public:
    enum class LoadResult {
        missing,    // no file: nothing read, the first save creates it
        unreadable, // there but not readable now (locked, access denied): nothing
                    // read, and nothing is written over it until a load reads it
        loaded,
        damaged, // stopped at an archive error; what came before was taken over
    };

    // Damaged files are kept as .bad, .bad2 ... up to this many.
    static constexpr int kMaxDamagedCopies = 5;

    explicit CConfigFile(CFileSystem& fs) : m_fs(fs) {}

    // When `path` is missing, a complete temporary file of an interrupted
    // save (where replacing is a delete and then a rename, as on FAT32 and
    // exFAT drives and some network shares) takes its place first; see
    // TakenOverTemporary. A temporary file beside an existing `path` is
    // left alone.
    LoadResult Load(const std::string& path, CRingwardenPreferences& preferences, CPhoneBook& book);
    // Replaces the file safely. Refused while `path` is unread (see
    // LoadResult::unreadable). A file found damaged by the last load is
    // first kept as a new damaged copy; if that copy cannot be made the
    // file is left alone.
    bool Save(const std::string& path, CRingwardenPreferences& preferences, CPhoneBook& book);

    // True while the last load of `path` found it there but could not read
    // it, and no load has read it since.
    bool IsUnread(const std::string& path) const { return !path.empty() && m_unreadPath == path; }
    // Why the last failed load or save failed (the system's words); empty
    // when the system gave no reason or the save was refused as unread.
    const std::string& LastErrorText() const { return m_lastError; }

    // After a load that found the file damaged: the entries read before
    // the fault, and the count the file gave (0 when reading stopped before
    // it; it may be anything in a damaged file).
    size_t DamagedEntriesRead() const { return m_entriesRead; }
    uint32_t DamagedEntriesDeclared() const { return m_entriesDeclared; }
    // The temporary file the last load took as `path` (renamed to it), or
    // empty.
    const std::string& TakenOverTemporary() const { return m_takenOver; }

    // The `number`th damaged copy: path.bad, path.bad2, path.bad3 ...
    static std::string BackupPath(const std::string& path, int number = 1);

    // Keeps the file the last load found damaged as a damaged copy now,
    // rather than at the next save (which then makes none); true when a
    // copy of it is there, named by DamagedCopy.
    bool KeepDamagedCopyNow(const std::string& path);
    const std::string& DamagedCopy() const { return m_copy; }

private:
    bool KeepDamagedCopy(const std::string& path);
    // True when a damaged copy holds the same bytes as `path` already.
    bool IsKeptAlready(const std::string& path);
    // Renames a complete leftover temporary file of `path` to `path`.
    void TakeOverTemporary(const std::string& path);
    // The number for a new damaged copy, never one in use; 0 when no room
    // could be made.
    int NextDamagedCopyNumber(const std::string& path);

    CFileSystem& m_fs;
    std::string m_damagedPath; // the file the last load found damaged
    bool m_damageKept = false; // and a copy of it was made, or was there already
    size_t m_entriesRead = 0;
    uint32_t m_entriesDeclared = 0;
    std::string m_takenOver;
    std::string m_copy;       // the damaged copy that holds it
    std::string m_unreadPath; // the file the last load could not read
    std::string m_lastError;
};

} // namespace rw
