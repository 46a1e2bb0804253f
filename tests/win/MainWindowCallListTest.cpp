// The main window's call list with calls rung on the line simulator, loaded
// in-process as the program loads it: columns and texts, sorting by header
// clicks, rows added in order with the selection kept, and the phone book
// buttons.
#include "../core/ConfigTestUtil.h"
#include "../support/SimulatedLine.h"
#include "../support/ExePath.h"
#include "../support/MessagePump.h"
#include "../support/SimCaller.h"
#include "LineSim.h"
#include "app/CommandLine.h"
#include "records/CallAction.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiRegistration.h"
#include "ui/MainDialog.h"
#include "ui/framework/PropertySheet.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>

#include <optional>
#include <string>
#include <vector>

namespace rw {
namespace {

using linesim::CallerIdKind;
using test::Caller;
using test::PumpUntil;

CDateTime At(int day, int hour, int minute, int second = 0) {
    return CDateTime::FromParts(2000, 1, day, hour, minute, second);
}

// A main window whose entry editor, when opened, names the entry and
// confirms it.
class CDialogWithEditor : public CMainDialog {
public:
    using CMainDialog::CMainDialog;
    std::vector<std::string> editedNumbers;
    std::vector<std::string> namesOffered;
    std::string nameToGive = "Fred Bloggs";

protected:
    bool RunEntrySheet(CPhoneBookEntry& entry) override {
        editedNumbers.push_back(entry.Number);
        namesOffered.push_back(entry.Name);
        entry.Name = nameToGive;
        return true;
    }
};

class MainWindowCallListTest : public testing::Test {
protected:
    void SetUp() override {
        test::PrepareSimulatedLine();
        SetTapiApi(&loader);
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        dialog.SetConfigPath(configDir.Path("Ringwarden.cfg"));
        ASSERT_TRUE(dialog.Create());
        list = dialog.GetDlgItem(IDC_CALL_LIST);
    }
    void TearDown() override {
        dialog.DestroyWindow();
        UnregisterLineApp();
        SetTapiApi(nullptr);
    }

    // Rings the line at `time` and waits for the call's row.
    void RingAt(CDateTime time, const std::string& number,
                CallerIdKind kind = CallerIdKind::Number) {
        clock.Set(time);
        const size_t before = dialog.Screener().CallCount();
        ASSERT_NE(0u, linesim::Ring(Caller(kind, number, "")));
        ASSERT_TRUE(PumpUntil([&] { return dialog.Screener().CallCount() > before; }));
        ASSERT_EQ(static_cast<size_t>(ListView_GetItemCount(list)), before + 1);
    }
    void AddEntry(const std::string& name, const std::string& number) {
        auto entry = test::Entry(name, number);
        const std::string key = entry->LookupKey;
        dialog.PhoneBook().SetAt(key, std::move(entry));
    }
    std::string Text(int row, int column, int size = 512) {
        std::string text(static_cast<size_t>(size), '\0');
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = size;
        const LRESULT length =
            SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
        text.resize(static_cast<size_t>(length));
        return text;
    }
    std::vector<std::string> Column(int column) {
        std::vector<std::string> texts;
        for (int row = 0; row < ListView_GetItemCount(list); ++row)
            texts.push_back(Text(row, column));
        return texts;
    }
    // As a user's click on a row does.
    void SelectRow(int row) {
        const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
        ListView_SetItemState(list, row, state, state);
    }
    int SelectedRow() { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }
    // A press and release of the mouse on a column's header.
    void ClickHeader(int column) {
        HWND header = ListView_GetHeader(list);
        RECT rect{};
        Header_GetItemRect(header, column, &rect);
        const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        SendMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(header, WM_LBUTTONUP, 0, at);
    }
    bool Enabled(int id) { return IsWindowEnabled(dialog.GetDlgItem(id)) != FALSE; }

