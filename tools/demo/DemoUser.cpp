// rwdemouser: plays the user's part in the run command's demo, through the
// mouse and keyboard as a person would. It waits until Ringwarden's call
// list holds ROWS rows and the incoming call popup has gone, then
// right-clicks the newest call (the list's first row) and presses B for
// "Block this caller", then plays the newest message from the tray icon's
// menu. With QUIET_ROWS and OFF_ROWS, it then waits for that
// many rows and turns "Quiet" on for 30 minutes from the tray icon's menu,
// and for the next count and turns it off there again.
//
//     rwdemouser.exe ROWS [TIMEOUT_SECONDS [QUIET_ROWS OFF_ROWS]]
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kCallList = 1000; // the main window's list (IDC_CALL_LIST)

bool WaitFor(DWORD timeoutMs, bool (*done)(void*), void* context) {
    const DWORD start = GetTickCount();
    while (!done(context)) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(200);
    }
    return true;
}

void Send(INPUT input) {
    SendInput(1, &input, sizeof input);
    Sleep(100);
}

void Mouse(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    Send(input);
}

void Key(WORD key, DWORD flags) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    Send(input);
}

struct Watch {
    HWND main = nullptr;
    HWND list = nullptr;
    int rows = 0;
};

bool ListHasRows(void* context) {
    auto* watch = static_cast<Watch*>(context);
    watch->main = FindWindowA("#32770", "Ringwarden");
    watch->list = watch->main ? GetDlgItem(watch->main, kCallList) : nullptr;
    return watch->list && SendMessageA(watch->list, LVM_GETITEMCOUNT, 0, 0) >= watch->rows;
}

// What the shell sends the tray icon's window when the user right-clicks
// the icon: its callback message (WM_USER) for icon 100 (IDR_TRAY_MENU).
void RightClickTrayIcon(HWND main) {
    SetForegroundWindow(main);
    PostMessageA(main, WM_USER, 100, WM_RBUTTONUP);
    Sleep(800); // the menu opens at the mouse
}

// Picks from the open menu by the items' underlined letters.
void Choose(const char* letters) {
    for (const char* c = letters; *c; ++c) {
        Key(static_cast<WORD>(*c), 0);
        Key(static_cast<WORD>(*c), KEYEVENTF_KEYUP);
        Sleep(400);
    }
}

bool PopupGone(void*) {
    HWND popup = FindWindowA("#32770", "Ringwarden Incoming Call Notification");
    return !popup || !IsWindowVisible(popup);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: rwdemouser ROWS [TIMEOUT_SECONDS]\n");
        return 2;
    }
    Watch watch;
    watch.rows = std::atoi(argv[1]);
    const DWORD timeoutMs = (argc > 2 ? std::atoi(argv[2]) : 300) * 1000;
    if (!WaitFor(timeoutMs, &ListHasRows, &watch) || !WaitFor(15000, &PopupGone, nullptr)) {
        std::fprintf(stderr, "rwdemouser: Ringwarden's list never reached %d rows\n", watch.rows);
        return 1;
    }
    ShowWindow(watch.main, SW_RESTORE);
    SetForegroundWindow(watch.main);
    Sleep(500);
    // The first row sits just below the column headers.
    RECT header{};
    GetWindowRect(reinterpret_cast<HWND>(SendMessageA(watch.list, LVM_GETHEADER, 0, 0)), &header);
    POINT at{header.left + 40, header.bottom + 8};
    SetCursorPos(at.x, at.y);
    Sleep(300);
    Mouse(MOUSEEVENTF_RIGHTDOWN);
    Mouse(MOUSEEVENTF_RIGHTUP);
    Sleep(1500); // the menu stays open a moment, for the screenshot
    Key('B', 0);
    Key('B', KEYEVENTF_KEYUP);
    std::printf("demo user: right-clicked the newest call and chose \"Block this caller\"\n");
    // The two messages left before that call: the newest is played on the
    // computer's speakers, from the tray (&Play the newest message).
    Sleep(1000);
    RightClickTrayIcon(watch.main);
    Choose("P");
    std::printf("demo user: chose \"Play the newest message\" from the tray icon's menu\n");
    if (argc < 5)
        return 0;
    // Quiet for 30 minutes from the tray: Q&uiet, For &30 minutes.
    watch.rows = std::atoi(argv[3]);
    if (!WaitFor(timeoutMs, &ListHasRows, &watch) || !WaitFor(15000, &PopupGone, nullptr))
        return 1;
    RightClickTrayIcon(watch.main);
    Choose("U3");
    std::printf("demo user: chose \"Quiet\", \"For 30 minutes\" from the tray icon's menu\n");
    // ...and off again: &Turn off quiet or let every call ring.
    watch.rows = std::atoi(argv[4]);
    if (!WaitFor(timeoutMs, &ListHasRows, &watch) || !WaitFor(15000, &PopupGone, nullptr))
        return 1;
    RightClickTrayIcon(watch.main);
    Choose("T");
    std::printf(
        "demo user: chose \"Turn off quiet or let every call ring\" from the tray icon's menu\n");
    return 0;
}
