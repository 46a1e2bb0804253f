#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "records/RingwardenPreferences.h"
#include "res/resource.h"
#include "ui/FontStatic.h"
#include "ui/NotificationDialog.h"
#include "ui/NotificationOwner.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
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

RECT WindowRect(HWND hWnd) {
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    return rect;
}

RECT WorkArea() {
    RECT area{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    return area;
}

// Runs this thread's messages, as a modeless dialog's loop does (through
// IsDialogMessage, which turns Enter and Esc into OK and Cancel), until
// `done` holds or `timeoutMs` pass; false on time-out.
bool PumpUntil(const std::function<bool()>& done, HWND dialog, DWORD timeoutMs = 2000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (dialog && IsWindow(dialog) && IsDialogMessageA(dialog, &msg))
                continue;
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    }
    return true;
}

void PumpPending(HWND dialog) {
    PumpUntil([] { return false; }, dialog, 50);
}

// The main window's side: the preferences and the one popup pointer.
class FakeOwner : public CNotificationOwner {
public:
    CRingwardenPreferences& NotificationPreferences() override { return preferences; }
    void OnNotificationDestroyed(CNotificationDialog* dialog) override {
        told.push_back(dialog);
        if (current == dialog)
            current = nullptr;
    }

    CRingwardenPreferences preferences;
    CNotificationDialog* current = nullptr;
    std::vector<CNotificationDialog*> told;
};

// Counts its deletions, so that tests see the popup delete itself.
class ProbeDialog : public CNotificationDialog {
public:
    ProbeDialog(CNotificationOwner& owner, HWND parent, int& deleted)
        : CNotificationDialog(owner, parent), m_deleted(deleted) {}
    ~ProbeDialog() override { ++m_deleted; }

private:
    int& m_deleted;
};

struct CallTexts {
    const char* number;
    const char* name;
    int32_t action;
};

class NotificationDialogTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void SetUp() override {
        // Stands in for the main window: visible, away from the centre.
        mainWindow = CreateWindowExA(0, "STATIC", "Main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 30,
                                     500, 350, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(mainWindow);
    }
    void TearDown() override {
        // A popup still open goes the way the owner's shutdown takes it.
        delete owner.current;
        DestroyWindow(mainWindow);
    }

    CLoggedCall MakeCall(const CallTexts& texts) {
        CLoggedCall call;
        call.SetNumber(texts.number);
        call.SetName(texts.name);
        call.SetAction(texts.action);
        return call;
    }

    // The creator's sequence: construct, remember, SetCall, Create.
    CNotificationDialog* Open(const CLoggedCall* call) {
        auto* dialog = new ProbeDialog(owner, mainWindow, deleted);
        owner.current = dialog;
        if (call)
            dialog->SetCall(call);
        EXPECT_TRUE(dialog->Create());
        return dialog;
    }
    HWND Popup() const { return owner.current ? owner.current->GetSafeHwnd() : nullptr; }
    std::string Label(int id) const { return WindowText(GetDlgItem(Popup(), id)); }
    bool Gone() const { return owner.current == nullptr; }

    HWND mainWindow = nullptr;
    FakeOwner owner;
    int deleted = 0;
};

