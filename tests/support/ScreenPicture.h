// Windows-side tests: a rectangle of the screen kept as a 24-bit BMP, for
// the README's pictures (the tools/*.sh that take them set an environment
// variable naming the file).
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

namespace rw::test {

inline void SaveScreenPicture(const std::string& path, RECT area) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    const DWORD stride = (width * 3 + 3) & ~3u, size = stride * height;
    BITMAPFILEHEADER file{0x4D42, DWORD(sizeof file + sizeof info.bmiHeader + size), 0, 0,
                          DWORD(sizeof file + sizeof info.bmiHeader)};
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&file, sizeof file, 1, out);
        std::fwrite(&info.bmiHeader, sizeof info.bmiHeader, 1, out);
        std::fwrite(bits, size, 1, out);
        std::fclose(out);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}

} // namespace rw::test
