// The telephony layer against a fake TAPI table: registration, line and call
// message routing, pending requests, query buffers, the loader, and the
// reader of caller-ID texts.
#include "app/CommandLine.h"
#include "app/LineSupervisor.h"
#include "app/ScreenerApp.h"
#include "records/Clock.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiCall.h"
#include "telephony/TapiCallInfo.h"
#include "telephony/TapiDevCaps.h"
#include "telephony/TapiDeviceId.h"
#include "telephony/TapiLine.h"
#include "telephony/SystemLibrary.h"
#include "telephony/TapiRegistration.h"
#include "ui/MainDialog.h"
#include "PlantedTapi.h"
#include "../support/ExePath.h"
#include "../support/MessagePump.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace rw {
namespace {

// TAPI's error codes are unsigned constants; its results are LONG.
constexpr LONG E(DWORD code) {
    return static_cast<LONG>(code);
}

class FakeTapi : public CTapiApi {
public:
    // Behaviour.
    LONG initResult = 0;
    DWORD lineDevices = 1;
    DWORD phoneDevices = 0;
    std::map<DWORD, LONG> negotiateResults; // by device; default 0
    std::vector<LONG> openResults;          // consumed in order; default 0
    LONG deallocResult = 0;
    LONG nextRequest = 100;
    std::function<LONG(HCALL, LINECALLINFO*)> callInfo;
    std::function<LONG(VARSTRING*)> deviceId;
    std::function<LONG(LINEDEVCAPS*)> devCaps;

    // Record.
    int lineInits = 0, lineShutdowns = 0, phoneInits = 0, phoneShutdowns = 0;
    struct Open {
        DWORD device, version, privileges, media;
    };
    std::vector<Open> opens;
    std::vector<HCALL> deallocated, answered, dropped;
    std::vector<HLINE> closed;
    std::vector<std::string> idQueries;
    LINECALLBACK lineCallback = nullptr;

    LONG lineInitialize(LPHLINEAPP app, HINSTANCE, LINECALLBACK callback, LPCSTR,
                        LPDWORD numDevs) override {
        ++lineInits;
        if (initResult)
            return initResult;
        *app = 7;
        *numDevs = lineDevices;
        lineCallback = callback;
        return 0;
    }
    LONG lineNegotiateAPIVersion(HLINEAPP, DWORD device, DWORD, DWORD high, LPDWORD version,
                                 LPLINEEXTENSIONID) override {
        LONG r = negotiateResults.count(device) ? negotiateResults[device] : 0;
        *version = r == 0 ? high : 0x12345; // garbage on failure
        return r;
    }
    LONG lineOpen(HLINEAPP, DWORD device, LPHLINE line, DWORD version, DWORD, DWORD_PTR,
                  DWORD privileges, DWORD media, LPLINECALLPARAMS) override {
        opens.push_back({device, version, privileges, media});
        LONG r = 0;
        if (!openResults.empty()) {
            r = openResults.front();
            openResults.erase(openResults.begin());
        }
        *line = r == 0 ? 50 + device : 999;
        return r;
    }
    LONG lineSetStatusMessages(HLINE, DWORD, DWORD) override { return 0; }
    LONG lineClose(HLINE line) override {
        closed.push_back(line);
        return 0;
    }
    LONG lineShutdown(HLINEAPP) override {
        ++lineShutdowns;
        return 0;
    }
    LONG lineGetCallInfo(HCALL call, LPLINECALLINFO info) override {
        if (callInfo)
            return callInfo(call, info);
        info->dwNeededSize = info->dwUsedSize = sizeof(LINECALLINFO);
        info->dwAddressID = 3;
        return 0;
    }
    LONG lineDeallocateCall(HCALL call) override {
        deallocated.push_back(call);
        return deallocResult;
    }
    LONG lineAnswer(HCALL call, LPCSTR, DWORD) override {
        answered.push_back(call);
        return nextRequest++;
    }
    LONG lineDrop(HCALL call, LPCSTR, DWORD) override {
        dropped.push_back(call);
        return nextRequest++;
    }
    LONG lineMonitorDigits(HCALL, DWORD) override { return 0; }
    LONG lineGetID(HLINE line, DWORD address, HCALL call, DWORD select, LPVARSTRING id,
                   LPCSTR cls) override {
        idQueries.push_back("line " + std::to_string(line) + " " + std::to_string(address) + " " +
                            std::to_string(call) + " " + std::to_string(select) + " " + cls);
        return deviceId ? deviceId(id) : 0;
    }
    LONG phoneInitialize(LPHPHONEAPP app, HINSTANCE, PHONECALLBACK, LPCSTR,
                         LPDWORD numDevs) override {
        ++phoneInits;
        *app = 8;
        *numDevs = phoneDevices;
        return 0;
    }
    LONG phoneNegotiateAPIVersion(HPHONEAPP, DWORD, DWORD, DWORD high, LPDWORD version,
                                  LPPHONEEXTENSIONID) override {
        *version = high;
        return 0;
    }
    LONG phoneShutdown(HPHONEAPP) override {
        ++phoneShutdowns;
        return 0;
    }
    LONG phoneGetID(HPHONE phone, LPVARSTRING id, LPCSTR cls) override {
        idQueries.push_back("phone " + std::to_string(phone) + " " + cls);
        return deviceId ? deviceId(id) : 0;
    }
};

// Installs a fake for one test and unregisters whatever the test left.
// The device's capabilities, when a test gives them.
class FakeTapiWithCaps : public FakeTapi {
public:
    LONG lineGetDevCaps(HLINEAPP, DWORD, DWORD, DWORD, LPLINEDEVCAPS caps) override {
        return devCaps ? devCaps(caps) : E(LINEERR_OPERATIONUNAVAIL);
    }
};

class TapiTest : public testing::Test {
protected:
    void SetUp() override { SetTapiApi(&fake); }
    void TearDown() override {
        UnregisterLineApp();
        UnregisterPhoneApp();
        SetTapiApi(nullptr);
    }
    FakeTapi fake;
};

// A listener that records what it hears and can be told to act.
struct Listener : CTapiLineNotify, CTapiCallNotify {
    std::vector<std::string> heard;
    bool adoptCalls = false;
    bool deleteAtIdle = false;
    std::vector<std::unique_ptr<CTapiCall>> calls;

