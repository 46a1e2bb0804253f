#include "ui/framework/Dialog.h"

namespace rw {

CDialog::CDialog(UINT templateId, HWND parent) : m_parent(parent), m_templateId(templateId) {}

CDialog::~CDialog() {
    // A modeless dialog must not outlive its object: its procedure would
    // reach a dangling pointer.
    if (m_hWnd && !m_modal)
        DestroyWindow();
}

INT_PTR CDialog::DoModal() {
    m_modal = true;
    const INT_PTR result =
        DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId), m_parent,
                        &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    m_modal = false;
    return result;
}

bool CDialog::Create() {
    m_modal = false;
    HWND hWnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_templateId),
                                   m_parent, &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    return hWnd != nullptr;
}

void CDialog::DestroyWindow() {
    if (m_hWnd)
        ::DestroyWindow(m_hWnd);
}

void CDialog::EndDialog(INT_PTR result) {
    if (m_modal)
        ::EndDialog(m_hWnd, result);
    else
        DestroyWindow();
}

bool CDialog::OnCommand(WORD id, WORD notifyCode, HWND) {
    if (notifyCode != BN_CLICKED && notifyCode != 0)
        return false;
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

bool CDialog::OnNotify(NMHDR*, LRESULT&) {
    return false;
}

bool CDialog::OnClose() {
    OnCancel();
    return true;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR&) {
    return false;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        return OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: {
        LRESULT result = 0;
        if (!OnNotify(reinterpret_cast<NMHDR*>(lParam), result))
            return FALSE;
        SetDialogResult(result);
        return TRUE;
    }
    case WM_CLOSE:
        return OnClose();
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default: {
        INT_PTR result = FALSE;
        return OnMessage(message, wParam, lParam, result) ? result : FALSE;
    }
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        self->m_hWnd = hWnd;
        SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hWnd, DWLP_USER));
    }
    // Messages that arrive before WM_INITDIALOG (WM_SETFONT) have no object yet.
    if (!self)
        return FALSE;
    // Nothing may unwind through the dialog manager's frames: a handler
    // that runs out of memory leaves the message unhandled instead.
    INT_PTR result = FALSE;
    try {
        result = self->Dispatch(message, wParam, lParam);
    } catch (...) {
        result = FALSE;
    }
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hWnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        try {
            self->OnFinalMessage();
        } catch (...) {
        }
    }
    return result;
}

} // namespace rw
