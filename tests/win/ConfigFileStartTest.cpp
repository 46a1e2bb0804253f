// The main window's configuration file when it is missing, locked by
// another program (a backup, a virus scan) or damaged: the user's phone
// book is never replaced by defaults it did not read.
#include "../core/ConfigTestUtil.h"
#include "../support/MessagePump.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/WidePath.h"
#include "res/resource.h"
#include "ui/MainDialog.h"
#include "ui/framework/PropertySheet.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

namespace rw {
namespace {

using test::FromHex;
using test::ReadWholeFile;

// Holds a file open with no sharing, as a backup program may: nobody else
// can read it.
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
    void SetUp() override { CCorePropertySheet::SetShownHook({}); }
    void TearDown() override { CCorePropertySheet::SetShownHook({}); }

    // Runs the main window once over the file: opened, then closed. Its
    // message boxes are recorded and answered with `boxAnswer` (or by
    // `onBox`).
    void Run(const std::function<void(CMainDialog&)>& whileOpen = {}) {
        CSettableClock clock;
        CMainDialog dialog(clock);
        dialog.SetConfigPath(path);
        dialog.SetLoadRetry(retry);
        dialog.SetMessageBox([this](HWND, const std::string& text, UINT type) {
            boxes.push_back(text);
            boxTypes.push_back(type);
            return onBox ? onBox() : boxAnswer;
        });
        ASSERT_TRUE(dialog.Create());
        if (whileOpen)
            whileOpen(dialog);
        dialog.DestroyWindow();
    }
    static void Command(CMainDialog& dialog, int id) {
        SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
    }

    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden.cfg");
    const std::string backup = CConfigFile::BackupPath(path);
    const std::vector<uint8_t> one = FromHex(test::kOneEntryConfigHex);
    std::vector<std::string> boxes;
    std::vector<UINT> boxTypes;
    int boxAnswer = IDCANCEL;
    CMainDialog::LoadRetry retry{2, 10, 50};
    std::function<int()> onBox;
};

TEST_F(ConfigFileStartTest, AMissingFileStartsEmptyAndIsCreatedAtExit) {
    Run([](CMainDialog& d) { EXPECT_TRUE(d.PhoneBook().IsEmpty()); });
    EXPECT_EQ(ReadWholeFile(path), FromHex(test::kEmptyConfigHex));
    EXPECT_FALSE(test::FileExists(backup));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ConfigFileStartTest, AFileLockedAtTwoStartsSurvivesWithEveryEntry) {
    // A phone book of 500, written by the program itself.
    {
        CSettableClock clock;
        CMainDialog writer(clock);
        writer.SetConfigPath(path);
        ASSERT_TRUE(writer.Create());
        for (int i = 0; i < 500; ++i) {
            auto entry = test::Entry("Caller " + std::to_string(i), std::to_string(10000 + i));
            const std::string key = entry->LookupKey;
            writer.PhoneBook().SetAt(key, std::move(entry));
        }
        writer.DestroyWindow();
    }
    const std::vector<uint8_t> book = ReadWholeFile(path);
    // Held at each start, let go before the end of the run (and before the
    // background retry comes round).
    retry.backgroundMs = 60000;
    for (int start = 0; start < 2; ++start) {
        CFileLock lock(path);
        ASSERT_TRUE(lock.Held());
        boxes.clear();
        Run([&](CMainDialog& d) {
            EXPECT_TRUE(d.PhoneBook().IsEmpty());
            EXPECT_TRUE(d.ConfigurationUnread());
            // Told once, with the file and the reason.
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_NE(boxes[0].find(path), std::string::npos) << boxes[0];
            EXPECT_NE(boxes[0].find(SystemErrorText(ERROR_SHARING_VIOLATION)), std::string::npos)
                << boxes[0];
            // Configure says why not and changes nothing on Cancel.
            Command(d, IDC_CONFIGURE);
            ASSERT_EQ(boxes.size(), 2u);
            EXPECT_EQ(boxTypes[1] & MB_TYPEMASK, static_cast<UINT>(MB_RETRYCANCEL));
            EXPECT_TRUE(d.ConfigurationUnread());
            lock.Release();
            EXPECT_EQ(SendMessageA(d.GetSafeHwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
        });
        EXPECT_EQ(boxes.size(), 2u) << "start " << start;
        EXPECT_EQ(ReadWholeFile(path), book) << "start " << start;
    }
    EXPECT_FALSE(test::FileExists(backup));
    EXPECT_FALSE(test::FileExists(CConfigFile::BackupPath(path, 2)));
}

TEST_F(ConfigFileStartTest, ALockedFileIsReadInTheBackgroundOrOnRetry) {
    test::WriteWholeFile(path, one);
    // Let go during the run: the background retry reads it.
    auto lock = std::make_unique<CFileLock>(path);
    Run([&](CMainDialog& d) {
        EXPECT_TRUE(d.ConfigurationUnread());
        lock->Release();
        EXPECT_TRUE(test::PumpUntil([&] { return !d.ConfigurationUnread(); }));
        ASSERT_NE(d.PhoneBook().Lookup("1"), nullptr);
        d.Preferences().NotificationSeconds = 9;
    });
    EXPECT_FALSE(test::FileExists(backup));
    CRingwardenPreferences prefs;
    CPhoneBook book;
    auto fs = CreateSystemFileSystem();
    ASSERT_EQ(CConfigFile(*fs).Load(path, prefs, book), CConfigFile::LoadResult::loaded);
    EXPECT_EQ(prefs.NotificationSeconds, 9);
    EXPECT_EQ(book.GetCount(), 1u);

    // Let go while the user is told why the sheet cannot open: Retry reads
    // it and the sheet opens on the phone book read.
    lock = std::make_unique<CFileLock>(path);
    bool sheetSawTheEntry = false;
    Run([&](CMainDialog& d) {
        boxes.clear();
        onBox = [&] {
            lock->Release();
            return IDRETRY;
        };
        CCorePropertySheet::SetShownHook([&](CCorePropertySheet& sheet) {
            sheetSawTheEntry = d.PhoneBook().Lookup("1") != nullptr;
            sheet.PressButton(PSBTN_CANCEL);
        });
        Command(d, IDC_CONFIGURE);
        EXPECT_EQ(boxes.size(), 1u);
    });
    EXPECT_TRUE(sheetSawTheEntry);
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
