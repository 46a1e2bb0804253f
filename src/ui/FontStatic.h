// A static text control that owns its font and paints its own text on one
// line, cut with an ellipsis when it is wider than the control. It hooks a
// control that already exists (a dialog template's label) by subclassing.
#pragma once

#include <windows.h>

namespace rw {

// Owns one GDI font and deletes it.
class CGdiFont {
public:
    CGdiFont() = default;
    ~CGdiFont() { Reset(); }
    CGdiFont(const CGdiFont&) = delete;
    CGdiFont& operator=(const CGdiFont&) = delete;

    // Replaces the font held with one made from `description`; false when
    // the font cannot be made, keeping the old one (a control may still be
    // drawing with it).
    bool Create(const LOGFONTA& description) {
        HFONT font = CreateFontIndirectA(&description);
        if (!font)
            return false;
        Reset();
        m_font = font;
        return true;
    }
    void Reset() {
        if (m_font)
            DeleteObject(m_font);
        m_font = nullptr;
    }
    HFONT Get() const { return m_font; }

private:
    HFONT m_font = nullptr;
};

class CFontStatic {
public:
    CFontStatic() = default;
    // Unhooks a control that is still alive and takes its font back from
    // it before deleting the font.
    ~CFontStatic();
    CFontStatic(const CFontStatic&) = delete;
    CFontStatic& operator=(const CFontStatic&) = delete;

    // Hooks the control; false when it is null or this object already
    // hooks one. One object per control. The hook ends by itself when the
    // control is destroyed.
    bool Attach(HWND control);
    void Detach();
    HWND GetSafeHwnd() const { return m_hWnd; }

    // Makes a "Ms sans serif" font `height` logical units high, gives it
    // to the control and repaints the control. 0 on success, -1 when the
    // font cannot be made (the control keeps the font it had).
    int SetLabelFont(int height, bool bold, bool italic, bool underline);
    HFONT Font() const { return m_font.Get(); }
    const LOGFONTA& FontDescription() const { return m_description; }

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
    void Paint(HDC dc);
    void OnPaint();

    LOGFONTA m_description{};
    CGdiFont m_font;
    HWND m_hWnd = nullptr;
};

} // namespace rw
