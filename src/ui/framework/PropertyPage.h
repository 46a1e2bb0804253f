// One page of a CCorePropertySheet, over the platform's property page. Like
// CDialog, its dialog procedure is a thunk that routes each message to a
// small virtual handler. The page knows its sheet, so it reaches the
// records through it.
//
// The life of a page: OnInitDialog when it is first shown (load fields from
// the records, UpdateData(false)); OnKillActive when the user leaves it or
// presses OK (UpdateData(true), which validates); OnApply on OK, only for
// pages that were shown, in tab order; OnReset on Cancel, likewise.
#pragma once

#include "ui/framework/DataExchange.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace rw {

class CCorePropertySheet;

class CCorePropertyPage {
public:
    // `captionId` 0: the tab text is the template's caption.
    explicit CCorePropertyPage(UINT templateId, UINT captionId = 0);
    virtual ~CCorePropertyPage();
    CCorePropertyPage(const CCorePropertyPage&) = delete;
    CCorePropertyPage& operator=(const CCorePropertyPage&) = delete;

    void SetSheet(CCorePropertySheet* sheet) { m_sheet = sheet; }
    CCorePropertySheet* GetSheet() const { return m_sheet; }

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    UINT GetTemplateId() const { return m_templateId; }
    // True once the page's window was created in the current run of its
    // sheet (it takes part in OK and Cancel).
    bool WasShown() const { return m_hWnd != nullptr; }

    // Runs DoDataExchange: controls to fields with validation when
    // `saveAndValidate`, else fields to controls. False when a value failed
    // validation (its message was shown).
    bool UpdateData(bool saveAndValidate = true);

    // The platform's description of this page, for the sheet.
    PROPSHEETPAGEA MakePageRecord();

protected:
    virtual void DoDataExchange(CDataExchange& /*dx*/) {}
    // Base: UpdateData(false); returns TRUE (the platform sets the focus).
    virtual BOOL OnInitDialog();
    // The page comes to the front.
    virtual void OnSetActive() {}
    // The user leaves the page or presses OK; false keeps it in front.
    // Base: UpdateData(true).
    virtual bool OnKillActive();
    // OK was pressed: write the fields into the records. False refuses the
    // OK (the page brings itself to the front and says why first). Base:
    // true.
    virtual bool OnApply() { return true; }
    // Cancel was pressed (or the sheet closed).
    virtual void OnReset() {}

    virtual bool OnCommand(WORD /*id*/, WORD /*notifyCode*/, HWND /*control*/) { return false; }
    virtual bool OnNotify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }
    virtual void OnDestroy() {}
    virtual bool OnMessage(UINT /*message*/, WPARAM, LPARAM, INT_PTR& /*result*/) { return false; }

    // Makes this page the sheet's page in front.
    void BringToFront();
    void SetDialogResult(LRESULT value) { SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, value); }

    HWND m_hWnd = nullptr;

private:
    static INT_PTR CALLBACK PageProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool OnSheetNotify(NMHDR* header, LRESULT& result);

    UINT m_templateId;
    UINT m_captionId;
    CCorePropertySheet* m_sheet = nullptr;
    std::string m_caption;
};

} // namespace rw
