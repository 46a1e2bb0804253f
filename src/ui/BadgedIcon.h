// A tray state icon with coloured dots: in its lower right corner the
// badge that says an override is on, in its upper right the one that says
// messages wait to be heard. The icon is made here and owned by
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

    // No dot in that corner.
    static constexpr COLORREF kNone = CLR_INVALID;
    // The small-size icon `iconId` of `module` with a dot of `lowerRight`
    // and one of `upperRight` (either may be kNone), kept until the same is
    // asked for again; null when it could not be made.
    HICON Make(HMODULE module, UINT iconId, COLORREF lowerRight, COLORREF upperRight = kNone);
    HICON Get() const { return m_icon; }

private:
    void Reset();

    HICON m_icon = nullptr;
    UINT m_iconId = 0;
    COLORREF m_lowerRight = kNone;
    COLORREF m_upperRight = kNone;
};

} // namespace rw
