// The width of texts as a window draws them: a screen DC with the window's
// font, released at the end of the scope.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

namespace rw {

class CTextMeasure {
public:
    explicit CTextMeasure(HWND window) : m_window(window), m_dc(GetDC(window)) {
        const auto font = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
        if (m_dc && font)
            m_previous = SelectObject(m_dc, font);
    }
    ~CTextMeasure() {
        if (m_previous)
            SelectObject(m_dc, m_previous);
        if (m_dc)
            ReleaseDC(m_window, m_dc);
    }
    CTextMeasure(const CTextMeasure&) = delete;
    CTextMeasure& operator=(const CTextMeasure&) = delete;

    // The width in pixels of `text` (system code page) up to its first NUL
    // and at most `maxChars` characters; 0 without a DC.
    int Width(const std::string& text, size_t maxChars) const {
        const size_t length = std::min({text.find('\0'), text.size(), maxChars});
        SIZE size{};
        if (!m_dc || length == 0 ||
            !GetTextExtentPoint32A(m_dc, text.data(), static_cast<int>(length), &size))
            return 0;
        return size.cx;
    }

private:
    HWND m_window;
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

} // namespace rw
