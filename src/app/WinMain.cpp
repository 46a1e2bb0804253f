#include "app/ScreenerApp.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    rw::CScreenerApp app(instance);
    return app.Run();
}