    void OnLineNewCall(CTapiLine* line, HCALL call, DWORD address, DWORD) override {
        heard.push_back("new " + std::to_string(call) + " addr " + std::to_string(address));
        if (adoptCalls)
            calls.push_back(std::make_unique<CTapiCall>(line, call, this));
    }
    void OnLineReply(CTapiLine*, LONG id, LONG result, DWORD kind) override {
        heard.push_back("line reply " + std::to_string(id) + " " + std::to_string(result) + " " +
                        std::to_string(kind));
    }
    void OnCallState(CTapiCall* call, DWORD state, DWORD, DWORD) override {
        heard.push_back("state " + std::to_string(call->Handle()) + " " + std::to_string(state));
        if (deleteAtIdle && state == LINECALLSTATE_IDLE)
            std::erase_if(calls, [&](const auto& c) { return c.get() == call; });
    }
    void OnCallInfo(CTapiCall* call, DWORD) override {
        heard.push_back("info " + std::to_string(call->Handle()));
    }
    void OnCallMonitorDigits(CTapiCall* call, DWORD digit, DWORD) override {
        heard.push_back("digit " + std::to_string(call->Handle()) + " " +
                        std::string(1, static_cast<char>(digit)));
    }
    void OnCallReply(CTapiCall* call, LONG id, LONG result, DWORD kind) override {
        heard.push_back("call reply " + std::to_string(call->Handle()) + " " + std::to_string(id) +
                        " " + std::to_string(result) + " " + std::to_string(kind));
    }
};

using Heard = std::vector<std::string>;

// ---- Registration ----

TEST_F(TapiTest, RegistrationNegotiatesEachDeviceAndRefusesASecondOne) {
    fake.lineDevices = 2;
    fake.negotiateResults[1] = E(LINEERR_INCOMPATIBLEAPIVERSION);
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    EXPECT_EQ(2u, LineDeviceCount());
    EXPECT_EQ(0x00010004u, LineApiVersion(0));
    EXPECT_EQ(0u, LineApiVersion(1)); // failed negotiation keeps no version
    EXPECT_EQ(0u, LineApiVersion(2));

    // Registering twice is refused and leaves the first registration alone.
    EXPECT_EQ(E(LINEERR_OPERATIONFAILED), RegisterLineApp(nullptr, "again", nullptr));
    EXPECT_EQ(1, fake.lineInits);
    EXPECT_EQ(2u, LineDeviceCount());
    EXPECT_EQ(0x00010004u, LineApiVersion(0));

    ASSERT_EQ(0, RegisterPhoneApp(nullptr, nullptr, nullptr)); // 0 phones is fine
    EXPECT_EQ(E(PHONEERR_OPERATIONFAILED), RegisterPhoneApp(nullptr, nullptr, nullptr));
    EXPECT_EQ(1, fake.phoneInits);

    EXPECT_EQ(0, UnregisterLineApp());
    EXPECT_EQ(0u, LineDeviceCount());
    EXPECT_EQ(E(LINEERR_OPERATIONFAILED), UnregisterLineApp());
    EXPECT_EQ(0, UnregisterPhoneApp());
    EXPECT_EQ(E(PHONEERR_OPERATIONFAILED), UnregisterPhoneApp());
    EXPECT_EQ(1, fake.lineShutdowns);
    EXPECT_EQ(1, fake.phoneShutdowns);
}

TEST_F(TapiTest, RegistrationFailuresLeaveNothingRegistered) {
    struct Case {
        LONG initResult;
        DWORD devices;
        LONG expected;
        int shutdowns;
    } cases[] = {
        {E(LINEERR_OPERATIONUNAVAIL), 1, E(LINEERR_OPERATIONUNAVAIL), 0},
        {E(LINEERR_NODEVICE), 1, E(LINEERR_NODEVICE), 0},
    };
    for (const Case& c : cases) {
        FakeTapi f;
        f.initResult = c.initResult;
        f.lineDevices = c.devices;
        SetTapiApi(&f);
        EXPECT_EQ(c.expected, RegisterLineApp(nullptr, nullptr, nullptr));
        EXPECT_EQ(0u, LineDeviceCount());
        EXPECT_EQ(0u, LineAppHandle());
        EXPECT_EQ(c.shutdowns, f.lineShutdowns);
        // And a later attempt may register.
        f.initResult = 0;
        f.lineDevices = 1;
        EXPECT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        UnregisterLineApp();
    }
}

// What the registration's application notify hears.
struct AppListener : CTapiAppNotify {
    std::vector<std::string> heard;
    void OnLineCreated(DWORD device) override {
        heard.push_back("created " + std::to_string(device));
    }
    void OnReinit() override { heard.push_back("reinit"); }
};

TEST_F(TapiTest, NoDeviceStaysRegisteredAndHearsNewDevicesAndReinitWithInstanceZero) {
    // Wine's own TAPI32, or a machine whose modem is not plugged in yet.
    fake.lineDevices = 0;
    fake.negotiateResults[1] = E(LINEERR_INCOMPATIBLEAPIVERSION);
    AppListener app;
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, LineDeviceCount());
    EXPECT_NE(0u, LineAppHandle());
    SetLineAppNotify(&app);

    // The modem arrives: counted and negotiated before the notify hears of it.
    fake.lineCallback(0, LINE_CREATE, 0, 0, 0, 0);
    EXPECT_EQ(1u, LineDeviceCount());
    EXPECT_EQ(0x00010004u, LineApiVersion(0));
    // One whose version cannot be agreed is counted with none.
    fake.lineCallback(0, LINE_CREATE, 0, 1, 0, 0);
    EXPECT_EQ(2u, LineDeviceCount());
    EXPECT_EQ(0u, LineApiVersion(1));
    // A number far beyond the devices known is not believed.
    fake.lineCallback(0, LINE_CREATE, 0, 100000, 0, 0);
    EXPECT_EQ(2u, LineDeviceCount());

    // REINIT comes with instance 0; other line states with instance 0 belong
    // to no line and are dropped.
    fake.lineCallback(0, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_REINIT, 0, 0);
    fake.lineCallback(0, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_RINGING, 0, 0);
    EXPECT_EQ((Heard{"created 0", "created 1", "created 100000", "reinit"}), app.heard);

    // The notify goes with the registration.
    EXPECT_EQ(0, UnregisterLineApp());
    app.heard.clear();
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    fake.lineCallback(0, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_REINIT, 0, 0);
    EXPECT_TRUE(app.heard.empty());
}

// ---- Lines ----

