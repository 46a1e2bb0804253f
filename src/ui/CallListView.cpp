#include "ui/CallListView.h"

#include "records/CallAction.h"
#include "records/CallSearch.h"
#include "records/LoggedCall.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/framework/ListColumns.h"
#include "ui/framework/TextMeasure.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <vector>

namespace rw {
namespace {

// The list offers a buffer of its own size; caller-ID texts can be longer,
// so every text is cut to fit. Like the C strings the list expects, a text
// ends at its first NUL.
size_t TextLength(const std::string& text) {
    return std::min(text.find('\0'), text.size());
}

void CopyCut(const std::string& text, char* out, int size) {
    if (!out || size <= 0)
        return;
    const size_t length = std::min(TextLength(text), static_cast<size_t>(size - 1));
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

void CopyCut(const std::string& text, wchar_t* out, int size) {
    if (!out || size <= 0)
        return;
    // Text is in the system code page, where no byte becomes more than one
    // UTF-16 unit.
    const int bytes = static_cast<int>(std::min<size_t>(TextLength(text), 0x7FFFFFFF));
    std::wstring wide(static_cast<size_t>(bytes), L'\0');
    int length = bytes ? MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide.data(), bytes) : 0;
    length = std::min(length, size - 1);
    std::wmemcpy(out, wide.data(), static_cast<size_t>(length));
    out[length] = L'\0';
}

std::string Narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return std::string();
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(size - 1));
    return narrow;
}

// Fitting the columns at start measures this many rows from the top (the
// newest): bounded work with 10,000 calls of earlier runs listed.
constexpr size_t kMeasuredRows = 300;
// The list draws at most this many characters of a text.
constexpr size_t kShownChars = 259;

// Texts a column must fit before any call has shown them: the widest time
// (two-digit hours, day and month, both halves of a 12-hour clock), every
// action, the name a caller without an entry is shown under and a caller-ID
// name of the longest usual length (the caller ID's name field holds 15
// characters), and the national numbers the caller ID sends.
std::vector<std::string> SampleTexts(int column) {
    std::vector<std::string> texts;
    switch (column) {
    case CCallListOrder::ColumnName:
        texts.push_back(LoadResString(IDS_NO_PHONE_BOOK_ENTRY));
        texts.push_back("WIRELESS CALLER");
        break;
    case CCallListOrder::ColumnNumber:
        texts.push_back("(000) 000-0000");
        texts.push_back("00000 000000");
        break;
    case CCallListOrder::ColumnTime:
        for (int hour : {10, 22, 23})
            texts.push_back(FormatCallTime(CDateTime::FromParts(2026, 12, 28, hour, 58, 58)));
        break;
    case CCallListOrder::ColumnAction:
        for (int32_t action = ActionWaitingForCallerId; action <= ActionLast; ++action)
            texts.push_back(ActionText(action));
        {
            CLoggedCall checking; // "Key check (press 0)"
            checking.SetAction(ActionKeyCheck);
            checking.SetKeyCheckDigit('0');
            texts.push_back(checking.ActionDisplayText());
        }
        break;
    case CCallListOrder::ColumnMessage:
        texts.push_back(LoadResString(IDS_NO_MESSAGE));
        texts.push_back("10:00");
        break;
    default:
        break;
    }
    return texts;
}

std::string HeaderText(HWND header, int column) {
    char text[128] = {};
    HDITEMA item{};
    item.mask = HDI_TEXT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(header, HDM_GETITEMA, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&item));
    return text;
}

bool StartsWithNoCase(const std::string& text, const std::string& prefix) {
    if (text.size() < prefix.size())
        return false;
    const int length = static_cast<int>(prefix.size());
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, text.data(), length, prefix.data(),
                          length) == CSTR_EQUAL;
}

} // namespace

CCallListView::~CCallListView() {
    if (m_redrawDeferred && IsWindow(m_list))
        KillTimer(m_list, reinterpret_cast<UINT_PTR>(this));
}

