// The configuration sheet's Phone Book page: lists, sorts, adds, edits and
// deletes phone book entries, and puts the phone book back on Cancel.
//
// Unlike the other pages it changes the phone book at once, while the sheet
// is open; so it keeps the whole book in serialised form from the moment it
// opens until OK (dropped) or Cancel (read back in place of the edited one).
// The list is virtual: CPhoneBookListOrder holds which entry each row shows,
// and the list asks for each text as it paints.
#pragma once

#include "ui/PhoneBookListOrder.h"
#include "ui/framework/ImageList.h"
#include "ui/framework/PropertyPage.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace rw {

class CPhoneBook;
class CPhoneBookEntry;
class CRingwardenPreferences;

class CConfigPhoneBookPage : public CCorePropertyPage {
public:
    CConfigPhoneBookPage();

    const CPhoneBookListOrder& Order() const { return m_order; }
    // True from the page's opening until OK or Cancel.
    bool HoldsSnapshot() const { return m_snapshot.has_value(); }
    // The book as it was when the page opened, serialised; null when the
    // page holds none (never opened, or closed).
    const std::vector<uint8_t>* Snapshot() const { return m_snapshot ? &*m_snapshot : nullptr; }

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    bool OnApply() override;
    void OnReset() override;
    bool OnCommand(WORD id, WORD notifyCode, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

    // The entry sheet on `entry`, modally; returns IDOK when the user
    // confirmed.
    virtual INT_PTR RunEntrySheet(CPhoneBookEntry& entry);

    CPhoneBook& Book() const;
    CRingwardenPreferences& Preferences() const;

private:
    struct CommandHandler {
        WORD id;
        void (CConfigPhoneBookPage::*handle)();
    };
    static const CommandHandler kCommands[];

    void TakeSnapshot();
    void RestoreSnapshot();
    void InsertColumns();
    void FillList();
    // The list shows nothing, and no row refers to an entry any more.
    void EmptyList();
    void UpdateButtons();
    // The first selected row from the top, or -1.
    int SelectedRow() const;
    CPhoneBookEntry* SelectedEntry() const;
    void SelectRow(int row);

    void OnAdd();
    void OnEdit();
    void OnDelete();
    void OnColumnClick(int column);
    template <class Item> void SupplyText(Item& item) const;

    HWND m_list = nullptr;
    HWND m_edit = nullptr;
    HWND m_delete = nullptr;
    CImageList m_smallImages;
    std::optional<std::vector<uint8_t>> m_snapshot;
    CPhoneBookListOrder m_order;
};

} // namespace rw