TEST_F(TapiTest, OpenFallsBackToMonitoringAndFailedVersionIsZero) {
    fake.lineDevices = 3;
    fake.negotiateResults[2] = E(LINEERR_INCOMPATIBLEAPIVERSION);
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    Listener listener;

    CTapiLine owner;
    EXPECT_EQ(0, owner.OpenWithFallback(0, &listener));
    EXPECT_EQ(50u, owner.Handle());
    EXPECT_EQ(0u, owner.DeviceId());

    CTapiLine monitor;
    fake.openResults = {E(LINEERR_INVALMEDIAMODE)};
    EXPECT_EQ(0, monitor.OpenWithFallback(1, &listener));
    EXPECT_EQ(51u, monitor.Handle());

    CTapiLine closed;
    fake.openResults = {E(LINEERR_INCOMPATIBLEAPIVERSION), E(LINEERR_INCOMPATIBLEAPIVERSION)};
    EXPECT_LT(closed.OpenWithFallback(2, &listener), 0);
    EXPECT_EQ(0u, closed.Handle());
    EXPECT_EQ(static_cast<DWORD>(-1), closed.DeviceId());

    ASSERT_EQ(5u, fake.opens.size());
    const DWORD ownerPriv = LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR;
    const DWORD ownerMedia = LINEMEDIAMODE_UNKNOWN | LINEMEDIAMODE_AUTOMATEDVOICE;
    EXPECT_EQ(ownerPriv, fake.opens[1].privileges);
    EXPECT_EQ(ownerMedia, fake.opens[1].media);
    EXPECT_EQ(DWORD(LINECALLPRIVILEGE_MONITOR), fake.opens[2].privileges);
    EXPECT_EQ(DWORD(LINEMEDIAMODE_INTERACTIVEVOICE), fake.opens[2].media);
    EXPECT_EQ(0x00010004u, fake.opens[0].version);
    EXPECT_EQ(0u, fake.opens[3].version);
}

TEST_F(TapiTest, MainWindowWatchesEveryLineWhileItExists) {
    fake.lineDevices = 2;
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    fake.openResults = {0, E(LINEERR_INVALMEDIAMODE), 0};
    {
        CSettableClock clock;
        CMainDialog dialog(clock);
        ASSERT_TRUE(dialog.Create());
        ASSERT_EQ(2u, dialog.Lines().size());
        EXPECT_EQ(50u, dialog.Lines()[0]->Handle());
        EXPECT_EQ(51u, dialog.Lines()[1]->Handle()); // as a monitor
        ASSERT_EQ(3u, fake.opens.size());
        EXPECT_EQ(DWORD(LINECALLPRIVILEGE_MONITOR), fake.opens[2].privileges);

        // A call on the line reaches the window's screener, which follows it.
        fake.lineCallback(71, LINE_CALLSTATE, reinterpret_cast<DWORD_PTR>(dialog.Lines()[0].get()),
                          LINECALLSTATE_OFFERING, 0, LINECALLPRIVILEGE_OWNER);
        EXPECT_TRUE(dialog.Lines()[0]->UnownedCalls().empty());
        EXPECT_EQ(1u, dialog.Screener().CallCount());
        EXPECT_EQ(1u, dialog.Screener().LiveCallCount());
        dialog.DestroyWindow();
        EXPECT_TRUE(dialog.Lines().empty());
    }
    EXPECT_EQ((std::vector<HLINE>{50, 51}), fake.closed);
    EXPECT_EQ(std::vector<HCALL>{71}, fake.deallocated);
}

