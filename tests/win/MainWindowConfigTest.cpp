#include "../core/ConfigTestUtil.h"
#include "app/ProgramDirectory.h"
#include "records/Clock.h"
#include "ui/MainDialog.h"

#include <gtest/gtest.h>

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
