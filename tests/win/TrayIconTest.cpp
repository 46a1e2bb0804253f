#include "../support/ExePath.h"
#include "../support/MessagePump.h"
#include "../support/ScreenPicture.h"
#include "LineSim.h"
#include "records/Clock.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiRegistration.h"
#include "ui/MainDialog.h"
#include "ui/TrayIcon.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace rw {
namespace {

constexpr UINT kIconId = 100;
constexpr UINT kCallback = WM_USER;

// Messages the notification window's own procedure saw, in order.
struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Seen&) const = default;
};
std::vector<Seen> g_seen;

LRESULT CALLBACK ProbeProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND || message == WM_NULL || message == kCallback)
        g_seen.push_back({message, wParam, lParam});
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

// One request the tray icon made of the shell.
struct Request {
    DWORD operation;
    UINT flags;
    std::string tip;
    HICON icon;
    HWND hWnd;
    UINT id;
    UINT callback;
    DWORD size;
    std::string infoTitle;
    std::string info;
    DWORD infoFlags;
};

// Lets what is posted now arrive (nothing waits on it).
void PumpBriefly() {
    const DWORD start = GetTickCount();
    test::PumpUntil([&] { return GetTickCount() - start > 100; });
}

// The tray shows each state's image at the small icon size of this DPI.
HICON StateIcon(UINT id) {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

HICON ProgramIcon(int cx = 0, int cy = 0) {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDI_MAIN),
                                         IMAGE_ICON, cx, cy,
                                         LR_SHARED | (cx ? 0 : LR_DEFAULTSIZE)));
}

int IconWidth(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap{};
    GetObjectA(info.hbmMask, sizeof bitmap, &bitmap);
    DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    return bitmap.bmWidth;
}

class TrayIconTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA cls{};
        cls.lpfnWndProc = &ProbeProc;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "RwTrayProbe";
        RegisterClassA(&cls);
    }
    void SetUp() override { g_seen.clear(); }
    void TearDown() override {
        for (auto it = windows.rbegin(); it != windows.rend(); ++it)
            DestroyWindow(*it);
    }
    HWND MakeWindow(DWORD style = WS_OVERLAPPEDWINDOW, HWND parent = nullptr) {
        HWND hWnd = CreateWindowA("RwTrayProbe", "tray probe", style, 10, 10, 120, 60, parent,
                                  nullptr, GetModuleHandleA(nullptr), nullptr);
        windows.push_back(hWnd);
        return hWnd;
    }
    CTrayIcon::NotifyFn Recorder() {
        return [this](DWORD operation, NOTIFYICONDATAA* data) {
            requests.push_back({operation, data->uFlags, data->szTip, data->hIcon, data->hWnd,
                                data->uID, data->uCallbackMessage, data->cbSize, data->szInfoTitle,
                                data->szInfo, data->dwInfoFlags});
            if (results.empty())
                return TRUE;
            const BOOL result = results.front();
            results.pop_front();
            return result;
        };
    }

    std::vector<HWND> windows;
    std::vector<Request> requests;
    std::deque<BOOL> results; // the shell's answers to come (TRUE once they run out)
};

TEST_F(TrayIconTest, StatesAddThenModifyThenDelete) {
    HWND hWnd = MakeWindow();
    CTrayIcon tray(kIconId, Recorder());
    tray.SetNotifyWindow(hWnd, kCallback);
    EXPECT_EQ(tray.Tip(), ""); // there is no string 100

    constexpr UINT kAll = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    struct Step {
        UINT id;
        DWORD operation;
        const char* tip;
    } steps[] = {
        {130, NIM_ADD, "Ringwarden is active"},
        {132, NIM_MODIFY, "Ringwarden is blocking the current call"},
        {131, NIM_MODIFY, "Ringwarden is permitting the current call"},
        {133, NIM_MODIFY, "Ringwarden is not watching the line"},
        {134, NIM_MODIFY, "Ringwarden is watching the line with a warning"},
        {130, NIM_MODIFY, "Ringwarden is active"},
        {0, NIM_DELETE, "Ringwarden is active"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.id);
        requests.clear();
        EXPECT_TRUE(tray.SetTrayIcon(step.id));
        ASSERT_EQ(requests.size(), 1u);
        const Request& r = requests[0];
        EXPECT_EQ(r.operation, step.operation);
        EXPECT_EQ(r.tip, step.tip);
        EXPECT_EQ(r.flags, step.id ? kAll : UINT(NIF_TIP | NIF_MESSAGE));
        if (step.id) {
            EXPECT_EQ(r.icon, StateIcon(step.id));
            EXPECT_EQ(IconWidth(r.icon), GetSystemMetrics(SM_CXSMICON));
        }
        EXPECT_EQ(r.hWnd, hWnd);
        EXPECT_EQ(r.id, kIconId);
        EXPECT_EQ(r.callback, kCallback);
        EXPECT_EQ(r.size, DWORD(NOTIFYICONDATAA_V1_SIZE));
        EXPECT_EQ(tray.IsShown(), step.id != 0);
    }

    // Nothing left to remove: no request at all.
    requests.clear();
    EXPECT_TRUE(tray.SetTrayIcon(0u));
    EXPECT_TRUE(requests.empty());
}

