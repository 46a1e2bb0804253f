#include "ui/ListEnterKey.h"

namespace rw {

LRESULT CListEnterKey::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const LRESULT code = CSubclassWnd::HandleMessage(message, wParam, lParam);
    if (message != WM_GETDLGCODE)
        return code;
    // Only Enter itself: Tab and Escape still belong to the dialog.
    const MSG* msg = reinterpret_cast<const MSG*>(lParam);
    if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
        return code | DLGC_WANTMESSAGE;
    return code;
}

} // namespace rw