// Answers every dialog box the program opens: a message box is read and
// confirmed, any other dialog (the main window) is cancelled.
class DialogAnswerer {
public:
    DialogAnswerer() {
        s_seen = &seen;
        s_answered = &m_answered;
        m_hook = SetWindowsHookExA(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~DialogAnswerer() {
        UnhookWindowsHookEx(m_hook);
        s_seen = nullptr;
    }
    std::vector<std::string> seen; // message box texts, or "main window"

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && s_seen) {
            HWND hWnd = reinterpret_cast<HWND>(wParam);
            char cls[32] = {};
            GetClassNameA(hWnd, cls, sizeof cls);
            // Each dialog once, however often it is activated.
            if (std::string(cls) != "#32770" || !s_answered->insert(hWnd).second)
                return CallNextHookEx(nullptr, code, wParam, lParam);
            char text[4096] = {}; // the usage text is long
            // A message box's text is its static control 0xFFFF.
            if (GetDlgItemTextA(hWnd, 0xFFFF, text, sizeof text) > 0) {
                s_seen->push_back(text);
                PostMessageA(hWnd, WM_COMMAND, IDOK, 0);
            } else {
                s_seen->push_back("main window");
                PostMessageA(hWnd, WM_COMMAND, IDCANCEL, 0);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline std::vector<std::string>* s_seen = nullptr;
    static inline std::set<HWND>* s_answered = nullptr;
    std::set<HWND> m_answered;
    HHOOK m_hook;
};

TEST_F(TapiTest, StartUpRegistersWarnsOnFailureAndShutsDown) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
        LONG initResult;
        DWORD devices;
        std::vector<std::string> seen;
        size_t opens;
        int lineShutdowns;
    } cases[] = {
        {"a modem", {}, 0, 1, {"main window"}, 1, 1},
        {"no telephony",
         {},
         E(LINEERR_OPERATIONUNAVAIL),
         1,
         {LoadResString(IDS_TAPI_INIT_FAILED), "main window"},
         0,
         0},
        {"no line devices", {}, 0, 0, {LoadResString(IDS_TAPI_INIT_FAILED), "main window"}, 0, 1},
        {"usage", {"/?"}, 0, 1, {LoadResString(IDS_USAGE)}, 0, 0},
    };
    for (const Case& c : cases) {
        FakeTapi f;
        f.initResult = c.initResult;
        f.lineDevices = c.devices;
        SetTapiApi(&f);
        DialogAnswerer answerer;
        CScreenerApp app(GetModuleHandleA(nullptr), c.args);
        EXPECT_EQ(0, app.Run()) << c.name;
        EXPECT_EQ(c.seen, answerer.seen) << c.name;
        EXPECT_EQ(c.opens, f.opens.size()) << c.name;
        EXPECT_EQ(c.opens, f.closed.size()) << c.name;
        EXPECT_EQ(c.lineShutdowns, f.lineShutdowns) << c.name;
        EXPECT_EQ(c.args.empty() ? 1 : 0, f.phoneShutdowns) << c.name;
        EXPECT_EQ(0u, LineAppHandle()) << c.name;
    }
}

// LINEDEVCAPS comes from the service and is not trusted: a TAPI 1.3 service
// fills a shorter fixed part, and a hostile one names texts outside what
// it filled; the reader takes only what the block and its sizes allow.
TEST(TapiDevCapsTest, HostileOrOlderStructuresAreReadSafely) {
    struct Case {
        const char* name;
        DWORD used;                 // dwUsedSize
        DWORD nameOffset, nameSize; // of "Modem\0" written at nameAt
        DWORD nameAt;
        std::string lineName;
        DWORD mediaModes;
    } cases[] = {
        {"TAPI 1.4", kLineDevCapsFixedSize + 6, kLineDevCapsFixedSize, 6, kLineDevCapsFixedSize,
         "Modem", LINEMEDIAMODE_AUTOMATEDVOICE},
        {"TAPI 1.3, the name right after its fixed part", kLineDevCaps13Size + 6,
         kLineDevCaps13Size, 6, kLineDevCaps13Size, "Modem", LINEMEDIAMODE_AUTOMATEDVOICE},
        {"less than any fixed part", kLineDevCaps13Size - 4, kLineDevCaps13Size, 6,
         kLineDevCaps13Size, "", 0},
        {"a name inside the fixed part", kLineDevCapsFixedSize + 6, 16, 6, kLineDevCapsFixedSize,
         "", LINEMEDIAMODE_AUTOMATEDVOICE},
        {"a name past what was filled", kLineDevCapsFixedSize + 6, kLineDevCapsFixedSize + 100, 6,
         kLineDevCapsFixedSize, "", LINEMEDIAMODE_AUTOMATEDVOICE},
        {"a name longer than what was filled", kLineDevCapsFixedSize + 3, kLineDevCapsFixedSize,
         4000, kLineDevCapsFixedSize, "Mod", LINEMEDIAMODE_AUTOMATEDVOICE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeTapiWithCaps fake;
        fake.devCaps = [&](LINEDEVCAPS* caps) {
            const DWORD total = caps->dwTotalSize;
            caps->dwNeededSize = caps->dwUsedSize = c.used;
            caps->dwLineNameOffset = c.nameOffset;
            caps->dwLineNameSize = c.nameSize;
            caps->dwMediaModes = LINEMEDIAMODE_AUTOMATEDVOICE;
            if (c.nameAt + 6 <= total)
                std::memcpy(reinterpret_cast<char*>(caps) + c.nameAt, "Modem", 6);
            return 0;
        };
        SetTapiApi(&fake);
        CTapiDevCaps caps(1, 0, 0x00010004);
        ASSERT_EQ(0, caps.Fetch());
        EXPECT_EQ(c.lineName, caps.LineName());
        EXPECT_EQ(c.mediaModes, caps.MediaModes());
        SetTapiApi(nullptr);
    }
}

// --check-modem writes its report and ends: no window, no message, and no
// line opened as owner, so a copy already screening loses nothing.
TEST_F(TapiTest, CheckingTheModemWritesTheReportAndOpensNoLineAsOwner) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string report = std::string(dir) + "rw-modem-report.txt";
    DeleteFileA(report.c_str());
    fake.lineDevices = 2;
    DialogAnswerer answerer;
    CScreenerApp app(GetModuleHandleA(nullptr), {"--check-modem", report});
    EXPECT_EQ(0, app.Run());
    EXPECT_TRUE(answerer.seen.empty());
    EXPECT_EQ(2u, fake.opens.size());
    for (const auto& open : fake.opens)
        EXPECT_EQ(DWORD(LINECALLPRIVILEGE_MONITOR), open.privileges);
    EXPECT_EQ(fake.opens.size(), fake.closed.size());
    EXPECT_EQ(0u, LineAppHandle());
    std::string text;
    if (FILE* f = std::fopen(report.c_str(), "rb")) {
        char buffer[4096];
        text.assign(buffer, std::fread(buffer, 1, sizeof buffer, f));
        std::fclose(f);
    }
    EXPECT_EQ(0u, text.find("Ringwarden modem check\r\n")) << text;
    EXPECT_NE(std::string::npos, text.find("Line 1: ")) << text;
    EXPECT_NE(std::string::npos, text.find("Open as owner: unknown")) << text;
    DeleteFileA(report.c_str());

    // A file that cannot be written is a failure, said by the exit code.
    CScreenerApp unwritable(GetModuleHandleA(nullptr),
                            {"--check-modem", std::string(dir) + "no-such-folder\\report.txt"});
    EXPECT_EQ(1, unwritable.Run());
}

TEST_F(TapiTest, ASecondCopyHandsOverWithoutRegisteringOrShowingAnything) {
    // The first copy, hidden in the tray.
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string config = std::string(dir) + "rw-first-copy.cfg";
    CSettableClock clock;
    CMainDialog first(clock);
    first.SetConfigPath(config);
    ASSERT_TRUE(first.Create());
    ShowWindow(first.GetSafeHwnd(), SW_HIDE);
    // Already in front, so that bringing it forward again is no activation
    // for the answerer below to take for a new dialog.
    SetForegroundWindow(first.GetSafeHwnd());

    DialogAnswerer answerer;
    CScreenerApp second(GetModuleHandleA(nullptr), {});
    EXPECT_EQ(0, second.Run());
    EXPECT_TRUE(answerer.seen.empty()); // no window, no message
    EXPECT_EQ(0, fake.lineInits);
    EXPECT_EQ(0, fake.phoneInits);
    EXPECT_FALSE(IsWindowVisible(first.GetSafeHwnd()));
    first.DestroyWindow();
    DeleteFileA(config.c_str());
}

// ---- Keeping the lines open ----

// A supervisor over a screener, on the fake; retries come quickly.
class SupervisorTest : public TapiTest {
protected:
    void SetUp() override {
        TapiTest::SetUp();
        supervisor.SetRetryInterval(30);
    }
    void TearDown() override {
        supervisor.Stop();
        TapiTest::TearDown();
    }
    DWORD_PTR LineInstance(size_t device) {
        return reinterpret_cast<DWORD_PTR>(supervisor.Lines()[device].get());
    }
    void Offer(HCALL call) {
        fake.lineCallback(call, LINE_CALLSTATE, LineInstance(0), LINECALLSTATE_OFFERING, 0,
                          LINECALLPRIVILEGE_OWNER);
    }
    LineWatch State() const { return supervisor.Health().State(); }
    LineTrouble Trouble() const { return supervisor.Health().Trouble(); }

