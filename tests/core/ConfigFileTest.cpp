#include "ConfigTestUtil.h"
#include "records/ConfigFile.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace rw {
namespace {

using test::Entry;
using test::FromHex;
using test::ReadWholeFile;

// The system's files, with one chosen step of a save made to fail: the
// create, any write, the flush, the close or the replace.
class CFailingFileSystem : public CFileSystem {
public:
    int failAt = 0; // the step to fail, counting from 1; 0 never fails
    int steps = 0;

    std::string locked;      // this file exists but cannot be opened, as while a backup holds it
    std::string noReplaceTo; // replacing this file fails, as on a full disk

    std::vector<std::string> FindFiles(const std::string& prefix) override {
        return m_real->FindFiles(prefix);
    }

    std::unique_ptr<CReadFile> OpenRead(const std::string& path) override {
        return path == locked ? nullptr : m_real->OpenRead(path);
    }
    bool Exists(const std::string& path) override { return m_real->Exists(path); }
    std::unique_ptr<CWriteFile> Create(const std::string& path) override {
        if (Fails())
            return nullptr;
        auto file = m_real->Create(path);
        return file ? std::make_unique<CFailingFile>(*this, std::move(file)) : nullptr;
    }
    bool Replace(const std::string& from, const std::string& to) override {
        return !Fails() && to != noReplaceTo && m_real->Replace(from, to);
    }
    bool Remove(const std::string& path) override { return m_real->Remove(path); }

private:
    bool Fails() { return ++steps == failAt; }

    class CFailingFile : public CWriteFile {
    public:
        CFailingFile(CFailingFileSystem& fs, std::unique_ptr<CWriteFile> real)
            : m_fs(fs), m_real(std::move(real)) {}
        bool Write(const void* data, size_t size) override {
            if (m_fs.Fails()) { // a disk that fills up halfway through
                m_real->Write(data, size / 2);
                return false;
            }
            return m_real->Write(data, size);
        }
        bool Flush() override { return !m_fs.Fails() && m_real->Flush(); }
        bool Close() override {
            const bool closed = m_real->Close();
            return !m_fs.Fails() && closed;
        }

    private:
        CFailingFileSystem& m_fs;
        std::unique_ptr<CWriteFile> m_real;
    };

    std::unique_ptr<CFileSystem> m_real = CreateSystemFileSystem();
};

void Fill(CPhoneBook& book, int count, const std::string& notes) {
    for (int i = 0; i < count; ++i) {
        auto e = Entry("Caller " + std::to_string(i), "01632 96" + std::to_string(1000 + i));
        e->Notes = notes;
        const std::string key = e->LookupKey;
        book.SetAt(key, std::move(e));
    }
}

class ConfigFileTest : public testing::Test {
protected:
    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden.cfg");
    CFailingFileSystem fs;
    CConfigFile config{fs};

