// Every dialog and property page laid out at the screen's current DPI: no
// two visible controls overlap, none sticks out of its dialog, and every
// label's and button's text fits inside its control. The templates are in
// dialog units, so a layout that holds here holds at other scales as long
// as the fonts scale with them; set LogPixels in a scratch Wine prefix to
// run this at 144 or 192 DPI.
#include "records/CallAction.h"
#include "records/LoggedCall.h"
#include "records/PhoneBook.h"
#include "records/PhoneBookEntry.h"
#include "records/RingwardenPreferences.h"
#include "res/resource.h"
#include "ui/AboutDialog.h"
#include "ui/CallListView.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/NotificationDialog.h"
#include "ui/NotificationOwner.h"
#include "ui/PhoneBookPropertySheet.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rw {
namespace {

// Rounding of dialog units to pixels may make neighbours share a pixel.
constexpr int kSlack = 1;

std::string Text(HWND hWnd) {
    char buf[512] = {};
    GetWindowTextA(hWnd, buf, sizeof buf);
    return buf;
}

std::string ClassOf(HWND hWnd) {
    char buf[64] = {};
    GetClassNameA(hWnd, buf, sizeof buf);
    return buf;
}

std::string Describe(HWND control) {
    // Appended piece by piece: GCC 12 warns wrongly about "literal" +
    // std::string&& at -O3.
    std::string text = "#";
    text += std::to_string(static_cast<short>(GetDlgCtrlID(control)));
    text += ' ';
    text += ClassOf(control);
    text += " \"";
    text += Text(control);
    text += '"';
    return text;
}

LONG Style(HWND hWnd) {
    return GetWindowLongA(hWnd, GWL_STYLE);
}

bool IsButton(HWND control) {
    return lstrcmpiA(ClassOf(control).c_str(), WC_BUTTONA) == 0;
}
bool IsStatic(HWND control) {
    return lstrcmpiA(ClassOf(control).c_str(), WC_STATICA) == 0;
}

// Group boxes frame other controls (the pages' banners too).
bool IsContainer(HWND control) {
    return IsButton(control) && (Style(control) & BS_TYPEMASK) == BS_GROUPBOX;
}

RECT ScreenRect(HWND hWnd) {
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    return rect;
}

// The size `text` takes in the control's font; `width` > 0 wraps at it.
SIZE TextSize(HWND control, const std::string& text, UINT format, int width) {
    HDC dc = GetDC(control);
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    RECT rect{0, 0, width, 0};
    DrawTextA(dc, text.c_str(), -1, &rect, format | DT_CALCRECT | DT_EXPANDTABS);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return {rect.right, rect.bottom};
}

// What of the control's text does not fit, or empty.
std::string TextFault(HWND control) {
    const std::string text = Text(control);
    if (text.empty())
        return {};
    RECT client{};
    GetClientRect(control, &client);
    const LONG style = Style(control);
    SIZE needed{};
    SIZE room{client.right, client.bottom};
    if (IsStatic(control)) {
        const LONG type = style & SS_TYPEMASK;
        if (type > SS_RIGHT && type != SS_SIMPLE && type != SS_LEFTNOWORDWRAP)
            return {};
        const UINT prefix = (style & SS_NOPREFIX) ? DT_NOPREFIX : 0;
        const UINT wrap =
            (type == SS_SIMPLE || type == SS_LEFTNOWORDWRAP) ? DT_SINGLELINE : DT_WORDBREAK;
        needed = TextSize(control, text, prefix | wrap, room.cx);
    } else if (IsButton(control)) {
        const LONG type = style & BS_TYPEMASK;
        needed = TextSize(control, text, DT_SINGLELINE, 0);
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
            // The raised frame and the focus rectangle inside it.
            room.cx -= 4 * GetSystemMetrics(SM_CXEDGE);
            room.cy -= 2 * GetSystemMetrics(SM_CYEDGE);
        } else if (type == BS_CHECKBOX || type == BS_AUTOCHECKBOX || type == BS_RADIOBUTTON ||
                   type == BS_AUTORADIOBUTTON) {
            // The box and the gap before the text.
            room.cx -= GetSystemMetrics(SM_CXMENUCHECK) + GetSystemMetrics(SM_CXEDGE);
        } else {
            return {};
        }
    } else {
        return {};
    }
    if (needed.cx <= room.cx && needed.cy <= room.cy)
        return {};
    return Describe(control) + " needs " + std::to_string(needed.cx) + "x" +
           std::to_string(needed.cy) + " but has " + std::to_string(room.cx) + "x" +
           std::to_string(room.cy);
}

// An up-down control sits over the border of the edit it is attached to,
// by design.
bool AttachedPair(HWND a, HWND b) {
    auto buddy = [](HWND updown) {
        return lstrcmpiA(ClassOf(updown).c_str(), UPDOWN_CLASSA) == 0
                   ? reinterpret_cast<HWND>(SendMessageA(updown, UDM_GETBUDDY, 0, 0))
                   : nullptr;
    };
    return buddy(a) == b || buddy(b) == a;
}

