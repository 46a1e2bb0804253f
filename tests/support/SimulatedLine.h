// Windows-side tests that drive the main window through the line simulator.
#pragma once

#include "LineSim.h"

#include <windows.h>

#include <commctrl.h>

namespace rw::test {

// The list and other common controls, and a simulator that shows no window,
// prints no summary at its end, and lets calls ring on for the whole test.
inline void PrepareSimulatedLine() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    linesim::SetShowWindow(false);
    linesim::SetPrintSummary(false);
    linesim::SetRingTiming(60000, 5);
}

} // namespace rw::test
