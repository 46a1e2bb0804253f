#include "../core/ConfigTestUtil.h"
#include "records/Clock.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/MainDialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rw {
namespace {

std::string WindowText(HWND hWnd) {
    char buf[256] = {};
    GetWindowTextA(hWnd, buf, sizeof buf);
    return buf;
}

std::string ClassName(HWND hWnd) {
    char buf[64] = {};
    GetClassNameA(hWnd, buf, sizeof buf);
    return buf;
}

class MainWindowTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void SetUp() override {
        // Never the program's own file beside the executable.
        dialog.SetConfigPath(configDir.Path("Ringwarden.cfg"));
        ASSERT_TRUE(dialog.Create());
    }

    test::CScratchDir configDir;
    CSettableClock clock;
    CMainDialog dialog{clock};
};

TEST_F(MainWindowTest, TitleAndControlsInTabOrder) {
    HWND hWnd = dialog.GetSafeHwnd();
    EXPECT_EQ(WindowText(hWnd), "Ringwarden");
    const LONG style = GetWindowLongA(hWnd, GWL_STYLE);
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
    EXPECT_TRUE(GetWindowLongA(hWnd, GWL_EXSTYLE) & WS_EX_APPWINDOW);

    struct Expected {
        int id;
        const char* cls;
        const char* text;
    };
    const std::vector<Expected> expected = {
        {-1, "Static", "&Calls monitored this session"},
        {IDC_CALL_LIST, "SysListView32", ""},
        {IDC_ADD_ENTRY, "Button", "&Add Phone Book Entry..."},
        {IDC_EDIT_ENTRY, "Button", "&Edit Phone Book Entry..."},
        {IDC_CONFIGURE, "Button", "C&onfigure..."},
        {IDC_HELP_BUTTON, "Button", "&Help"},
        {IDC_QUIT, "Button", "&Quit Ringwarden"},
        {IDC_HIDE, "Button", "H&ide Ringwarden"},
        {-1, "Static", ""},
    };
    // Child windows come in creation order, which is the tab order.
    size_t i = 0;
    for (HWND child = GetWindow(hWnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT), ++i) {
        ASSERT_LT(i, expected.size());
        EXPECT_EQ(static_cast<int>(static_cast<short>(GetDlgCtrlID(child))), expected[i].id) << i;
        EXPECT_STRCASEEQ(ClassName(child).c_str(), expected[i].cls) << i;
        EXPECT_EQ(WindowText(child), expected[i].text) << i;
    }
    EXPECT_EQ(i, expected.size());

    EXPECT_TRUE(GetWindowLongA(dialog.GetDlgItem(IDC_CONFIGURE), GWL_STYLE) & BS_DEFPUSHBUTTON);
    EXPECT_TRUE(GetWindowLongA(dialog.GetDlgItem(IDC_CALL_LIST), GWL_STYLE) & LVS_REPORT);
    EXPECT_EQ(GetWindowLongA(GetWindow(dialog.GetDlgItem(IDC_HIDE), GW_HWNDNEXT), GWL_STYLE) &
                  SS_TYPEMASK,
              SS_ETCHEDHORZ);
}

TEST_F(MainWindowTest, SystemMenuHasAbout) {
    HMENU menu = GetSystemMenu(dialog.GetSafeHwnd(), FALSE);
    ASSERT_NE(menu, nullptr);
    char text[64] = {};
    GetMenuStringA(menu, IDM_ABOUTBOX, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ(text, "&About Ringwarden...");
}

TEST(StringTableResources, MatchTheCoreTable) {
    // The resource script and the core compile the same list.
    for (unsigned id : {IDS_APP_TITLE, IDS_CONFIG_FILE_NAME, IDS_TAPI_INIT_FAILED, 3109}) {
        char buf[512] = {};
        LoadStringA(GetModuleHandleA(nullptr), id, buf, sizeof buf);
        EXPECT_EQ(std::string(buf), LoadResString(id)) << id;
    }
}

} // namespace
} // namespace rw