TEST_F(NotificationDialogTest, OpensOnTopCentredOverOwnerWithBoldCallTexts) {
    const CLoggedCall call = MakeCall({"01632 960123", "Acme Double Glazing", ActionBlockAlways});
    Open(&call);
    HWND popup = Popup();
    ASSERT_TRUE(popup);

    EXPECT_EQ(WindowText(popup), "Ringwarden Incoming Call Notification");
    EXPECT_EQ(Label(IDC_NOTIFY_NUMBER), "01632 960123");
    EXPECT_EQ(Label(IDC_NOTIFY_NAME), "Acme Double Glazing");
    EXPECT_EQ(Label(IDC_NOTIFY_ACTION), "Block (always)");
    EXPECT_TRUE(IsWindowVisible(popup));
    EXPECT_TRUE(GetWindowLongA(popup, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetActiveWindow(), popup);

    HDC screen = GetDC(nullptr);
    const int eightPoints = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    for (int id : {IDC_NOTIFY_NUMBER, IDC_NOTIFY_NAME, IDC_NOTIFY_ACTION}) {
        HWND label = GetDlgItem(popup, id);
        EXPECT_TRUE(GetWindowLongA(label, GWL_STYLE) & SS_CENTER) << id;
        EXPECT_TRUE(GetWindowLongA(label, GWL_STYLE) & SS_NOPREFIX) << id;
        LOGFONTA font{};
        ASSERT_TRUE(GetObjectA(reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0)),
                               sizeof font, &font))
            << id;
        EXPECT_EQ(font.lfHeight, eightPoints) << id;
        EXPECT_EQ(font.lfWeight, FW_BOLD) << id;
        EXPECT_STRCASEEQ(font.lfFaceName, "MS Sans Serif") << id;
    }

    // Centred over the visible main window (within a pixel of rounding).
    const RECT main = WindowRect(mainWindow);
    const RECT rect = WindowRect(popup);
    EXPECT_NEAR(rect.left + rect.right, main.left + main.right, 2);
    EXPECT_NEAR(rect.top + rect.bottom, main.top + main.bottom, 2);
    EXPECT_EQ(owner.preferences.NotifyPlacementValid, 0);
}

TEST_F(NotificationDialogTest, HiddenOwnerCentresOverWorkArea) {
    ShowWindow(mainWindow, SW_HIDE);
    Open(nullptr);
    const RECT area = WorkArea();
    const RECT rect = WindowRect(Popup());
    EXPECT_NEAR(rect.left + rect.right, area.left + area.right, 2);
    EXPECT_NEAR(rect.top + rect.bottom, area.top + area.bottom, 2);
}

TEST_F(NotificationDialogTest, WithoutCallShowsEmptyLabels) {
    Open(nullptr);
    owner.current->UpdateLabels();
    for (int id : {IDC_NOTIFY_NUMBER, IDC_NOTIFY_NAME, IDC_NOTIFY_ACTION})
        EXPECT_EQ(Label(id), "") << id;
}

TEST_F(NotificationDialogTest, TimerDestroysAfterDisplayTimeStoringPlacement) {
    owner.preferences.NotificationSeconds = 2;
    const CLoggedCall call = MakeCall({"01632 960123", "Acme Double Glazing", ActionBlockAlways});
    const DWORD start = GetTickCount();
    CNotificationDialog* dialog = Open(&call);
    HWND popup = Popup();
    SetWindowPos(popup, nullptr, 123, 77, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RECT rect = WindowRect(popup);

    ASSERT_TRUE(PumpUntil([&] { return Gone(); }, popup, 5000));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 1900u);
    EXPECT_LT(elapsed, 6000u);
    EXPECT_FALSE(IsWindow(popup));
    EXPECT_EQ(owner.told, std::vector<CNotificationDialog*>{dialog});
    EXPECT_EQ(deleted, 1);
    EXPECT_EQ(owner.preferences.NotifyPlacementValid, 1);
    const RwWindowPlacement& stored = owner.preferences.NotifyPlacement;
    EXPECT_EQ(stored.normalLeft, rect.left);
    EXPECT_EQ(stored.normalTop, rect.top);
    EXPECT_EQ(stored.normalRight, rect.right);
    EXPECT_EQ(stored.normalBottom, rect.bottom);
}

TEST_F(NotificationDialogTest, UserCloseHidesAndStoresUntilTimer) {
    owner.preferences.NotificationSeconds = 2;
    Open(nullptr);
    HWND popup = Popup();
    SendMessageA(popup, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(popup));
    EXPECT_EQ(owner.preferences.NotifyPlacementValid, 1);
    EXPECT_EQ(owner.preferences.NotifyPlacement.normalLeft, WindowRect(popup).left);
    EXPECT_TRUE(owner.told.empty());
    EXPECT_EQ(deleted, 0);

    ASSERT_TRUE(PumpUntil([&] { return Gone(); }, popup, 5000));
    EXPECT_EQ(deleted, 1);
}

