// A tabbed dialog over the platform's property sheet, always without an
// Apply button: the records change only when the user presses OK. Derived
// sheets hold pointers to the records their pages edit and add their pages
// (members of the sheet) in tab order in their constructor.
#pragma once

#include "ui/framework/PropertyPage.h"

#include <windows.h>

#include <functional>
#include <vector>

namespace rw {

class CCorePropertySheet {
public:
    // `captionId`: string id of the sheet's caption.
    CCorePropertySheet(UINT captionId, HWND parent = nullptr, UINT firstPage = 0);
    virtual ~CCorePropertySheet();
    CCorePropertySheet(const CCorePropertySheet&) = delete;
    CCorePropertySheet& operator=(const CCorePropertySheet&) = delete;

    // Adds `page` (not owned) after the others and tells it its sheet.
    virtual void AddPage(CCorePropertyPage* page);

    // Runs the sheet modally: IDOK when every shown page accepted OK,
    // IDCANCEL otherwise, -1 when it could not be created. The caller's
    // telephony events go on being dispatched by the sheet's modal loop.
    INT_PTR DoModal();

    HWND GetSafeHwnd() const { return m_hWnd; }
    size_t GetPageCount() const { return m_pages.size(); }
    CCorePropertyPage* GetPage(size_t index) const { return m_pages[index]; }
    CCorePropertyPage* GetActivePage() const;
    void SetActivePage(CCorePropertyPage* page);
    // Presses OK or Cancel as the user would (PSBTN_OK, PSBTN_CANCEL); the
    // click is handled before this returns.
    void PressButton(int button);

    // Tests: called on each modal sheet once it is on screen, from inside
    // its modal loop; the hook drives it and ends it with PressButton.
    // Returns the previous hook.
    using ShownHook = std::function<void(CCorePropertySheet& sheet)>;
    static ShownHook SetShownHook(ShownHook hook);

private:
    friend class CCorePropertyPage;
    // A page accepted OK; the sheet's result is IDOK once the last shown
    // page has.
    void OnPageApplied(CCorePropertyPage* page);
    static int CALLBACK SheetCallback(HWND hWnd, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SheetSubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR id, DWORD_PTR self);

    UINT m_captionId;
    HWND m_parent;
    UINT m_firstPage;
    std::vector<CCorePropertyPage*> m_pages;
    HWND m_hWnd = nullptr;
    INT_PTR m_result = IDCANCEL;
};

} // namespace rw
