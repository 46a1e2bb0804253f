// Report-list columns of equal width, titled from consecutive strings.
#pragma once

#include "records/StringTable.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace rw {

// Inserts `count` left-aligned columns into `list`, titled by the strings
// from `firstTitleId` on, sharing the client width less the vertical scroll
// bar that comes with a full list (wider at larger scales, so no horizontal
// one is needed then) and `margin` pixels.
inline void InsertEqualColumns(HWND list, UINT firstTitleId, int count, int margin) {
    RECT client{};
    GetClientRect(list, &client);
    const int width =
        (client.right - client.left - GetSystemMetrics(SM_CXVSCROLL) - margin) / count;
    for (int column = 0; column < count; ++column) {
        std::string title = LoadResString(firstTitleId + column);
        LVCOLUMNA info{};
        info.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        info.fmt = LVCFMT_LEFT;
        info.cx = width;
        info.pszText = title.data();
        info.iSubItem = column;
        SendMessageA(list, LVM_INSERTCOLUMNA, column, reinterpret_cast<LPARAM>(&info));
    }
}

} // namespace rw
