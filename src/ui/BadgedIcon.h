// A tray state icon with a coloured dot in its lower right corner: the
// badge that says an override is on. The icon is made here and owned by
// this object (the shell keeps its own copy of whatever it is shown).
#pragma once

#include <windows.h>

namespace rw {

// A GDI bitmap, deleted with its owner.
class CBitmapHandle {
public:
    explicit CBitmapHandle(HBITMAP bitmap = nullptr) : m_bitmap(bitmap) {}
    ~CBitmapHandle() {
        if (m_bitmap)
            DeleteObject(m_bitmap);
    }
    CBitmapHandle(const CBitmapHandle&) = delete;
    CBitmapHandle& operator=(const CBitmapHandle&) = delete;
    HBITMAP Get() const { return m_bitmap; }

private:
    HBITMAP m_bitmap;
};

class CBadgedIcon {
public:
    CBadgedIcon() = default;
    ~CBadgedIcon() { Reset(); }
    CBadgedIcon(const CBadgedIcon&) = delete;
    CBadgedIcon& operator=(const CBadgedIcon&) = delete;

    // The small-size icon `iconId` of `module` with a dot of `colour`
    // (kept until the same pair is asked for again); null when it could
    // not be made.
    HICON Make(HMODULE module, UINT iconId, COLORREF colour);
    HICON Get() const { return m_icon; }

private:
    void Reset();

    HICON m_icon = nullptr;
    UINT m_iconId = 0;
    COLORREF m_colour = 0;
};

} // namespace rw