TEST_F(TrayIconTest, FlagsFollowTheTipAndTheNotifyWindow) {
    HICON icon = StateIcon(130);
    {
        // No string for the id and no window: the icon alone.
        CTrayIcon tray(kIconId, Recorder());
        tray.SetTrayIcon(icon);
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].flags, UINT(NIF_ICON));
    }
    ASSERT_EQ(requests.size(), 2u); // removed with the tray icon
    EXPECT_EQ(requests[1].operation, DWORD(NIM_DELETE));

    requests.clear();
    CTrayIcon tray(kIconId, Recorder());
    tray.SetNotifyWindow(MakeWindow(), kCallback);
    tray.SetTrayIcon(icon, "A tip of its own");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].flags, UINT(NIF_ICON | NIF_TIP | NIF_MESSAGE));
    EXPECT_EQ(requests[0].tip, "A tip of its own");
}

TEST_F(TrayIconTest, FailedAddIsTriedAgainAsAnAdd) {
    CTrayIcon tray(kIconId, Recorder());
    tray.SetNotifyWindow(MakeWindow(), kCallback);
    results = {FALSE, TRUE, FALSE, TRUE};

    EXPECT_FALSE(tray.SetTrayIcon(130));
    EXPECT_FALSE(tray.IsShown());
    EXPECT_TRUE(tray.SetTrayIcon(131));
    // A failed change counts as gone as well.
    EXPECT_FALSE(tray.SetTrayIcon(132));
    EXPECT_FALSE(tray.IsShown());
    EXPECT_TRUE(tray.SetTrayIcon(132));

    std::vector<DWORD> operations;
    for (const Request& r : requests)
        operations.push_back(r.operation);
    EXPECT_EQ(operations, (std::vector<DWORD>{NIM_ADD, NIM_ADD, NIM_MODIFY, NIM_ADD}));
    EXPECT_EQ(requests.back().tip, "Ringwarden is blocking the current call");

    // An add that failed because the taskbar did not exist yet is made again
    // when the taskbar announces itself.
    tray.SetTrayIcon(0u);
    results = {FALSE};
    EXPECT_FALSE(tray.SetTrayIcon(131));
    requests.clear();
    SendMessageA(tray.NotifyWindow(), CTrayIcon::TaskbarCreatedMessage(), 0, 0);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].operation, DWORD(NIM_ADD));
    EXPECT_EQ(requests[0].tip, "Ringwarden is permitting the current call");
    EXPECT_TRUE(tray.IsShown());
}

TEST_F(TrayIconTest, LongTipIsCutToFit) {
    CTrayIcon tray(kIconId, Recorder());
    const std::string longTip(300, 'x');
    tray.SetTrayIcon(StateIcon(130), longTip.c_str());
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].tip, std::string(63, 'x'));
    EXPECT_EQ(tray.Tip(), std::string(63, 'x'));

    // Exactly 63 bytes fit; an empty tip drops NIF_TIP.
    const std::string fits(63, 'y');
    tray.SetTrayIcon(StateIcon(131), fits.c_str());
    EXPECT_EQ(requests.back().tip, fits);
    tray.SetTrayIcon(StateIcon(131), "");
    EXPECT_EQ(requests.back().flags, UINT(NIF_ICON));
}