TEST_F(NotificationDialogTest, EnterAndEscHideWithoutStoring) {
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        SCOPED_TRACE(key);
        owner.preferences.NotifyPlacementValid = 0;
        if (!owner.current)
            Open(nullptr);
        HWND popup = Popup();
        ShowWindow(popup, SW_SHOW);
        SetFocus(popup);
        PostMessageA(popup, WM_KEYDOWN, key, 0);
        PumpPending(popup);
        EXPECT_TRUE(IsWindow(popup));
        EXPECT_FALSE(IsWindowVisible(popup));
        EXPECT_EQ(owner.preferences.NotifyPlacementValid, 0);
    }
    EXPECT_EQ(deleted, 0);
}

// The program's own loop is the main window's modal one, which passes only
// that window's keys through IsDialogMessage: the popup must still take
// Enter and Esc from the keyboard.
class ModalLoop : public CDialog {
public:
    ModalLoop(HWND parent, HWND popup, WPARAM key)
        : CDialog(IDD_ABOUTBOX, parent), m_popup(popup), m_key(key) {}
    bool popupVisibleAfterKey = true;

protected:
    BOOL OnInitDialog() override {
        SetTimer(m_hWnd, 1, 50, nullptr);
        return TRUE;
    }
    bool OnMessage(UINT message, WPARAM, LPARAM, INT_PTR&) override {
        if (message != WM_TIMER)
            return false;
        if (++m_ticks == 1) {
            SetActiveWindow(m_popup);
            PostMessageA(GetFocus(), WM_KEYDOWN, m_key, 0);
        } else {
            popupVisibleAfterKey = IsWindowVisible(m_popup);
            KillTimer(m_hWnd, 1);
            EndDialog(IDOK);
        }
        return true;
    }

private:
    HWND m_popup;
    WPARAM m_key;
    int m_ticks = 0;
};

TEST_F(NotificationDialogTest, EnterAndEscHideUnderAnotherWindowsModalLoop) {
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        SCOPED_TRACE(key);
        if (!owner.current)
            Open(nullptr);
        HWND popup = Popup();
        ShowWindow(popup, SW_SHOW);
        ModalLoop loop(mainWindow, popup, key);
        ASSERT_EQ(loop.DoModal(), IDOK);
        EXPECT_FALSE(loop.popupVisibleAfterKey);
        EXPECT_TRUE(IsWindow(popup));
    }
}

TEST_F(NotificationDialogTest, LaterCallSwitchesTheOnePopup) {
    const CLoggedCall first = MakeCall({"01632 960123", "Acme Double Glazing", ActionBlockAlways});
    const CLoggedCall second =
        MakeCall({"<Blocked>", "<No Phone Book Entry>", ActionPermitNeverBlockDefault});
    CNotificationDialog* dialog = Open(&first);
    HWND popup = Popup();
    SetActiveWindow(mainWindow);

    dialog->ShowCall(&second);
    EXPECT_EQ(dialog->GetCall(), &second);
    EXPECT_EQ(Label(IDC_NOTIFY_NUMBER), "<Blocked>");
    EXPECT_EQ(Label(IDC_NOTIFY_NAME), "<No Phone Book Entry>");
    EXPECT_EQ(Label(IDC_NOTIFY_ACTION), "Permit (never block - default rule)");
    EXPECT_EQ(GetActiveWindow(), popup);
    EXPECT_EQ(FindWindowA(nullptr, "Ringwarden Incoming Call Notification"), popup);

    // Hidden by the user: refreshed, but it stays hidden.
    SendMessageA(popup, WM_COMMAND, IDCANCEL, 0);
    SetActiveWindow(mainWindow);
    dialog->ShowCall(&first);
    EXPECT_EQ(Label(IDC_NOTIFY_NAME), "Acme Double Glazing");
    EXPECT_FALSE(IsWindowVisible(popup));
    EXPECT_NE(GetActiveWindow(), popup);
}