    CTapiLoader loader{test::SimulatorPath()};
    test::CScratchDir configDir;
    CSettableClock clock;
    CDialogWithEditor dialog{clock};
    HWND list = nullptr;
};

TEST_F(MainWindowCallListTest, ColumnsAndTheTextsOfACall) {
    RECT client{};
    GetClientRect(list, &client);
    const char* const titles[] = {"Name", "Number", "Time / Date", "Action", "Message"};
    int total = 0;
    for (int column = 0; column < 5; ++column) {
        char title[32] = {};
        LVCOLUMNA info{};
        info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        info.pszText = title;
        info.cchTextMax = sizeof title;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&info)));
        EXPECT_STREQ(title, titles[column]);
        EXPECT_EQ(info.fmt & LVCFMT_JUSTIFYMASK, LVCFMT_LEFT);
        total += info.cx;
    }
    // Sized to their texts (MainWindowLayoutTest), with the room beside a
    // full list's scroll bar left to the Name column.
    EXPECT_EQ(total, client.right - GetSystemMetrics(SM_CXVSCROLL));
    const LONG style = GetWindowLongA(list, GWL_STYLE);
    EXPECT_TRUE(style & LVS_OWNERDATA);
    EXPECT_TRUE(style & LVS_SHOWSELALWAYS);
    const DWORD extended = ListView_GetExtendedListViewStyle(list);
    EXPECT_TRUE(extended & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(extended & LVS_EX_HEADERDRAGDROP);
    // Bitmap 135 gives the rows the height of a small icon.
    int width = 0, height = 0;
    ASSERT_TRUE(ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_SMALL), &width, &height));
    EXPECT_EQ(width, 2);
    EXPECT_EQ(height, 16);

    AddEntry("Fred Bloggs", "01234 567890");
    RingAt(At(2, 13, 4, 5), "01234 567890");
    RingAt(At(2, 13, 5), "0800 000");
    EXPECT_EQ(Column(0), (std::vector<std::string>{"<No Phone Book Entry>", "Fred Bloggs"}));
    EXPECT_EQ(Column(1), (std::vector<std::string>{"0800 000", "01234 567890"}));
    // "%X, %x" as the user's locale writes them.
    const SYSTEMTIME called{2000, 1, 0, 2, 13, 4, 5, 0};
    char time[64] = {}, date[64] = {};
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &called, nullptr, time, sizeof time);
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &called, nullptr, date, sizeof date);
    EXPECT_EQ(Text(1, 2), std::string(time) + ", " + date);
    EXPECT_EQ(Column(3), (std::vector<std::string>{ActionText(ActionPermitNeverBlockDefault),
                                                   ActionText(ActionPermitNeverBlock)}));
}

TEST_F(MainWindowCallListTest, UntrustedCallerTextIsCutToTheBufferOffered) {
    std::string noise;
    for (int i = 0; i < 5000; ++i)
        noise += static_cast<char>(0x80 + i % 0x80);
    RingAt(At(2, 9, 0), noise);
    const std::string logged = dialog.Screener().Call(0).GetNumber();
    ASSERT_FALSE(logged.empty());
    EXPECT_EQ(Text(0, 1, 8192), logged);

    // The list's own requests, in both character sets, with room for only
    // a few characters: the rest of the buffer stays as it was.
    for (const int room : {1, 2, 8}) {
        std::string narrow(64, '#');
        NMLVDISPINFOA a{};
        a.hdr.hwndFrom = list;
        a.hdr.idFrom = IDC_CALL_LIST;
        a.hdr.code = LVN_GETDISPINFOA;
        a.item.mask = LVIF_TEXT;
        a.item.iSubItem = 1;
        a.item.pszText = narrow.data();
        a.item.cchTextMax = room;
        SendMessageA(dialog.GetSafeHwnd(), WM_NOTIFY, IDC_CALL_LIST, reinterpret_cast<LPARAM>(&a));
        EXPECT_EQ(narrow.substr(0, static_cast<size_t>(room)),
                  logged.substr(0, static_cast<size_t>(room - 1)) + '\0');
        EXPECT_EQ(narrow.substr(static_cast<size_t>(room)), std::string(64 - room, '#'));

        std::wstring wide(64, L'#');
        NMLVDISPINFOW w{};
        w.hdr.hwndFrom = list;
        w.hdr.idFrom = IDC_CALL_LIST;
        w.hdr.code = LVN_GETDISPINFOW;
        w.item.mask = LVIF_TEXT;
        w.item.iSubItem = 1;
        w.item.pszText = wide.data();
        w.item.cchTextMax = room;
        SendMessageW(dialog.GetSafeHwnd(), WM_NOTIFY, IDC_CALL_LIST, reinterpret_cast<LPARAM>(&w));
        EXPECT_EQ(wide[static_cast<size_t>(room - 1)], L'\0') << room;
        EXPECT_EQ(wide.find(L'\0'), static_cast<size_t>(room - 1)) << room;
        EXPECT_EQ(wide.substr(static_cast<size_t>(room)), std::wstring(64 - room, L'#'));
    }
}

