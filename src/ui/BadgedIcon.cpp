#include "ui/BadgedIcon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace rw {

void CBadgedIcon::Reset() {
    if (m_icon)
        DestroyIcon(m_icon);
    m_icon = nullptr;
}

HICON CBadgedIcon::Make(HMODULE module, UINT iconId, COLORREF lowerRight, COLORREF upperRight) {
    if (m_icon && m_iconId == iconId && m_lowerRight == lowerRight && m_upperRight == upperRight)
        return m_icon;
    Reset();
    const int size = GetSystemMetrics(SM_CXSMICON);
    // Shared: the system owns it.
    HICON base = static_cast<HICON>(
        LoadImageA(module, MAKEINTRESOURCEA(iconId), IMAGE_ICON, size, size, LR_SHARED));
    if (!base || size <= 0)
        return nullptr;
    ICONINFO info{};
    if (!GetIconInfo(base, &info))
        return nullptr;
    CBitmapHandle baseColour(info.hbmColor), baseMask(info.hbmMask);
    if (!baseColour.Get())
        return nullptr;

    // The icon's pixels as 32-bit BGRA, top row first.
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof bmi.bmiHeader;
    bmi.bmiHeader.biWidth = size;
    bmi.bmiHeader.biHeight = -size;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
    HDC screen = GetDC(nullptr);
    const int rows =
        GetDIBits(screen, baseColour.Get(), 0, size, pixels.data(), &bmi, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != size)
        return nullptr;
    // An icon without an alpha channel is opaque wherever it is drawn.
    bool alpha = false;
    for (uint32_t p : pixels)
        alpha = alpha || (p >> 24) != 0;
    if (!alpha)
        for (uint32_t& p : pixels)
            p |= 0xFF000000u;

    // Each dot: a disc of the badge's colour with a white rim, a little
    // over a fifth of the icon across, in its corner.
    const double radius = size * 0.23;
    auto dot = [&](COLORREF colour, double centreX, double centreY) {
        const uint32_t fill =
            0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size; ++x) {
                const double d = std::hypot(x - centreX, y - centreY);
                if (d <= radius - 1.0)
                    pixels[static_cast<size_t>(y) * size + x] = fill;
                else if (d <= radius + 0.5)
                    pixels[static_cast<size_t>(y) * size + x] = 0xFFFFFFFFu;
            }
        }
    };
    const double farEdge = size - radius - 0.5, nearEdge = radius - 0.5;
    if (lowerRight != kNone)
        dot(lowerRight, farEdge, farEdge);
    if (upperRight != kNone)
        dot(upperRight, farEdge, nearEdge);

    void* bits = nullptr;
    CBitmapHandle colourBitmap(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colourBitmap.Get() || !bits)
        return nullptr;
    std::copy(pixels.begin(), pixels.end(), static_cast<uint32_t*>(bits));
    // With an alpha channel the mask is not looked at, but must be there.
    const std::vector<uint8_t> clear(static_cast<size_t>((size + 15) / 16 * 2) * size, 0);
    CBitmapHandle mask(CreateBitmap(size, size, 1, 1, clear.data()));
    ICONINFO made{};
    made.fIcon = TRUE;
    made.hbmColor = colourBitmap.Get();
    made.hbmMask = mask.Get();
    m_icon = CreateIconIndirect(&made); // copies the bitmaps
    m_iconId = iconId;
    m_lowerRight = lowerRight;
    m_upperRight = upperRight;
    return m_icon;
}

} // namespace rw
