// The single-instance handshake: only a window with the exact title that
// gives the right answer counts as a running copy, wherever other windows
// with that title lie, and a copy hidden in the tray stays hidden. Then the
// session's mutex: a copy that finds it held waits for the holder's window,
// and runs only if the holder ends first.
#include "../core/ConfigTestUtil.h"
#include "../support/MessagePump.h"
#include "app/RunningCopy.h"
#include "app/SingleInstance.h"
#include "records/Clock.h"
#include "res/resource.h"
#include "ui/MainDialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <thread>
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

// `Ringwarden.exe --quiet 30` while a copy runs: the running copy takes
// the override over, and --override-off ends it.
TEST(RunningCopy, ASecondCopysOverrideIsTakenOverByTheRunningOne) {
    test::CScratchDir dir;
    CSettableClock clock;
    CMainDialog dialog(clock);
    dialog.SetConfigPath(dir.Path("Ringwarden.cfg"));
    ASSERT_TRUE(dialog.Create());
    const CCommandLine quiet = CCommandLine::Parse({"--quiet", "30"});
    EXPECT_TRUE(ActivateRunningCopy("Ringwarden", 1000, static_cast<WPARAM>(quiet.overrideRequest),
                                    quiet.overrideMinutes));
    EXPECT_TRUE(
        test::PumpUntil([&] { return dialog.Session().OverrideNow() == OverrideMode::Quiet; }));
    EXPECT_EQ(dialog.Session().OverrideUntil(), clock.UtcSeconds() + 30 * 60);
    EXPECT_TRUE(IsWindowVisible(dialog.GetDlgItem(IDC_OVERRIDE_OFF)));

    EXPECT_TRUE(
        ActivateRunningCopy("Ringwarden", 1000, static_cast<WPARAM>(OverrideRequest::Off), 0));
    EXPECT_TRUE(
        test::PumpUntil([&] { return dialog.Session().OverrideNow() == OverrideMode::None; }));
    EXPECT_FALSE(IsWindowVisible(dialog.GetDlgItem(IDC_OVERRIDE_OFF)));
    dialog.DestroyWindow();
}

constexpr char kMutex[] = "Local\\RwTest.SingleInstance";
constexpr char kTitle[] = "RwSingleInstanceTest";

// A first copy on a thread of its own, since a mutex belongs to the thread
// that holds it: takes the mutex, shows an answering window after
// `answerAfterMs`, and ends after `endAfterMs` (letting the mutex go, or
// dying with it when `abandon`); never when unset. Ends at the latest when
// destroyed.
class CFirstCopy {
public:
    CFirstCopy(std::optional<DWORD> answerAfterMs, std::optional<DWORD> endAfterMs, bool abandon)
        : m_thread([=, this] { Run(answerAfterMs, endAfterMs, abandon); }) {
        while (!m_started)
            Sleep(1);
    }
    ~CFirstCopy() {
        m_stop = true;
        m_thread.join();
    }
    CFirstCopy(const CFirstCopy&) = delete;
    CFirstCopy& operator=(const CFirstCopy&) = delete;

private:
    void Run(std::optional<DWORD> answerAfterMs, std::optional<DWORD> endAfterMs, bool abandon) {
        HANDLE mutex = CreateMutexA(nullptr, TRUE, kMutex);
        m_started = true;
        std::unique_ptr<CStandIn> window;
        const DWORD start = GetTickCount();
        while (!m_stop && !(endAfterMs && GetTickCount() - start >= *endAfterMs)) {
            if (!window && answerAfterMs && GetTickCount() - start >= *answerAfterMs)
                window = std::make_unique<CStandIn>(kTitle, kRunningCopyAnswer);
            MSG msg;
            while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessageA(&msg);
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        }
        window.reset();
        if (!abandon)
            ReleaseMutex(mutex);
        CloseHandle(mutex); // an abandoned mutex stays owned until the thread ends
    }

    std::atomic<bool> m_started{false}, m_stop{false};
    std::thread m_thread;
};

// Whether another thread, standing for another copy, finds the mutex held.
bool HeldElsewhere() {
    bool held = false;
    std::thread([&] {
        HANDLE mutex = CreateMutexA(nullptr, FALSE, kMutex);
        const DWORD result = WaitForSingleObject(mutex, 0);
        held = result == WAIT_TIMEOUT;
        if (!held)
            ReleaseMutex(mutex);
        CloseHandle(mutex);
    }).join();
    return held;
}

TEST(SingleInstance, SecondCopyWaitsForTheFirstAndRunsOnlyIfItEnds) {
    struct Case {
        const char* name;
        bool firstCopy;
        std::optional<DWORD> answerAfterMs, endAfterMs;
        bool abandon;
        DWORD waitMs;
        bool runs;
    } cases[] = {
        {"no other copy", false, {}, {}, false, kSingleInstanceWaitMs, true},
        // Longer than the handshake's own timeout: a first copy still
        // loading its phone book.
        {"the first copy answers late", true, 1500, {}, false, kSingleInstanceWaitMs, false},
        {"the first copy ends without answering",
         true,
         {},
         300,
         false,
         kSingleInstanceWaitMs,
         true},
        {"the first copy dies holding the mutex", true, {}, 300, true, kSingleInstanceWaitMs, true},
        {"the first copy neither answers nor ends", true, {}, {}, false, 500, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<CFirstCopy> first;
        if (c.firstCopy) {
            first.emplace(c.answerAfterMs, c.endAfterMs, c.abandon);
            ASSERT_TRUE(HeldElsewhere());
        }
        {
            CSingleInstance instance;
            EXPECT_EQ(instance.Acquire(kMutex, kTitle, c.waitMs), c.runs);
            EXPECT_EQ(instance.Holds(), c.runs);
            if (c.runs) {
                // A copy started now finds this one.
                EXPECT_TRUE(HeldElsewhere());
            }
        }
        first.reset();
        // Let go as the object went, whatever it decided.
        EXPECT_FALSE(HeldElsewhere());
    }
}

} // namespace
} // namespace rw