TEST_F(NotificationDialogTest, StoredPlacementAppliedOnlyWhenOnScreen) {
    const RECT area = WorkArea();
    struct Case {
        const char* what;
        int left; // the stored normal rectangle's
        int top;
        int width, height;
        UINT show;
        bool applied;
    };
    // Only the stored position counts: the popup keeps its own size and is
    // shown normally whatever a damaged file says.
    const Case cases[] = {
        {"inside", area.left + 20, area.top + 30, 200, 80, SW_SHOWNORMAL, true},
        {"one pixel on the right", area.right - 1, area.top + 30, 200, 80, SW_SHOWNORMAL, true},
        {"one pixel at the bottom", area.left + 20, area.bottom - 1, 200, 80, SW_SHOWNORMAL, true},
        {"wholly right of it", area.right, area.top + 30, 200, 80, SW_SHOWNORMAL, false},
        {"wholly above it", area.left + 20, area.top - 1000, 200, 80, SW_SHOWNORMAL, false},
        {"huge and maximised", area.left + 10, area.top + 10, 1000000, 1000000, SW_MAXIMIZE, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        owner.preferences.NotifyPlacementValid = 1;
        owner.preferences.NotifyPlacement = RwWindowPlacement{44,
                                                              0,
                                                              static_cast<int32_t>(c.show),
                                                              -1,
                                                              -1,
                                                              -1,
                                                              -1,
                                                              c.left,
                                                              c.top,
                                                              c.left + c.width,
                                                              c.top + c.height};
        Open(nullptr);
        const RECT rect = WindowRect(Popup());
        EXPECT_EQ(owner.preferences.NotifyPlacementValid, c.applied ? 1 : 0);
        EXPECT_FALSE(IsZoomed(Popup()));
        EXPECT_LT(rect.right - rect.left, 1000);
        if (c.applied) {
            EXPECT_EQ(rect.left, c.left);
            EXPECT_EQ(rect.top, c.top);
        } else {
            const RECT main = WindowRect(mainWindow);
            EXPECT_NEAR(rect.left + rect.right, main.left + main.right, 2);
        }
        EXPECT_TRUE(IsWindowVisible(Popup()));
        delete owner.current;
        owner.current = nullptr;
    }
    // Deleted by its owner: not reported back, deleted once.
    EXPECT_TRUE(owner.told.empty());
    EXPECT_EQ(deleted, 6);
}

// CFontStatic on its own: what it paints, captured through WM_PRINTCLIENT
// and compared with DrawText's own rendering of the expected layout.
class FontStaticTest : public testing::Test {
protected:
    static LRESULT CALLBACK ParentProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_CTLCOLORSTATIC) {
            SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 0));
            return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
        }
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }
    static void SetUpTestSuite() {
        WNDCLASSA cls{};
        cls.lpfnWndProc = &ParentProc;
        cls.hInstance = GetModuleHandleA(nullptr);
        cls.lpszClassName = "FontStaticTestParent";
        RegisterClassA(&cls);
    }
    void SetUp() override {
        parent = CreateWindowExA(0, "FontStaticTestParent", "", WS_POPUP | WS_VISIBLE, 10, 10, 400,
                                 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(parent);
    }
    void TearDown() override { DestroyWindow(parent); }

    HWND MakeLabel(DWORD style, const char* text) {
        return CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_NOPREFIX | style, 5, 5,
                               kWidth, kHeight, parent, nullptr, nullptr, nullptr);
    }

    // Pixels of a kWidth x kHeight bitmap filled with `background` after
    // `draw` on it.
    static std::vector<DWORD> Render(const std::function<void(HDC)>& draw,
                                     int background = WHITE_BRUSH) {
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof info.bmiHeader, kWidth, -kHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(dc, bitmap);
        RECT all{0, 0, kWidth, kHeight};
        FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(background)));
        draw(dc);
        GdiFlush();
        const auto* pixels = static_cast<const DWORD*>(bits);
        std::vector<DWORD> result(pixels, pixels + kWidth * kHeight);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
        return result;
    }
    static std::vector<DWORD> Expected(HFONT font, const std::string& text, UINT flags) {
        return Render([&](HDC dc) {
            HGDIOBJ old = SelectObject(dc, font);
            SetBkMode(dc, TRANSPARENT);
            RECT rect{0, 0, kWidth, kHeight};
            DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect,
                      flags | DT_SINGLELINE | DT_NOPREFIX);
            SelectObject(dc, old);
        });
    }

    static constexpr int kWidth = 120;
    static constexpr int kHeight = 16;
    HWND parent = nullptr;
};