void CCallListView::Attach(HWND list, HINSTANCE resources) {
    m_list = list;
    m_order.Clear();
    m_redrawDeferred = false;
    m_selectedHint = -1;
    InsertEqualColumns(list, IDS_COLUMN_NAME, CCallListOrder::kColumnCount, 8);
    // The images are 2 pixels of white, all masked out: they only give the
    // rows the height of a small icon.
    if (m_rowHeight.LoadBitmap(resources, IDB_ROW_HEIGHT, 2, 5, RGB(255, 255, 255)))
        ListView_SetImageList(list, m_rowHeight.Get(), LVSIL_SMALL);
    ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    LOGFONTA font{};
    HFONT listFont = reinterpret_cast<HFONT>(SendMessageA(list, WM_GETFONT, 0, 0));
    if (!listFont)
        listFont = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    if (GetObjectA(listFont, sizeof font, &font) == sizeof font) {
        font.lfWeight = FW_BOLD;
        m_boldFont.Create(font);
    }
    SetRowCount();
    m_fitted = false;
    std::fill(std::begin(m_fittedWidth), std::end(m_fittedWidth), 0);
    FitColumns();
}

void CCallListView::FitColumns() {
    if (!m_list)
        return;
    HWND header = ListView_GetHeader(m_list);
    const CTextMeasure rows(m_list);
    const CTextMeasure titles(header);
    const int edge = GetSystemMetrics(SM_CXEDGE);
    // The list pads a text by 6 pixels each side, and the first column's by
    // its image too; the header pads its titles by three edges each side.
    // An edge more each way leaves no text at a column's very border.
    const int rowPadding = 12 + 2 * edge;
    const int titlePadding = 8 * edge;
    int imageWidth = 0;
    int imageHeight = 0;
    if (HIMAGELIST images = ListView_GetImageList(m_list, LVSIL_SMALL))
        ImageList_GetIconSize(images, &imageWidth, &imageHeight);
    const size_t measured = std::min(m_order.Size(), kMeasuredRows);
    for (int column = 0; column < CCallListOrder::kColumnCount; ++column) {
        int text = 0;
        for (const std::string& sample : SampleTexts(column))
            text = std::max(text, rows.Width(sample, kShownChars));
        for (size_t row = 0; row < measured; ++row)
            text = std::max(text, rows.Width(RowText(static_cast<int>(row), column), kShownChars));
        int width = text + rowPadding + (column == 0 ? imageWidth : 0);
        width =
            std::max(width, titles.Width(HeaderText(header, column), kShownChars) + titlePadding);
        m_contentWidth[column] = width;
    }
    m_fitted = true;
    FillWidth();
}

void CCallListView::FillWidth() {
    if (!m_list || !m_fitted)
        return;
    // Room for the vertical scroll bar that a full list shows, so that the
    // columns need no horizontal one.
    RECT client{};
    GetClientRect(m_list, &client);
    const int room = client.right - GetSystemMetrics(SM_CXVSCROLL);
    int others = 0;
    for (int column = 0; column < CCallListOrder::kColumnCount; ++column) {
        if (column == CCallListOrder::ColumnName)
            continue;
        if (!UserSized(column))
            SetColumnWidth(column, m_contentWidth[column]);
        others += ListView_GetColumnWidth(m_list, column);
    }
    if (!UserSized(CCallListOrder::ColumnName))
        SetColumnWidth(CCallListOrder::ColumnName,
                       std::max(m_contentWidth[CCallListOrder::ColumnName], room - others));
}

bool CCallListView::UserSized(int column) const {
    return m_fittedWidth[column] != 0 &&
           ListView_GetColumnWidth(m_list, column) != m_fittedWidth[column];
}

void CCallListView::SetColumnWidth(int column, int width) {
    if (ListView_GetColumnWidth(m_list, column) != width)
        ListView_SetColumnWidth(m_list, column, width);
    m_fittedWidth[column] = ListView_GetColumnWidth(m_list, column);
}