    CPhoneBook book;
    CRingwardenPreferences prefs;
    CSettableClock clock;
    CScreeningRules rules{book, prefs, clock};
    CCallScreener screener{prefs, rules};
    CLineSupervisor supervisor{screener};
};

TEST_F(SupervisorTest, AClosedLineLetsGoOfItsCallsAndIsReopenedUntilItOpens) {
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    supervisor.Start();
    ASSERT_EQ(1u, fake.opens.size());
    EXPECT_EQ(LineWatch::Watching, State());
    Offer(71);
    ASSERT_EQ(1u, screener.LiveCallCount());

    fake.openResults = {E(LINEERR_RESOURCEUNAVAIL), E(LINEERR_RESOURCEUNAVAIL)};
    fake.lineCallback(0, LINE_CLOSE, LineInstance(0), 0, 0, 0);
    EXPECT_EQ(0u, screener.LiveCallCount());
    EXPECT_EQ(1u, screener.CallCount()); // the row stays
    EXPECT_EQ(nullptr, screener.Call(0).GetCall());
    EXPECT_EQ(0u, supervisor.Lines()[0]->Handle());
    EXPECT_EQ(LineWatch::NotWatching, State());
    EXPECT_EQ(LineTrouble::Closed, Trouble());

    // The first try is refused both ways; the reason stays the closing.
    ASSERT_TRUE(test::PumpUntil([&] { return fake.opens.size() >= 3; }));
    EXPECT_EQ(LineTrouble::Closed, Trouble());
    ASSERT_TRUE(test::PumpUntil([&] { return State() == LineWatch::Watching; }));
    EXPECT_EQ(4u, fake.opens.size());
    EXPECT_EQ(50u, supervisor.Lines()[0]->Handle());
    // Once open, nothing more is tried.
    const DWORD start = GetTickCount();
    test::PumpUntil([&] { return GetTickCount() - start > 100; });
    EXPECT_EQ(4u, fake.opens.size());
}

TEST_F(SupervisorTest, ReinitWaitsForTheCallsThenRegistersAgain) {
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    ASSERT_EQ(0, RegisterPhoneApp(nullptr, nullptr, nullptr));
    supervisor.Start();
    Offer(71);
    fake.lineCallback(0, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_REINIT, 0, 0);
    EXPECT_TRUE(supervisor.ReinitPending());
    // Never inside the callback, and not while a call is up.
    const DWORD start = GetTickCount();
    test::PumpUntil([&] { return GetTickCount() - start > 100; });
    EXPECT_EQ(0, fake.lineShutdowns);
    EXPECT_EQ(LineWatch::Watching, State());

    fake.lineCallback(71, LINE_CALLSTATE, LineInstance(0), LINECALLSTATE_IDLE, 0, 0);
    ASSERT_TRUE(test::PumpUntil([&] { return fake.lineShutdowns == 1; }));
    EXPECT_EQ(1, fake.phoneShutdowns);
    EXPECT_EQ(2, fake.lineInits);
    EXPECT_EQ(2, fake.phoneInits);
    EXPECT_EQ(2u, fake.opens.size());
    EXPECT_EQ(LineWatch::Watching, State());
    EXPECT_FALSE(supervisor.ReinitPending());
}

TEST_F(SupervisorTest, WithoutTelephonyOrALineItKeepsTryingAndOpensANewDevice) {
    struct Case {
        const char* name;
        LONG initResult;
        DWORD devices;
        LineTrouble trouble;
    } cases[] = {
        {"no telephony", E(LINEERR_OPERATIONUNAVAIL), 1, LineTrouble::NoTelephony},
        {"no device", 0, 0, LineTrouble::NoLine},
    };
    for (const Case& c : cases) {
        FakeTapi f;
        f.initResult = c.initResult;
        f.lineDevices = c.devices;
        SetTapiApi(&f);
        RegisterLineApp(nullptr, nullptr, nullptr);
        CLineSupervisor watcher(screener);
        watcher.SetRetryInterval(30);
        watcher.Start();
        EXPECT_EQ(LineWatch::NotWatching, watcher.Health().State()) << c.name;
        EXPECT_EQ(c.trouble, watcher.Health().Trouble()) << c.name;
        EXPECT_TRUE(f.opens.empty()) << c.name;

        // Telephony comes back, or the modem is plugged in.
        f.initResult = 0;
        if (c.devices == 0)
            f.lineCallback(0, LINE_CREATE, 0, 0, 0, 0);
        else
            f.lineDevices = 1;
        EXPECT_TRUE(test::PumpUntil([&] {
            return watcher.Health().State() == LineWatch::Watching;
        })) << c.name;
        EXPECT_EQ(1u, f.opens.size()) << c.name;
        watcher.Stop();
        UnregisterLineApp();
        UnregisterPhoneApp();
    }
    SetTapiApi(&fake);
}

TEST_F(SupervisorTest, AMonitorOnlyLineIsAWarning) {
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    fake.openResults = {E(LINEERR_INVALMEDIAMODE), 0};
    supervisor.Start();
    EXPECT_EQ(LineWatch::MonitorOnly, State());
    EXPECT_EQ(unsigned(IDS_WARN_MONITOR_ONLY), supervisor.Health().IdleTip());
}

// A line opened on device 0 of a registered fake.
class LineTest : public TapiTest {
protected:
    void SetUp() override {
        TapiTest::SetUp();
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        line = std::make_unique<CTapiLine>();
        ASSERT_EQ(0, line->OpenWithFallback(0, &listener));
    }
    void TearDown() override {
        listener.calls.clear();
        line.reset();
        TapiTest::TearDown();
    }
    void Send(DWORD device, DWORD message, DWORD_PTR p1 = 0, DWORD_PTR p2 = 0, DWORD_PTR p3 = 0) {
        // Through the callback, as the service delivers it.
        fake.lineCallback(device, message, reinterpret_cast<DWORD_PTR>(line.get()), p1, p2, p3);
    }
    Listener listener;
    std::unique_ptr<CTapiLine> line;
};

TEST_F(LineTest, DeclinedCallIsUnownedUntilIdleThenDeallocated) {
    Send(21, LINE_CALLSTATE, LINECALLSTATE_OFFERING, 0, LINECALLPRIVILEGE_OWNER);
    Send(21, LINE_CALLSTATE, LINECALLSTATE_ACCEPTED);
    Send(21, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID); // no call object: dropped
    Send(21, LINE_MONITORDIGITS, '5', LINEDIGITMODE_DTMF);
    EXPECT_EQ(Heard({"new 21 addr 3"}), listener.heard);
    EXPECT_EQ(std::vector<HCALL>{21}, line->UnownedCalls());
    EXPECT_TRUE(fake.deallocated.empty());

    Send(21, LINE_CALLSTATE, LINECALLSTATE_IDLE);
    EXPECT_EQ(Heard({"new 21 addr 3"}), listener.heard);
    EXPECT_TRUE(line->UnownedCalls().empty());
    EXPECT_EQ(std::vector<HCALL>{21}, fake.deallocated);

    // A handle whose first report is idle (a call already over, or one the
    // program released) is no new call: it is only let go.
    Send(22, LINE_CALLSTATE, LINECALLSTATE_IDLE);
    EXPECT_EQ(Heard({"new 21 addr 3"}), listener.heard);
    EXPECT_EQ((std::vector<HCALL>{21, 22}), fake.deallocated);

    // Closing the line releases handles still unowned.
    Send(23, LINE_CALLSTATE, LINECALLSTATE_OFFERING);
    EXPECT_EQ(0, line->Close());
    EXPECT_EQ((std::vector<HCALL>{21, 22, 23}), fake.deallocated);
    EXPECT_EQ(0u, line->Handle());
}

TEST_F(LineTest, TwoCallsOnOneLineEachGetOnlyTheirOwnMessages) {
    listener.adoptCalls = true;
    Send(31, LINE_CALLSTATE, LINECALLSTATE_OFFERING);
    Send(32, LINE_CALLSTATE, LINECALLSTATE_OFFERING);
    Send(31, LINE_CALLSTATE, LINECALLSTATE_CONNECTED);
    Send(32, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID);
    Send(31, LINE_MONITORDIGITS, '7', LINEDIGITMODE_DTMF);
    Send(33, LINE_MONITORDIGITS, '8', LINEDIGITMODE_DTMF); // no such call
    Send(31, 13, 1, 2, 3);                                 // not a line message
    EXPECT_EQ(
        Heard({"new 31 addr 3", "state 31 " + std::to_string(LINECALLSTATE_OFFERING),
               "new 32 addr 3", "state 32 " + std::to_string(LINECALLSTATE_OFFERING),
               "state 31 " + std::to_string(LINECALLSTATE_CONNECTED), "info 32", "digit 31 7"}),
        listener.heard);
    EXPECT_TRUE(line->UnownedCalls().empty());
    EXPECT_EQ(listener.calls[0].get(), FindCall(31));
    EXPECT_EQ(listener.calls[1].get(), FindCall(32));
    EXPECT_EQ(nullptr, FindCall(0));
}

TEST_F(LineTest, RepliesReachTheirIssuerOrTheLine) {
    listener.adoptCalls = true;
    Send(41, LINE_CALLSTATE, LINECALLSTATE_OFFERING);
    Send(42, LINE_CALLSTATE, LINECALLSTATE_OFFERING);
    listener.heard.clear();
    CTapiCall* first = listener.calls[0].get();
    CTapiCall* second = listener.calls[1].get();
    EXPECT_EQ(100, first->Answer());
    EXPECT_EQ(101, second->Answer());
    EXPECT_EQ(102, first->Drop());
    EXPECT_EQ(3u, line->PendingRequestCount());

    // The second call goes away before its answer completes: the line's
    // listeners get that reply, with no kind.
    fake.deallocResult = E(LINEERR_INVALCALLSTATE);
    listener.calls.erase(listener.calls.begin() + 1);
    EXPECT_EQ((std::vector<HCALL>{41, 42}), fake.dropped);
    fake.deallocResult = 0;

    Send(0, LINE_REPLY, 102, 0);
    Send(0, LINE_REPLY, 101, 0);
    Send(0, LINE_REPLY, 100, E(LINEERR_INVALCALLSTATE));
    Send(0, LINE_REPLY, 100, 0); // already taken
    Send(0, LINE_REPLY, 555, 0); // never recorded
    EXPECT_EQ(Heard({"call reply 41 102 0 4", "line reply 101 0 0",
                     "call reply 41 100 " + std::to_string(E(LINEERR_INVALCALLSTATE)) + " 2",
                     "line reply 100 0 0", "line reply 555 0 0"}),
              listener.heard);
    EXPECT_EQ(0u, line->PendingRequestCount());
}

TEST_F(LineTest, ListenerDeletingTheCallInsideANotificationStopsDelivery) {
    listener.adoptCalls = true;
    listener.deleteAtIdle = true;
    Listener second; // also listening to the call; must not hear the idle
    Send(51, LINE_CALLSTATE, LINECALLSTATE_OFFERING);
    listener.calls[0]->AddNotify(&second);
    listener.calls[0]->AddNotify(&second); // duplicate ignored
    listener.calls[0]->AddNotify(nullptr);
    Send(51, LINE_CALLSTATE, LINECALLSTATE_CONNECTED);
    Send(51, LINE_CALLSTATE, LINECALLSTATE_IDLE);
    EXPECT_TRUE(listener.calls.empty());
    EXPECT_EQ(Heard({"state 51 " + std::to_string(LINECALLSTATE_CONNECTED)}), second.heard);
    EXPECT_EQ(nullptr, FindCall(51));
    EXPECT_EQ(std::vector<HCALL>{51}, fake.deallocated); // once, by the destructor
    EXPECT_TRUE(fake.dropped.empty());

    // Later messages for the handle are a new call's.
    Send(51, LINE_CALLINFO, LINECALLINFOSTATE_CALLERID);
    EXPECT_EQ(4u, listener.heard.size());
}

TEST_F(LineTest, DestroyingACallThatIsNotIdleDropsIt) {
    listener.adoptCalls = true;
    Send(61, LINE_CALLSTATE, LINECALLSTATE_CONNECTED);
    fake.deallocResult = E(LINEERR_INVALCALLSTATE);
    listener.calls.clear();
    EXPECT_EQ(std::vector<HCALL>{61}, fake.deallocated);
    EXPECT_EQ(std::vector<HCALL>{61}, fake.dropped);
    // The drop's reply has nobody to go to but the line.
    EXPECT_EQ(0u, line->PendingRequestCount());
}

// ---- Query buffers ----

// Answers lineGetCallInfo with a structure of `needed` bytes: too small a
// block gets the sizes and `tooSmall` (0 or STRUCTURETOOSMALL).
struct SizedService {
    std::vector<DWORD> neededSizes; // one per query, the last repeats
    LONG tooSmall;
    std::vector<DWORD> seenTotals;
    LONG operator()(HCALL, LINECALLINFO* info) {
        const DWORD needed = neededSizes[std::min(seenTotals.size(), neededSizes.size() - 1)];
        seenTotals.push_back(info->dwTotalSize);
        info->dwNeededSize = needed;
        if (info->dwTotalSize < needed) {
            info->dwUsedSize = sizeof(LINECALLINFO);
            return tooSmall;
        }
        info->dwUsedSize = needed;
        info->dwOrigin = LINECALLORIGIN_INBOUND;
        return 0;
    }
};

TEST_F(TapiTest, FetchGrowsUntilTheAnswerFitsThenShrinksToIt) {
    struct Case {
        const char* name;
        std::vector<DWORD> needed;
        LONG tooSmall;
        std::vector<DWORD> expectedTotals;
        DWORD finalSize;
    } cases[] = {
        {"fits at once", {400}, 0, {512}, 400},
        {"success with a larger needed size", {2000}, 0, {512, 2000}, 2000},
        {"repeated STRUCTURETOOSMALL",
         {600, 5000, 9000},
         E(LINEERR_STRUCTURETOOSMALL),
         {512, 600, 5000, 9000},
         9000},
    };
    for (const Case& c : cases) {
        SizedService service{c.needed, c.tooSmall, {}};
        fake.callInfo = std::ref(service);
        CTapiCallInfo info(5);
        EXPECT_EQ(0, info.Fetch()) << c.name;
        EXPECT_EQ(c.expectedTotals, service.seenTotals) << c.name;
        EXPECT_EQ(c.finalSize, info.BlockSize()) << c.name;
        EXPECT_EQ(DWORD(LINECALLORIGIN_INBOUND), info.Origin()) << c.name;
    }
}

TEST_F(TapiTest, FetchFailuresReleaseTheBlock) {
    // A plain failure.
    fake.callInfo = [](HCALL, LINECALLINFO*) { return E(LINEERR_INVALCALLHANDLE); };
    CTapiCallInfo failed(5);
    EXPECT_EQ(E(LINEERR_INVALCALLHANDLE), failed.Fetch());
    EXPECT_EQ(nullptr, failed.Block());
    EXPECT_EQ(0u, failed.Origin());
    EXPECT_EQ("", failed.CallerIdName());

    // A service that keeps saying "too small" without asking for more would
    // make the loop spin for ever; it is a failure instead.
    int queries = 0;
    fake.callInfo = [&](HCALL, LINECALLINFO* info) {
        ++queries;
        info->dwNeededSize = info->dwTotalSize;
        return E(LINEERR_STRUCTURETOOSMALL);
    };
    CTapiCallInfo stuck(5);
    EXPECT_LT(stuck.Fetch(), 0);
    EXPECT_EQ(1, queries);
    EXPECT_EQ(nullptr, stuck.Block());

    // Nor is a service that asks for gigabytes believed.
    fake.callInfo = [](HCALL, LINECALLINFO* info) {
        info->dwNeededSize = 0xFFFFFFF0;
        return E(LINEERR_STRUCTURETOOSMALL);
    };
    CTapiCallInfo greedy(5);
    EXPECT_EQ(E(LINEERR_NOMEM), greedy.Fetch());
    EXPECT_EQ(nullptr, greedy.Block());

    // Nor does a success that rewrites the total and used sizes make the
    // block "shrink" to hundreds of megabytes.
    fake.callInfo = [](HCALL, LINECALLINFO* info) {
        info->dwTotalSize = 0x7FFFFFF0;
        info->dwNeededSize = 400;
        info->dwUsedSize = 0x10000000;
        return 0;
    };
    CTapiCallInfo boastful(5);
    EXPECT_EQ(0, boastful.Fetch());
    EXPECT_EQ(512u, boastful.BlockSize());
    EXPECT_EQ(512u, static_cast<const LINECALLINFO*>(boastful.Block())->dwTotalSize);
}

TEST_F(TapiTest, DeviceIdAsksThePhoneOnlyWhenGivenOne) {
    fake.deviceId = [](VARSTRING* id) {
        id->dwNeededSize = id->dwUsedSize = sizeof(VARSTRING) + 4;
        id->dwStringFormat = STRINGFORMAT_BINARY;
        id->dwStringSize = 4;
        id->dwStringOffset = sizeof(VARSTRING);
        const DWORD device = 3;
        std::memcpy(reinterpret_cast<char*>(id) + sizeof(VARSTRING), &device, 4);
        return 0;
    };
    CTapiDeviceId phone("wave/out", 9, 50, 1, 61, LINECALLSELECT_CALL);
    CTapiDeviceId call = CTapiDeviceId::ForCall("wave/out", 61);
    ASSERT_EQ(0, phone.Fetch());
    ASSERT_EQ(0, call.Fetch());
    EXPECT_EQ((std::vector<std::string>{"phone 9 wave/out", "line 0 0 61 4 wave/out"}),
              fake.idQueries);
    DWORD device = 0;
    ASSERT_TRUE(call.DeviceId(device));
    EXPECT_EQ(3u, device);
}

// ---- The loader ----

TEST(TapiLoaderTest, MissingLibraryOrFunctionIsUnavailableAndNotRetried) {
    CTapiLoader missing("no-such-telephony.dll");
    HLINEAPP app = 0;
    DWORD devices = 0;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(E(LINEERR_OPERATIONUNAVAIL),
                  missing.lineInitialize(&app, nullptr, nullptr, "t", &devices));
        EXPECT_EQ(E(LINEERR_OPERATIONUNAVAIL), missing.lineShutdown(0));
    }
    EXPECT_EQ(1, missing.LoadAttempts());
    EXPECT_EQ(0, missing.LookupAttempts());