TEST_F(FontStaticTest, PaintsOneLineAlignedByStyleWithEndEllipsis) {
    const std::string shortText = "Acme";
    // Caller-ID texts are any length the line delivers.
    const std::string longText =
        "Acme Double Glazing and Conservatories of " + std::string(300, 'W');
    struct Case {
        DWORD style;
        UINT align;
    };
    const Case cases[] = {{SS_LEFT, DT_LEFT}, {SS_CENTER, DT_CENTER}, {SS_RIGHT, DT_RIGHT}};
    for (const Case& c : cases) {
        for (const std::string& text : {shortText, longText}) {
            SCOPED_TRACE(testing::Message()
                         << "style " << c.style << ", " << text.size() << " chars");
            HWND control = MakeLabel(c.style, text.c_str());
            CFontStatic label;
            ASSERT_TRUE(label.Attach(control));
            ASSERT_EQ(label.SetLabelFont(8, true, false, false), 0);

            // Over black: whatever was there before (an earlier caller's
            // text) must not show through.
            const auto painted = Render(
                [&](HDC dc) {
                    SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
                },
                BLACK_BRUSH);
            EXPECT_EQ(painted, Expected(label.Font(), text, c.align | DT_END_ELLIPSIS));
            const bool cut = painted != Expected(label.Font(), text, c.align);
            EXPECT_EQ(cut, text.size() > shortText.size());
            // Painted for real too (the window's own WM_PAINT).
            InvalidateRect(control, nullptr, TRUE);
            UpdateWindow(control);
            DestroyWindow(control);
            EXPECT_EQ(label.GetSafeHwnd(), nullptr);
        }
    }
}

TEST_F(FontStaticTest, SetLabelFontDescribesTheFont) {
    HWND control = MakeLabel(SS_LEFT, "Name");
    {
        CFontStatic label;
        ASSERT_TRUE(label.Attach(control));
        EXPECT_FALSE(CFontStatic().Attach(nullptr));
        ASSERT_EQ(label.SetLabelFont(12, false, true, true), 0);
        HFONT font = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
        EXPECT_EQ(font, label.Font());
        LOGFONTA description{};
        ASSERT_TRUE(GetObjectA(font, sizeof description, &description));
        EXPECT_EQ(description.lfHeight, 12);
        EXPECT_EQ(description.lfWeight, FW_NORMAL);
        EXPECT_TRUE(description.lfItalic);
        EXPECT_TRUE(description.lfUnderline);
        EXPECT_FALSE(description.lfStrikeOut);
        EXPECT_EQ(description.lfPitchAndFamily, VARIABLE_PITCH | FF_SWISS);
        EXPECT_STREQ(description.lfFaceName, "Ms sans serif");

        // A second font replaces the first, which is deleted.
        ASSERT_EQ(label.SetLabelFont(8, true, false, false), 0);
        EXPECT_EQ(GetObjectType(font), 0u);
    }
    // Unhooked by the label's end: the control lives on with no dangling
    // font and paints as a plain static.
    EXPECT_EQ(SendMessageA(control, WM_GETFONT, 0, 0), 0);
    InvalidateRect(control, nullptr, TRUE);
    UpdateWindow(control);
    DestroyWindow(control);
}

} // namespace
} // namespace rw
