// Windows-side tests: run this thread's message loop while waiting for
// something that arrives as window messages (TAPI callbacks, wave output
// completions, timers).
#pragma once

#include <windows.h>

#include <functional>

namespace rw::test {

// Dispatches messages until `done` holds or two seconds pass; false on
// time-out.
inline bool PumpUntil(const std::function<bool()>& done) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > 2000)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(1);
    }
    return true;
}

} // namespace rw::test
