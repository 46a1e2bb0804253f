// The main window with its real sheets and popup: Configure, Add and Edit
// run sheets modal to the main window while calls go on being screened
// through their modal loop, and each new call names its caller in the one
// popup.
#include "../core/ConfigTestUtil.h"
#include "../support/SimulatedLine.h"
#include "../support/ExePath.h"
#include "../support/MessagePump.h"
#include "../support/ScreenPicture.h"
#include "../support/SimCaller.h"
#include "LineSim.h"
#include "records/Clock.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiRegistration.h"
#include "ui/MainDialog.h"
#include "ui/NotificationDialog.h"
#include "ui/framework/PropertySheet.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace rw {
namespace {

using linesim::CallerIdKind;
using test::Caller;
using test::PumpUntil;

class MainWindowWiringTest : public testing::Test {
protected:
    void SetUp() override {
        test::PrepareSimulatedLine();
        SetTapiApi(&loader);
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        dialog.SetConfigPath(configDir.Path("Ringwarden.cfg"));
        ASSERT_TRUE(dialog.Create());
        ShowWindow(dialog.GetSafeHwnd(), SW_SHOW);
        list = dialog.GetDlgItem(IDC_CALL_LIST);
    }
    void TearDown() override {
        CCorePropertySheet::SetShownHook(nullptr);
        dialog.DestroyWindow();
        UnregisterLineApp();
        SetTapiApi(nullptr);
    }

    void Ring(const std::string& number) {
        const size_t before = dialog.Screener().CallCount();
        ASSERT_NE(0u, linesim::Ring(Caller(CallerIdKind::Number, number, "")));
        ASSERT_TRUE(PumpUntil([&] { return dialog.Screener().CallCount() > before; }));
    }
    void Command(int id) { SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, id, 0); }
    std::string PageText(CCorePropertySheet& sheet, int id) {
        char text[256] = {};
        GetWindowTextA(GetDlgItem(PropSheet_GetCurrentPageHwnd(sheet.GetSafeHwnd()), id), text,
                       sizeof text);
        return text;
    }

    CTapiLoader loader{test::SimulatorPath()};
    test::CScratchDir configDir;
    CSettableClock clock;
    CMainDialog dialog{clock};
    HWND list = nullptr;
};

TEST_F(MainWindowWiringTest, CallsAreScreenedWhileTheConfigurationSheetIsOpen) {
    auto entry = test::Entry("Sales Line", "0800 111");
    entry->FilterType = 2; // always block
    const std::string key = entry->LookupKey;
    dialog.PhoneBook().SetAt(key, std::move(entry));

    bool shown = false, ownerDisabled = false;
    size_t callsWhileOpen = 0;
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet& sheet) {
        shown = true;
        ownerDisabled = !IsWindowEnabled(dialog.GetSafeHwnd());
        EXPECT_EQ(GetWindow(sheet.GetSafeHwnd(), GW_OWNER), dialog.GetSafeHwnd());
        // The sheet's modal loop delivers the line's events: the call is
        // logged, listed and blocked while the sheet stays open.
        Ring("0800 111");
        callsWhileOpen = dialog.Screener().CallCount();
        EXPECT_TRUE(PumpUntil([&] { return dialog.TrayTip() == IDS_TRAY_BLOCKING; }));
        EXPECT_EQ(ListView_GetItemCount(list), 1);
        sheet.PressButton(PSBTN_CANCEL);
    });
    Command(IDC_CONFIGURE);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(ownerDisabled);
    EXPECT_EQ(callsWhileOpen, 1u);
    EXPECT_TRUE(IsWindowEnabled(dialog.GetSafeHwnd()));
}

TEST_F(MainWindowWiringTest, AddAndEditRunTheEntrySheetOnTheSelectedCall) {
    Ring("01632 960123");
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);

    // Add: the sheet starts with the caller's number; the user names the
    // caller and confirms.
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet& sheet) {
        EXPECT_EQ(PageText(sheet, IDC_ENTRY_NUMBER), "01632 960123");
        SetWindowTextA(
            GetDlgItem(PropSheet_GetCurrentPageHwnd(sheet.GetSafeHwnd()), IDC_ENTRY_NAME),
            "Acme Double Glazing");
        sheet.PressButton(PSBTN_OK);
    });
    Command(IDC_ADD_ENTRY);
    const CPhoneBookEntry* stored = dialog.PhoneBook().Lookup("01632960123");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->Name, "Acme Double Glazing");
    EXPECT_TRUE(stored->InPhoneBook);
    EXPECT_EQ(dialog.CallList().SelectedCall(), 0);
    EXPECT_EQ(dialog.Screener().Call(0).GetName(), "Acme Double Glazing");

    // Edit: the stored number cannot be changed; a Cancel changes nothing.
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet& sheet) {
        HWND page = PropSheet_GetCurrentPageHwnd(sheet.GetSafeHwnd());
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_ENTRY_NUMBER)));
        SetWindowTextA(GetDlgItem(page, IDC_ENTRY_NAME), "Someone Else");
        sheet.PressButton(PSBTN_CANCEL);
    });
    Command(IDC_EDIT_ENTRY);
    EXPECT_EQ(stored->Name, "Acme Double Glazing");
}