    // A library without the TAPI functions.
    CTapiLoader wrong("kernel32.dll");
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(E(LINEERR_OPERATIONUNAVAIL),
                  wrong.lineInitialize(&app, nullptr, nullptr, "t", &devices));
        EXPECT_EQ(E(LINEERR_OPERATIONUNAVAIL), wrong.phoneShutdown(0));
    }
    EXPECT_EQ(1, wrong.LoadAttempts());
    EXPECT_EQ(2, wrong.LookupAttempts()); // each function once
}

// A file copied in for one test and deleted after it.
class CPlantedFile {
public:
    CPlantedFile(const std::string& from, std::string to) : m_path(std::move(to)) {
        m_planted = CopyFileA(from.c_str(), m_path.c_str(), FALSE) != 0;
    }
    ~CPlantedFile() { DeleteFileA(m_path.c_str()); }
    CPlantedFile(const CPlantedFile&) = delete;
    CPlantedFile& operator=(const CPlantedFile&) = delete;
    bool Planted() const { return m_planted; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    bool m_planted = false;
};

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.find_last_of('\\') + 1);
}

// The folder a loaded module was mapped from.
std::string LoadedFrom(HMODULE module) {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
    return FolderOf(std::string(path, length < MAX_PATH ? length : 0));
}

std::string SystemFolder() {
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return std::string(folder) + "\\";
}

