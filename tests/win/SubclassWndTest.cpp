#include "ui/SubclassWnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rw {
namespace {

constexpr UINT kProbe = WM_APP + 1;
constexpr LRESULT kPriorResult = 7;
constexpr LRESULT kSwallowedResult = 42;

// What the window's own procedure and the hooks saw, in order.
std::vector<std::string> g_seen;

LRESULT CALLBACK PriorProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kProbe) {
        g_seen.push_back("prior");
        return kPriorResult;
    }
    if (message == WM_NCDESTROY)
        g_seen.push_back("prior:WM_NCDESTROY");
    return DefWindowProcA(hWnd, message, wParam, lParam);
}

class CRecordingHook : public CSubclassWnd {
public:
    explicit CRecordingHook(std::string name, bool swallow = false)
        : m_name(std::move(name)), m_swallow(swallow) {}
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == kProbe) {
            g_seen.push_back(m_name);
            if (m_swallow)
                return kSwallowedResult;
        }
        return CSubclassWnd::HandleMessage(message, wParam, lParam);
    }

private:
    std::string m_name;
    bool m_swallow;
};

class SubclassWndTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSA cls{};
        cls.lpfnWndProc = &PriorProc;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "RwSubclassProbe";
        RegisterClassA(&cls);
    }
    void SetUp() override {
        g_seen.clear();
        hWnd = CreateWindowA("RwSubclassProbe", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
        ASSERT_TRUE(hWnd);
        hookedBefore = CSubclassWnd::HookedWindowCount();
    }
    void TearDown() override {
        if (IsWindow(hWnd))
            DestroyWindow(hWnd);
    }
    std::vector<std::string> Probe(LRESULT expected) {
        g_seen.clear();
        EXPECT_EQ(SendMessageA(hWnd, kProbe, 0, 0), expected);
        return g_seen;
    }
    WNDPROC Proc() const {
        return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hWnd, GWLP_WNDPROC));
    }

    HWND hWnd = nullptr;
    size_t hookedBefore = 0;
    using Seen = std::vector<std::string>;
};

TEST_F(SubclassWndTest, NewestHookFirstThenOlderThenPrior) {
    CRecordingHook older("older"), newer("newer");
    ASSERT_TRUE(older.SetHookWindow(hWnd));
    EXPECT_NE(Proc(), &PriorProc);
    ASSERT_TRUE(newer.SetHookWindow(hWnd));
    EXPECT_EQ(CSubclassWnd::NewestHook(hWnd), &newer);
    EXPECT_EQ(Probe(kPriorResult), (Seen{"newer", "older", "prior"}));
}

TEST_F(SubclassWndTest, SwallowedMessageGoesNoFurther) {
    CRecordingHook older("older"), newer("newer", true);
    older.SetHookWindow(hWnd);
    newer.SetHookWindow(hWnd);
    EXPECT_EQ(Probe(kSwallowedResult), (Seen{"newer"}));
}

TEST_F(SubclassWndTest, DetachingEitherHookLeavesTheOtherThenTheExactProcedure) {
    for (const bool olderFirst : {true, false}) {
        SCOPED_TRACE(olderFirst ? "older detached first" : "newer detached first");
        CRecordingHook older("older"), newer("newer");
        older.SetHookWindow(hWnd);
        newer.SetHookWindow(hWnd);
        const WNDPROC hooked = Proc();

        CRecordingHook& first = olderFirst ? older : newer;
        CRecordingHook& second = olderFirst ? newer : older;
        first.SetHookWindow(nullptr);
        EXPECT_EQ(first.GetHookWindow(), nullptr);
        EXPECT_EQ(Proc(), hooked);
        EXPECT_EQ(Probe(kPriorResult), (Seen{olderFirst ? "newer" : "older", "prior"}));

        // A hook on its own window again, after the other came off.
        second.SetHookWindow(nullptr);
        EXPECT_EQ(Proc(), &PriorProc);
        EXPECT_EQ(CSubclassWnd::NewestHook(hWnd), nullptr);
        EXPECT_EQ(CSubclassWnd::HookedWindowCount(), hookedBefore);
        EXPECT_EQ(Probe(kPriorResult), (Seen{"prior"}));
    }
}

TEST_F(SubclassWndTest, DestroyedHookComesOff) {
    CRecordingHook older("older");
    older.SetHookWindow(hWnd);
    {
        CRecordingHook newer("newer");
        newer.SetHookWindow(hWnd);
    }
    EXPECT_EQ(Probe(kPriorResult), (Seen{"older", "prior"}));
}

TEST_F(SubclassWndTest, DestroyingTheWindowDetachesEveryHook) {
    CRecordingHook older("older"), newer("newer");
    older.SetHookWindow(hWnd);
    newer.SetHookWindow(hWnd);
    g_seen.clear();
    DestroyWindow(hWnd);

    EXPECT_EQ(g_seen, (Seen{"prior:WM_NCDESTROY"}));
    EXPECT_EQ(older.GetHookWindow(), nullptr);
    EXPECT_EQ(newer.GetHookWindow(), nullptr);
    EXPECT_EQ(CSubclassWnd::NewestHook(hWnd), nullptr);
    EXPECT_EQ(CSubclassWnd::HookedWindowCount(), hookedBefore);

    // Their owners may hook a new window.
    SetUp();
    EXPECT_TRUE(older.SetHookWindow(hWnd));
    EXPECT_EQ(Probe(kPriorResult), (Seen{"older", "prior"}));
}

TEST_F(SubclassWndTest, UnicodeWindowStaysUnicode) {
    HWND edit = CreateWindowW(L"EDIT", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(edit);
    ASSERT_TRUE(IsWindowUnicode(edit));
    const LONG_PTR before = GetWindowLongPtrW(edit, GWLP_WNDPROC);
    {
        CRecordingHook hook("hook");
        hook.SetHookWindow(edit);
        EXPECT_TRUE(IsWindowUnicode(edit));
        // A text outside the system code page arrives whole.
        SetWindowTextW(edit, L"\u0436\u20ac");
        wchar_t text[8] = {};
        GetWindowTextW(edit, text, 8);
        EXPECT_STREQ(text, L"\u0436\u20ac");
    }
    EXPECT_EQ(GetWindowLongPtrW(edit, GWLP_WNDPROC), before);
    DestroyWindow(edit);
}

TEST_F(SubclassWndTest, WindowOfNoOneCannotBeHooked) {
    CRecordingHook hook("hook");
    EXPECT_FALSE(hook.SetHookWindow(reinterpret_cast<HWND>(0x1234)));
    EXPECT_EQ(hook.GetHookWindow(), nullptr);
    EXPECT_EQ(CSubclassWnd::HookedWindowCount(), hookedBefore);
}

} // namespace
} // namespace rw
