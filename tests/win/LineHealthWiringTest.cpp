// The main window keeps watching the line through the line simulator: a
// line the service closes, a REINIT, a modem plugged in after start, each
// with and without a call up, and calls that never bring caller ID. The
// tray says what is going on, and the next blocked call is answered.
#include "../core/ConfigTestUtil.h"
#include "../support/SimulatedLine.h"
#include "../support/ExePath.h"
#include "../support/MessagePump.h"
#include "../support/ScreenPicture.h"
#include "../support/SimCaller.h"
#include "LineSim.h"
#include "records/Clock.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiRegistration.h"
#include "ui/MainDialog.h"
#include "ui/ModemCheckDialog.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rw {
namespace {

using linesim::CallerIdKind;
using test::Caller;
using test::PumpUntil;

linesim::CallRecord Record(uint32_t id) {
    linesim::CallRecord r{};
    linesim::GetCallRecord(id, &r);
    return r;
}

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; });
}

class LineHealthWiringTest : public testing::Test {
protected:
    void SetUp() override {
        test::PrepareSimulatedLine();
        SetTapiApi(&loader);
    }
    void TearDown() override {
        Stop();
        SetTapiApi(nullptr);
    }
    // A main window of its own for each start, as at each program start.
    // `beforeWindow` runs between registering and the window's start, as a
    // message box at start would.
    void Start(uint32_t devices, const std::function<void()>& beforeWindow = {},
               bool startupModemCheck = false) {
        linesim::SetDeviceCount(devices);
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        if (beforeWindow)
            beforeWindow();
        window = std::make_unique<CMainDialog>(clock);
        window->SetConfigPath(configDir.Path("Ringwarden.cfg"));
        window->SetTraceForced(traceForced);
        window->Supervisor().SetRetryInterval(100);
        window->Supervisor().SetReinitEndingWait(300);
        window->Screener().SetDropRetryInterval(20);
        window->SetStartupModemCheck(startupModemCheck);
        window->SetMessageBox([this](HWND, const std::string& text, UINT) {
            boxes.push_back(text);
            return IDNO;
        });
        ASSERT_TRUE(window->Create());
        auto entry = test::Entry("Sales Line", "0800 111");
        entry->FilterType = 2; // always block
        const std::string key = entry->LookupKey;
        window->PhoneBook().SetAt(key, std::move(entry));
    }
    void Stop() {
        window.reset();
        UnregisterLineApp();
        UnregisterPhoneApp();
        linesim::SetDeviceCount(1);
        linesim::SetVoiceSupported(true);
        linesim::SetDropFailures(0, false);
    }
    // Rings the blocked sales line; true once the program answered it.
    bool RingBlockedAndAnswered(uint32_t& call) {
        call = linesim::Ring(Caller(CallerIdKind::Number, "0800 111", ""));
        return call != 0 && PumpUntil([&] { return Record(call).answeredMs >= 0; });
    }
    bool TrayShows(UINT icon, UINT tip) {
        return PumpUntil([&] {
            return window->TrayIconId() == icon && window->TrayTipText() == LoadResString(tip) &&
                   window->Tray().Tip() == LoadResString(tip);
        });
    }

    CTapiLoader loader{test::SimulatorPath()};
    test::CScratchDir configDir;
    CSettableClock clock;
    std::unique_ptr<CMainDialog> window;
    bool traceForced = false;
    std::vector<std::string> boxes;
};