TEST_F(TrayIconTest, StateIconWithATipOfItsOwn) {
    HWND hWnd = MakeWindow();
    CTrayIcon tray(kIconId, Recorder());
    tray.SetNotifyWindow(hWnd, kCallback);
    constexpr UINT kAll = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    const std::string longTip = "Ringwarden is not watching the line: " + std::string(100, 'z');
    const struct {
        UINT icon;
        std::string tip;
        DWORD operation;
        std::string sent;
        UINT flags;
    } steps[] = {
        {133, "Ringwarden is not watching the line: no modem was found", NIM_ADD,
         "Ringwarden is not watching the line: no modem was found", kAll},
        {134, longTip, NIM_MODIFY, longTip.substr(0, 63), kAll},
        {130, "", NIM_MODIFY, "", UINT(NIF_ICON | NIF_MESSAGE)},
        {0, "not sent", NIM_DELETE, "", UINT(NIF_MESSAGE)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.icon);
        requests.clear();
        EXPECT_TRUE(tray.SetTrayIcon(step.icon, step.tip));
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].operation, step.operation);
        EXPECT_EQ(requests[0].tip, step.sent);
        EXPECT_EQ(requests[0].flags, step.flags);
        if (step.icon) {
            EXPECT_EQ(requests[0].icon, StateIcon(step.icon));
        }
        EXPECT_EQ(requests[0].size, DWORD(NOTIFYICONDATAA_V1_SIZE));
    }
}

TEST_F(TrayIconTest, BalloonComesFromTheShownIconOnly) {
    HWND hWnd = MakeWindow();
    CTrayIcon tray(kIconId, Recorder());
    tray.SetNotifyWindow(hWnd, kCallback);
    EXPECT_FALSE(tray.ShowBalloon("Title", "Text", NIIF_INFO));
    EXPECT_TRUE(requests.empty());

    tray.SetTrayIcon(133);
    const std::string longTitle(100, 't'), longText(400, 'b');
    const struct {
        std::string title, text;
        DWORD infoFlags;
        std::string sentTitle, sentText;
        BOOL shell;
    } cases[] = {
        {"Not watching", "Calls are not screened.", NIIF_WARNING, "Not watching",
         "Calls are not screened.", TRUE},
        {longTitle, longText, NIIF_INFO, longTitle.substr(0, 63), longText.substr(0, 255), TRUE},
        {"Refused", "The shell's answer is passed on.", NIIF_INFO, "Refused",
         "The shell's answer is passed on.", FALSE},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sentTitle);
        requests.clear();
        results = {c.shell};
        EXPECT_EQ(tray.ShowBalloon(c.title, c.text, c.infoFlags), c.shell);
        ASSERT_EQ(requests.size(), 1u);
        const Request& r = requests[0];
        EXPECT_EQ(r.operation, DWORD(NIM_MODIFY));
        EXPECT_EQ(r.flags, UINT(NIF_INFO));
        EXPECT_EQ(r.size, DWORD(NOTIFYICONDATAA_V2_SIZE));
        EXPECT_EQ(r.infoTitle, c.sentTitle);
        EXPECT_EQ(r.info, c.sentText);
        EXPECT_EQ(r.infoFlags, c.infoFlags);
        EXPECT_EQ(r.hWnd, hWnd);
        EXPECT_EQ(r.id, kIconId);
        // A balloon changes neither the icon nor whether it counts as shown.
        EXPECT_TRUE(tray.IsShown());
    }

    // The icon's next change is a first-version record with no balloon.
    requests.clear();
    tray.SetTrayIcon(130);
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].size, DWORD(NOTIFYICONDATAA_V1_SIZE));
    EXPECT_EQ(requests[0].flags, UINT(NIF_ICON | NIF_TIP | NIF_MESSAGE));
    EXPECT_EQ(requests[0].info, "");
}

// The image stored in the program's resources for an icon at `size` pixels,
// as Windows picks it from the icon's directory: its width, 0 for none.
int StoredIconWidth(UINT id, int size) {
    HMODULE module = GetModuleHandleA(nullptr);
    HRSRC group = FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    auto* directory =
        group ? static_cast<BYTE*>(LockResource(LoadResource(module, group))) : nullptr;
    if (!directory)
        return 0;
    const int image = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(image), RT_ICON);
    const auto* header =
        found ? static_cast<const BITMAPINFOHEADER*>(LockResource(LoadResource(module, found)))
              : nullptr;
    return header ? header->biWidth : 0;
}

