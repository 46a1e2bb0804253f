#include "records/ConfigFile.h"

#include "records/Archive.h"
#include "records/StringTable.h"
#include "res/resource.h"

#include <algorithm>
#include <new>

namespace rw {

size_t PhoneBookBucketsFor(uint32_t count, uint64_t bytesLeft) {
    const uint64_t plausible = std::min<uint64_t>(count, bytesLeft / kMinPairBytes);
    if (plausible <= 80)
        return CPhoneBook::kDefaultHashTableSize;
    return static_cast<size_t>(static_cast<double>(plausible) * 1.2);
}

void ReadConfiguration(CArchive& ar, CRingwardenPreferences& preferences, CPhoneBook& book,
                       uint32_t* declaredEntries) {
    preferences.Serialize(ar);
    const uint32_t count = ar.ReadDword();
    if (declaredEntries)
        *declaredEntries = count;
    book.InitHashTable(PhoneBookBucketsFor(count, ar.Remaining()));
    book.Serialize(ar);
}

void WriteConfiguration(CArchive& ar, CRingwardenPreferences& preferences, CPhoneBook& book) {
    preferences.Serialize(ar);
    ar.WriteDword(static_cast<uint32_t>(book.GetCount()));
    book.Serialize(ar);
}

std::string ConfigFilePath(const std::string& programDirectory) {
    return programDirectory + LoadResString(IDS_CONFIG_FILE_NAME);
}

bool WriteFileSafely(CFileSystem& fs, const std::string& path,
                     const std::function<void(CByteSink&)>& write) {
    const std::string temp = path + ".tmp";
    std::unique_ptr<CWriteFile> file = fs.Create(temp);
    if (!file)
        return false;
    bool ok = true;
    try {
        write(*file);
    } catch (const CArchiveException&) {
        ok = false;
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    ok = ok && file->Flush();
    ok = file->Close() && ok;
    file.reset();
    if (ok && fs.Replace(temp, path))
        return true;
    fs.Remove(temp);
    return false;
}

std::string CConfigFile::BackupPath(const std::string& path, int number) {
    return number <= 1 ? path + ".bad" : path + ".bad" + std::to_string(number);
}

CConfigFile::LoadResult CConfigFile::Load(const std::string& path,
                                          CRingwardenPreferences& preferences, CPhoneBook& book) {
    // The file is closed when this returns: Wine cannot replace a file
    // that is held open, and the save comes later.
    std::unique_ptr<CReadFile> file = m_fs.OpenRead(path);
    if (!file) {
        m_lastError = m_fs.LastErrorText();
        // A file that is there but cannot be read now (a backup or a virus
        // scan holding it) still holds the user's phone book: nothing may
        // take its place until it has been read.
        if (m_fs.Exists(path)) {
            m_unreadPath = path;
            return LoadResult::unreadable;
        }
        if (m_unreadPath == path)
            m_unreadPath.clear();
        return LoadResult::missing;
    }
    if (m_unreadPath == path)
        m_unreadPath.clear();
    CArchive ar(*file);
    m_declaredEntries = 0;
    try {
        ReadConfiguration(ar, preferences, book, &m_declaredEntries);
    } catch (const CArchiveException&) {
        m_damagedPath = path;
        return LoadResult::damaged;
    } catch (const std::bad_alloc&) {
        // Too big for this machine's memory: as good as damaged.
        m_damagedPath = path;
        return LoadResult::damaged;
    }
    if (m_damagedPath == path)
        m_damagedPath.clear();
    return LoadResult::loaded;
}

int CConfigFile::NextDamagedCopyNumber(const std::string& path) {
    // Numbers go up with age, so the lowest is always the oldest: a new
    // copy takes the number after the highest in use. When the last number
    // is taken, the oldest copy goes and the others move down one.
    int highest = 0;
    for (int n = 1; n <= kMaxDamagedCopies; ++n)
        if (m_fs.Exists(BackupPath(path, n)))
            highest = n;
    if (highest < kMaxDamagedCopies)
        return highest + 1;
    if (m_fs.Exists(BackupPath(path, 1)) && !m_fs.Remove(BackupPath(path, 1)))
        return 0;
    int free = 1;
    for (int n = 2; n <= kMaxDamagedCopies; ++n) {
        if (!m_fs.Exists(BackupPath(path, n)))
            continue;
        if (!m_fs.Replace(BackupPath(path, n), BackupPath(path, free)))
            return 0;
        ++free;
    }
    return free;
}

bool CConfigFile::KeepDamagedCopy(const std::string& path) {
    if (m_damagedPath != path)
        return false;
    if (!CopyDamaged(path))
        return false;
    // One copy per damage: the save that follows makes none.
    m_damagedPath.clear();
    return true;
}

bool CConfigFile::CopyDamaged(const std::string& path) {
    std::unique_ptr<CReadFile> original = m_fs.OpenRead(path);
    if (!original) { // gone since the load: nothing left to keep; locked: keep out
        m_lastError = m_fs.LastErrorText();
        return !m_fs.Exists(path);
    }
    const int number = NextDamagedCopyNumber(path);
    if (number == 0) {
        m_lastError = m_fs.LastErrorText();
        return false;
    }
    const bool kept = WriteFileSafely(m_fs, BackupPath(path, number), [&original](CByteSink& sink) {
        char buffer[CArchive::kBufferSize];
        for (;;) {
            const size_t n = original->Read(buffer, sizeof buffer);
            if (n == 0)
                break;
            if (!sink.Write(buffer, n))
                throw CArchiveException(CArchiveException::writeFailed, 0,
                                        "the copy could not be written");
        }
        if (original->Remaining() != 0)
            throw CArchiveException(CArchiveException::endOfFile, 0,
                                    "the original could not be read");
    });
    if (!kept)
        m_lastError = m_fs.LastErrorText();
    else
        m_lastCopy = BackupPath(path, number);
    return kept;
}

bool CConfigFile::Save(const std::string& path, CRingwardenPreferences& preferences,
                       CPhoneBook& book) {
    if (IsUnread(path)) {
        m_lastError.clear();
        return false;
    }
    if (m_damagedPath == path && !CopyDamaged(path))
        return false;
    const bool saved = WriteFileSafely(m_fs, path, [&](CByteSink& sink) {
        CArchive ar(sink);
        WriteConfiguration(ar, preferences, book);
        ar.Flush();
    });
    if (!saved) {
        m_lastError = m_fs.LastErrorText();
        return false;
    }
    if (m_damagedPath == path)
        m_damagedPath.clear();
    m_lastError.clear();
    return true;
}

} // namespace rw
