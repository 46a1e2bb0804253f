// Owns an image list and destroys it. A list view given it must carry
// LVS_SHAREIMAGELISTS, or the control destroys it too.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace rw {

class CImageList {
public:
    CImageList() = default;
    ~CImageList() { Reset(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    // Loads bitmap `id` cut into images `width` pixels wide; `mask` is the
    // transparent colour. False (and empty) when the bitmap is missing.
    bool LoadBitmap(HINSTANCE instance, UINT id, int width, int grow, COLORREF mask) {
        Reset();
        m_list = ImageList_LoadImageA(instance, MAKEINTRESOURCEA(id), width, grow, mask,
                                      IMAGE_BITMAP, LR_DEFAULTCOLOR);
        return m_list != nullptr;
    }
    void Reset() {
        if (m_list)
            ImageList_Destroy(m_list);
        m_list = nullptr;
    }
    HIMAGELIST Get() const { return m_list; }

private:
    HIMAGELIST m_list = nullptr;
};

} // namespace rw
