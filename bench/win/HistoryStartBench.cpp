// The main window's start with a call history of 10,000 rows in the last 30
// days, under Wine: from creating the window to its list drawn with every
// row, against the same start with no history; and what one write of the
// history from the message loop takes. It prints figures only.
#include "../../tests/support/ExePath.h"
#include "LineSim.h"
#include "app/CallHistoryLog.h"
#include "records/CallAction.h"
#include "records/CallHistory.h"
#include "records/Clock.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiRegistration.h"
#include "ui/MainDialog.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace rw {
namespace {

constexpr size_t kRows = 10000;

double Now() {
    LARGE_INTEGER t, f;
    QueryPerformanceCounter(&t);
    QueryPerformanceFrequency(&f);
    return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Ten thousand calls over the last 25 days, of every kind.
std::string HistoryText(CDateTime now) {
    std::string text = HistoryHeader();
    for (size_t i = 0; i < kRows; ++i) {
        CHistoryRow row;
        row.time = CDateTime(now.GetDays() - 25.0 + 25.0 * static_cast<double>(i) / kRows);
        CDateTimeParts p;
        row.time.GetParts(p);
        row.time = CDateTime::FromParts(p);
        row.utcOffsetMinutes = 60;
        row.name = i % 3 ? "Caller " + std::to_string(i % 500) : "<No Phone Book Entry>";
        row.number = "01632 9" + std::to_string(10000 + i % 5000);
        row.kind = i % 7 ? CallerIdNumber : CallerIdNameAndNumber;
        row.action = static_cast<int32_t>(1 + i % 9);
        row.answeredAndDropped = IsBlockingAction(row.action);
        text += FormatHistoryRow(row);
    }
    return text;
}

// Creates the window and waits for its list to be drawn; the milliseconds.
double Start(const std::string& configPath, const CClock& clock, size_t& rows) {
    const double start = Now();
    CMainDialog dialog(clock);
    dialog.SetConfigPath(configPath);
    dialog.Create();
    ShowWindow(dialog.GetSafeHwnd(), SW_SHOWNORMAL);
    HWND list = dialog.GetDlgItem(IDC_CALL_LIST);
    UpdateWindow(dialog.GetSafeHwnd());
    UpdateWindow(list);
    Pump();
    const double took = Now() - start;
    rows = static_cast<size_t>(ListView_GetItemCount(list));
    dialog.DestroyWindow();
    Pump();
    return took;
}

int Run() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    linesim::SetShowWindow(false);
    linesim::SetPrintSummary(false);
    CTapiLoader loader(test::SimulatorPath());
    SetTapiApi(&loader);
    RegisterLineApp(nullptr, nullptr, nullptr);

    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "rw-history-bench\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string configPath = folder + "Ringwarden.cfg";
    const std::string historyPath = HistoryPathFor(configPath);
    CSystemClock clock;

    DeleteFileA(historyPath.c_str());
    size_t rows = 0;
    Start(configPath, clock, rows); // warms the code and Wine's caches
    const double none = Start(configPath, clock, rows);
    std::printf("start-up without history: %.1f ms (%zu rows)\n", none, rows);

    const std::string text = HistoryText(clock.Now());
    std::ofstream(historyPath, std::ios::binary) << text;
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const double took = Start(configPath, clock, rows);
        best = took < best ? took : best;
    }
    std::printf("start-up with %zu history rows (%zu bytes): %.1f ms, best of 3 (%.1f ms more "
                "than without)\n",
                rows, text.size(), best, best - none);

    // The writes the message loop makes: a few rows at a time (calls close
    // together), each row one write call, one flush to the disk per batch.
    {
        auto fs = CreateSystemFileSystem();
        CCallHistoryLog log(*fs, clock);
        log.Open(historyPath);
        CLoggedCall call;
        call.SetName("Caller");
        call.SetNumber("01632 960000");
        call.SetCallTime(clock.Now());
        call.SetAction(ActionBlockAlways);
        constexpr int kBatches = 200, kRowsPerBatch = 4;
        std::vector<double> times;
        for (int b = 0; b < kBatches; ++b) {
            for (int r = 0; r < kRowsPerBatch; ++r)
                log.Queue(call);
            const double at = Now();
            log.WriteQueued();
            times.push_back(Now() - at);
        }
        std::sort(times.begin(), times.end());
        std::printf("history write of %d rows (one flush): median %.2f ms, p99 %.2f ms, over %d "
                    "batches\n",
                    kRowsPerBatch, times[times.size() / 2], times[times.size() * 99 / 100],
                    kBatches);
    }

    DeleteFileA(historyPath.c_str());
    DeleteFileA(configPath.c_str());
    DeleteFileA((folder + "Ringwarden.ini").c_str());
    RemoveDirectoryA(folder.c_str());
    UnregisterLineApp();
    SetTapiApi(nullptr);
    return 0;
}

} // namespace
} // namespace rw

int main() {
    return rw::Run();
}