TEST_F(TrayIconTest, EveryStateIconIsDrawnAtSmallAndLargeSizes) {
    for (UINT id = IDI_TRAY_IDLE; id <= IDI_TRAY_WARNING; ++id)
        for (const int size : {16, 32}) {
            SCOPED_TRACE(testing::Message() << id << " at " << size);
            // Drawn at that size, not scaled from another.
            EXPECT_EQ(StoredIconWidth(id, size), size);
            HICON icon = static_cast<HICON>(LoadImageA(
                GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
            ASSERT_NE(icon, nullptr);
            EXPECT_EQ(IconWidth(icon), size);
            DestroyIcon(icon);
        }
}

TEST_F(TrayIconTest, TaskbarRestartPutsTheIconBackOnce) {
    enum Arrangement { TopLevel, OwnedPopup, Child };
    for (const Arrangement arrangement : {TopLevel, OwnedPopup, Child}) {
        SCOPED_TRACE(arrangement);
        HWND top = MakeWindow();
        HWND notify = arrangement == TopLevel     ? top
                      : arrangement == OwnedPopup ? MakeWindow(WS_POPUP, top)
                                                  : MakeWindow(WS_CHILD, top);
        CTrayIcon tray(kIconId, Recorder());
        tray.SetNotifyWindow(notify, kCallback);
        tray.SetTrayIcon(131);

        // The shell broadcasts to top-level windows only.
        auto broadcast = [&] {
            requests.clear();
            SendMessageA(top, CTrayIcon::TaskbarCreatedMessage(), 0, 0);
            if (arrangement == OwnedPopup)
                SendMessageA(notify, CTrayIcon::TaskbarCreatedMessage(), 0, 0);
        };
        broadcast();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].operation, DWORD(NIM_ADD));
        EXPECT_EQ(requests[0].tip, "Ringwarden is permitting the current call");
        EXPECT_EQ(requests[0].flags, UINT(NIF_ICON | NIF_TIP | NIF_MESSAGE));
        EXPECT_TRUE(tray.IsShown());

        tray.SetTrayIcon(0u);
        broadcast();
        EXPECT_TRUE(requests.empty());
    }
}

// Counts the popup menus opened on this thread, and drives the one that
// opens: reads its items, then picks one from the keyboard.
struct MenuWatch {
    int opened = 0;
    int presses = 0; // VK_DOWN presses before Enter
    int ticks = 0;
    int itemCount = -1;
    UINT defaultItem = UINT(-1);
    std::vector<std::string> texts;
    std::vector<UINT> ids;
};
MenuWatch g_menu;
HHOOK g_cbt = nullptr;

LRESULT CALLBACK CountMenus(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        char cls[32] = {};
        GetClassNameA(reinterpret_cast<HWND>(wParam), cls, sizeof cls);
        if (std::string(cls) == "#32768")
            ++g_menu.opened;
    }
    return CallNextHookEx(g_cbt, code, wParam, lParam);
}

void CALLBACK DriveMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND menuWnd = FindWindowA("#32768", nullptr);
    if (!menuWnd || !IsWindowVisible(menuWnd)) {
        // Never wait for ever on a menu that did not come.
        if (++g_menu.ticks > 100) {
            KillTimer(nullptr, timer);
            EndMenu();
        }
        return;
    }
    KillTimer(nullptr, timer);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(menuWnd, MN_GETHMENU, 0, 0));
    g_menu.itemCount = GetMenuItemCount(menu);
    g_menu.defaultItem = GetMenuDefaultItem(menu, TRUE, 0);
    for (int i = 0; i < g_menu.itemCount; ++i) {
        char text[64] = {};
        GetMenuStringA(menu, i, text, sizeof text, MF_BYPOSITION);
        g_menu.texts.push_back(text);
        g_menu.ids.push_back(GetMenuItemID(menu, i));
    }
    for (int i = 0; i < g_menu.presses; ++i)
        PostMessageA(menuWnd, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menuWnd, WM_KEYDOWN, VK_RETURN, 0);
}

class TrayMouseTest : public TrayIconTest {
protected:
    void SetUp() override {
        TrayIconTest::SetUp();
        g_menu = MenuWatch{};
        g_cbt = SetWindowsHookExA(WH_CBT, &CountMenus, nullptr, GetCurrentThreadId());
        hWnd = MakeWindow(WS_OVERLAPPEDWINDOW | WS_VISIBLE);
        tray.SetNotifyWindow(hWnd, kCallback);
    }
    void TearDown() override {
        UnhookWindowsHookEx(g_cbt);
        TrayIconTest::TearDown();
    }
    std::vector<Seen> Commands() const {
        std::vector<Seen> commands;
        for (const Seen& s : g_seen)
            if (s.message != kCallback)
                commands.push_back(s);
        return commands;
    }

    HWND hWnd = nullptr;
    CTrayIcon tray{kIconId, Recorder()};
};

