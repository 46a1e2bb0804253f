#include "records/ConfigFile.h"

#include "records/Archive.h"
#include "records/StringTable.h"
#include "res/resource.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace rw {

size_t PhoneBookBucketsFor(uint32_t count, uint64_t bytesLeft) {
    const uint64_t plausible = std::min<uint64_t>(count, bytesLeft / kMinPairBytes);
    if (plausible <= 80)
        return CPhoneBook::kDefaultHashTableSize;
    return static_cast<size_t>(static_cast<double>(plausible) * 1.2);
}

void ReadConfiguration(CArchive& ar, CRingwardenPreferences& preferences, CPhoneBook& book,
                       uint32_t* declaredCount) {
    if (declaredCount)
        *declaredCount = 0;
    preferences.Serialize(ar);
    const uint32_t count = ar.ReadDword();
    if (declaredCount)
        *declaredCount = count;
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

std::string TemporaryPathFor(CFileSystem& fs, const std::string& path) {
    const std::string stem = path + "." + std::to_string(CurrentProcessId());
    std::string temp = stem + ".tmp";
    for (int n = 2; n < 100 && fs.Exists(temp); ++n)
        temp = stem + "-" + std::to_string(n) + ".tmp";
    return temp;
}

bool WriteFileSafely(CFileSystem& fs, const std::string& path,
                     const std::function<void(CWriteFile&)>& write) {
    const std::string temp = TemporaryPathFor(fs, path);
    if (fs.Exists(temp))
        return false; // every name is taken by leftovers: none is written over
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

namespace {

// A leftover temporary file of `path`: the name an earlier version used
// ("<path>.tmp"), or "<path>.<digits and dashes>.tmp" (never the temporary
// file of a damaged copy, "<path>.bad.<id>.tmp").
bool IsTemporaryOf(const std::string& candidate, const std::string& path) {
    const std::string tail = ".tmp";
    if (candidate.size() < path.size() + tail.size() + 1 ||
        candidate.compare(0, path.size() + 1, path + ".") != 0 ||
        candidate.compare(candidate.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string middle =
        candidate.substr(path.size() + 1, candidate.size() - path.size() - 1 - tail.size());
    return std::all_of(middle.begin(), middle.end(),
                       [](char c) { return (c >= '0' && c <= '9') || c == '-'; });
}

bool ReadsWhole(CFileSystem& fs, const std::string& candidate) {
    std::unique_ptr<CReadFile> file = fs.OpenRead(candidate);
    if (!file)
        return false;
    CRingwardenPreferences preferences;
    CPhoneBook book;
    CArchive ar(*file);
    try {
        ReadConfiguration(ar, preferences, book);
    } catch (const CArchiveException&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    return ar.Remaining() == 0;
}

} // namespace

void CConfigFile::TakeOverTemporary(const std::string& path) {
    std::vector<std::string> candidates = m_fs.FindFiles(path + ".");
    candidates.erase(
        std::remove_if(candidates.begin(), candidates.end(),
                       [&path](const std::string& c) { return !IsTemporaryOf(c, path); }),
        candidates.end());
    std::sort(candidates.begin(), candidates.end());
    // The name an earlier version used, first.
    if (std::find(candidates.begin(), candidates.end(), path + ".tmp") == candidates.end() &&
        m_fs.Exists(path + ".tmp"))
        candidates.insert(candidates.begin(), path + ".tmp");
    for (const std::string& candidate : candidates) {
        if (ReadsWhole(m_fs, candidate) && !m_fs.Exists(path) && m_fs.Replace(candidate, path)) {
            m_takenOver = candidate;
            return;
        }
    }
}

CConfigFile::LoadResult CConfigFile::Load(const std::string& path,
                                          CRingwardenPreferences& preferences, CPhoneBook& book) {
    m_takenOver.clear();
    m_entriesRead = 0;
    m_entriesDeclared = 0;
    // Replacing is a delete and then a rename on some drives: a crash
    // between the two leaves the new file under its temporary name only.
    if (!m_fs.Exists(path))
        TakeOverTemporary(path);
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
    const size_t before = book.GetCount();
    bool damaged = false;
    try {
        ReadConfiguration(ar, preferences, book, &m_entriesDeclared);
    } catch (const CArchiveException&) {
        damaged = true;
    } catch (const std::bad_alloc&) {
        // Too big for this machine's memory: as good as damaged.
        damaged = true;
    }
    if (damaged) {
        // A new damage (or the same one found again) is kept once more at
        // the next save, unless a copy of the same bytes is there already.
        m_damagedPath = path;
        m_damageKept = false;
        m_entriesRead = book.GetCount() - std::min(before, book.GetCount());
        return LoadResult::damaged;
    }
    m_entriesDeclared = 0;
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

namespace {

// Whether two files hold the same bytes, read a buffer at a time.
bool SameBytes(CReadFile& a, CReadFile& b) {
    if (a.Remaining() != b.Remaining())
        return false;
    char bufferA[CArchive::kBufferSize];
    char bufferB[CArchive::kBufferSize];
    for (;;) {
        const size_t n = a.Read(bufferA, sizeof bufferA);
        if (b.Read(bufferB, sizeof bufferB) != n || std::memcmp(bufferA, bufferB, n) != 0)
            return false;
        if (n == 0)
            return a.Remaining() == 0 && b.Remaining() == 0;
    }
}

} // namespace

bool CConfigFile::IsKeptAlready(const std::string& path) {
    for (int n = 1; n <= kMaxDamagedCopies; ++n) {
        std::unique_ptr<CReadFile> copy = m_fs.OpenRead(BackupPath(path, n));
        std::unique_ptr<CReadFile> original = copy ? m_fs.OpenRead(path) : nullptr;
        if (original && SameBytes(*original, *copy)) {
            m_copy = BackupPath(path, n);
            return true;
        }
    }
    return false;
}

bool CConfigFile::KeepDamagedCopy(const std::string& path) {
    // One copy for each damage, however many saves fail after it: a copy is
    // never made, nor an older one rotated away, for the same bytes again.
    if (IsKeptAlready(path))
        return true;
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
        m_copy = BackupPath(path, number);
    return kept;
}

bool CConfigFile::KeepDamagedCopyNow(const std::string& path) {
    if (m_damagedPath == path && !m_damageKept && KeepDamagedCopy(path))
        m_damageKept = true;
    return m_damagedPath == path && m_damageKept;
}

bool CConfigFile::Save(const std::string& path, CRingwardenPreferences& preferences,
                       CPhoneBook& book) {
    if (IsUnread(path)) {
        m_lastError.clear();
        return false;
    }
    if (m_damagedPath == path && !m_damageKept) {
        if (!KeepDamagedCopy(path))
            return false;
        m_damageKept = true;
    }
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
