#include "../core/ConfigTestUtil.h"
#include "app/ProgramDirectory.h"
#include "app/Settings.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/WidePath.h"
#include "res/resource.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/MainDialog.h"
#include "ui/framework/AppMessageBox.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

namespace rw {
namespace {

using test::FromHex;
using test::ReadWholeFile;

constexpr size_t kNotificationSecondsAt = 12 + 12 + 1 + 16 + 44 + 4 + 44;

TEST(MainWindowConfig, LoadsAtInitAndSavesAtDestroyAndEndOfSession) {
    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden.cfg");
    test::WriteWholeFile(path, FromHex(test::kOneEntryConfigHex));

    CSettableClock clock;
    CMainDialog dialog(clock);
    dialog.SetConfigPath(path);
    ASSERT_TRUE(dialog.Create());
    ASSERT_NE(dialog.PhoneBook().Lookup("1"), nullptr);
    EXPECT_EQ(dialog.PhoneBook().Lookup("1")->Name, "A");

    // Log-off: saved, and the answer lets the session end.
    dialog.Preferences().NotificationSeconds = 7;
    EXPECT_EQ(SendMessageA(dialog.GetSafeHwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
    EXPECT_EQ(ReadWholeFile(path).at(kNotificationSecondsAt), 7);

    dialog.Preferences().NotificationSeconds = 9;
    dialog.PhoneBook().RemoveKey("1");
    dialog.DestroyWindow();
    const std::vector<uint8_t> saved = ReadWholeFile(path);
    EXPECT_EQ(saved.size(), 153u);
    EXPECT_EQ(saved.at(kNotificationSecondsAt), 9);
}

// The phone book and preferences in the file on disk now: what a process
// killed at this moment would leave.
struct OnDisk {
    size_t entries = 0;
    int notificationSeconds = 0;
};
OnDisk ReadBack(const std::string& path) {
    CRingwardenPreferences prefs;
    CPhoneBook book;
    auto fs = CreateSystemFileSystem();
    EXPECT_EQ(CConfigFile(*fs).Load(path, prefs, book), CConfigFile::LoadResult::loaded);
    return {book.GetCount(), prefs.NotificationSeconds};
}

// The main window over a one-entry file, with the configuration sheet driven
// by `drive` once it is on screen; message boxes are answered Yes and kept.
class MainWindowSheetTest : public testing::Test {
protected:
    void SetUp() override {
        // The page's Delete asks through the program's own box.
        m_previousBox =
            SetAppMessageBoxHandler([](HWND, const std::string&, UINT) { return IDYES; });
        test::WriteWholeFile(path, FromHex(test::kOneEntryConfigHex));
        dialog.SetConfigPath(path);
        dialog.SetMessageBox([this](HWND, const std::string& text, UINT) {
            boxes.push_back(text);
            return IDYES;
        });
        ASSERT_TRUE(dialog.Create());
    }
    void TearDown() override {
        CCorePropertySheet::SetShownHook({});
        dialog.DestroyWindow();
        SetAppMessageBoxHandler(std::move(m_previousBox));
    }
    void Configure(const std::function<void(CConfigPropertySheet&)>& drive) {
        CCorePropertySheet::SetShownHook(
            [&](CCorePropertySheet& shown) { drive(static_cast<CConfigPropertySheet&>(shown)); });
        SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_CONFIGURE, 0);
        CCorePropertySheet::SetShownHook({});
    }
    // Deletes the only entry on the sheet's Phone Book page, as the user does.
    static void DeleteTheEntry(CConfigPropertySheet& sheet) {
        CConfigPhoneBookPage& page = sheet.PhoneBookPage();
        sheet.SetActivePage(&page);
        HWND list = page.GetDlgItem(IDC_BOOK_LIST);
        ListView_SetItemState(list, 0, LVIS_SELECTED, LVIS_SELECTED);
        SendMessageA(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_BOOK_DELETE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(page.GetDlgItem(IDC_BOOK_DELETE)));
    }

    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden.cfg");
    CSettableClock clock;
    CMainDialog dialog{clock};
    std::vector<std::string> boxes;

private:
    AppMessageBoxHandler m_previousBox;
};

TEST_F(MainWindowSheetTest, TheSheetsOkSavesAtOnceAndItsCancelChangesNothing) {
    const struct {
        int button;
        size_t entries;
    } cases[] = {{PSBTN_CANCEL, 1}, {PSBTN_OK, 0}};
    for (const auto& c : cases) {
        Configure([&](CConfigPropertySheet& sheet) {
            DeleteTheEntry(sheet);
            EXPECT_TRUE(dialog.PhoneBook().IsEmpty());
            sheet.PressButton(c.button);
        });
        EXPECT_EQ(ReadBack(path).entries, c.entries) << c.button;
    }
}

void WriteText(const std::string& path, const std::string& text) {
    test::WriteWholeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string ReadText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// Whatever Ringwarden.ini holds, the program gets settings it can use.
TEST(Settings, MissingOrDamagedValuesGiveTheDefaults) {
    test::CScratchDir dir;
    const std::string ini = CSettings::PathBeside(dir.Path("Ringwarden.cfg"));
    EXPECT_EQ(ini, dir.Path("Ringwarden.ini"));
    const struct {
        const char* text; // null: no file
        bool ringThrough;
        int minutes, effective;
        bool keepHistory = true;
    } cases[] = {
        {nullptr, true, 3, 3},
        {"", true, 3, 3},
        {"[History]\r\nKeepHistory=0\r\n", true, 3, 3, false},
        {"[History]\r\nKeepHistory=no\r\n", true, 3, 3, true},
        {"[Screening]\r\nRepeatedCallMinutes=5\r\n", true, 5, 5},
        {"[Screening]\r\nRepeatedCallMinutes= 60 \r\n", true, 60, 60},
        {"[Screening]\r\nRepeatedCallMinutes=0\r\n", false, 3, 0}, // 0 turns it off
        {"[Screening]\r\nRepeatedCallsRingThrough=0\r\nRepeatedCallMinutes=9\r\n", false, 9, 0},
        {"[Screening]\r\nRepeatedCallMinutes=61\r\n", true, 3, 3},
        {"[Screening]\r\nRepeatedCallMinutes=-1\r\n", true, 3, 3},
        {"[Screening]\r\nRepeatedCallMinutes=3x\r\n", true, 3, 3},
        {"[Screening]\r\nRepeatedCallMinutes=99999999999999999999\r\n", true, 3, 3},
        {"[Screening]\r\nRepeatedCallsRingThrough=2\r\n", true, 3, 3},
        {"[Other]\r\nRepeatedCallMinutes=7\r\n", true, 3, 3},
        {"\xff\xfe[Screening]\r\nRepeatedCallMinutes=7\r\n", true, 3, 3}, // not UTF-16 text
    };
    for (const auto& c : cases) {
        DeleteFileA(ini.c_str());
        if (c.text)
            WriteText(ini, c.text);
        CSettings settings;
        settings.SetRepeatedCallsRingThrough(!c.ringThrough); // Load replaces everything
        settings.SetKeepHistory(!c.keepHistory);
        settings.Load(ini);
        EXPECT_EQ(settings.KeepHistory(), c.keepHistory) << (c.text ? c.text : "none");
        EXPECT_EQ(settings.RepeatedCallsRingThrough(), c.ringThrough) << (c.text ? c.text : "none");
        EXPECT_EQ(settings.RepeatedCallMinutes(), c.minutes) << (c.text ? c.text : "none");
        EXPECT_EQ(settings.EffectiveRepeatedCallMinutes(), c.effective);
    }

    // What is saved comes back, beside whatever else the file holds.
    WriteText(ini, "[Mine]\r\nKeep=1\r\n");
    CSettings saved;
    saved.SetRepeatedCallsRingThrough(false);
    saved.SetRepeatedCallMinutes(12);
    saved.SetKeepHistory(false);
    ASSERT_TRUE(saved.Save(ini));
    CSettings loaded;
    loaded.Load(ini);
    EXPECT_FALSE(loaded.RepeatedCallsRingThrough());
    EXPECT_FALSE(loaded.KeepHistory());
    EXPECT_EQ(loaded.RepeatedCallMinutes(), 12);
    EXPECT_NE(ReadText(ini).find("Keep=1"), std::string::npos);
    // A folder that is not there: nothing written, and no harm done.
    EXPECT_FALSE(saved.Save(dir.Path("missing\\Ringwarden.ini")));
}

// The program for each call comes back exactly as typed, quotes and all
// (the profile functions strip a pair around a whole value), in any script;
// a damaged Events= keeps every call.
TEST(Settings, TheCommandForEachCallComesBackAsTyped) {
    test::CScratchDir dir;
    const std::string ini = dir.Path("Ringwarden.ini");
    for (const char* command : {
             "\"C:\\Program Files\\Notify\\notify.exe\" \"call\"",
             "'C:\\x.cmd' 'a'",
             "powershell -NoProfile -Command \"Invoke-RestMethod -Uri https://ntfy.sh/t\"",
             "C:\\Zo\xc3\xab\\notify.exe", // the system code page's (1252)
             "",
         }) {
        CSettings saved;
        saved.SetHookCommand(command);
        saved.SetHookEvents(HookEvents::Messages);
        ASSERT_TRUE(saved.Save(ini));
        CSettings loaded;
        loaded.Load(ini);
        EXPECT_EQ(loaded.HookCommand(), command);
        EXPECT_EQ(loaded.HookEventsChosen(), HookEvents::Messages);
    }
    WriteText(ini, "[Hook]\r\nCommand=notify.exe\r\nEvents=some\r\n");
    CSettings damaged;
    damaged.Load(ini);
    EXPECT_EQ(damaged.HookCommand(), "notify.exe");
    EXPECT_EQ(damaged.HookEventsChosen(), HookEvents::All);
}

TEST_F(MainWindowSheetTest, TheBlockSuspendPageSetsRepeatedCallsInRingwardenIni) {
    const std::string ini = dir.Path("Ringwarden.ini");
    EXPECT_EQ(dialog.Rules().RepeatedCalls().Minutes(), 3); // no file: the default
    const struct {
        int button;
        bool tick;
        const char* minutes;
        int expected; // what the screening then uses
        bool written;
    } cases[] = {
        {PSBTN_CANCEL, true, "7", 3, false},
        {PSBTN_OK, true, "7", 7, true},
        {PSBTN_OK, false, "", 0, true}, // the box off: its minutes are not checked
        {PSBTN_OK, true, "7", 7, true},
    };
    for (const auto& c : cases) {
        Configure([&](CConfigPropertySheet& sheet) {
            CConfigSecurityPage& page = sheet.SecurityPage();
            sheet.SetActivePage(&page);
            HWND box = page.GetDlgItem(IDC_REPEAT_CALLS);
            if ((SendMessageA(box, BM_GETCHECK, 0, 0) == BST_CHECKED) != c.tick)
                SendMessageA(box, BM_CLICK, 0, 0);
            EXPECT_EQ(IsWindowEnabled(page.GetDlgItem(IDC_REPEAT_MINUTES)) != FALSE, c.tick);
            SetWindowTextA(page.GetDlgItem(IDC_REPEAT_MINUTES), c.minutes);
            sheet.PressButton(c.button);
        });
        EXPECT_EQ(dialog.Rules().RepeatedCalls().Minutes(), c.expected) << c.button << c.tick;
        EXPECT_EQ(test::FileExists(ini), c.written);
    }
    EXPECT_NE(ReadText(ini).find("RepeatedCallMinutes=7"), std::string::npos) << ReadText(ini);

    // The next start reads it back.
    WriteText(ini, "[Screening]\r\nRepeatedCallMinutes=0\r\n");
    CMainDialog again(clock);
    again.SetConfigPath(path);
    ASSERT_TRUE(again.Create());
    EXPECT_EQ(again.Rules().RepeatedCalls().Minutes(), 0);
    again.DestroyWindow();
}

TEST_F(MainWindowSheetTest, LogOffWithTheSheetOpenSavesTheBookAsBeforeTheSheet) {
    // Confirmed before the sheet opened (in memory only so far).
    dialog.Preferences().NotificationSeconds = 7;
    Configure([&](CConfigPropertySheet& sheet) {
        DeleteTheEntry(sheet);
        ASSERT_TRUE(dialog.PhoneBook().IsEmpty());
        EXPECT_EQ(SendMessageA(dialog.GetSafeHwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
        const OnDisk saved = ReadBack(path);
        EXPECT_EQ(saved.entries, 1u);
        EXPECT_EQ(saved.notificationSeconds, 7);
        sheet.PressButton(PSBTN_CANCEL);
    });
    EXPECT_EQ(dialog.PhoneBook().GetCount(), 1u);
}

// A main window whose configuration sheet changes one preference and is
// confirmed.
class CDialogWithQuickSheet : public CMainDialog {
public:
    using CMainDialog::CMainDialog;

protected:
    bool RunConfigSheet() override {
        ++Preferences().NotificationSeconds;
        return true;
    }
};

TEST(MainWindowConfig, AFailedSaveIsToldOnceAndTriedAgainAtTheNextChange) {
    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden.cfg");
    test::WriteWholeFile(path, FromHex(test::kOneEntryConfigHex));
    CSettableClock clock;
    CDialogWithQuickSheet dialog(clock);
    dialog.SetConfigPath(path);
    std::vector<std::string> boxes;
    dialog.SetMessageBox([&boxes](HWND, const std::string& text, UINT) {
        boxes.push_back(text);
        return IDOK;
    });
    ASSERT_TRUE(dialog.Create());
    auto configure = [&] { SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_CONFIGURE, 0); };
    // A read-only file cannot be replaced.
    const auto readOnly = [&path](bool on) {
        SetFileAttributesA(path.c_str(), on ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    };

    readOnly(true);
    configure(); // 6
    configure(); // 7
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(path), std::string::npos) << boxes[0];
    EXPECT_NE(boxes[0].find(SystemErrorText(ERROR_ACCESS_DENIED)), std::string::npos) << boxes[0];
    EXPECT_EQ(ReadBack(path).notificationSeconds, 5);

    readOnly(false);
    configure(); // 8, with what the failed saves held
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_EQ(ReadBack(path).notificationSeconds, 8);

    // Told again once a save has gone through in between.
    readOnly(true);
    configure();
    EXPECT_EQ(boxes.size(), 2u);
    readOnly(false);
    dialog.DestroyWindow(); // and tried again at exit
    EXPECT_EQ(ReadBack(path).notificationSeconds, 9);
}

TEST(MainWindowConfig, ProgramDirectoryIsTheExecutablesWithItsBackslash) {
    char exe[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    const std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '\\');
    EXPECT_EQ(std::string(exe).substr(0, dir.size()), dir);
    EXPECT_EQ(std::string(exe).find('\\', dir.size()), std::string::npos);
}

} // namespace
} // namespace rw
