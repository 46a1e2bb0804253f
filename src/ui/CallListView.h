// The call list of the main window: a virtual report-style list view. The
// control stores no rows (Wine sorts its own rows in quadratic time and
// will not sort a virtual list at all); it asks for each text as it paints,
// and CCallListOrder says which logged call each row shows. The selection
// stays on the same call while rows are added, moved and sorted; rows that
// arrive are drawn once the message loop is idle.
#pragma once

#include "ui/CallListOrder.h"
#include "ui/FontStatic.h"
#include "ui/framework/ImageList.h"

#include <windows.h>

#include <commctrl.h>

#include <functional>
#include <string>

namespace rw {

class CCallListView {
public:
    explicit CCallListView(CCallListOrder::CallLookup callAt) : m_order(std::move(callAt)) {}
    // A redraw still due must not reach a view that is gone.
    ~CCallListView();
    CCallListView(const CCallListView&) = delete;
    CCallListView& operator=(const CCallListView&) = delete;

    // Takes over the list control `list`, which the template creates with
    // LVS_OWNERDATA (it cannot be added later) and LVS_SHAREIMAGELISTS (the
    // row-height image list is ours to destroy). Inserts the four columns,
    // sized to fit (FitColumns), sets the row height from bitmap 135 of
    // `resources` and starts with no rows, newest first.
    void Attach(HWND list, HINSTANCE resources);
    // Sizes each column the user has not resized to its contents: its
    // title, the texts of the top rows, and the widest time and action text
    // the list can show (and a long caller-ID name and number, so that the
    // first calls fit too). The Name column also takes the room the others
    // leave in the list's width. Done when the window opens (Attach, and
    // AddRows with the history); a column the user has resized keeps its
    // width.
    void FitColumns();
    // The list's width changed: the Name column takes the room there is now,
    // unless the user resized it.
    void FillWidth();
    HWND Handle() const { return m_list; }
    const CCallListOrder& Order() const { return m_order; }

    // Shows the logged call at `logIndex` in a new row at its sorted place.
    void AddRow(size_t logIndex);
    // Shows `count` calls from log index `first` on at once (the history at
    // start).
    void AddRows(size_t first, size_t count);
    // Says which calls left a message the user has not heard yet: their
    // rows are drawn in bold.
    void SetUnheard(std::function<bool(const CLoggedCall&)> unheard) {
        m_unheard = std::move(unheard);
    }
    // Draws every row again (a message was heard, kept or deleted).
    void RedrawAll();
    // Whether the row at `position` shows a call of an earlier run (grey).
    bool IsEarlierRunRow(int position) const;
    // The selected row's rectangle in screen coordinates, scrolled into
    // view; false without a selection.
    bool SelectedRowRect(RECT& rect) const;
    // Selects the row under `screenPoint`; its log index, or -1.
    int SelectAt(POINT screenPoint);
    // The call's texts changed: its row moves to where it now sorts and is
    // drawn again.
    void RedrawRow(size_t logIndex);
    // Shows only the calls the search text finds (CCallSearch: by name or by
    // number in any writing); empty shows every call. The selected call
    // stays selected while it is shown.
    void SetSearch(const std::string& text);
    // Sorts by `column` as a click on its header does.
    void ClickColumn(int column);
    // The log index of the selected row's call, or -1.
    int SelectedCall() const;
    // Draws now what AddRow and RedrawRow left for the message loop's idle
    // moment.
    void FlushRedraw();

    // The notifications the list answers itself: text requests, header
    // clicks and type-to-find, and the changes of selection the view makes
    // while moving the selection with its row. False for any other.
    bool OnNotify(NMHDR& header, LRESULT& result);

private:
    int SelectedPosition() const;
    // Selects the row of `logIndex` (-1: leaves the list alone).
    void KeepSelected(int logIndex);
    // Puts the focus on the selected row.
    void FocusSelected();
    void SetRowCount();
    void DeferRedraw();
    static void CALLBACK OnRedrawTimer(HWND hWnd, UINT message, UINT_PTR id, DWORD time);
    std::string RowText(int position, int column) const;
    // Calls of earlier runs are drawn in grey.
    LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;
    template <class Item> void FillItem(Item& item) const;
    // Type-to-find: the first row from `start` on whose name is `text`, or
    // begins with it for LVFI_PARTIAL, wrapping round for LVFI_WRAP; -1 when
    // none.
    int FindRow(const std::string& text, int start, UINT flags) const;

    // Whether the user has resized `column` since this view last set it.
    bool UserSized(int column) const;
    void SetColumnWidth(int column, int width);

    CCallListOrder m_order;
    CImageList m_rowHeight;
    std::function<bool(const CLoggedCall&)> m_unheard;
    // The list's font in bold, for the rows of unheard messages.
    CGdiFont m_boldFont;
    // What each column's contents need, as FitColumns measured them, and
    // the width this view last gave it: a column found at another width was
    // resized by the user.
    int m_contentWidth[CCallListOrder::kColumnCount] = {};
    int m_fittedWidth[CCallListOrder::kColumnCount] = {};
    bool m_fitted = false;
    HWND m_list = nullptr;
    bool m_movingSelection = false;
    // Where the selection was last seen; checked before it is trusted.
    mutable int m_selectedHint = -1;
    bool m_redrawDeferred = false;
};

} // namespace rw