TEST_F(MainWindowCallListTest, HeaderClicksSortAndKeepTheSelectedCallInView) {
    RingAt(At(3, 10, 0), "333");
    RingAt(At(1, 10, 0), "111");
    RingAt(At(2, 10, 0), "222");
    EXPECT_EQ(Column(1), (std::vector<std::string>{"333", "222", "111"}));
    SelectRow(0); // "333"

    struct Step {
        int column;
        std::vector<std::string> numbers;
        int selectedRow;
    };
    const Step steps[] = {
        {2, {"111", "222", "333"}, 2}, // Time / Date, first click: oldest first
        {2, {"333", "222", "111"}, 0},
        {1, {"111", "222", "333"}, 2},
        {1, {"333", "222", "111"}, 0},
    };
    for (const Step& step : steps) {
        ClickHeader(step.column);
        EXPECT_EQ(Column(1), step.numbers) << step.column;
        EXPECT_EQ(SelectedRow(), step.selectedRow) << step.column;
    }

    // With many rows, the selected call is scrolled into view.
    for (int i = 0; i < 30; ++i)
        RingAt(At(4, 10, i), std::to_string(410 + i));
    ClickHeader(1); // by number: "111" first
    SelectRow(0);
    ClickHeader(1); // "111" now last
    const int row = SelectedRow();
    EXPECT_EQ(Text(row, 1), "111");
    EXPECT_EQ(row, ListView_GetItemCount(list) - 1);
    EXPECT_LE(ListView_GetTopIndex(list), row);
    EXPECT_GE(ListView_GetTopIndex(list) + ListView_GetCountPerPage(list), row + 1);
}

TEST_F(MainWindowCallListTest, NewCallsJoinInOrderAndTheSelectionStaysWithItsCall) {
    RingAt(At(1, 10, 0), "100");
    RingAt(At(1, 12, 0), "300");
    SelectRow(1); // "100"
    RingAt(At(1, 11, 0), "200");
    EXPECT_EQ(Column(1), (std::vector<std::string>{"300", "200", "100"}));
    EXPECT_EQ(SelectedRow(), 2);
    // The arrow keys start from the selected call.
    SetFocus(list);
    SendMessageA(list, WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(Text(SelectedRow(), 1), "200");
    SendMessageA(list, WM_KEYDOWN, VK_DOWN, 0);

    ClickHeader(1); // by number, ascending
    RingAt(At(1, 13, 0), "050");
    RingAt(At(1, 14, 0), "250");
    EXPECT_EQ(Column(1), (std::vector<std::string>{"050", "100", "200", "250", "300"}));
    EXPECT_EQ(Text(SelectedRow(), 1), "100");
}

TEST_F(MainWindowCallListTest, ButtonsFollowTheSelectedCallsPhoneBookEntry) {
    AddEntry("Known Caller", "555 0101");
    RingAt(At(1, 10, 0), "555 0101");
    RingAt(At(1, 11, 0), "555 0199");
    // Row 0: the newer, unknown caller; row 1: the known one.
    struct Case {
        int row;
        bool add, edit;
    } cases[] = {{-1, false, false}, {0, true, false}, {1, false, true}, {-1, false, false}};
    for (const Case& c : cases) {
        if (c.row >= 0)
            SelectRow(c.row);
        else
            ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
        EXPECT_EQ(Enabled(IDC_ADD_ENTRY), c.add) << c.row;
        EXPECT_EQ(Enabled(IDC_EDIT_ENTRY), c.edit) << c.row;
    }

    // With nothing selected the commands do nothing.
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_ADD_ENTRY, 0);
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_EDIT_ENTRY, 0);
    EXPECT_TRUE(dialog.editedNumbers.empty());

    // An entry added for the selected caller renames its row and turns
    // Add into Edit; the action the call was screened with stays.
    SelectRow(0);
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_ADD_ENTRY, 0);
    EXPECT_EQ(dialog.editedNumbers, std::vector<std::string>{"555 0199"});
    ASSERT_NE(dialog.PhoneBook().Lookup("5550199"), nullptr);
    EXPECT_TRUE(dialog.PhoneBook().Lookup("5550199")->InPhoneBook);
    EXPECT_EQ(Text(0, 0), "Fred Bloggs");
    EXPECT_EQ(Text(0, 3), ActionText(ActionPermitNeverBlockDefault));
    EXPECT_FALSE(Enabled(IDC_ADD_ENTRY));
    EXPECT_TRUE(Enabled(IDC_EDIT_ENTRY));

    // Editing renames the row too, and the row moves if the list is sorted
    // by name; the selection goes with it.
    ClickHeader(0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"Fred Bloggs", "Known Caller"}));
    dialog.nameToGive = "Zed";
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_EDIT_ENTRY, 0);
    EXPECT_EQ(Column(0), (std::vector<std::string>{"Known Caller", "Zed"}));
    EXPECT_EQ(SelectedRow(), 1);
}

