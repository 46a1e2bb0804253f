// The program run for each call, for real: started hidden with the call's
// texts in its environment and nowhere else, at most four at a time, and
// ended at the time limit. The program is hook_probe.exe (HookProbe.cpp),
// which writes the RINGWARDEN_ variables it was given to a file.
#include "../core/ConfigTestUtil.h"
#include "../support/ExePath.h"
#include "../support/SimCaller.h"
#include "../support/SimulatedLine.h"
#include "LineSim.h"
#include "app/CallHook.h"
#include "app/Settings.h"
#include "records/Clock.h"
#include "records/LoggedCall.h"
#include "records/WidePath.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiRegistration.h"
#include "ui/MainDialog.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

namespace rw {
namespace {

using linesim::CallerIdKind;

std::string ProbePath() {
    const std::string exe = test::ExePath();
    return exe.substr(0, exe.find_last_of('\\') + 1) + "hook_probe.exe";
}

// Starting a process under Wine takes a while: a longer wait than the
// other tests' two seconds.
bool PumpFor(DWORD ms, const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
    return true;
}

std::map<std::string, std::string> ReadVariables(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadWholeFile(path);
    const std::string text(bytes.begin(), bytes.end());
    std::map<std::string, std::string> vars;
    size_t at = 0;
    for (size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        const size_t equals = line.find('=');
        vars[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return vars;
}

// The system code page's bytes as the program gets them: UTF-16, here UTF-8.
std::string SystemToUtf8(const std::string& text) {
    std::wstring wide(text.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_ACP, 0, text.data(),
                                                        static_cast<int>(text.size()), wide.data(),
                                                        static_cast<int>(wide.size()))));
    return Utf8Path(wide);
}

// A caller's name and number made to look like commands reach the program
// as data, byte for byte, through a shell too; nothing of them runs, and no
// RINGWARDEN_ variable of Ringwarden's own environment leaks through.
TEST(CallHook, TheCallsTextsReachTheProgramAsDataAndNothingRuns) {
    test::PrepareSimulatedLine();
    CTapiLoader loader{test::SimulatorPath()};
    SetTapiApi(&loader);
    ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    test::CScratchDir dir;
    const std::string canary = dir.Path("canary.txt");
    const std::string out = dir.Path("vars.txt");
    test::WriteWholeFile(canary, {'x'});
    // Through cmd.exe, which would run anything pasted into its line.
    CSettings settings;
    settings.SetHookCommand("cmd.exe /c " + ProbePath() + " " + out);
    ASSERT_TRUE(settings.Save(CSettings::PathBeside(dir.Path("Ringwarden.cfg"))));
    SetEnvironmentVariableW(L"RINGWARDEN_NAME", L"stale");
    SetEnvironmentVariableW(L"Ringwarden_Extra", L"stale");

    CSettableClock clock{CDateTime::FromParts(2026, 12, 1, 20, 15, 30)};
    {
        CMainDialog dialog{clock};
        dialog.SetConfigPath(dir.Path("Ringwarden.cfg"));
        ASSERT_TRUE(dialog.Create());
        const std::string name = "\"& del " + canary + " & echo \" %COMSPEC% ^ | Caf\xe9";
        const std::string number = "0161 496 & del " + canary + " %COMSPEC%";
        const uint32_t call = linesim::Ring(test::Caller(CallerIdKind::Both, number, name));
        ASSERT_NE(0u, call);
        ASSERT_TRUE(PumpFor(2000, [&] { return dialog.Screener().CallCount() == 1; }));
        ASSERT_TRUE(PumpFor(2000, [&] { return dialog.Screener().Call(0).GetAction() != 0; }));
        ASSERT_TRUE(linesim::HangUp(call));
        ASSERT_TRUE(PumpFor(15000, [&] { return test::FileExists(out); }));

        const CLoggedCall& logged = dialog.Screener().Call(0);
        std::map<std::string, std::string> vars = ReadVariables(out);
        EXPECT_EQ(vars.size(), 7u);
        EXPECT_EQ(vars["RINGWARDEN_NAME"], SystemToUtf8(name)) << "the caller ID's own name";
        EXPECT_EQ(vars["RINGWARDEN_NUMBER"], SystemToUtf8(logged.GetNumber()));
        EXPECT_NE(vars["RINGWARDEN_NUMBER"].find("& del"), std::string::npos);
        EXPECT_NE(vars["RINGWARDEN_NUMBER"].find("%COMSPEC%"), std::string::npos);
        EXPECT_EQ(vars["RINGWARDEN_TIME"], "2026-12-01 20:15:30");
        EXPECT_EQ(vars["RINGWARDEN_CALL_TYPE"], "name and number");
        EXPECT_EQ(vars["RINGWARDEN_ACTION"], SystemToUtf8(logged.ActionDisplayText()));
        EXPECT_EQ(vars["RINGWARDEN_EVENT"], logged.IsBlockingAction() ? "blocked" : "call");
        EXPECT_EQ(vars["RINGWARDEN_MESSAGE"], "");
        EXPECT_EQ(vars.count("Ringwarden_Extra"), 0u);
        EXPECT_TRUE(test::FileExists(canary)) << "a command in the caller's texts ran";
        PumpFor(15000, [&] { return dialog.Session().CallHook().Idle(); });
        dialog.DestroyWindow();
    }
    SetEnvironmentVariableW(L"RINGWARDEN_NAME", nullptr);
    SetEnvironmentVariableW(L"Ringwarden_Extra", nullptr);
    UnregisterLineApp();
    SetTapiApi(nullptr);
}

// Four run at a time, a burst beyond the queue is skipped, and a run that
// outlasts the limit is ended before it has done anything.
TEST(CallHook, FourAtATimeAndNoneOutlivesTheLimit) {
    test::CScratchDir dir;
    CCallHook hook;
    hook.SetTimeLimit(1500);
    for (size_t i = 0; i < CCallHook::kMaxWaiting; ++i)
        ASSERT_TRUE(hook.Queue(ProbePath() + " --sleep 60000 " + dir.Path(std::to_string(i)), {}));
    EXPECT_FALSE(hook.Queue(ProbePath() + " " + dir.Path("skipped"), {}));

    const DWORD start = GetTickCount();
    EXPECT_TRUE(hook.Service(GetTickCount()).empty());
    EXPECT_EQ(hook.RunningCount(), 4u);
    EXPECT_EQ(hook.WaitingCount(), CCallHook::kMaxWaiting - 4);
    // The first four are ended at the limit and the next four take their
    // places.
    ASSERT_TRUE(PumpFor(10000, [&] {
        hook.Service(GetTickCount());
        return hook.WaitingCount() == CCallHook::kMaxWaiting - 8;
    }));
    EXPECT_GE(GetTickCount() - start, 1500u);
    EXPECT_EQ(hook.RunningCount(), 4u);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(test::FileExists(dir.Path(std::to_string(i))));

    // A bad command line is a failure with the system's reason, and frees
    // its place.
    CCallHook once;
    once.Queue(dir.Path("missing.exe"), {});
    const std::vector<CCallHook::Failure> failures = once.Service(GetTickCount());
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].command, dir.Path("missing.exe"));
    EXPECT_FALSE(failures[0].reason.empty());
    EXPECT_TRUE(once.Idle());
}

} // namespace
} // namespace rw
