// A dialog built from a resource template. The window procedure is a thunk
// that finds the C++ object through the window's user data and routes each
// message to a small virtual handler; derived dialogs override only those
// they need.
#pragma once

#include <windows.h>

namespace rw {

class CDialog {
public:
    CDialog(UINT templateId, HWND parent = nullptr);
    virtual ~CDialog();
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Runs the dialog modally; returns the EndDialog result, or -1 when the
    // template cannot be created.
    INT_PTR DoModal();
    // Creates the dialog modeless; the caller's message loop must pass its
    // messages through IsDialogMessage.
    bool Create();
    void DestroyWindow();

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    UINT GetTemplateId() const { return m_templateId; }

protected:
    // Handlers. Each returns true when it has handled the message.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual bool OnCommand(WORD id, WORD notifyCode, HWND control);
    virtual bool OnNotify(NMHDR* header, LRESULT& result);
    virtual bool OnClose();
    virtual void OnDestroy() {}
    // The window's last message has been handled and the handle cleared. A
    // modeless dialog that owns itself may delete itself here; nothing
    // touches the object afterwards.
    virtual void OnFinalMessage() {}
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // Anything the handlers above do not cover. Sets `result` to the
    // dialog procedure's return value (see SetDialogResult for messages
    // whose answer goes through DWLP_MSGRESULT).
    virtual bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result);

    void EndDialog(INT_PTR result);
    // Sets the value that a dialog procedure returns through DWLP_MSGRESULT.
    void SetDialogResult(LRESULT value) { SetWindowLongPtrW(m_hWnd, DWLP_MSGRESULT, value); }

    HWND m_hWnd = nullptr;
    HWND m_parent;

private:
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    bool m_modal = false;
};

} // namespace rw
