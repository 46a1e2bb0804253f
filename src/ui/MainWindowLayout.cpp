#include "ui/MainWindowLayout.h"

#include "res/resource.h"

#include <algorithm>

namespace rw {

unsigned CMainWindowLayout::AnchorOf(int id, bool etchedLine) {
    switch (id) {
    case IDC_CALL_LIST:
        return Left | Top | Right | Bottom;
    case IDC_ADD_ENTRY:
    case IDC_EDIT_ENTRY:
    case IDC_CONFIGURE:
    case IDC_OVERRIDE:
    case IDC_OVERRIDE_OFF:
    case IDC_EXPORT_CALLS:
    case IDC_STATISTICS:
        return Right | Top;
    case IDC_OVERRIDE_TEXT:
        return Left | Top | Right;
    case IDC_QUIT:
    case IDC_HIDE:
        return Right | Bottom;
    case IDC_HELP_BUTTON:
        return Left | Bottom;
    default:
        // The line above the lower buttons spans the window; the label
        // above the list stays where it is.
        return etchedLine ? Left | Right | Bottom : Left | Top;
    }
}

void CMainWindowLayout::Attach(HWND window) {
    m_window = window;
    m_controls.clear();
    RECT client{};
    GetClientRect(window, &client);
    m_client = {client.right, client.bottom};
    RECT frame{};
    GetWindowRect(window, &frame);
    m_minimum = {frame.right - frame.left, frame.bottom - frame.top};
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        Control control{child, {}, 0};
        GetWindowRect(child, &control.rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&control.rect), 2);
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        wchar_t className[16] = {};
        GetClassNameW(child, className, 16);
        const bool etchedLine =
            lstrcmpiW(className, L"Static") == 0 && (style & SS_TYPEMASK) == SS_ETCHEDHORZ;
        control.anchors = AnchorOf(GetDlgCtrlID(child), etchedLine);
        m_controls.push_back(control);
    }
}

void CMainWindowLayout::Resize(int width, int height) {
    if (!m_window || m_controls.empty())
        return;
    // Never laid out smaller than the template: a window shrunk below it
    // (a placement saved by an older, smaller window) clips instead of
    // piling the controls up.
    const int dx = std::max(0, width - static_cast<int>(m_client.cx));
    const int dy = std::max(0, height - static_cast<int>(m_client.cy));
    HDWP positions = BeginDeferWindowPos(static_cast<int>(m_controls.size()));
    for (const Control& control : m_controls) {
        RECT rect = control.rect;
        if (control.anchors & Right) {
            rect.right += dx;
            if (!(control.anchors & Left))
                rect.left += dx;
        }
        if (control.anchors & Bottom) {
            rect.bottom += dy;
            if (!(control.anchors & Top))
                rect.top += dy;
        }
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
        if (positions)
            positions = DeferWindowPos(positions, control.hWnd, nullptr, rect.left, rect.top,
                                       rect.right - rect.left, rect.bottom - rect.top, flags);
        else
            SetWindowPos(control.hWnd, nullptr, rect.left, rect.top, rect.right - rect.left,
                         rect.bottom - rect.top, flags);
    }
    if (positions)
        EndDeferWindowPos(positions);
    // The buttons leave their old places behind, and the etched line is
    // drawn whole again.
    InvalidateRect(m_window, nullptr, TRUE);
}

void CMainWindowLayout::LimitTracking(MINMAXINFO& info) const {
    if (!m_window)
        return;
    info.ptMinTrackSize.x = std::max(info.ptMinTrackSize.x, m_minimum.cx);
    info.ptMinTrackSize.y = std::max(info.ptMinTrackSize.y, m_minimum.cy);
}

} // namespace rw
