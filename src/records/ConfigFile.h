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
void ReadConfiguration(CArchive& ar, CRingwardenPreferences& preferences, CPhoneBook& book);
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
        notOpened, // missing, locked or unreadable: nothing read (a file that is
                   // there but unreadable is treated as damaged by the next save)
        loaded,
        damaged, // stopped at an archive error; what came before was taken over
    };

    explicit CConfigFile(CFileSystem& fs) : m_fs(fs) {}

    LoadResult Load(const std::string& path, CRingwardenPreferences& preferences, CPhoneBook& book);
    // Replaces the file safely. A file found damaged by the last load is
    // first kept as BackupPath(path) (replacing an older copy); if that
    // copy cannot be made the file is left alone.
    bool Save(const std::string& path, CRingwardenPreferences& preferences, CPhoneBook& book);

    static std::string BackupPath(const std::string& path) { return path + ".bad"; }

private:
    bool KeepDamagedCopy(const std::string& path);

    CFileSystem& m_fs;
    std::string m_damagedPath; // the file the last load found damaged
};

} // namespace rw
