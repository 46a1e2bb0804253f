// The incoming call popup: a small topmost window naming the caller and
// what is being done with the call. It closes itself after the user's
// display time and remembers where it was left. There is at most one; a
// later call brings it forward and shows the newer call instead.
//
// Ownership: made with new and deletes itself once its window is destroyed
// (after telling its owner). Closing it by the caption, Enter or Esc only
// hides it; its timer still destroys it.
#pragma once

#include "ui/FontStatic.h"
#include "ui/framework/Dialog.h"

#include <string>

namespace rw {

class CDataExchange;
class CLoggedCall;
class CNotificationOwner;

class CNotificationDialog : public CDialog {
public:
    CNotificationDialog(CNotificationOwner& owner, HWND parent);
    // Destroying the object while its window is alive destroys the window
    // without the self-deletion.
    ~CNotificationDialog() override;

    // The call whose texts are shown; not owned (the call log keeps it
    // alive for the whole run). Set before Create.
    void SetCall(const CLoggedCall* call) { m_call = call; }
    const CLoggedCall* GetCall() const { return m_call; }
    // Reads the call's number, name and action text into the labels; does
    // nothing without a call.
    void UpdateLabels();
    // A newer call while the popup exists: shows that call and activates
    // the popup, unless the user has hidden it.
    void ShowCall(const CLoggedCall* call);

protected:
    BOOL OnInitDialog() override;
    bool OnClose() override;
    void OnOK() override { Hide(); }
    void OnCancel() override { Hide(); }
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;
    // "Block this caller" from the right-click menu.
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    void OnFinalMessage() override;

private:
    void DoDataExchange(CDataExchange& dx);
    void CenterWindow();
    void AttachLabel(CFontStatic& label, int id);
    void RestorePlacement();
    void StorePlacement();
    void ShowOnTop();
    void Hide();
    void OnTimer();
    bool OnKeyDown(WPARAM key);
    // The right-click menu at screen point `at` (-1: from the keyboard).
    void ShowMenu(LPARAM at);

    CNotificationOwner& m_owner;
    const CLoggedCall* m_call = nullptr;
    std::string m_numberText;
    std::string m_nameText;
    std::string m_actionText;
    CFontStatic m_numberLabel;
    CFontStatic m_nameLabel;
    CFontStatic m_actionLabel;
    UINT_PTR m_timer = 0;
    bool m_destroyedByOwner = false;
};

} // namespace rw
