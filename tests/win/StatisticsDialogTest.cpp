// The statistics window over a small history: the figures it shows as text
// and in its lists are the core's, this run's calls count once with the
// file's, and the chart's bars keep inside the window at any size.
#include "../core/ConfigTestUtil.h"
#include "../core/StatisticsRows.h"
#include "../support/MessagePump.h"
#include "../support/ScreenPicture.h"
#include "records/Clock.h"
#include "res/resource.h"
#include "ui/StatisticsDialog.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace rw {
namespace {

std::string ItemText(HWND dialog, int id) {
    std::string text(GetWindowTextLengthA(GetDlgItem(dialog, id)) + 1, '\0');
    GetDlgItemTextA(dialog, id, text.data(), static_cast<int>(text.size()));
    text.resize(text.size() - 1);
    return text;
}

std::string ListItem(HWND dialog, int id, int index) {
    const HWND list = GetDlgItem(dialog, id);
    std::string text(SendMessageA(list, LB_GETTEXTLEN, index, 0) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(text.size() - 1);
    return text;
}

// The window at the README's size, kept as a picture in `path`.
void TakePicture(HWND window, const char* path) {
    SetWindowPos(window, HWND_TOP, 20, 20, 820, 560, SWP_SHOWWINDOW);
    test::PumpUntil([] { return false; });
    RECT frame{};
    GetWindowRect(window, &frame);
    test::SaveScreenPicture(path, frame);
}

TEST(StatisticsDialog, ShowsTheFiguresOfTheFileAndThisRunAtAnySize) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    test::CScratchDir dir;
    const std::string path = dir.Path("Ringwarden-calls.csv");
    std::vector<CHistoryRow> rows = test::StatisticsWeek();
    std::string file = HistoryHeader();
    for (const CHistoryRow& row : rows)
        file += FormatHistoryRow(row);
    test::WriteWholeFile(path, std::vector<uint8_t>(file.begin(), file.end()));
    // This run: the file's last call today again (written already), and a
    // call still up.
    CStatisticsInput input{path,
                           {rows[6], test::StatRow(4, 17, 0, "Late", "01632 960077", 1)},
                           test::StatisticsToday()};
    CStatisticsDialog dialog(nullptr, input);
    std::string chosen;
    dialog.SetCallerChosen([&](const std::string& number) { chosen = number; });
    ASSERT_TRUE(dialog.Create());
    const HWND window = dialog.GetSafeHwnd();
    ASSERT_TRUE(test::PumpUntil([&] { return dialog.Ready(); }));
    dialog.ShowPeriod(7);

    EXPECT_EQ(ItemText(window, IDC_STATS_TOTALS),
              "Today: 8 calls, 4 blocked (50%)\r\nThis week: 12 calls, 6 blocked (50%)\r\n"
              "Last 7 days: 13 calls, 6 blocked (46%)");
    const std::string text = ItemText(window, IDC_STATS_TEXT);
    for (const char* expected :
         {"Today: 8 calls, 4 blocked (50%)\r\n", "    3  Sales (0161-496-0000)\r\n",
          "    4  Friend (01632 960001)\r\n", "    1  Late (01632 960077)\r\n",
          "2026-03-04, 2, 3, 1, 2\r\n"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    EXPECT_EQ(ListItem(window, IDC_STATS_TOP_BLOCKED, 0), "3  Sales (0161-496-0000)");
    EXPECT_EQ(ListItem(window, IDC_STATS_TOP_RANG, 0), "4  Friend (01632 960001)");
    EXPECT_EQ(CStatisticsDialog::BarTip(dialog.Statistics().days.back()),
              "2026-03-04: 8 calls\r\nRang through: 2\r\nBlocked: 3\r\nLeft a message: 1\r\n"
              "Other: 2");

    // Choosing a caller names its number.
    SendMessageA(GetDlgItem(window, IDC_STATS_TOP_BLOCKED), LB_SETCURSEL, 0, 0);
    SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_STATS_TOP_BLOCKED, LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_STATS_TOP_BLOCKED)));
    EXPECT_EQ(chosen, "0161-496-0000");

    // RW_STATISTICS_PICTURE: a picture of the window for the README.
    if (const char* picture = std::getenv("RW_STATISTICS_PICTURE")) {
        dialog.ShowPeriod(30);
        TakePicture(window, picture);
    }

    // 90 days, in a window made larger and then as small as it goes: every
    // bar inside the chart, the chart and the lists inside the window.
    dialog.ShowPeriod(90);
    EXPECT_EQ(dialog.Statistics().days.size(), 90u);
    for (const SIZE size : {SIZE{1400, 900}, SIZE{100, 100}}) {
        SCOPED_TRACE(size.cx);
        SetWindowPos(window, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOMOVE);
        test::PumpUntil([] { return false; });
        RECT client{};
        GetClientRect(window, &client);
        RECT chart{};
        GetClientRect(GetDlgItem(window, IDC_STATS_CHART), &chart);
        EXPECT_GT(chart.right, 200);
        EXPECT_GT(chart.bottom, 80);
        int tallest = 0;
        for (size_t i = 0; i < 90; ++i) {
            const RECT bar = dialog.BarRect(i);
            EXPECT_GE(bar.left, chart.left);
            EXPECT_LE(bar.right, chart.right);
            EXPECT_GE(bar.top, chart.top);
            EXPECT_LE(bar.bottom, chart.bottom);
            EXPECT_LT(bar.left, bar.right);
            tallest = std::max<int>(tallest, bar.bottom - bar.top);
        }
        EXPECT_GT(tallest, chart.bottom / 3) << "the busiest day's bar takes the height";
        for (int id : {IDC_STATS_TOP_BLOCKED, IDC_STATS_TOP_RANG, IDC_STATS_TEXT, IDCANCEL,
                       IDC_STATS_CHART}) {
            RECT r{};
            GetWindowRect(GetDlgItem(window, id), &r);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
            EXPECT_LE(r.right, client.right) << id;
            EXPECT_LE(r.bottom, client.bottom) << id;
            EXPECT_GT(r.bottom - r.top, 10) << id;
        }
    }
    dialog.DestroyWindow();
}

// RW_STATISTICS_DEMO (a history file, the demo's) and
// RW_STATISTICS_DEMO_PICTURE: a picture of the window over those calls, for
// the README. Skipped unless both are set.
TEST(StatisticsDialog, PictureOfTheDemosCalls) {
    const char* history = std::getenv("RW_STATISTICS_DEMO");
    const char* picture = std::getenv("RW_STATISTICS_DEMO_PICTURE");
    if (!history || !picture)
        GTEST_SKIP() << "no demo history named";
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    CStatisticsDialog dialog(nullptr, CStatisticsInput{history, {}, CSystemClock().Now()});
    ASSERT_TRUE(dialog.Create());
    const HWND window = dialog.GetSafeHwnd();
    ASSERT_TRUE(test::PumpUntil([&] { return dialog.Ready(); }));
    dialog.ShowPeriod(7);
    TakePicture(window, picture);
    EXPECT_GT(dialog.Statistics().days.back().counts.Calls(), 0);
}

} // namespace
} // namespace rw