// Before OK, the Filter Details page says what the entry as it stands
// would have done to the last 30 days of calls, and follows its fields:
// the filter type, and the number changed on the other page.
TEST_F(MainWindowWiringTest, TheEntrySheetShowsWhatTheEntryWouldHaveBlocked) {
    clock.Set(CDateTime::FromParts(2026, 12, 1, 23, 0, 0));
    Ring("0909 111 222");
    Ring("0909 111 333");
    Ring("0909 111 222");
    Ring("0161 496 0000");
    ListView_SetItemState(list, 0, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ASSERT_EQ(
        dialog.Screener().Call(static_cast<size_t>(dialog.CallList().SelectedCall())).GetNumber(),
        "0909 111 222");
    std::vector<std::string> said;
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet& sheet) {
        HWND hSheet = sheet.GetSafeHwnd();
        HWND general = PropSheet_GetCurrentPageHwnd(hSheet);
        SetWindowTextA(GetDlgItem(general, IDC_ENTRY_NAME), "Premium");
        PropSheet_SetCurSel(hSheet, nullptr, 1);
        HWND filter = PropSheet_GetCurrentPageHwnd(hSheet);
        auto choose = [&](int filterType) {
            SendDlgItemMessageA(filter, IDC_FILTER_TYPE, CB_SETCURSEL, filterType, 0);
            SendMessageA(filter, WM_COMMAND, MAKEWPARAM(IDC_FILTER_TYPE, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(filter, IDC_FILTER_TYPE)));
            said.push_back(PageText(sheet, IDC_RULE_PREVIEW));
        };
        choose(FilterNeverBlock);
        choose(FilterAlwaysBlock);
        // The number made a prefix on the first page: both 0909 111 callers.
        PropSheet_SetCurSel(hSheet, nullptr, 0);
        SetWindowTextA(GetDlgItem(general, IDC_ENTRY_NUMBER), "0909*");
        PropSheet_SetCurSel(hSheet, nullptr, 1);
        said.push_back(PageText(sheet, IDC_RULE_PREVIEW));
        // RW_ENTRY_PREVIEW_PICTURE: where to keep the page's picture.
        if (const char* picture = std::getenv("RW_ENTRY_PREVIEW_PICTURE")) {
            UpdateWindow(hSheet);
            RECT rect{};
            GetWindowRect(hSheet, &rect);
            test::SaveScreenPicture(picture, rect);
        }
        sheet.PressButton(PSBTN_CANCEL);
    });
    Command(IDC_ADD_ENTRY);
    ASSERT_EQ(said.size(), 3u);
    EXPECT_EQ(said[0], "") << "a Never Block entry blocks nothing";
    EXPECT_EQ(said[1].substr(0, said[1].find('\r')),
              "Over the last 30 days this entry would have blocked 2 calls from 1 number.");
    EXPECT_NE(said[1].find("0909 111 222"), std::string::npos);
    EXPECT_EQ(said[2].substr(0, said[2].find('\r')),
              "Over the last 30 days this entry would have blocked 3 calls from 2 numbers.");
    EXPECT_EQ(dialog.PhoneBook().Lookup("0909111222"), nullptr) << "Cancel kept nothing";
}

