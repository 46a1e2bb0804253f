// The main window's size and its call list's columns: at the size it opens
// at, every column shows its texts whole without a horizontal scroll bar; a
// larger window gives its room to the list while the buttons keep to their
// edges; a column the user resized keeps its width; and the window's size
// is kept with its placement.
#include "../core/ConfigTestUtil.h"
#include "records/CallAction.h"
#include "records/CallHistory.h"
#include "records/Clock.h"
#include "res/resource.h"
#include "ui/MainDialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace rw {
namespace {

constexpr int kColumns = CCallListOrder::kColumnCount;

RECT ClientRectOf(HWND control, HWND window) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

SIZE WindowSize(HWND hWnd) {
    RECT rect{};
    GetWindowRect(hWnd, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

class MainWindowLayoutTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
    }

    // Opens the window on a call history holding `rows` (the calls of an
    // earlier run, listed as it opens).
    void Open(const std::vector<CHistoryRow>& rows) {
        std::string text = HistoryHeader();
        for (const CHistoryRow& row : rows)
            text += FormatHistoryRow(row);
        test::WriteWholeFile(HistoryPathFor(configPath), {text.begin(), text.end()});
        dialog.SetConfigPath(configPath);
        ASSERT_TRUE(dialog.Create());
        hWnd = dialog.GetSafeHwnd();
        list = dialog.GetDlgItem(IDC_CALL_LIST);
        ASSERT_EQ(ListView_GetItemCount(list), static_cast<int>(rows.size()));
    }

    // A call of the earlier run with the widest texts of each kind: every
    // action, long names, and times with two-digit hours, days and months.
    static std::vector<CHistoryRow> WideRows() {
        const char* names[] = {"<No Phone Book Entry>", "Premium rate numbers", "WIRELESS CALLER",
                               "Pat Colleague"};
        const char* numbers[] = {"01632 960555", "0909 879 0123", "(555) 010-4477", "<Blocked>"};
        std::vector<CHistoryRow> rows;
        for (int32_t action = ActionWaitingForCallerId; action <= ActionLast; ++action) {
            CHistoryRow row;
            row.time = CDateTime::FromParts(2026, 12, 20 + action % 8, 10 + action % 12, 58, 58);
            row.name = names[action % 4];
            row.number = numbers[action % 4];
            row.kind = CallerIdNumber;
            row.action = action;
            rows.push_back(row);
        }
        return rows;
    }

    int Width(int column) const { return ListView_GetColumnWidth(list, column); }
    int ColumnsTotal() const {
        int total = 0;
        for (int column = 0; column < kColumns; ++column)
            total += Width(column);
        return total;
    }
    // The room the columns have beside a full list's vertical scroll bar.
    int Room() const {
        RECT client{};
        GetClientRect(list, &client);
        return client.right - GetSystemMetrics(SM_CXVSCROLL);
    }
    // What the list itself finds its column needs for the rows and, but for
    // the last column (which that would stretch to the list's end), the
    // title; the widths the list had are put back.
    int ListsOwnFit(int column) const {
        const int before = Width(column);
        ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE);
        int needed = Width(column);
        if (column < kColumns - 1) {
            ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE_USEHEADER);
            needed = std::max(needed, Width(column));
        }
        ListView_SetColumnWidth(list, column, before);
        return needed;
    }
    void Grow(int dx, int dy) {
        const SIZE size = WindowSize(hWnd);
        SetWindowPos(hWnd, nullptr, 0, 0, size.cx + dx, size.cy + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    test::CScratchDir configDir;
    const std::string configPath = configDir.Path("Ringwarden.cfg");
    CSettableClock clock{CDateTime::FromParts(2026, 12, 31, 12, 0, 0)};
    CMainDialog dialog{clock};
    HWND hWnd = nullptr;
    HWND list = nullptr;
};

TEST_F(MainWindowLayoutTest, ColumnsShowTheirTextsWholeAtTheSizeItOpensAt) {
    // Calls of every kind listed as the window opens: each column is as
    // wide as the list itself finds its texts need, and all fit side by
    // side.
    Open(WideRows());
    int needed[kColumns] = {};
    for (int column = 0; column < kColumns; ++column) {
        needed[column] = ListsOwnFit(column);
        EXPECT_GE(Width(column), needed[column]) << "column " << column;
    }
    EXPECT_LE(ColumnsTotal(), Room());

    // With no call yet, the time and action columns are that wide already
    // (they held every action and the widest times), so the first calls
    // fit too.
    test::CScratchDir emptyDir;
    CMainDialog empty{clock};
    empty.SetConfigPath(emptyDir.Path("Ringwarden.cfg"));
    ASSERT_TRUE(empty.Create());
    list = empty.GetDlgItem(IDC_CALL_LIST);
    ASSERT_EQ(ListView_GetItemCount(list), 0);
    EXPECT_GE(Width(2), needed[2]);
    EXPECT_GE(Width(3), needed[3]);
    EXPECT_LE(ColumnsTotal(), Room());
}

TEST_F(MainWindowLayoutTest, ALargerWindowGrowsTheListAndKeepsTheButtonsAtTheirEdges) {
    Open(WideRows());
    struct Anchored {
        int id;
        bool right;  // keeps its distance to the right edge, else the left
        bool bottom; // to the bottom, else the top
    } controls[] = {
        {IDC_ADD_ENTRY, true, false},   {IDC_EDIT_ENTRY, true, false}, {IDC_CONFIGURE, true, false},
        {IDC_HELP_BUTTON, false, true}, {IDC_QUIT, true, true},        {IDC_HIDE, true, true},
    };
    RECT client{};
    GetClientRect(hWnd, &client);
    std::vector<RECT> before;
    for (const Anchored& c : controls)
        before.push_back(ClientRectOf(dialog.GetDlgItem(c.id), hWnd));
    const RECT listBefore = ClientRectOf(list, hWnd);
    const int nameBefore = Width(0);
    const SIZE smallest = WindowSize(hWnd);

    // The desktop under test is 1024 pixels wide: the window grows a little.
    Grow(30, 90);
    RECT grown{};
    GetClientRect(hWnd, &grown);
    const int dx = grown.right - client.right;
    const int dy = grown.bottom - client.bottom;
    ASSERT_EQ(dx, 30);
    ASSERT_EQ(dy, 90);
    const RECT listAfter = ClientRectOf(list, hWnd);
    EXPECT_EQ(listAfter.left, listBefore.left);
    EXPECT_EQ(listAfter.top, listBefore.top);
    EXPECT_EQ(listAfter.right, listBefore.right + dx);
    EXPECT_EQ(listAfter.bottom, listBefore.bottom + dy);
    for (size_t i = 0; i < std::size(controls); ++i) {
        const RECT after = ClientRectOf(dialog.GetDlgItem(controls[i].id), hWnd);
        const int moveX = controls[i].right ? dx : 0;
        const int moveY = controls[i].bottom ? dy : 0;
        EXPECT_EQ(after.left, before[i].left + moveX) << controls[i].id;
        EXPECT_EQ(after.top, before[i].top + moveY) << controls[i].id;
        EXPECT_EQ(after.right - after.left, before[i].right - before[i].left) << controls[i].id;
    }
    // The Name column takes the list's new room.
    EXPECT_EQ(Width(0), nameBefore + dx);
    EXPECT_LE(ColumnsTotal(), Room());

    // Never smaller than it opened: every text fits only from there on.
    MINMAXINFO limits{};
    SendMessageA(hWnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, smallest.cx);
    EXPECT_EQ(limits.ptMinTrackSize.y, smallest.cy);
    Grow(-400, -300);
    EXPECT_EQ(WindowSize(hWnd).cx, smallest.cx);
    EXPECT_EQ(WindowSize(hWnd).cy, smallest.cy);
    EXPECT_EQ(ClientRectOf(list, hWnd).right, listBefore.right);
}

TEST_F(MainWindowLayoutTest, AColumnTheUserResizedKeepsItsWidth) {
    Open(WideRows());
    // As a drag of the header's dividers leaves them: Number wider, Name
    // narrower.
    const int number = Width(1) + 40;
    const int name = Width(0) - 30;
    const int action = Width(3);
    ListView_SetColumnWidth(list, 1, number);
    ListView_SetColumnWidth(list, 0, name);
    Grow(60, 0);
    EXPECT_EQ(Width(1), number);
    EXPECT_EQ(Width(0), name);
    EXPECT_EQ(Width(3), action);
    Grow(-60, 0);
    EXPECT_EQ(Width(1), number);
    EXPECT_EQ(Width(0), name);
}

TEST_F(MainWindowLayoutTest, TheSizeIsKeptWithThePlacement) {
    Open({});
    const SIZE smallest = WindowSize(hWnd);
    Grow(30, 60);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    GetWindowPlacement(hWnd, &placement);
    SendMessageA(hWnd, WM_COMMAND, IDC_QUIT, 0);
    const RwWindowPlacement& stored = dialog.Preferences().MainPlacement;
    ASSERT_EQ(dialog.Preferences().MainPlacementValid, 1);
    EXPECT_EQ(stored.normalRight - stored.normalLeft, smallest.cx + 30);
    EXPECT_EQ(stored.normalBottom - stored.normalTop, smallest.cy + 60);

    // The next run opens at that size, the list grown with it; a size saved
    // by a smaller window of an older version grows to the smallest.
    for (const int extra : {30, -200}) {
        test::CScratchDir dir;
        CMainDialog next{clock};
        next.SetConfigPath(dir.Path("Ringwarden.cfg"));
        CRingwardenPreferences& preferences = next.Preferences();
        preferences.MainPlacementValid = 1;
        preferences.MainPlacement = stored;
        preferences.MainPlacement.normalRight = stored.normalLeft + smallest.cx + extra;
        ASSERT_TRUE(next.Create());
        const int width = std::max(smallest.cx, static_cast<LONG>(smallest.cx + extra));
        EXPECT_EQ(WindowSize(next.GetSafeHwnd()).cx, width) << extra;
        RECT listRect = ClientRectOf(next.GetDlgItem(IDC_CALL_LIST), next.GetSafeHwnd());
        RECT hide = ClientRectOf(next.GetDlgItem(IDC_HIDE), next.GetSafeHwnd());
        EXPECT_LT(listRect.right, hide.left) << extra;
        RECT client{};
        GetClientRect(next.GetSafeHwnd(), &client);
        EXPECT_LE(hide.right, client.right) << extra;
    }
}

} // namespace
} // namespace rw
