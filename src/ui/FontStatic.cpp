#include "ui/FontStatic.h"

#include "ui/framework/PaintDC.h"

#include <commctrl.h>

#include <cstring>
#include <string>

namespace rw {
namespace {

constexpr UINT_PTR kSubclassId = 1;

std::string ControlText(HWND hWnd) {
    const int length = GetWindowTextLengthA(hWnd);
    if (length <= 0)
        return {};
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(hWnd, text.data(), length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

UINT AlignmentFlags(LONG style) {
    if (style & SS_CENTER)
        return DT_CENTER;
    if (style & SS_RIGHT)
        return DT_RIGHT;
    return DT_LEFT;
}

} // namespace

CFontStatic::~CFontStatic() {
    if (m_hWnd && m_font.Get() &&
        reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0)) == m_font.Get())
        SendMessageA(m_hWnd, WM_SETFONT, 0, FALSE);
    Detach();
}

bool CFontStatic::Attach(HWND control) {
    if (!control || m_hWnd)
        return false;
    if (!SetWindowSubclass(control, &CFontStatic::SubclassProc, kSubclassId,
                           reinterpret_cast<DWORD_PTR>(this)))
        return false;
    m_hWnd = control;
    InvalidateRect(m_hWnd, nullptr, TRUE);
    return true;
}

void CFontStatic::Detach() {
    if (!m_hWnd)
        return;
    RemoveWindowSubclass(m_hWnd, &CFontStatic::SubclassProc, kSubclassId);
    InvalidateRect(m_hWnd, nullptr, TRUE);
    m_hWnd = nullptr;
}

int CFontStatic::SetLabelFont(int height, bool bold, bool italic, bool underline) {
    LOGFONTA description{};
    description.lfHeight = height;
    description.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    description.lfItalic = italic ? TRUE : FALSE;
    description.lfUnderline = underline ? TRUE : FALSE;
    description.lfCharSet = ANSI_CHARSET;
    description.lfOutPrecision = OUT_STRING_PRECIS;
    description.lfClipPrecision = CLIP_STROKE_PRECIS;
    description.lfQuality = DRAFT_QUALITY;
    description.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    std::strcpy(description.lfFaceName, "Ms sans serif");
    m_description = description;
    if (!m_font.Create(m_description))
        return -1;
    if (m_hWnd) {
        SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_font.Get()), TRUE);
        InvalidateRect(m_hWnd, nullptr, TRUE);
    }
    return 0;
}

void CFontStatic::Paint(HDC dc) {
    RECT client{};
    GetClientRect(m_hWnd, &client);
    // The static's own background is painted here, not on WM_ERASEBKGND:
    // without this the old text would show through a new, shorter one.
    HBRUSH background = nullptr;
    if (HWND parent = GetParent(m_hWnd))
        background = reinterpret_cast<HBRUSH>(SendMessageA(parent, WM_CTLCOLORSTATIC,
                                                           reinterpret_cast<WPARAM>(dc),
                                                           reinterpret_cast<LPARAM>(m_hWnd)));
    FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_3DFACE));

    const std::string text = ControlText(m_hWnd);
    HFONT font = reinterpret_cast<HFONT>(SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &client,
              DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS |
                  AlignmentFlags(GetWindowLongA(m_hWnd, GWL_STYLE)));
    if (previous)
        SelectObject(dc, previous);
}

void CFontStatic::OnPaint() {
    CPaintDC dc(m_hWnd);
    Paint(dc.Get());
}

LRESULT CALLBACK CFontStatic::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CFontStatic*>(data);
    try {
        switch (message) {
        case WM_PAINT:
            self->OnPaint();
            return 0;
        case WM_PRINTCLIENT:
            // Lets PrintWindow (and tests) capture the label as it paints.
            self->Paint(reinterpret_cast<HDC>(wParam));
            return 0;
        case WM_NCDESTROY:
            // The hook must be gone before the window is.
            RemoveWindowSubclass(hWnd, &CFontStatic::SubclassProc, kSubclassId);
            self->m_hWnd = nullptr;
            break;
        default:
            break;
        }
    } catch (...) {
        // A paint that cannot allocate its text leaves the label as it was.
        return 0;
    }
    return DefSubclassProc(hWnd, message, wParam, lParam);
}

} // namespace rw
