#include "ui/framework/PropertyPage.h"

#include "records/StringTable.h"
#include "ui/framework/PropertySheet.h"

namespace rw {

CCorePropertyPage::CCorePropertyPage(UINT templateId, UINT captionId)
    : m_templateId(templateId), m_captionId(captionId) {}

CCorePropertyPage::~CCorePropertyPage() = default;

bool CCorePropertyPage::UpdateData(bool saveAndValidate) {
    if (!m_hWnd)
        return false;
    CDataExchange dx(m_hWnd, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

PROPSHEETPAGEA CCorePropertyPage::MakePageRecord() {
    PROPSHEETPAGEA page{};
    page.dwSize = sizeof(page);
    page.dwFlags = PSP_DEFAULT;
    page.hInstance = GetModuleHandleA(nullptr);
    page.pszTemplate = MAKEINTRESOURCEA(m_templateId);
    page.pfnDlgProc = &CCorePropertyPage::PageProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    if (m_captionId) {
        m_caption = LoadResString(m_captionId);
        page.dwFlags |= PSP_USETITLE;
        page.pszTitle = m_caption.c_str();
    }
    return page;
}

BOOL CCorePropertyPage::OnInitDialog() {
    UpdateData(false);
    return TRUE;
}

bool CCorePropertyPage::OnKillActive() {
    return UpdateData(true);
}

void CCorePropertyPage::BringToFront() {
    if (m_sheet)
        m_sheet->SetActivePage(this);
}

bool CCorePropertyPage::OnSheetNotify(NMHDR* header, LRESULT& result) {
    switch (header->code) {
    case PSN_SETACTIVE:
        OnSetActive();
        result = 0;
        return true;
    case PSN_KILLACTIVE:
        // TRUE keeps the page in front.
        result = OnKillActive() ? FALSE : TRUE;
        return true;
    case PSN_APPLY:
        if (OnApply()) {
            result = PSNRET_NOERROR;
            if (m_sheet)
                m_sheet->OnPageApplied(this);
        } else {
            result = PSNRET_INVALID_NOCHANGEPAGE;
        }
        return true;
    case PSN_RESET:
        OnReset();
        result = 0;
        return true;
    default:
        return false;
    }
}

INT_PTR CCorePropertyPage::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
        auto* header = reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        // The sheet's own notifications come from the sheet window, the
        // page's parent; everything else is from the page's controls.
        const bool fromSheet = header->hwndFrom == GetParent(m_hWnd) && header->code <= PSN_FIRST &&
                               header->code >= PSN_LAST;
        const bool handled = fromSheet ? OnSheetNotify(header, result) : OnNotify(header, result);
        if (!handled)
            return FALSE;
        SetDialogResult(result);
        return TRUE;
    }
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default: {
        INT_PTR result = FALSE;
        return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
    }
}

INT_PTR CALLBACK CCorePropertyPage::PageProc(HWND hWnd, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    CCorePropertyPage* self = nullptr;
    if (message == WM_INITDIALOG) {
        // The page's lParam is the sheet's copy of our page record.
        const auto* record = reinterpret_cast<const PROPSHEETPAGEA*>(lParam);
        self = reinterpret_cast<CCorePropertyPage*>(record->lParam);
        self->m_hWnd = hWnd;
        SetWindowLongPtrA(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<CCorePropertyPage*>(GetWindowLongPtrA(hWnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    // Nothing may unwind through the property sheet's frames: a handler that
    // runs out of memory leaves the message unhandled instead.
    INT_PTR result = FALSE;
    try {
        result = self->Dispatch(message, wParam, lParam);
    } catch (...) {
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return result;
}

} // namespace rw
