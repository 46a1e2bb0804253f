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
void ReadConfiguration(CArchive& ar, CRingwardenPreferences& preferences, CPhoneBook& book,
                       uint32_t* declaredEntries = nullptr);
// Writes the three sections; the caller flushes the archive.
void WriteConfiguration(CArchive& ar, CRingwardenPreferences& preferences, CPhoneBook& book);

// The program directory (ending in a separator, or empty) and the file name.
std::string ConfigFilePath(const std::string& programDirectory);

// Writes `path` through a temporary file beside it: create, write, flush to
// disk, close, then replace `path` in one step. On any failure the
// temporary file is removed and `path` is left as it was.
bool WriteFileSafely(CFileSystem& fs, const std::string& path,
                     const std::function<void(CByteSink&)>& write);

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

    // The `number`th damaged copy: path.bad, path.bad2, path.bad3 ...
    static std::string BackupPath(const std::string& path, int number = 1);

    // Keeps the file the last load found damaged as a new damaged copy now
    // (the next save then makes none); true when it was kept.
    bool KeepDamagedCopy(const std::string& path);
    // The copy KeepDamagedCopy made last.
    const std::string& LastDamagedCopy() const { return m_lastCopy; }
    // The entry count the last loaded file declared (what a damaged file
    // should have held).
    uint32_t DeclaredEntries() const { return m_declaredEntries; }

private:
    bool CopyDamaged(const std::string& path);
    // The number for a new damaged copy, never one in use; 0 when no room
    // could be made.
    int NextDamagedCopyNumber(const std::string& path);

    CFileSystem& m_fs;
    std::string m_damagedPath; // the file the last load found damaged
    std::string m_unreadPath;  // the file the last load could not read
    std::string m_lastError;
    std::string m_lastCopy;
    uint32_t m_declaredEntries = 0;
};

} // namespace rw
