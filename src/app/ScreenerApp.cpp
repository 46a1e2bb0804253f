#include "app/ScreenerApp.h"

#include "app/CommandLine.h"
#include "app/ConfigLocation.h"
#include "app/ModemCheck.h"
#include "app/ProgramDirectory.h"
#include "app/SingleInstance.h"
#include "records/Clock.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiRegistration.h"
#include "ui/MainDialog.h"

#include <commctrl.h>

namespace rw {

bool CScreenerApp::ApplyCommandLine() {
    const CCommandLine line = CCommandLine::Parse(m_args);
    if (line.help) {
        MessageBoxA(nullptr, LoadResString(IDS_USAGE).c_str(), LoadResString(IDS_APP_TITLE).c_str(),
                    MB_OK | MB_ICONINFORMATION);
        return false;
    }
    // By full path: the simulator lives beside the program, and a bare name
    // would be searched for elsewhere too. The folder comes in UTF-8 from the
    // wide call, so a folder named in any script works.
    if (line.lineSimulator)
        SetTapiLibraryPath(LineSimulatorPath(ProgramDirectory()));
    return true;
}

void CScreenerApp::RegisterTelephony() {
    // No line device is a registration all the same, so that a modem plugged
    // in later is heard of; the user is told either way, and the main window
    // keeps trying.
    if (RegisterLineApp(nullptr, nullptr, m_instance) < 0 || LineDeviceCount() == 0)
        MessageBoxA(nullptr, LoadResString(IDS_TAPI_INIT_FAILED).c_str(),
                    LoadResString(IDS_APP_TITLE).c_str(), MB_OK | MB_ICONEXCLAMATION);
    // The phone registration only lives beside the line one; its result
    // changes nothing.
    RegisterPhoneApp(nullptr, nullptr, m_instance);
}

int CScreenerApp::CheckModem(const std::string& file) {
    // A registration of its own, beside any copy already running: the check
    // opens lines only to monitor, so it takes nothing from that copy.
    const bool registered = RegisterLineApp(nullptr, nullptr, m_instance) == 0;
    const bool written = CModemCheck::WriteReport(file);
    if (registered)
        UnregisterLineApp();
    return written ? 0 : 1;
}

void CScreenerApp::ShutdownTelephony() {
    UnregisterLineApp();
    UnregisterPhoneApp();
}

int CScreenerApp::Run() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);

    if (!ApplyCommandLine())
        return 0;
    const CCommandLine line = CCommandLine::Parse(m_args);
    if (!line.checkModemFile.empty())
        return CheckModem(line.checkModemFile);
    // Held to the very end, past the configuration's save and telephony's
    // shut-down: a copy started meanwhile waits for this one's window
    // instead of running beside it. A second copy only brings the first
    // forward: it neither registers with telephony nor shows anything, and
    // never saves the configuration.
    CSingleInstance instance;
    // A copy already running takes over an override asked for here.
    if (!instance.Acquire(kSingleInstanceName, LoadResString(IDS_APP_TITLE), kSingleInstanceWaitMs,
                          static_cast<WPARAM>(line.overrideRequest),
                          static_cast<LPARAM>(line.overrideMinutes)))
        return 0;
    RegisterTelephony();
    {
        CSystemClock clock;
        CMainDialog mainDialog(clock);
        // Beside the program for a portable copy, in the user's application
        // data for an installed one.
        mainDialog.SetConfigLocation(ResolveConfigLocation());
        mainDialog.SetHistoryAllowed(!line.noHistory);
        mainDialog.SetStartOverride(line.overrideRequest, line.overrideMinutes);
        mainDialog.SetTraceForced(line.trace);
        mainDialog.SetStartupModemCheck(true);
        mainDialog.DoModal();
        // The main window closes its lines when destroyed, before the
        // registration ends.
    }
    ShutdownTelephony();
    // Only now is the mutex let go, as `instance` goes.
    return 0;
}

} // namespace rw
