// The single-instance handshake: only a window with the exact title that
// gives the right answer counts as a running copy, wherever other windows
// with that title lie, and a copy hidden in the tray stays hidden.
#include "../core/ConfigTestUtil.h"
#include "app/RunningCopy.h"
#include "records/Clock.h"
#include "ui/MainDialog.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace rw {
namespace {

// A top-level window that answers the query with whatever it is given.
class CStandIn {
public:
    CStandIn(const char* title, LRESULT answer) {
        static const ATOM cls = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = &Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "RwRunningCopyStandIn";
            return RegisterClassA(&wc);
        }();
        m_hWnd = CreateWindowA(MAKEINTATOM(cls), title, WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                               nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, answer);
    }
    ~CStandIn() { DestroyWindow(m_hWnd); }
    CStandIn(const CStandIn&) = delete;
    CStandIn& operator=(const CStandIn&) = delete;

private:
    static LRESULT CALLBACK Proc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kRunningCopyQuery)
            return GetWindowLongPtrA(hWnd, GWLP_USERDATA);
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }
    HWND m_hWnd;
};

TEST(RunningCopy, OnlyTheRightTitleWithTheRightAnswerCounts) {
    struct Window {
        const char* title;
        LRESULT answer;
    };
    struct Case {
        const char* name;
        std::vector<Window> windows; // created in order: the last lies on top
        bool found;
    } cases[] = {
        {"none", {}, false},
        {"a running copy", {{"Ringwarden", kRunningCopyAnswer}}, true},
        {"the title alone", {{"Ringwarden", 0}}, false},
        {"a longer title", {{"Ringwarden Line Simulator", kRunningCopyAnswer}}, false},
        {"a silent namesake above the copy",
         {{"Ringwarden", kRunningCopyAnswer}, {"Ringwarden", 0}},
         true},
    };
    for (const Case& c : cases) {
        std::vector<std::unique_ptr<CStandIn>> windows;
        for (const Window& w : c.windows)
            windows.push_back(std::make_unique<CStandIn>(w.title, w.answer));
        EXPECT_EQ(ActivateRunningCopy("Ringwarden"), c.found) << c.name;
    }
}

TEST(RunningCopy, MainWindowHiddenInTheTrayIsFoundAndStaysHidden) {
    test::CScratchDir dir;
    CSettableClock clock;
    CMainDialog dialog(clock);
    dialog.SetConfigPath(dir.Path("Ringwarden.cfg"));
    ASSERT_TRUE(dialog.Create());
    SendMessageA(dialog.GetSafeHwnd(), WM_CLOSE, 0, 0);
    ASSERT_FALSE(IsWindowVisible(dialog.GetSafeHwnd()));

    EXPECT_TRUE(ActivateRunningCopy("Ringwarden"));
    EXPECT_FALSE(IsWindowVisible(dialog.GetSafeHwnd()));
}

} // namespace
} // namespace rw
