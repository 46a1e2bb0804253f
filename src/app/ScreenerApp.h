// The application object: starts the program, runs the main window
// modally for the program's whole life and shuts down afterwards.
#pragma once

#include <windows.h>

namespace rw {

class CScreenerApp {
public:
    explicit CScreenerApp(HINSTANCE instance) : m_instance(instance) {}
    // Runs the program; returns the process exit code.
    int Run();

private:
    HINSTANCE m_instance;
};

} // namespace rw