bool SameFolder(const std::string& a, const std::string& b) {
    return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

TEST(TapiLoaderTest, APlantedTapi32BesideTheProgramOrInTheCurrentFolderIsNeverLoaded) {
    const std::string programFolder = FolderOf(test::ExePath());
    const std::string standIn = programFolder + "rwplanted.dll";
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string current = std::string(temp) + "rw-planted-current\\";
    CreateDirectoryA(current.c_str(), nullptr);
    char previousCurrent[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, previousCurrent);
    {
        CPlantedFile beside(standIn, programFolder + "tapi32.dll");
        CPlantedFile inCurrent(standIn, current + "tapi32.dll");
        ASSERT_TRUE(beside.Planted() && inCurrent.Planted()) << standIn;
        ASSERT_TRUE(SetCurrentDirectoryA(current.c_str()));
        ASSERT_EQ(nullptr, GetModuleHandleA("tapi32.dll"));

        // The program's own table, with no process-wide limit in place.
        {
            CTapiLoader loader(TapiLibraryPath());
            EXPECT_NE(test::kPlantedTapiAnswer, loader.lineShutdown(0));
            HMODULE loaded = GetModuleHandleA("tapi32.dll");
            ASSERT_NE(nullptr, loaded);
            EXPECT_TRUE(SameFolder(SystemFolder(), LoadedFrom(loaded))) << LoadedFrom(loaded);
        }
        ASSERT_EQ(nullptr, GetModuleHandleA("tapi32.dll")) << "the loader let go of it";

        // The limit the program sets first thing: a bare name is looked for
        // in the system folder only, while a full path (as the simulator is
        // loaded) still loads.
        EXPECT_TRUE(LimitDllSearchToSystemFolder());
        HMODULE byName = LoadLibraryA("tapi32.dll");
        ASSERT_NE(nullptr, byName);
        EXPECT_TRUE(SameFolder(SystemFolder(), LoadedFrom(byName))) << LoadedFrom(byName);
        FreeLibrary(byName);
        HMODULE byPath = LoadLibraryA(beside.Path().c_str());
        EXPECT_NE(nullptr, byPath);
        if (byPath)
            FreeLibrary(byPath);
        SetCurrentDirectoryA(previousCurrent);
    }
    SetCurrentDirectoryA(previousCurrent);
    RemoveDirectoryA(current.c_str());
}

// ---- Caller ID from an untrusted LINECALLINFO ----

TEST(CallerIdReaderTest, CopiesOnlyWhatTheStructureHoldsAndAllows) {
    constexpr DWORD kFixed = kLineCallInfoFixedSize;
    struct Case {
        const char* name;
        DWORD blockSize; // bytes really there
        DWORD total, used;
        DWORD offset, size;
        std::string expected;
    } cases[] = {
        {"normal", kFixed + 16, kFixed + 16, kFixed + 16, kFixed, 6, "01234"},
        {"empty", kFixed + 16, kFixed + 16, kFixed + 16, 0, 0, ""},
        {"zero size, offset set", kFixed + 16, kFixed + 16, kFixed + 16, kFixed, 0, ""},
        {"no NUL", kFixed + 16, kFixed + 16, kFixed + 16, kFixed + 8, 3, "ABC"},
        {"size past the block", kFixed + 16, kFixed + 16, kFixed + 16, kFixed + 8, 4096,
         "ABCDEFGH"},
        {"size wraps around", kFixed + 16, kFixed + 16, kFixed + 16, kFixed + 8, 0xFFFFFFFF,
         "ABCDEFGH"},
        {"offset past the block", kFixed + 16, kFixed + 16, kFixed + 16, kFixed + 16, 4, ""},
        {"offset far away", kFixed + 16, kFixed + 16, kFixed + 16, 0xFFFFFFF0, 0x20, ""},
        {"offset inside the fixed part", kFixed + 16, kFixed + 16, kFixed + 16, 8, 4, ""},
        {"total claims more than the block", kFixed + 16, 100000, 100000, kFixed + 8, 100,
         "ABCDEFGH"},
        {"used stops short", kFixed + 16, kFixed + 16, kFixed + 10, kFixed + 8, 8, "AB"},
        {"block shorter than the fixed part", 64, kFixed + 16, kFixed + 16, kFixed, 6, ""},
    };
    for (const Case& c : cases) {
        // The block ends exactly where its memory ends.
        std::vector<char> bytes(c.blockSize);
        auto* info = reinterpret_cast<LINECALLINFO*>(bytes.data());
        info->dwTotalSize = c.total;
        info->dwUsedSize = c.used;
        if (bytes.size() >= kFixed + 16)
            std::memcpy(bytes.data() + kFixed, "01234\0\0\0ABCDEFGH", 16);
        EXPECT_EQ(c.expected, CTapiCallInfo::ReadText(bytes.data(), c.blockSize, c.offset, c.size))
            << c.name;
    }
}

TEST_F(TapiTest, CallerIdOfAFetchedCallKeepsArbitraryBytes) {
    std::string noise;
    for (int b = 1; b < 256; ++b)
        noise += static_cast<char>(b);
    fake.callInfo = [&](HCALL, LINECALLINFO* info) -> LONG {
        const DWORD needed = kLineCallInfoFixedSize + noise.size() + 1 + 5;
        info->dwNeededSize = needed;
        if (info->dwTotalSize < needed)
            return E(LINEERR_STRUCTURETOOSMALL);
        info->dwUsedSize = needed;
        info->dwCallerIDFlags = LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME;
        char* var = reinterpret_cast<char*>(info) + kLineCallInfoFixedSize;
        std::memcpy(var, noise.c_str(), noise.size() + 1);
        info->dwCallerIDNameOffset = kLineCallInfoFixedSize;
        info->dwCallerIDNameSize = noise.size() + 1;
        std::memcpy(var + noise.size() + 1, "12345", 5); // no NUL, at the very end
        info->dwCallerIDOffset = kLineCallInfoFixedSize + noise.size() + 1;
        info->dwCallerIDSize = 5;
        return 0;
    };
    CTapiCallInfo info(5);
    ASSERT_EQ(0, info.Fetch());
    EXPECT_EQ(noise, info.CallerIdName());
    EXPECT_EQ("12345", info.CallerIdNumber());
    EXPECT_EQ(DWORD(LINECALLPARTYID_ADDRESS | LINECALLPARTYID_NAME), info.CallerIdFlags());
}

// ---- Command line ----

TEST(CommandLineTest, SwitchesAndTheSimulatorsOwn) {
    struct Case {
        std::vector<std::string> args;
        bool simulator, help, noHistory;
    } cases[] = {
        {{}, false, false, false},
        {{"--line-simulator"}, true, false, false},
        {{"--line-simulator", "--sim-script", "calls.txt", "--sim-no-window"}, true, false, false},
        {{"--line-simulator", "--sim-devices", "0"}, true, false, false},
        {{"--no-history", "--line-simulator"}, true, false, true},
        {{"--help"}, false, true, false},
        {{"/?"}, false, true, false},
        {{"--bogus"}, false, true, false},
    };
    for (const Case& c : cases) {
        const CCommandLine line = CCommandLine::Parse(c.args);
        EXPECT_EQ(c.simulator, line.lineSimulator) << testing::PrintToString(c.args);
        EXPECT_EQ(c.help, line.help) << testing::PrintToString(c.args);
        EXPECT_EQ(c.noHistory, line.noHistory) << testing::PrintToString(c.args);
    }
    // The overrides, for a shortcut, a scheduled task or a script.
    struct Override {
        std::vector<std::string> args;
        OverrideRequest request;
        int minutes;
        bool help;
    } overrides[] = {
        {{"--quiet", "30"}, OverrideRequest::Quiet, 30, false},
        {{"--let-all-ring", "0"}, OverrideRequest::AllRing, 0, false},
        {{"--override-off"}, OverrideRequest::Off, 0, false},
        {{"--quiet"}, OverrideRequest::None, 0, true},
        {{"--quiet", "-5"}, OverrideRequest::None, 0, true},
        {{"--quiet", "99999999"}, OverrideRequest::None, 0, true},
        {{"--let-all-ring", "ten"}, OverrideRequest::None, 0, true},
    };
    for (const Override& c : overrides) {
        const CCommandLine line = CCommandLine::Parse(c.args);
        EXPECT_EQ(line.overrideRequest, c.request) << testing::PrintToString(c.args);
        EXPECT_EQ(line.overrideMinutes, c.minutes) << testing::PrintToString(c.args);
        EXPECT_EQ(line.help, c.help) << testing::PrintToString(c.args);
    }
    EXPECT_EQ("C:\\Program Files\\RW\\rwlinesim.dll",
              LineSimulatorPath("C:\\Program Files\\RW\\Ringwarden.exe"));
}

} // namespace
} // namespace rw