    bool AnyTemporaryFile() const {
        for (const auto& e : std::filesystem::directory_iterator(dir.Path("")))
            if (e.path().extension() == ".tmp")
                return true;
        return false;
    }
    // The damaged copies there now, from .bad up.
    std::vector<std::vector<uint8_t>> Copies() const {
        std::vector<std::vector<uint8_t>> copies;
        for (int n = 1; test::FileExists(CConfigFile::BackupPath(path, n)); ++n)
            copies.push_back(ReadWholeFile(CConfigFile::BackupPath(path, n)));
        return copies;
    }
};

TEST_F(ConfigFileTest, SaveThenLoadGivesTheSameRecords) {
    CRingwardenPreferences prefs;
    prefs.SuspendMinutes = 9;
    CPhoneBook book;
    Fill(book, 50, "n");
    ASSERT_TRUE(config.Save(path, prefs, book));

    CRingwardenPreferences readPrefs;
    CPhoneBook readBook;
    EXPECT_EQ(config.Load(path, readPrefs, readBook), CConfigFile::LoadResult::loaded);
    EXPECT_EQ(readPrefs.SuspendMinutes, 9);
    ASSERT_EQ(readBook.GetCount(), 50u);
    book.ForEach([&](const std::string& key, CPhoneBookEntry& e) {
        ASSERT_TRUE(readBook.Lookup(key));
        EXPECT_TRUE(test::SameEntry(e, *readBook.Lookup(key)));
    });
    EXPECT_FALSE(AnyTemporaryFile());
}

TEST_F(ConfigFileTest, MissingFileLoadsNothing) {
    CRingwardenPreferences prefs;
    CPhoneBook book;
    EXPECT_EQ(config.Load(path, prefs, book), CConfigFile::LoadResult::missing);
    EXPECT_EQ(prefs.NotificationSeconds, 5);
    EXPECT_TRUE(book.IsEmpty());
    EXPECT_TRUE(config.Save(path, prefs, book)); // first run: the file is created
    EXPECT_EQ(ReadWholeFile(path), FromHex(test::kEmptyConfigHex));
}

TEST_F(ConfigFileTest, AFailedSaveAtAnyStepLeavesThePreviousFile) {
    CRingwardenPreferences prefs;
    CPhoneBook book;
    Fill(book, 20, "old");
    ASSERT_TRUE(config.Save(path, prefs, book));
    const std::vector<uint8_t> previous = ReadWholeFile(path);

    // Large enough for several buffer writes.
    Fill(book, 200, std::string(40, 'x'));
    int step = 1;
    for (;; ++step) {
        fs.failAt = step;
        fs.steps = 0;
        const bool saved = config.Save(path, prefs, book);
        if (fs.steps < step) { // nothing left to fail: the save went through
            EXPECT_TRUE(saved);
            break;
        }
        EXPECT_FALSE(saved) << "step " << step;
        EXPECT_EQ(ReadWholeFile(path), previous) << "step " << step;
        EXPECT_FALSE(AnyTemporaryFile()) << "step " << step;
    }
    // Create, at least four writes, flush, close and replace were each tried.
    EXPECT_GE(step, 9);
    EXPECT_NE(ReadWholeFile(path), previous);
}

TEST_F(ConfigFileTest, ADamagedFileIsKeptBesideTheNewOne) {
    CRingwardenPreferences prefs;
    CPhoneBook book;
    Fill(book, 3, "");
    ASSERT_TRUE(config.Save(path, prefs, book));
    std::vector<uint8_t> damaged = ReadWholeFile(path);
    damaged.resize(damaged.size() - 5); // the last entry is cut short
    test::WriteWholeFile(path, damaged);
    test::WriteWholeFile(CConfigFile::BackupPath(path), {1, 2, 3}); // an older copy

    CRingwardenPreferences readPrefs;
    CPhoneBook readBook;
    EXPECT_EQ(config.Load(path, readPrefs, readBook), CConfigFile::LoadResult::damaged);
    EXPECT_EQ(readBook.GetCount(), 2u);
    // What the user is told: 2 of the 3 entries the file gives.
    EXPECT_EQ(config.DamagedEntriesRead(), 2u);
    EXPECT_EQ(config.DamagedEntriesDeclared(), 3u);

    // If the copy cannot be made, the damaged file stays as it is.
    fs.failAt = 1;
    fs.steps = 0;
    EXPECT_FALSE(config.Save(path, readPrefs, readBook));
    EXPECT_EQ(ReadWholeFile(path), damaged);

    fs.failAt = 0;
    ASSERT_TRUE(config.Save(path, readPrefs, readBook));
    // Beside the older copy, not over it.
    EXPECT_EQ(ReadWholeFile(CConfigFile::BackupPath(path)), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_EQ(ReadWholeFile(CConfigFile::BackupPath(path, 2)), damaged);
    // The good file that replaced it is not copied again.
    std::string anyKey;
    readBook.ForEach([&anyKey](const std::string& key, CPhoneBookEntry&) { anyKey = key; });
    readBook.RemoveKey(anyKey);
    ASSERT_TRUE(config.Save(path, readPrefs, readBook));
    EXPECT_EQ(ReadWholeFile(CConfigFile::BackupPath(path, 2)), damaged);
    EXPECT_FALSE(test::FileExists(CConfigFile::BackupPath(path, 3)));
    EXPECT_FALSE(AnyTemporaryFile());
}

TEST_F(ConfigFileTest, ALockedFileIsNeverWrittenOverUntilItHasBeenRead) {
    const std::vector<uint8_t> one = FromHex(test::kOneEntryConfigHex);
    test::WriteWholeFile(path, one);
    fs.locked = path;
    CRingwardenPreferences prefs;
    CPhoneBook book;
    EXPECT_EQ(config.Load(path, prefs, book), CConfigFile::LoadResult::unreadable);
    EXPECT_TRUE(config.IsUnread(path));
    EXPECT_TRUE(book.IsEmpty());

    // Locked or not, no save goes over a file that was never read.
    EXPECT_FALSE(config.Save(path, prefs, book));
    fs.locked.clear();
    EXPECT_FALSE(config.Save(path, prefs, book));
    EXPECT_EQ(ReadWholeFile(path), one);
    EXPECT_FALSE(test::FileExists(CConfigFile::BackupPath(path)));

    // Read at last: saved as usual, nothing kept aside.
    EXPECT_EQ(config.Load(path, prefs, book), CConfigFile::LoadResult::loaded);
    EXPECT_FALSE(config.IsUnread(path));
    ASSERT_EQ(book.GetCount(), 1u);
    EXPECT_TRUE(config.Save(path, prefs, book));
    EXPECT_EQ(ReadWholeFile(path), one);
    EXPECT_FALSE(test::FileExists(CConfigFile::BackupPath(path)));

    // A file that is simply missing is no reason to hold back.
    CConfigFile fresh(fs);
    const std::string other = dir.Path("Other.cfg");
    EXPECT_EQ(fresh.Load(other, prefs, book), CConfigFile::LoadResult::missing);
    EXPECT_TRUE(fresh.Save(other, prefs, book));
}

TEST_F(ConfigFileTest, DamagedCopiesAreNumberedNeverOverwrittenAndTheOldestGoes) {
    // Each round: a damaged file with its own first byte is loaded and saved
    // over. Expected copies afterwards, from .bad up (the byte of each).
    const std::vector<std::vector<uint8_t>> after = {
        {1}, {1, 2}, {1, 2, 3}, {1, 2, 3, 4}, {1, 2, 3, 4, 5}, {2, 3, 4, 5, 6}, {3, 4, 5, 6, 7},
    };
    for (size_t round = 0; round < after.size(); ++round) {
        test::WriteWholeFile(path, {static_cast<uint8_t>(round + 1), 0, 0});
        CRingwardenPreferences prefs;
        CPhoneBook book;
        ASSERT_EQ(config.Load(path, prefs, book), CConfigFile::LoadResult::damaged);
        ASSERT_TRUE(config.Save(path, prefs, book)) << "round " << round;
        for (int n = 1; n <= CConfigFile::kMaxDamagedCopies + 1; ++n) {
            const std::string copy = CConfigFile::BackupPath(path, n);
            if (static_cast<size_t>(n) > after[round].size()) {
                EXPECT_FALSE(test::FileExists(copy)) << "round " << round << " " << copy;
                continue;
            }
            const std::vector<uint8_t> bytes = ReadWholeFile(copy);
            ASSERT_FALSE(bytes.empty()) << "round " << round << " " << copy;
            EXPECT_EQ(bytes[0], after[round][n - 1]) << "round " << round << " " << copy;
        }
    }
    EXPECT_EQ(CConfigFile::BackupPath(path, 2), path + ".bad2");
}

// Saves that keep failing after a damaged load (a full disk) make one copy
// of the damage, and a copy of the same bytes never pushes an older one out,
// in this run or the next.
TEST_F(ConfigFileTest, ADamageIsCopiedOnceHoweverManySavesFail) {
    const std::vector<uint8_t> damaged = {9, 9, 9};
    CRingwardenPreferences prefs;
    CPhoneBook book;
    for (const bool slotsFull : {false, true}) {
        SCOPED_TRACE(slotsFull ? "every slot taken, one by these bytes" : "no copy yet");
        std::vector<std::vector<uint8_t>> before;
        if (slotsFull) {
            before = {{1}, {2}, damaged, {4}, {5}};
            for (int n = 1; n <= CConfigFile::kMaxDamagedCopies; ++n)
                test::WriteWholeFile(CConfigFile::BackupPath(path, n), before[n - 1]);
        }
        test::WriteWholeFile(path, damaged);
        fs.noReplaceTo = path;
        for (int run = 0; run < 2; ++run) {
            CConfigFile config(fs);
            ASSERT_EQ(config.Load(path, prefs, book), CConfigFile::LoadResult::damaged);
            for (int attempt = 0; attempt < 3; ++attempt)
                EXPECT_FALSE(config.Save(path, prefs, book));
        }
        EXPECT_EQ(Copies(), slotsFull ? before : std::vector<std::vector<uint8_t>>{damaged});
        EXPECT_EQ(ReadWholeFile(path), damaged);
        fs.noReplaceTo.clear();
        for (int n = 1; n <= CConfigFile::kMaxDamagedCopies; ++n)
            fs.Remove(CConfigFile::BackupPath(path, n));
    }
}

// A save interrupted between deleting the old file and renaming the new one
// (as on FAT32 and exFAT drives) leaves only the temporary file: a complete
// one is taken as the file; one beside the file, or incomplete, is kept.
TEST_F(ConfigFileTest, ALeftoverTemporaryFileIsTakenOnlyWhenItIsAllThereIs) {
    const std::vector<uint8_t> one = FromHex(test::kOneEntryConfigHex);
    const std::vector<uint8_t> empty = FromHex(test::kEmptyConfigHex);
    std::vector<uint8_t> cut = one;
    cut.resize(cut.size() - 3);
    struct Case {
        const char* leftover;
        std::vector<uint8_t> bytes;
        bool withFile; // the file itself is there too (the empty book)
        size_t entries;
        bool taken;
    };
    const Case cases[] = {
        {".tmp", one, false, 1, true}, // an earlier version's name
        {".4711.tmp", one, false, 1, true},
        {".4711-2.tmp", one, false, 1, true},
        {".4711.tmp", cut, false, 0, false},
        {".tmp", one, true, 0, false},
        {".4711.tmp", one, true, 0, false},
        {".bad.4711.tmp", one, false, 0, false}, // a damaged copy's, never the file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.leftover) + (c.withFile ? " beside the file" : ""));
        const std::string leftover = path + c.leftover;
        test::WriteWholeFile(leftover, c.bytes);
        if (c.withFile)
            test::WriteWholeFile(path, empty);
        CConfigFile config(fs);
        CRingwardenPreferences prefs;
        CPhoneBook book;
        const CConfigFile::LoadResult result = config.Load(path, prefs, book);
        EXPECT_EQ(result, c.taken || c.withFile ? CConfigFile::LoadResult::loaded
                                                : CConfigFile::LoadResult::missing);
        EXPECT_EQ(book.GetCount(), c.entries);
        EXPECT_EQ(config.TakenOverTemporary(), c.taken ? leftover : "");
        EXPECT_EQ(test::FileExists(leftover), !c.taken);
        // The next save never writes over a leftover.
        EXPECT_TRUE(config.Save(path, prefs, book));
        if (!c.taken) {
            EXPECT_EQ(ReadWholeFile(leftover), c.bytes);
        }
        std::filesystem::remove_all(dir.Path(""));
        std::filesystem::create_directory(dir.Path(""));
    }
}

// The temporary file is the writer's own: rwcfg and the program never share
// one, and a leftover under the same name is not reused.
TEST_F(ConfigFileTest, EachWriterHasATemporaryFileOfItsOwn) {
    const std::string mine = TemporaryPathFor(fs, path);
    EXPECT_EQ(mine, path + "." + std::to_string(CurrentProcessId()) + ".tmp");
    test::WriteWholeFile(mine, {7});
    EXPECT_NE(TemporaryPathFor(fs, path), mine);
    CRingwardenPreferences prefs;
    CPhoneBook book;
    EXPECT_TRUE(config.Save(path, prefs, book));
    EXPECT_EQ(ReadWholeFile(mine), (std::vector<uint8_t>{7}));
    EXPECT_EQ(ReadWholeFile(path), FromHex(test::kEmptyConfigHex));
}

TEST_F(ConfigFileTest, AReadOnlyFileLoadsAndIsNotOverwritten) {
    const std::vector<uint8_t> one = FromHex(test::kOneEntryConfigHex);
    test::WriteWholeFile(path, one);
    namespace stdfs = std::filesystem;
    stdfs::permissions(
        path, stdfs::perms::owner_write | stdfs::perms::group_write | stdfs::perms::others_write,
        stdfs::perm_options::remove);

    CRingwardenPreferences prefs;
    CPhoneBook book;
    EXPECT_EQ(config.Load(path, prefs, book), CConfigFile::LoadResult::loaded);
    ASSERT_EQ(book.GetCount(), 1u);
    book.RemoveKey("1");
    EXPECT_FALSE(config.Save(path, prefs, book));
    EXPECT_EQ(ReadWholeFile(path), one);
    EXPECT_FALSE(AnyTemporaryFile());
}

TEST(ConfigFilePath, ProgramDirectoryAndFileName) {
    EXPECT_EQ(ConfigFilePath("C:\\Tools\\Screen\\"), "C:\\Tools\\Screen\\Ringwarden.cfg");
    EXPECT_EQ(ConfigFilePath(""), "Ringwarden.cfg");
}

} // namespace
} // namespace rw