// A caller with a number and a generic name, screened by a prefix entry:
// Add makes the entry for the number (offering the caller ID's name), and
// from then on that number has its own entry.
TEST_F(MainWindowCallListTest, AddFromACallWithANumberAndANameIsForTheNumber) {
    AddEntry("Premium rate", "0900*");
    clock.Set(At(1, 10, 0));
    ASSERT_NE(0u, linesim::Ring(Caller(CallerIdKind::Both, "0900 123", "PREMIUM LINE")));
    ASSERT_TRUE(PumpUntil([&] { return dialog.Screener().CallCount() == 1; }));
    EXPECT_EQ(Text(0, 0), "Premium rate");
    EXPECT_EQ(Text(0, 1), "0900 123");
    SelectRow(0);
    EXPECT_TRUE(Enabled(IDC_ADD_ENTRY)); // the prefix is not the number's own entry
    EXPECT_FALSE(Enabled(IDC_EDIT_ENTRY));
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_ADD_ENTRY, 0);
    EXPECT_EQ(dialog.editedNumbers, std::vector<std::string>{"0900 123"});
    EXPECT_EQ(dialog.namesOffered, std::vector<std::string>{"PREMIUM LINE"});
    ASSERT_NE(dialog.PhoneBook().Lookup("0900123"), nullptr);
    EXPECT_EQ(dialog.PhoneBook().Lookup("0900*")->Name, "Premium rate");
    EXPECT_EQ(Text(0, 0), "Fred Bloggs");
    EXPECT_TRUE(Enabled(IDC_EDIT_ENTRY));
}

TEST_F(MainWindowCallListTest, EntrySheetsAndCallTimesAreOnDiskAtOnce) {
    // What a process killed now would leave: the file as it is on disk.
    const std::string path = configDir.Path("Ringwarden.cfg");
    struct Stored {
        std::string name;
        CDateTime lastCall;
    };
    auto onDisk = [&path](const std::string& key) -> std::optional<Stored> {
        CRingwardenPreferences prefs;
        CPhoneBook book;
        auto fs = CreateSystemFileSystem();
        CConfigFile(*fs).Load(path, prefs, book);
        const CPhoneBookEntry* entry = book.Lookup(key);
        if (!entry)
            return std::nullopt;
        return Stored{entry->Name, entry->LastCallTime};
    };
    dialog.SetCallSaveDelay(50);
    AddEntry("Known Caller", "555 0101");
    // The time screening stamps follows the call within the delay, once the
    // call is over: no save is made while a call is up.
    clock.Set(At(1, 10, 0));
    const uint32_t call = linesim::Ring(Caller(CallerIdKind::Number, "555 0101", ""));
    ASSERT_NE(0u, call);
    const DWORD ringing = GetTickCount();
    PumpUntil([&] { return GetTickCount() - ringing > 300; });
    EXPECT_NE(onDisk("5550101").value_or(Stored{}).lastCall, At(1, 10, 0));
    ASSERT_TRUE(linesim::HangUp(call));
    ASSERT_TRUE(PumpUntil([&] {
        auto entry = onDisk("5550101");
        return entry && entry->lastCall == At(1, 10, 0);
    }));

    RingAt(At(1, 11, 0), "555 0199");
    SelectRow(0);
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_ADD_ENTRY, 0);
    auto added = onDisk("5550199");
    ASSERT_TRUE(added);
    EXPECT_EQ(added->name, "Fred Bloggs");

    dialog.nameToGive = "Zed";
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDC_EDIT_ENTRY, 0);
    EXPECT_EQ(onDisk("5550199").value_or(Stored{}).name, "Zed");
}