void CCallListView::SetRowCount() {
    // No scrolling to the focused row: a call arriving must not move the
    // view.
    SendMessageA(m_list, LVM_SETITEMCOUNT, m_order.Size(), LVSICF_NOSCROLL);
}

void CCallListView::DeferRedraw() {
    // Wine draws the scroll bar and the focus the moment they change, which
    // takes milliseconds on a shown window. The engine finishes with a new
    // call first (a blocked call is answered), and the list is drawn when
    // the message loop has nothing more urgent (a timer's message comes
    // last), once for however many rows arrived meanwhile.
    if (m_redrawDeferred)
        return;
    SendMessageA(m_list, WM_SETREDRAW, FALSE, 0);
    // The timer carries this view as its id; it dies with the list.
    SetTimer(m_list, reinterpret_cast<UINT_PTR>(this), 0, &CCallListView::OnRedrawTimer);
    m_redrawDeferred = true;
}

void CALLBACK CCallListView::OnRedrawTimer(HWND hWnd, UINT, UINT_PTR id, DWORD) {
    KillTimer(hWnd, id);
    reinterpret_cast<CCallListView*>(id)->FlushRedraw();
}

void CCallListView::FlushRedraw() {
    if (!m_redrawDeferred)
        return;
    m_redrawDeferred = false;
    KillTimer(m_list, reinterpret_cast<UINT_PTR>(this));
    SendMessageA(m_list, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(m_list, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE);
    if (GetFocus() == m_list)
        FocusSelected();
}

void CCallListView::AddRow(size_t logIndex) {
    DeferRedraw();
    const int selected = SelectedCall();
    m_order.Insert(logIndex);
    SetRowCount();
    KeepSelected(selected);
}

void CCallListView::AddRows(size_t first, size_t count) {
    if (count == 0)
        return;
    DeferRedraw();
    const int selected = SelectedCall();
    m_order.InsertMany(first, count);
    SetRowCount();
    KeepSelected(selected);
    // The calls of earlier runs, listed when the window opens.
    FitColumns();
}

bool CCallListView::IsEarlierRunRow(int position) const {
    return position >= 0 && static_cast<size_t>(position) < m_order.Size() &&
           CCallListOrder::IsEarlierRun(m_order.LogIndexAt(static_cast<size_t>(position)));
}

bool CCallListView::SelectedRowRect(RECT& rect) const {
    const int position = SelectedPosition();
    if (position < 0)
        return false;
    ListView_EnsureVisible(m_list, position, FALSE);
    if (!ListView_GetItemRect(m_list, position, &rect, LVIR_LABEL))
        return false;
    MapWindowPoints(m_list, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return true;
}

int CCallListView::SelectAt(POINT screenPoint) {
    LVHITTESTINFO hit{};
    hit.pt = screenPoint;
    ScreenToClient(m_list, &hit.pt);
    const int position = ListView_HitTest(m_list, &hit);
    if (position < 0 || static_cast<size_t>(position) >= m_order.Size())
        return -1;
    const int logIndex = static_cast<int>(m_order.LogIndexAt(static_cast<size_t>(position)));
    KeepSelected(logIndex);
    FocusSelected();
    return logIndex;
}

LRESULT CCallListView::OnCustomDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
        const int position = static_cast<int>(draw.nmcd.dwItemSpec);
        LRESULT result = CDRF_DODEFAULT;
        if (IsEarlierRunRow(position)) {
            draw.clrText = GetSysColor(COLOR_GRAYTEXT);
            result = CDRF_NEWFONT;
        }
        if (m_unheard && m_boldFont.Get() && position >= 0 &&
            static_cast<size_t>(position) < m_order.Size() &&
            m_unheard(m_order.CallAt(m_order.LogIndexAt(static_cast<size_t>(position))))) {
            SelectObject(draw.nmcd.hdc, m_boldFont.Get());
            result = CDRF_NEWFONT;
        }
        return result;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

void CCallListView::RedrawAll() {
    if (m_list)
        InvalidateRect(m_list, nullptr, FALSE);
}

void CCallListView::RedrawRow(size_t logIndex) {
    DeferRedraw();
    const int selected = SelectedCall();
    const int from = m_order.PositionOf(logIndex);
    const int to = m_order.Reposition(logIndex);
    if ((from < 0) != (to < 0)) {
        // Its new texts show or hide it under the search.
        SetRowCount();
        KeepSelected(selected);
        InvalidateRect(m_list, nullptr, FALSE);
        return;
    }
    if (from < 0 || to < 0)
        return;
    KeepSelected(selected);
    // The rows between the old and the new place each moved by one.
    ListView_RedrawItems(m_list, std::min(from, to), std::max(from, to));
}

void CCallListView::SetSearch(const std::string& text) {
    // The user waits for this one: drawn at once.
    FlushRedraw();
    const int selected = SelectedCall();
    // Rows change places: the old row is let go, and the call selected
    // again where it now is, if it is shown.
    if (const int old = SelectedPosition(); old >= 0) {
        m_movingSelection = true;
        ListView_SetItemState(m_list, old, 0, LVIS_SELECTED);
        m_movingSelection = false;
    }
    m_selectedHint = -1;
    const CCallSearch search(text);
    if (search.Empty())
        m_order.SetFilter(nullptr);
    else
        m_order.SetFilter([search](const CLoggedCall& call) { return search.Matches(call); });
    SetRowCount();
    KeepSelected(selected);
    if (const int position = SelectedPosition(); position >= 0)
        ListView_EnsureVisible(m_list, position, FALSE);
    InvalidateRect(m_list, nullptr, FALSE);
}

void CCallListView::ClickColumn(int column) {
    // The user waits for this one: drawn at once.
    FlushRedraw();
    const int selected = SelectedCall();
    m_order.ClickColumn(column);
    KeepSelected(selected);
    if (selected >= 0) {
        if (GetFocus() == m_list)
            FocusSelected();
        ListView_EnsureVisible(m_list, SelectedPosition(), FALSE);
    }
    InvalidateRect(m_list, nullptr, FALSE);
}

int CCallListView::SelectedPosition() const {
    // Wine finds a selected row by asking every row in turn. The row last
    // seen selected, or the focused one, is checked at once instead.
    if (!m_list || ListView_GetSelectedCount(m_list) == 0)
        return -1;
    if (m_selectedHint >= 0 && ListView_GetItemState(m_list, m_selectedHint, LVIS_SELECTED))
        return m_selectedHint;
    int position = ListView_GetNextItem(m_list, -1, LVNI_FOCUSED | LVNI_SELECTED);
    if (position < 0)
        position = ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
    m_selectedHint = position;
    return position;
}

int CCallListView::SelectedCall() const {
    const int position = SelectedPosition();
    if (position < 0 || static_cast<size_t>(position) >= m_order.Size())
        return -1;
    return static_cast<int>(m_order.LogIndexAt(static_cast<size_t>(position)));
}

void CCallListView::KeepSelected(int logIndex) {
    if (logIndex < 0)
        return;
    const int position = m_order.PositionOf(static_cast<size_t>(logIndex));
    const int old = SelectedPosition();
    if (position < 0 || position == old)
        return;
    // The old row is let go first: selecting a row while another is
    // selected makes Wine walk every row of the list. The focus (where the
    // arrow keys start) is left behind: moving it makes Wine draw and
    // scroll, so it catches up when the list is drawn or gets the keyboard.
    // The owner hears of the move as a whole, not of the moment between in
    // which nothing is selected.
    m_movingSelection = true;
    if (old >= 0)
        ListView_SetItemState(m_list, old, 0, LVIS_SELECTED);
    ListView_SetItemState(m_list, position, LVIS_SELECTED, LVIS_SELECTED);
    m_movingSelection = false;
    m_selectedHint = position;
}

void CCallListView::FocusSelected() {
    const int selected = SelectedPosition();
    if (selected >= 0 && ListView_GetNextItem(m_list, -1, LVNI_FOCUSED) != selected)
        ListView_SetItemState(m_list, selected, LVIS_FOCUSED, LVIS_FOCUSED);
}

std::string CCallListView::RowText(int position, int column) const {
    if (position < 0 || static_cast<size_t>(position) >= m_order.Size())
        return std::string();
    const size_t logIndex = m_order.LogIndexAt(static_cast<size_t>(position));
    return CCallListOrder::ColumnText(m_order.CallAt(logIndex), column);
}

int CCallListView::FindRow(const std::string& text, int start, UINT flags) const {
    // Only searches by text make sense here: rows carry no item data.
    if (!(flags & (LVFI_STRING | LVFI_PARTIAL)))
        return -1;
    const int count = static_cast<int>(m_order.Size());
    start = start < 0 || start >= count ? 0 : start;
    const int end = flags & LVFI_WRAP ? start + count : count;
    for (int i = start; i < end; ++i) {
        const std::string name = RowText(i % count, CCallListOrder::ColumnName);
        if (flags & LVFI_PARTIAL ? StartsWithNoCase(name, text)
                                 : CompareTextNoCase(name, text) == 0)
            return i % count;
    }
    return -1;
}

// The texts and image a text request asks for, in either character set.
template <class Item> void CCallListView::FillItem(Item& item) const {
    if (item.mask & LVIF_TEXT)
        CopyCut(RowText(item.iItem, item.iSubItem), item.pszText, item.cchTextMax);
    if (item.mask & LVIF_IMAGE)
        item.iImage = 0;
}

bool CCallListView::OnNotify(NMHDR& header, LRESULT& result) {
    // The list talks to a Unicode dialog in UTF-16, but ANSI requests
    // (another window's LVM_GETITEMTEXTA is turned into one) are answered
    // the same way.
    switch (header.code) {
    case LVN_GETDISPINFOA:
        FillItem(reinterpret_cast<NMLVDISPINFOA&>(header).item);
        return true;
    case LVN_GETDISPINFOW:
        FillItem(reinterpret_cast<NMLVDISPINFOW&>(header).item);
        return true;
    case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (change.iItem >= 0 && (change.uNewState & LVIS_SELECTED))
            m_selectedHint = change.iItem;
        // Swallowed while this view moves the selection; the owner updates
        // itself once the move is done.
        return m_movingSelection;
    }
    case LVN_ITEMCHANGING:
        return m_movingSelection;
    case NM_SETFOCUS:
        FocusSelected();
        return false;
    case LVN_KEYDOWN:
        // The arrow keys start from the focused row: it catches up first.
        FlushRedraw();
        FocusSelected();
        return false;
    case NM_CUSTOMDRAW:
        result = OnCustomDraw(reinterpret_cast<NMLVCUSTOMDRAW&>(header));
        return true;
    case LVN_COLUMNCLICK:
        ClickColumn(reinterpret_cast<const NMLISTVIEW&>(header).iSubItem);
        return true;
    case LVN_ODFINDITEMA: {
        const auto& find = reinterpret_cast<const NMLVFINDITEMA&>(header);
        result = find.lvfi.psz ? FindRow(find.lvfi.psz, find.iStart, find.lvfi.flags) : -1;
        return true;
    }
    case LVN_ODFINDITEMW: {
        const auto& find = reinterpret_cast<const NMLVFINDITEMW&>(header);
        result = find.lvfi.psz ? FindRow(Narrow(find.lvfi.psz), find.iStart, find.lvfi.flags) : -1;
        return true;
    }
    default:
        return false;
    }
}

} // namespace rw