// A report list's columns, side by side, leave room for the vertical scroll
// bar that a full list shows, so that it needs no horizontal one.
std::string ColumnFault(HWND control) {
    if (lstrcmpiA(ClassOf(control).c_str(), WC_LISTVIEWA) != 0)
        return {};
    HWND header = ListView_GetHeader(control);
    int total = 0;
    for (int column = 0; column < Header_GetItemCount(header); ++column)
        total += ListView_GetColumnWidth(control, column);
    RECT client{};
    GetClientRect(control, &client);
    const int room = client.right - GetSystemMetrics(SM_CXVSCROLL);
    if (total <= room)
        return {};
    return Describe(control) + " columns take " + std::to_string(total) + " of " +
           std::to_string(room);
}

// Every fault of the dialog's own controls (not those of child dialogs).
std::vector<std::string> LayoutFaults(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (Style(child) & WS_VISIBLE)
            controls.push_back(child);

    std::vector<std::string> faults;
    RECT client{};
    GetClientRect(dialog, &client);
    MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
    for (size_t i = 0; i < controls.size(); ++i) {
        const RECT rect = ScreenRect(controls[i]);
        if (rect.left < client.left - kSlack || rect.top < client.top - kSlack ||
            rect.right > client.right + kSlack || rect.bottom > client.bottom + kSlack)
            faults.push_back(Describe(controls[i]) + " sticks out of the dialog");
        for (const std::string& fault : {TextFault(controls[i]), ColumnFault(controls[i])})
            if (!fault.empty())
                faults.push_back(fault);
        if (IsContainer(controls[i]))
            continue;
        for (size_t j = i + 1; j < controls.size(); ++j) {
            if (IsContainer(controls[j]) || AttachedPair(controls[i], controls[j]))
                continue;
            RECT overlap{};
            const RECT other = ScreenRect(controls[j]);
            if (IntersectRect(&overlap, &rect, &other) && overlap.right - overlap.left > kSlack &&
                overlap.bottom - overlap.top > kSlack)
                faults.push_back(Describe(controls[i]) + " overlaps " + Describe(controls[j]));
        }
    }
    return faults;
}

std::string Lines(const std::vector<std::string>& faults) {
    std::string out;
    for (const std::string& fault : faults)
        out += fault + "\n";
    return out;
}

class LayoutTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
        InitCommonControlsEx(&controls);
    }
    void TearDown() override { CCorePropertySheet::SetShownHook(nullptr); }

    // Shows every page of `sheet` in turn and checks it.
    void CheckSheet(CCorePropertySheet& sheet) {
        CCorePropertySheet::SetShownHook([](CCorePropertySheet& shown) {
            for (size_t i = 0; i < shown.GetPageCount(); ++i) {
                PropSheet_SetCurSel(shown.GetSafeHwnd(), nullptr, i);
                HWND page = PropSheet_GetCurrentPageHwnd(shown.GetSafeHwnd());
                EXPECT_EQ(Lines(LayoutFaults(page)), "") << "page " << Text(page);
            }
            shown.PressButton(PSBTN_CANCEL);
        });
        EXPECT_EQ(sheet.DoModal(), IDCANCEL);
    }

    CRingwardenPreferences preferences;
    CPhoneBook book;
};

INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

TEST_F(LayoutTest, MainWindowAndAboutBox) {
    // The main window's controls are all the template's, and its call list
    // sets up the columns; a plain dialog shows them without starting the
    // screener.
    HWND main =
        CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RINGWARDEN_DIALOG),
                           nullptr, &PlainDialogProc, 0);
    ASSERT_TRUE(main);
    CLoggedCall none;
    CCallListView calls([&none](size_t) -> const CLoggedCall& { return none; });
    calls.Attach(GetDlgItem(main, IDC_CALL_LIST), GetModuleHandleA(nullptr));
    EXPECT_EQ(Lines(LayoutFaults(main)), "");
    DestroyWindow(main);

    CAboutDialog about(nullptr);
    ASSERT_TRUE(about.Create());
    EXPECT_EQ(Lines(LayoutFaults(about.GetSafeHwnd())), "");
    about.DestroyWindow();
}

class PopupOwner : public CNotificationOwner {
public:
    CRingwardenPreferences& NotificationPreferences() override { return preferences; }
    void OnNotificationDestroyed(CNotificationDialog*) override {}
    CRingwardenPreferences preferences;
};

TEST_F(LayoutTest, PopupFitsEveryActionInItsBoldFont) {
    PopupOwner owner;
    CLoggedCall call;
    call.SetNumber("01632 960123");
    call.SetName("Caller Name");
    call.SetAction(ActionWaitingForCallerId);
    // Deleted by its owner's side here: it would delete itself only once
    // its window is gone.
    auto* popup = new CNotificationDialog(owner, nullptr);
    popup->SetCall(&call);
    ASSERT_TRUE(popup->Create());
    for (int32_t action = ActionWaitingForCallerId; action <= ActionPermitBlockSuspended;
         ++action) {
        call.SetAction(action);
        popup->UpdateLabels();
        EXPECT_EQ(Lines(LayoutFaults(popup->GetSafeHwnd())), "") << "action " << action;
    }
    delete popup;
}

TEST_F(LayoutTest, ConfigurationSheetPages) {
    CConfigPropertySheet sheet(preferences, book);
    CheckSheet(sheet);
}

TEST_F(LayoutTest, EntrySheetPages) {
    CPhoneBookEntry entry;
    CPhoneBookPropertySheet sheet(entry, book, preferences);
    CheckSheet(sheet);
}

} // namespace
} // namespace rw