TEST_F(MainWindowCallListTest, TypingANameSelectsItsRow) {
    AddEntry("Alice", "1");
    AddEntry("Bob", "2");
    AddEntry("Carol", "3");
    RingAt(At(1, 10, 0), "1");
    RingAt(At(1, 11, 0), "2");
    RingAt(At(1, 12, 0), "3");
    SetFocus(list);
    SendMessageA(list, WM_CHAR, 'b', 1); // lParam: a repeat count of 1
    ASSERT_GE(SelectedRow(), 0);
    EXPECT_EQ(Text(SelectedRow(), 0), "Bob");
}

// The search box filters the list as the user types: a number in any
// writing finds the same calls, the selected call stays selected while it
// is shown, and Esc in the box shows every call again.
TEST_F(MainWindowCallListTest, TheSearchBoxFindsANumberInAnyWritingAndEscClearsIt) {
    AddEntry("Alice Surgery", "01632 960555");
    RingAt(At(1, 10, 0), "01632 960555");
    RingAt(At(1, 11, 0), "+441632960555");
    RingAt(At(1, 12, 0), "0161 496 0000");
    RingAt(At(1, 13, 0), "", CallerIdKind::Blocked);
    HWND search = dialog.GetDlgItem(IDC_CALL_SEARCH);
    SelectRow(2); // the call at 11:00
    const std::string selected = Text(2, 1);
    const struct {
        const char* typed;
        std::vector<std::string> numbers;
    } cases[] = {
        {"+44 1632 960555", {"+441632960555", "01632 960555"}},
        {"1632960555", {"+441632960555", "01632 960555"}},
        {"01632 96", {"+441632960555", "01632 960555"}},
        {"alice", {"01632 960555"}},
        {"496", {"0161 496 0000"}},
        {"blocked", {"<Blocked>"}},
        {"nobody", {}},
    };
    for (const auto& c : cases) {
        SetWindowTextA(search, c.typed);
        EXPECT_EQ(Column(1), c.numbers) << c.typed;
        const bool shown =
            std::find(c.numbers.begin(), c.numbers.end(), selected) != c.numbers.end();
        if (shown) {
            ASSERT_GE(SelectedRow(), 0) << c.typed;
            EXPECT_EQ(Text(SelectedRow(), 1), selected) << c.typed;
        }
    }
    // Enter in the box goes to the list, not to the default button.
    bool sheetShown = false;
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet& sheet) {
        sheetShown = true;
        sheet.PressButton(PSBTN_CANCEL);
    });
    SetFocus(search);
    MSG enter{search, WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    EXPECT_TRUE(IsDialogMessageA(dialog.GetSafeHwnd(), &enter));
    CCorePropertySheet::SetShownHook(nullptr);
    EXPECT_EQ(GetFocus(), list);
    EXPECT_FALSE(sheetShown) << "Enter in the box opened Configure";
    SetFocus(search);
    SendMessageA(dialog.GetSafeHwnd(), WM_COMMAND, IDCANCEL, 0);
    EXPECT_EQ(GetWindowTextLengthA(search), 0);
    EXPECT_EQ(ListView_GetItemCount(list), 4);
    EXPECT_TRUE(IsWindow(dialog.GetSafeHwnd()));

    // A call that arrives while the box holds text shows only if found.
    dialog.ShowCallsFrom("0161 4960000");
    EXPECT_EQ(Column(1), (std::vector<std::string>{"0161 496 0000"}));
    for (const char* number : {"+44 161 496 0000", "0800 111"}) {
        const size_t before = dialog.Screener().CallCount();
        clock.Set(At(1, 14, static_cast<int>(before)));
        ASSERT_NE(0u, linesim::Ring(Caller(CallerIdKind::Number, number, "")));
        ASSERT_TRUE(PumpUntil([&] { return dialog.Screener().CallCount() > before; }));
    }
    EXPECT_EQ(Column(1), (std::vector<std::string>{"+44 161 496 0000", "0161 496 0000"}));
}

} // namespace
} // namespace rw
