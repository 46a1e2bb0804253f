// The main window's controls as the user resizes it: the call list takes
// the room gained, the buttons beside it stay at the right edge, those below
// it and the line above them at the bottom, and the window never gets
// smaller than its template (at the screen's scale), on which every text
// fits.
#pragma once

#include <windows.h>

#include <vector>

namespace rw {

class CMainWindowLayout {
public:
    // Which edges of the window a control keeps its distance to; a control
    // kept at both of a pair stretches between them.
    enum Anchor : unsigned {
        Left = 1,
        Top = 2,
        Right = 4,
        Bottom = 8,
    };

    // Takes the window's controls where the template put them and its size
    // as the smallest. Call once the controls exist (WM_INITDIALOG), before
    // the window is given a saved size.
    void Attach(HWND window);
    // Moves the controls for a client area of `width` x `height` (WM_SIZE).
    void Resize(int width, int height);
    // The smallest size the user can drag the window to (WM_GETMINMAXINFO).
    void LimitTracking(MINMAXINFO& info) const;

private:
    // Where the main window's control `id` is anchored; `etchedLine`: the
    // control is the line drawn across the window above the lower buttons.
    static unsigned AnchorOf(int id, bool etchedLine);

    struct Control {
        HWND hWnd;
        RECT rect; // in the template's client area
        unsigned anchors;
    };

    HWND m_window = nullptr;
    SIZE m_client{};  // the template's client area
    SIZE m_minimum{}; // the template's window size
    std::vector<Control> m_controls;
};

} // namespace rw