TEST_F(TrayMouseTest, RightClickOpensTheMenuWithOpenInBold) {
    g_menu.presses = 2; // "&Block the last caller"
    SetTimer(nullptr, 0, 20, &DriveMenu);
    SendMessageA(hWnd, kCallback, kIconId, WM_RBUTTONUP);
    PumpBriefly();

    EXPECT_EQ(g_menu.opened, 1);
    EXPECT_EQ(g_menu.itemCount, 13);
    EXPECT_EQ(g_menu.defaultItem, 0u);
    EXPECT_EQ(g_menu.texts, (std::vector<std::string>{
                                "&Open Ringwarden", "&Block the last caller",
                                "&Play the newest message", "", "Q&uiet", "&Let every call ring",
                                "&Turn off quiet or let every call ring", "", "&Check the modem...",
                                "&Statistics...", "&Quit Ringwarden", "", "&About Ringwarden"}));
    const UINT submenu = static_cast<UINT>(-1);
    EXPECT_EQ(g_menu.ids,
              (std::vector<UINT>{ID_TRAY_OPEN, ID_TRAY_BLOCK_LAST, ID_TRAY_PLAY_NEWEST, 0, submenu,
                                 submenu, ID_OVERRIDE_OFF, 0, ID_TRAY_CHECK_MODEM,
                                 ID_TRAY_STATISTICS, ID_TRAY_QUIT, 0, ID_APP_ABOUT}));
    // The choice reaches the notification window, and a message follows the
    // menu so that it closes properly the next time.
    EXPECT_EQ(Commands(),
              (std::vector<Seen>{{WM_COMMAND, ID_TRAY_BLOCK_LAST, 0}, {WM_NULL, 0, 0}}));
}

TEST_F(TrayMouseTest, OtherClicksAndOtherIcons) {
    struct Case {
        UINT id;
        LPARAM mouse;
        std::vector<Seen> commands;
    } cases[] = {
        {kIconId, WM_LBUTTONDBLCLK, {{WM_COMMAND, ID_TRAY_OPEN, 0}}},
        {kIconId, WM_LBUTTONDOWN, {}},
        {kIconId, WM_LBUTTONUP, {}},
        {kIconId, WM_RBUTTONDOWN, {}},
        {kIconId + 1, WM_LBUTTONDBLCLK, {}},
        {kIconId + 1, WM_RBUTTONUP, {}},
        // Posted: it arrives after the balloon's click itself.
        {kIconId, NIN_BALLOONUSERCLICK, {{WM_COMMAND, ID_TRAY_BALLOON, 0}}},
        {kIconId + 1, NIN_BALLOONUSERCLICK, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " " << c.mouse);
        g_seen.clear();
        SendMessageA(hWnd, kCallback, c.id, c.mouse);
        PumpBriefly();
        EXPECT_EQ(Commands(), c.commands);
        EXPECT_EQ(g_menu.opened, 0);
        // The window still sees its callback message.
        EXPECT_EQ(std::count(g_seen.begin(), g_seen.end(), Seen{kCallback, c.id, c.mouse}), 1);
    }
    EXPECT_EQ(tray.OnTrayMessage(kIconId, NIN_BALLOONUSERCLICK), 1);
    EXPECT_EQ(tray.OnTrayMessage(kIconId + 1, NIN_BALLOONUSERCLICK), 0);
    PumpBriefly();
}

// Copies the right end of the taskbar, where the tray icons are, with a strip
// of the desktop above it, into a bitmap file (for the README's pictures).
void SaveTrayPicture(const std::string& path) {
    RECT bar{};
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (!taskbar || !GetWindowRect(taskbar, &bar))
        return;
    const int width = 96, above = 12;
    test::SaveScreenPicture(path, RECT{bar.right - width, bar.top - above, bar.right, bar.bottom});
}

TEST_F(TrayIconTest, RealShellTakesEveryState) {
    // RW_TRAY_PICTURES names a folder for a picture of each state.
    const char* pictures = std::getenv("RW_TRAY_PICTURES");
    CTrayIcon tray(kIconId);
    tray.SetNotifyWindow(MakeWindow(), kCallback);
    const struct {
        UINT id;
        const char* name;
    } states[] = {{130, "idle"},
                  {131, "permitting"},
                  {132, "blocking"},
                  {133, "not-watching"},
                  {134, "warning"}};
    for (const auto& state : states) {
        EXPECT_TRUE(tray.SetTrayIcon(state.id)) << state.id;
        EXPECT_TRUE(tray.IsShown());
        if (pictures) {
            // Let the taskbar draw the icon first.
            const DWORD start = GetTickCount();
            test::PumpUntil([&] { return GetTickCount() - start > 700; });
            SaveTrayPicture(std::string(pictures) + "\\tray-" + state.name + ".bmp");
        }
    }
    // The shell takes the balloon's longer record too.
    EXPECT_TRUE(tray.ShowBalloon("Ringwarden", "Calls are screened again.", NIIF_INFO));
    EXPECT_TRUE(tray.SetTrayIcon(0u));
    EXPECT_FALSE(tray.IsShown());
}

