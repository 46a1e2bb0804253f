#include "app/ScreenerApp.h"

#include "records/Clock.h"
#include "ui/MainDialog.h"

#include <commctrl.h>

namespace rw {

int CScreenerApp::Run() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_DATE_CLASSES};
    InitCommonControlsEx(&controls);

    CSystemClock clock;
    CMainDialog mainDialog(clock);
    mainDialog.DoModal();
    return 0;
}

} // namespace rw