// The Defaults page says what the default rule (as its own page now
// holds it) and the out-of-hours window would have done to callers without
// an entry.
TEST_F(MainWindowWiringTest, TheDefaultsPageShowsWhatTheDefaultsWouldHaveBlocked) {
    auto friendEntry = test::Entry("Friend", "0161 111");
    const std::string key = friendEntry->LookupKey;
    dialog.PhoneBook().SetAt(key, std::move(friendEntry));
    clock.Set(CDateTime::FromParts(2026, 12, 1, 12, 0, 0));
    Ring("0909 111 222");
    Ring("0161 111");
    Ring("07700 900123");
    std::vector<std::string> said;
    int shown = 0;
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet& sheet) {
        HWND hSheet = sheet.GetSafeHwnd();
        if (++shown == 2) {
            // The entry sheet the Phone Book page's Add opened: it says
            // the same as the main window's.
            SetWindowTextA(GetDlgItem(PropSheet_GetCurrentPageHwnd(hSheet), IDC_ENTRY_NUMBER),
                           "0909*");
            PropSheet_SetCurSel(hSheet, nullptr, 1);
            HWND filter = PropSheet_GetCurrentPageHwnd(hSheet);
            SendDlgItemMessageA(filter, IDC_FILTER_TYPE, CB_SETCURSEL, FilterAlwaysBlock, 0);
            SendMessageA(filter, WM_COMMAND, MAKEWPARAM(IDC_FILTER_TYPE, CBN_SELCHANGE),
                         reinterpret_cast<LPARAM>(GetDlgItem(filter, IDC_FILTER_TYPE)));
            said.push_back(PageText(sheet, IDC_RULE_PREVIEW));
            sheet.PressButton(PSBTN_CANCEL);
            return;
        }
        PropSheet_SetCurSel(hSheet, nullptr, 2); // Phone Book
        SendMessageA(GetDlgItem(PropSheet_GetCurrentPageHwnd(hSheet), IDC_BOOK_ADD), BM_CLICK, 0,
                     0);
        PropSheet_SetCurSel(hSheet, nullptr, 1); // Defaults
        said.push_back(PageText(sheet, IDC_RULE_PREVIEW));
        PropSheet_SetCurSel(hSheet, nullptr, 3); // Non Phone Book Calls
        SendMessageA(GetDlgItem(PropSheet_GetCurrentPageHwnd(hSheet), IDC_RULE_ALWAYS), BM_CLICK, 0,
                     0);
        PropSheet_SetCurSel(hSheet, nullptr, 1);
        said.push_back(PageText(sheet, IDC_RULE_PREVIEW));
        sheet.PressButton(PSBTN_CANCEL);
    });
    Command(IDC_CONFIGURE);
    ASSERT_EQ(said.size(), 3u);
    EXPECT_EQ(said[0].substr(0, said[0].find('\r')),
              "Over the last 30 days this entry would have blocked 1 call from 1 number.");
    said.erase(said.begin());
    EXPECT_EQ(said[0].substr(0, said[0].find('\r')),
              "Over the last 30 days these defaults would have blocked 0 calls from 0 numbers "
              "without an entry.");
    EXPECT_EQ(said[1].substr(0, said[1].find('\r')),
              "Over the last 30 days these defaults would have blocked 2 calls from 2 numbers "
              "without an entry.");
    EXPECT_EQ(dialog.Preferences().NonPhoneBookRule, FilterNeverBlock) << "Cancel kept nothing";
}

TEST_F(MainWindowWiringTest, OnePopupNamesEachNewCallerAndCanBeSwitchedOff) {
    auto popupText = [&](int id) {
        char text[256] = {};
        GetDlgItemTextA(dialog.Notification()->GetSafeHwnd(), id, text, sizeof text);
        return std::string(text);
    };
    // The popup follows from the message loop, at most every 200 ms.
    Ring("01632 960001");
    ASSERT_TRUE(PumpUntil([&] { return dialog.Notification() != nullptr; }));
    CNotificationDialog* popup = dialog.Notification();
    EXPECT_EQ(popupText(IDC_NOTIFY_NUMBER), "01632 960001");
    EXPECT_EQ(popupText(IDC_NOTIFY_NAME), "<No Phone Book Entry>");

    // A newer call takes over the same popup.
    Ring("01632 960002");
    EXPECT_TRUE(PumpUntil([&] { return popupText(IDC_NOTIFY_NUMBER) == "01632 960002"; }));
    EXPECT_EQ(dialog.Notification(), popup);

    // Gone with its timer; with the preference off no popup comes back.
    DestroyWindow(popup->GetSafeHwnd());
    EXPECT_EQ(dialog.Notification(), nullptr);
    dialog.Preferences().ShowNotification = 0;
    Ring("01632 960003");
    PumpUntil([] { return false; }); // time enough for a popup to appear
    EXPECT_EQ(dialog.Notification(), nullptr);
}

} // namespace
} // namespace rw
