#include "../core/ConfigTestUtil.h"
#include "app/RunningCopy.h"
#include "records/Clock.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/MainDialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
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
        {-1, "Static", "&Search:"},
        {IDC_CALL_SEARCH, "Edit", ""},
        {-1, "Static", "&Calls monitored this session"},
        {IDC_CALL_LIST, "SysListView32", ""},
        {IDC_ADD_ENTRY, "Button", "&Add Phone Book Entry..."},
        {IDC_EDIT_ENTRY, "Button", "&Edit Phone Book Entry..."},
        {IDC_CONFIGURE, "Button", "C&onfigure..."},
        {IDC_OVERRIDE, "Button", "Q&uiet or ring all..."},
        {IDC_STATISTICS, "Button", "&Statistics..."},
        {IDC_EXPORT_CALLS, "Button", "E&xport calls..."},
        {IDC_OVERRIDE_TEXT, "Static", ""},
        {IDC_OVERRIDE_OFF, "Button", "&Turn off"},
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

TEST_F(MainWindowTest, AnswersTheRunningCopyQuery) {
    EXPECT_EQ(SendMessageA(dialog.GetSafeHwnd(), kRunningCopyQuery, 0, 0), kRunningCopyAnswer);
}

TEST_F(MainWindowTest, HelpThatIsMissingIsReported) {
    struct Shown {
        HWND owner;
        std::string text;
        UINT type;
    };
    std::vector<Shown> shown;
    dialog.SetMessageBox([&](HWND owner, const std::string& text, UINT type) {
        shown.push_back({owner, text, type});
        return IDOK;
    });
    const std::string help = configDir.Path("help\\main.html");
    dialog.SetHelpPath(help);
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_HELP_BUTTON, 0);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].owner, dialog.GetSafeHwnd());
    EXPECT_EQ(shown[0].text, "The help for Ringwarden could not be found.\n\n" + help);
    EXPECT_EQ(shown[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
}

// A main window of its own, for a case that needs preferences in place
// before the window starts (as if read from the file) or that ends it.
struct CaseWindow {
    explicit CaseWindow(const std::function<void(CRingwardenPreferences&)>& prepare = {}) {
        dialog.SetConfigPath(dir.Path("Ringwarden.cfg"));
        if (prepare)
            prepare(dialog.Preferences());
        created = dialog.Create();
        hWnd = dialog.GetSafeHwnd();
    }
    // Paints whatever is due now, as the message loop would.
    void Paint() {
        InvalidateRect(hWnd, nullptr, TRUE);
        UpdateWindow(hWnd);
    }

    test::CScratchDir dir;
    CSettableClock clock;
    CMainDialog dialog{clock};
    bool created = false;
    HWND hWnd = nullptr;
};

TEST_F(MainWindowTest, WaysOutOfTheWindow) {
    struct Case {
        const char* name;
        UINT message;
        WPARAM wParam;
        bool remains; // the window still exists (hidden)
        bool placementStored;
    } cases[] = {
        {"close box", WM_CLOSE, 0, true, false},
        {"Hide button", WM_COMMAND, IDC_HIDE, true, false},
        {"Quit button", WM_COMMAND, IDC_QUIT, false, true},
        {"tray menu Quit", WM_COMMAND, ID_TRAY_QUIT, false, true},
        {"Escape", WM_COMMAND, IDCANCEL, false, false},
    };
    for (const Case& c : cases) {
        CaseWindow window;
        ASSERT_TRUE(window.created);
        SetWindowPos(window.hWnd, nullptr, 123, 45, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        WINDOWPLACEMENT before{};
        before.length = sizeof before;
        GetWindowPlacement(window.hWnd, &before);

        SendMessageA(window.hWnd, c.message, c.wParam, 0);
        EXPECT_EQ(IsWindow(window.hWnd) != FALSE, c.remains) << c.name;
        EXPECT_FALSE(IsWindowVisible(window.hWnd)) << c.name;
        CRingwardenPreferences& preferences = window.dialog.Preferences();
        EXPECT_EQ(preferences.MainPlacementValid, c.placementStored ? 1 : 0) << c.name;
        if (c.placementStored) {
            EXPECT_EQ(preferences.MainPlacement.length, int32_t(sizeof(WINDOWPLACEMENT)));
            EXPECT_EQ(preferences.MainPlacement.normalLeft, before.rcNormalPosition.left);
            EXPECT_EQ(preferences.MainPlacement.normalTop, before.rcNormalPosition.top);
            EXPECT_EQ(preferences.MainPlacement.normalRight, before.rcNormalPosition.right);
            EXPECT_EQ(preferences.MainPlacement.normalBottom, before.rcNormalPosition.bottom);
        }
    }
}

TEST_F(MainWindowTest, SavedPlacementIsUsedOnlyWhereItCanBeSeen) {
    RECT workArea{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &workArea, 0);
    // Sizes the window can take: it is never smaller than it opens.
    RECT opened{};
    GetWindowRect(dialog.GetSafeHwnd(), &opened);
    const LONG w = opened.right - opened.left + 10;
    const LONG h = opened.bottom - opened.top + 20;
    struct Case {
        const char* name;
        RECT normal;
        bool kept;
    } cases[] = {
        {"inside",
         {workArea.left + 4, workArea.top + 30, workArea.left + 4 + w, workArea.top + 30 + h},
         true},
        {"partly inside",
         {workArea.left - 300, workArea.top - 100, workArea.left - 300 + w, workArea.top - 100 + h},
         true},
        {"beyond a removed monitor",
         {workArea.right + 500, workArea.top, workArea.right + 500 + w, workArea.top + h},
         false},
    };
    for (const Case& c : cases) {
        CaseWindow window([&](CRingwardenPreferences& preferences) {
            preferences.MainPlacementValid = 1;
            preferences.MainPlacement = {};
            preferences.MainPlacement.length = sizeof(WINDOWPLACEMENT);
            preferences.MainPlacement.showCmd = SW_SHOWNORMAL;
            preferences.MainPlacement.normalLeft = c.normal.left;
            preferences.MainPlacement.normalTop = c.normal.top;
            preferences.MainPlacement.normalRight = c.normal.right;
            preferences.MainPlacement.normalBottom = c.normal.bottom;
        });
        ASSERT_TRUE(window.created);
        WINDOWPLACEMENT placement{};
        placement.length = sizeof placement;
        GetWindowPlacement(window.hWnd, &placement);
        EXPECT_EQ(window.dialog.Preferences().MainPlacementValid, c.kept ? 1 : 0) << c.name;
        EXPECT_EQ(EqualRect(&placement.rcNormalPosition, &c.normal) != FALSE, c.kept) << c.name;
    }
}

TEST_F(MainWindowTest, StartedMinimisedItHidesAtItsFirstPaintUntilOpened) {
    for (const bool startMinimised : {false, true}) {
        CaseWindow window([&](CRingwardenPreferences& preferences) {
            preferences.StartMinimised = startMinimised;
        });
        ASSERT_TRUE(window.created);
        window.Paint();
        EXPECT_EQ(IsWindowVisible(window.hWnd) != FALSE, !startMinimised) << startMinimised;

        // The tray menu's Open shows it for good.
        SendMessageA(window.hWnd, WM_COMMAND, ID_TRAY_OPEN, 0);
        window.Paint();
        EXPECT_TRUE(IsWindowVisible(window.hWnd)) << startMinimised;
        EXPECT_FALSE(IsIconic(window.hWnd)) << startMinimised;
    }
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