TEST_F(LineHealthWiringTest, TheLineComesBackAndTheNextBlockedCallIsAnswered) {
    enum What { CloseLine, Reinit, NewDevice, ReinitBeforeWindow, VoiceBack, ReinitDropFails };
    struct Case {
        const char* name;
        uint32_t devicesAtStart;
        bool callUp; // a blocked call is up when it happens
        What what;
        UINT tipMeanwhile; // 0: the line stays watched
    } cases[] = {
        {"closed while idle", 1, false, CloseLine, IDS_NOT_WATCHING_CLOSED},
        {"closed with a blocked call up", 1, true, CloseLine, IDS_NOT_WATCHING_CLOSED},
        {"reinit while idle", 1, false, Reinit, 0},
        {"reinit with a blocked call up", 1, true, Reinit, 0},
        {"no line at start, then a modem", 0, false, NewDevice, IDS_NOT_WATCHING_NO_LINE},
        // A message box at start runs a message loop with nobody to hear
        // the REINIT yet.
        {"reinit before the window starts", 1, false, ReinitBeforeWindow, 0},
        // The owner open failed (no voice then): watched only, until the
        // owner open works again.
        {"monitor only at start, then voice comes back", 1, false, VoiceBack,
         IDS_WARN_MONITOR_ONLY},
        // The caller has gone but the line refuses every drop: the restart
        // waits only so long for it.
        {"reinit with an ended call whose drops keep failing", 1, true, ReinitDropFails, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HLINEAPP registered = 0;
        if (c.what == VoiceBack)
            linesim::SetVoiceSupported(false);
        Start(c.devicesAtStart, [&] {
            registered = LineAppHandle();
            if (c.what == ReinitBeforeWindow) {
                ASSERT_TRUE(linesim::Reinit());
                PumpFor(100);
            }
        });
        CMainDialog& dialog = *window;
        if (c.devicesAtStart == 0) {
            EXPECT_TRUE(TrayShows(IDI_TRAY_NOT_WATCHING, IDS_NOT_WATCHING_NO_LINE));
        } else if (c.what == VoiceBack) {
            EXPECT_TRUE(TrayShows(IDI_TRAY_WARNING, c.tipMeanwhile));
        } else {
            EXPECT_TRUE(TrayShows(IDI_TRAY_IDLE, IDS_TRAY_IDLE));
        }

        uint32_t first = 0;
        if (c.callUp) {
            ASSERT_TRUE(RingBlockedAndAnswered(first));
        }
        const size_t logged = dialog.Screener().CallCount();

        switch (c.what) {
        case CloseLine:
            ASSERT_TRUE(linesim::CloseLine(300));
            EXPECT_TRUE(TrayShows(IDI_TRAY_NOT_WATCHING, c.tipMeanwhile));
            EXPECT_TRUE(PumpUntil(
                [&] { return dialog.Supervisor().Health().Told() == LineWatch::NotWatching; }));
            // The calls of the closed line are let go; their rows stay.
            EXPECT_EQ(0u, dialog.Screener().LiveCallCount());
            EXPECT_EQ(logged, dialog.Screener().CallCount());
            if (c.callUp) {
                EXPECT_EQ(ActionBlockAlways, dialog.Screener().Call(logged - 1).GetAction());
            }
            break;
        case Reinit: {
            const HLINEAPP before = LineAppHandle();
            ASSERT_TRUE(linesim::Reinit());
            if (c.callUp) {
                // The call up is followed to its end before the restart.
                PumpFor(300);
                EXPECT_TRUE(dialog.Supervisor().ReinitPending());
                EXPECT_EQ(before, LineAppHandle());
                EXPECT_EQ(1u, dialog.Screener().LiveCallCount());
                linesim::HangUp(first);
            }
            // Registered again: the service handed out a new handle.
            EXPECT_TRUE(PumpUntil([&] { return LineAppHandle() != before && LineAppHandle(); }));
            EXPECT_FALSE(dialog.Supervisor().ReinitPending());
            break;
        }
        case NewDevice:
            ASSERT_TRUE(linesim::AddDevice());
            break;
        case ReinitBeforeWindow:
            // Registered again once the window started.
            EXPECT_TRUE(
                PumpUntil([&] { return LineAppHandle() != registered && LineAppHandle(); }));
            break;
        case VoiceBack:
            linesim::SetVoiceSupported(true);
            EXPECT_TRUE(PumpUntil([&] { return dialog.Supervisor().Lines()[0]->IsOwner(); }));
            break;
        case ReinitDropFails: {
            const HLINEAPP before = LineAppHandle();
            linesim::SetDropFailures(1000, true);
            linesim::HangUp(first);
            ASSERT_TRUE(PumpUntil([&] { return Record(first).dropFailures > 0; }));
            ASSERT_TRUE(linesim::Reinit());
            EXPECT_TRUE(PumpUntil([&] { return LineAppHandle() != before && LineAppHandle(); }));
            EXPECT_EQ(0u, dialog.Screener().LiveCallCount());
            linesim::SetDropFailures(0, false);
            break;
        }
        }

        EXPECT_TRUE(TrayShows(IDI_TRAY_IDLE, IDS_TRAY_IDLE));
        EXPECT_TRUE(
            PumpUntil([&] { return dialog.Supervisor().Health().Told() == LineWatch::Watching; }));
        uint32_t next = 0;
        EXPECT_TRUE(RingBlockedAndAnswered(next));
        Stop();
    }
}

TEST_F(LineHealthWiringTest, CallsWithoutCallerIdWarnUntilOneBringsIt) {
    Start(1);
    CMainDialog& dialog = *window;
    auto ringAndEnd = [&](CallerIdKind kind, const std::string& number) {
        const size_t before = dialog.Screener().CallCount();
        const uint32_t call = linesim::Ring(Caller(kind, number, ""));
        ASSERT_TRUE(PumpUntil([&] { return dialog.Screener().CallCount() > before; }));
        linesim::HangUp(call);
        ASSERT_TRUE(PumpUntil([&] { return dialog.Screener().LiveCallCount() == 0; }));
    };
    // A withheld number is an answer: it breaks the run.
    ringAndEnd(CallerIdKind::Unknown, "");
    ringAndEnd(CallerIdKind::Unknown, "");
    ringAndEnd(CallerIdKind::Blocked, "");
    ringAndEnd(CallerIdKind::Unknown, "");
    ringAndEnd(CallerIdKind::Unknown, "");
    EXPECT_TRUE(TrayShows(IDI_TRAY_IDLE, IDS_TRAY_IDLE));
    ringAndEnd(CallerIdKind::Unknown, "");
    EXPECT_TRUE(TrayShows(IDI_TRAY_WARNING, IDS_WARN_NO_CALLER_ID));
    ringAndEnd(CallerIdKind::Number, "01632 960999");
    EXPECT_TRUE(TrayShows(IDI_TRAY_IDLE, IDS_TRAY_IDLE));
}

TEST_F(LineHealthWiringTest, AMonitorOnlyLineWarnsThatItCannotBlock) {
    linesim::SetVoiceSupported(false);
    Start(1);
    EXPECT_TRUE(TrayShows(IDI_TRAY_WARNING, IDS_WARN_MONITOR_ONLY));
    linesim::SetVoiceSupported(true);
}

// --trace: the service's messages, the program's requests and each
// screening decision reach Ringwarden-trace.log beside the configuration,
// written from the message loop while the call is still up.
TEST_F(LineHealthWiringTest, TheTraceRecordsMessagesRequestsAndDecisions) {
    traceForced = true;
    Start(1);
    EXPECT_TRUE(window->Session().TraceOn());
    uint32_t call = 0;
    ASSERT_TRUE(RingBlockedAndAnswered(call));
    const std::string path = configDir.Path("Ringwarden-trace.log");
    auto text = [&] {
        const std::vector<uint8_t> bytes = test::ReadWholeFile(path);
        return std::string(bytes.begin(), bytes.end());
    };
    EXPECT_TRUE(PumpUntil([&] { return text().find("-> lineAnswer") != std::string::npos; }));
    const std::string trace = text();
    EXPECT_EQ(0u, trace.find("Ringwarden telephony trace, started "));
    for (const char* expected :
         {"<- LINE_CALLSTATE", "-> lineOpen 0x0 owner = 0x0",
          "call 0, offered: number \"0800 111\"", "Block (always)", "<- LINE_REPLY"})
        EXPECT_NE(std::string::npos, trace.find(expected)) << expected << "\n" << trace;
    linesim::HangUp(call);
    Stop();
    // Every request, the caller ID's query and the close included.
    for (const char* expected : {"-> lineDrop", "-> lineGetCallInfo", "-> lineSetStatusMessages",
                                 "-> lineDeallocateCall", "-> lineClose"})
        EXPECT_NE(std::string::npos, text().find(expected)) << expected << "\n" << text();
    traceForced = false;
}

// "Check the modem" on the simulated line: the program's own line is
// watched as owner and can do everything; Copy puts the report on the
// clipboard; a modem without caller ID is told as such.
TEST_F(LineHealthWiringTest, CheckTheModemShowsAndCopiesTheReport) {
    for (bool callerId : {true, false}) {
        SCOPED_TRACE(callerId ? "a voice modem" : "no caller ID");
        linesim::SetOption(linesim::Option::NoCallerId, !callerId);
        boxes.clear();
        Start(1, {}, true);
        // At start, a line that cannot screen is told, with the way to the
        // check (answered No here).
        if (callerId) {
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_NE(boxes[0].find("cannot report caller ID"), std::string::npos) << boxes[0];
            EXPECT_NE(boxes[0].find("Open Check the modem"), std::string::npos);
        }
        const std::string report = window->ModemReportNow();
        EXPECT_NE(std::string::npos, report.find("Watched by Ringwarden: yes (opened as owner)"))
            << report;
        EXPECT_NE(std::string::npos,
                  report.find(callerId ? "This line can do everything Ringwarden needs."
                                       : "This line cannot report caller ID"))
            << report;

        CModemCheckDialog check(window->GetSafeHwnd(), report, &window->Screener(), &clock);
        ASSERT_TRUE(check.Create());
        char shown[4096] = {};
        GetDlgItemTextA(check.GetSafeHwnd(), IDC_MODEM_REPORT, shown, sizeof shown);
        EXPECT_EQ(report, shown);
        SendMessageA(check.GetDlgItem(IDC_MODEM_COPY), BM_CLICK, 0, 0);
        std::string copied;
        if (OpenClipboard(nullptr)) {
            if (HANDLE data = GetClipboardData(CF_TEXT)) {
                if (const char* text = static_cast<const char*>(GlobalLock(data))) {
                    copied = text;
                    GlobalUnlock(data);
                }
            }
            CloseClipboard();
        }
        EXPECT_EQ(report, copied);
        if (callerId) {
            // Ring test: the next call is reported and left to ring.
            SendMessageA(check.GetDlgItem(IDC_MODEM_RING_TEST), BM_CLICK, 0, 0);
            const uint32_t call =
                linesim::Ring(Caller(CallerIdKind::Number, "0800 111", "SALES LINE"));
            ASSERT_TRUE(PumpUntil(
                [&] { return check.GetRingTest().GetState() == CRingTest::State::CallerIdCame; }));
            GetDlgItemTextA(check.GetSafeHwnd(), IDC_MODEM_REPORT, shown, sizeof shown);
            EXPECT_NE(std::string(shown).find("Ringwarden would have screened it: Block (always) "
                                              "(Sales Line)."),
                      std::string::npos)
                << shown;
            EXPECT_EQ(window->Screener().CallCount(), 0u);
            EXPECT_LT(Record(call).answeredMs, 0);
            // RW_MODEM_PICTURE: where to keep a picture of the window.
            if (const char* picture = std::getenv("RW_MODEM_PICTURE")) {
                ShowWindow(check.GetSafeHwnd(), SW_SHOWNORMAL);
                SetWindowPos(check.GetSafeHwnd(), HWND_TOPMOST, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE);
                PumpUntil([] { return false; });
                RedrawWindow(check.GetSafeHwnd(), nullptr, nullptr,
                             RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
                RECT rect{};
                GetWindowRect(check.GetSafeHwnd(), &rect);
                test::SaveScreenPicture(picture, rect);
            }
            linesim::HangUp(call);
        }
        check.DestroyWindow();
        Stop();
    }
    linesim::SetOption(linesim::Option::NoCallerId, false);
}

} // namespace
} // namespace rw