TEST(MainWindowTray, ShowsTheEngineStateAndOpensOnDoubleClick) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string config = std::string(temp) + "rw-tray-test.cfg";
    DeleteFileA(config.c_str());
    // A watched line, so that idle is idle (without one the icon says that
    // the line is not watched).
    linesim::SetShowWindow(false);
    linesim::SetPrintSummary(false);
    CTapiLoader loader{test::SimulatorPath()};
    SetTapiApi(&loader);
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    {
        CSettableClock clock;
        CMainDialog dialog{clock};
        dialog.SetConfigPath(config);
        dialog.Preferences().StartMinimised = 1;
        ASSERT_TRUE(dialog.Create());
        HWND hWnd = dialog.GetSafeHwnd();
        const CTrayIcon& tray = dialog.Tray();
        EXPECT_EQ(tray.NotifyWindow(), hWnd);
        EXPECT_TRUE(tray.IsShown());
        EXPECT_EQ(tray.Icon(), StateIcon(130));
        EXPECT_EQ(tray.Tip(), "Ringwarden is active");

        // Applied from the message loop, soon after.
        dialog.OnTrayTipChanged(132);
        const DWORD start = GetTickCount();
        while (tray.Icon() != StateIcon(132) && GetTickCount() - start < 2000) {
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            Sleep(1);
        }
        EXPECT_EQ(tray.Icon(), StateIcon(132));
        EXPECT_EQ(tray.Tip(), "Ringwarden is blocking the current call");

        // Quiet for 30 minutes from the tray menu: the icon carries a badge
        // and the tip says until when; Turn off takes both away.
        auto pumpUntil = [](const std::function<bool()>& done) {
            const DWORD begun = GetTickCount();
            while (!done() && GetTickCount() - begun < 2000) {
                MSG msg;
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageA(&msg);
                Sleep(1);
            }
            return done();
        };
        dialog.OnTrayTipChanged(130);
        SendMessageA(hWnd, WM_COMMAND, ID_QUIET_30, 0);
        EXPECT_TRUE(pumpUntil([&] { return tray.Tip().rfind("Ringwarden: quiet until ", 0) == 0; }))
            << tray.Tip();
        EXPECT_NE(tray.Icon(), StateIcon(130));
        EXPECT_NE(tray.Icon(), nullptr);
        SendMessageA(hWnd, WM_COMMAND, ID_OVERRIDE_OFF, 0);
        EXPECT_TRUE(pumpUntil([&] { return tray.Icon() == StateIcon(130); }));
        EXPECT_EQ(tray.Tip(), "Ringwarden is active");

        // Hidden at its first paint; a double-click on the icon opens it.
        UpdateWindow(hWnd);
        EXPECT_FALSE(IsWindowVisible(hWnd));
        SendMessageA(hWnd, WM_USER, 100, WM_LBUTTONDBLCLK);
        EXPECT_TRUE(IsWindowVisible(hWnd));

        // The program's icon is found, the caption's at the small size.
        EXPECT_EQ(reinterpret_cast<HICON>(SendMessageA(hWnd, WM_GETICON, ICON_BIG, 0)),
                  ProgramIcon());
        EXPECT_NE(ProgramIcon(), nullptr);
        HICON small = reinterpret_cast<HICON>(SendMessageA(hWnd, WM_GETICON, ICON_SMALL, 0));
        EXPECT_EQ(small, ProgramIcon(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON)));
        EXPECT_EQ(IconWidth(small), GetSystemMetrics(SM_CXSMICON));

        SendMessageA(hWnd, WM_COMMAND, ID_TRAY_QUIT, 0);
        EXPECT_FALSE(IsWindow(hWnd));
        EXPECT_FALSE(tray.IsShown());
    }
    UnregisterLineApp();
    SetTapiApi(nullptr);
    DeleteFileA(config.c_str());
}

} // namespace
} // namespace rw
