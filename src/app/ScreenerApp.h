// The application object: starts the program, runs the main window
// modally for the program's whole life and shuts down afterwards.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace rw {

class CScreenerApp {
public:
    explicit CScreenerApp(HINSTANCE instance, std::vector<std::string> args = {})
        : m_instance(instance), m_args(std::move(args)) {}
    // Runs the program; returns the process exit code.
    int Run();

private:
    // Chooses the telephony library; false when the usage text was shown.
    bool ApplyCommandLine();
    void RegisterTelephony();
    // --check-modem: the report on every line device, written to `file`;
    // the exit code (1 when the file could not be written).
    int CheckModem(const std::string& file);
    static void ShutdownTelephony();

    HINSTANCE m_instance;
    std::vector<std::string> m_args;
};

} // namespace rw
