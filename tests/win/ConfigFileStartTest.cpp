// The main window's configuration file when it is missing, locked by
// another program (a backup, a virus scan) or damaged: the user's phone
// book is never replaced by defaults it did not read.
#include "../core/ConfigTestUtil.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "ui/MainDialog.h"

#include <gtest/gtest.h>

#include <functional>

namespace rw {
namespace {

using test::FromHex;
using test::ReadWholeFile;

// Holds a file open with no sharing, as a backup program may.
class CFileLock {
public:
    explicit CFileLock(const std::string& path)
        : m_h(CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~CFileLock() { Release(); }
    CFileLock(const CFileLock&) = delete;
    CFileLock& operator=(const CFileLock&) = delete;
    bool Held() const { return m_h != INVALID_HANDLE_VALUE; }
    void Release() {
        if (Held())
            CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_h;
};

class ConfigFileStartTest : public testing::Test {
protected:
    // Runs the main window once over the file: opened, then closed.
    void Run(const std::function<void(CMainDialog&)>& whileOpen = {}) {
        CSettableClock clock;
        CMainDialog dialog(clock);
        dialog.SetConfigPath(path);
        ASSERT_TRUE(dialog.Create());
        if (whileOpen)
            whileOpen(dialog);
        dialog.DestroyWindow();
    }

    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden.cfg");
    const std::string backup = CConfigFile::BackupPath(path);
    const std::vector<uint8_t> one = FromHex(test::kOneEntryConfigHex);
};

TEST_F(ConfigFileStartTest, AMissingFileStartsEmptyAndIsCreatedAtExit) {
    Run([](CMainDialog& d) { EXPECT_TRUE(d.PhoneBook().IsEmpty()); });
    EXPECT_EQ(ReadWholeFile(path), FromHex(test::kEmptyConfigHex));
    EXPECT_FALSE(test::FileExists(backup));
}

TEST_F(ConfigFileStartTest, ALockedFileIsLeftAloneOrKeptAside) {
    test::WriteWholeFile(path, one);
    {
        CFileLock lock(path);
        ASSERT_TRUE(lock.Held());
        // Locked for the whole run: nothing is written over it.
        Run([](CMainDialog& d) { EXPECT_TRUE(d.PhoneBook().IsEmpty()); });
        lock.Release();
        EXPECT_EQ(ReadWholeFile(path), one);
        EXPECT_FALSE(test::FileExists(backup));
    }
    // Locked at start, free by the end: kept aside before the save.
    CFileLock lock(path);
    Run([&lock](CMainDialog&) { lock.Release(); });
    EXPECT_EQ(ReadWholeFile(backup), one);
    EXPECT_EQ(ReadWholeFile(path), FromHex(test::kEmptyConfigHex));
}

TEST_F(ConfigFileStartTest, ADamagedFileKeepsWhatWasReadAndIsKeptAside) {
    std::vector<uint8_t> damaged = one;
    damaged.resize(damaged.size() - 3); // the entry is cut short
    test::WriteWholeFile(path, damaged);
    Run([](CMainDialog& d) { EXPECT_EQ(d.Preferences().NotificationSeconds, 5); });
    EXPECT_EQ(ReadWholeFile(backup), damaged);
    EXPECT_EQ(ReadWholeFile(path), FromHex(test::kEmptyConfigHex));
}

} // namespace
} // namespace rw
