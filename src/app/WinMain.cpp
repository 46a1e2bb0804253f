#include "app/ScreenerApp.h"
#include "telephony/SystemLibrary.h"

#include <windows.h>

#include <cstdlib>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Before anything loads a library by name: a DLL planted beside the
    // program or in the current folder must never be picked up.
    rw::LimitDllSearchToSystemFolder();
    // The C runtime has already split the command line, quotes and all.
    std::vector<std::string> args;
    for (int i = 1; i < __argc; ++i)
        args.emplace_back(__argv[i]);
    rw::CScreenerApp app(instance, std::move(args));
    return app.Run();
}
