#include "ui/framework/PropertySheet.h"

#include "records/StringTable.h"

#include <string>
#include <utility>

namespace rw {
namespace {

// Posted to a modal sheet once it is up, to run the tests' hook inside its
// modal loop.
constexpr UINT kSheetShown = WM_APP + 0x1F0;
constexpr UINT_PTR kSubclassId = 1;

// The sheet whose PropertySheetA call is running and whose window is not
// known yet. The platform's sheet callback gets no user data.
thread_local CCorePropertySheet* t_sheetBeingCreated = nullptr;

CCorePropertySheet::ShownHook& ShownHookSlot() {
    static CCorePropertySheet::ShownHook hook;
    return hook;
}

} // namespace

CCorePropertySheet::CCorePropertySheet(UINT captionId, HWND parent, UINT firstPage)
    : m_captionId(captionId), m_parent(parent), m_firstPage(firstPage) {}

CCorePropertySheet::~CCorePropertySheet() = default;

void CCorePropertySheet::AddPage(CCorePropertyPage* page) {
    m_pages.push_back(page);
    page->SetSheet(this);
}

INT_PTR CCorePropertySheet::DoModal() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_DATE_CLASSES | ICC_UPDOWN_CLASS |
                                                        ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES |
                                                        ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    std::vector<PROPSHEETPAGEA> records;
    records.reserve(m_pages.size());
    for (CCorePropertyPage* page : m_pages)
        records.push_back(page->MakePageRecord());

    const std::string caption = LoadResString(m_captionId);
    PROPSHEETHEADERA header{};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    header.hwndParent = m_parent;
    header.hInstance = GetModuleHandleA(nullptr);
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(records.size());
    header.nStartPage = m_firstPage < records.size() ? m_firstPage : 0;
    header.ppsp = records.data();
    header.pfnCallback = &CCorePropertySheet::SheetCallback;

    m_result = IDCANCEL;
    CCorePropertySheet* const outer = std::exchange(t_sheetBeingCreated, this);
    const INT_PTR ran = PropertySheetA(&header);
    t_sheetBeingCreated = outer;
    m_hWnd = nullptr;
    return ran < 0 ? -1 : m_result;
}

CCorePropertyPage* CCorePropertySheet::GetActivePage() const {
    if (!m_hWnd)
        return nullptr;
    HWND current = PropSheet_GetCurrentPageHwnd(m_hWnd);
    for (CCorePropertyPage* page : m_pages)
        if (page->GetSafeHwnd() && page->GetSafeHwnd() == current)
            return page;
    return nullptr;
}

void CCorePropertySheet::SetActivePage(CCorePropertyPage* page) {
    if (!m_hWnd)
        return;
    for (size_t i = 0; i < m_pages.size(); ++i)
        if (m_pages[i] == page)
            PropSheet_SetCurSel(m_hWnd, nullptr, static_cast<int>(i));
}

void CCorePropertySheet::PressButton(int button) {
    if (!m_hWnd)
        return;
    // Wine posts PSM_PRESSBUTTON's click; a click on the button itself is
    // handled at once, so the caller sees its outcome on return.
    const int id = button == PSBTN_OK ? IDOK : button == PSBTN_CANCEL ? IDCANCEL : 0;
    if (id)
        SendMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(m_hWnd, id)));
    else
        PropSheet_PressButton(m_hWnd, button);
}

CCorePropertySheet::ShownHook CCorePropertySheet::SetShownHook(ShownHook hook) {
    return std::exchange(ShownHookSlot(), std::move(hook));
}

void CCorePropertySheet::OnPageApplied(CCorePropertyPage* page) {
    // The platform asks the shown pages in tab order and stops at the first
    // refusal, so the last shown page accepting means all of them did.
    for (auto it = m_pages.rbegin(); it != m_pages.rend(); ++it) {
        if ((*it)->WasShown()) {
            if (*it == page)
                m_result = IDOK;
            return;
        }
    }
}

int CALLBACK CCorePropertySheet::SheetCallback(HWND hWnd, UINT message, LPARAM) {
    if (message == PSCB_INITIALIZED && t_sheetBeingCreated) {
        CCorePropertySheet* self = std::exchange(t_sheetBeingCreated, nullptr);
        self->m_hWnd = hWnd;
        SetWindowSubclass(hWnd, &CCorePropertySheet::SheetSubclassProc, kSubclassId,
                          reinterpret_cast<DWORD_PTR>(self));
        if (ShownHookSlot())
            PostMessageA(hWnd, kSheetShown, 0, 0);
    }
    return 0;
}

LRESULT CALLBACK CCorePropertySheet::SheetSubclassProc(HWND hWnd, UINT message, WPARAM wParam,
                                                       LPARAM lParam, UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<CCorePropertySheet*>(data);
    if (message == kSheetShown) {
        // A copy: the hook may replace itself while it runs.
        try {
            if (ShownHook hook = ShownHookSlot())
                hook(*self);
        } catch (...) {
        }
        return 0;
    }
    if (message == WM_NCDESTROY)
        RemoveWindowSubclass(hWnd, &CCorePropertySheet::SheetSubclassProc, kSubclassId);
    return DefSubclassProc(hWnd, message, wParam, lParam);
}

} // namespace rw
