#include "ui/ConfigPhoneBookPage.h"

#include "records/Archive.h"
#include "records/ByteStream.h"
#include "records/PhoneBook.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/PhoneBookPropertySheet.h"
#include "ui/framework/AppMessageBox.h"
#include "ui/framework/ListColumns.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <exception>
#include <memory>
#include <string>
#include <unordered_set>
#include <utility>

namespace rw {
namespace {

// The list offers a buffer of its own size; every text is cut to fit. Like
// the C strings the list expects, a text ends at its first NUL.
void CopyCut(const std::string& text, char* out, int size) {
    if (!out || size <= 0)
        return;
    const size_t length = std::min({text.find('\0'), text.size(), static_cast<size_t>(size - 1)});
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

void CopyCut(const std::string& text, wchar_t* out, int size) {
    if (!out || size <= 0)
        return;
    // In the system code page no byte becomes more than one UTF-16 unit.
    const int bytes =
        static_cast<int>(std::min({text.find('\0'), text.size(), size_t{0x7FFFFFFF}}));
    std::wstring wide(static_cast<size_t>(bytes), L'\0');
    int length = bytes ? MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide.data(), bytes) : 0;
    length = std::min(length, size - 1);
    std::wmemcpy(out, wide.data(), static_cast<size_t>(length));
    out[length] = L'\0';
}

// The key `entry` is stored under. It is normally the entry's own LookupKey,
// but a book read from a file keeps each pair's key as the file gave it.
std::optional<std::string> KeyOf(const CPhoneBook& book, const CPhoneBookEntry* entry) {
    if (book.Lookup(entry->LookupKey) == entry)
        return entry->LookupKey;
    std::optional<std::string> found;
    book.ForEach([&](const std::string& key, CPhoneBookEntry& stored) {
        if (&stored == entry)
            found = key;
    });
    return found;
}

} // namespace

const CConfigPhoneBookPage::CommandHandler CConfigPhoneBookPage::kCommands[] = {
    {IDC_BOOK_ADD, &CConfigPhoneBookPage::OnAdd},
    {IDC_BOOK_EDIT, &CConfigPhoneBookPage::OnEdit},
    {IDC_BOOK_DELETE, &CConfigPhoneBookPage::OnDelete},
};

CConfigPhoneBookPage::CConfigPhoneBookPage() : CCorePropertyPage(IDD_CONFIG_PHONE_BOOK) {}

CPhoneBook& CConfigPhoneBookPage::Book() const {
    return static_cast<CConfigPropertySheet*>(GetSheet())->PhoneBook();
}

CRingwardenPreferences& CConfigPhoneBookPage::Preferences() const {
    return static_cast<CConfigPropertySheet*>(GetSheet())->Preferences();
}

void CConfigPhoneBookPage::DoDataExchange(CDataExchange& dx) {
    CCorePropertyPage::DoDataExchange(dx);
    m_list = GetDlgItem(IDC_BOOK_LIST);
    m_edit = GetDlgItem(IDC_BOOK_EDIT);
    m_delete = GetDlgItem(IDC_BOOK_DELETE);
}

BOOL CConfigPhoneBookPage::OnInitDialog() {
    CCorePropertyPage::OnInitDialog();
    m_snapshot.reset();
    try {
        TakeSnapshot();
    } catch (const std::exception&) {
        // Without a copy, Cancel could not undo anything: the book stays as
        // it is and cannot be changed here.
        m_snapshot.reset();
    }
    InsertColumns();
    // The images are 2 pixels of white, all masked out: they only give the
    // rows the height of a small icon. The template gives the list
    // LVS_SHAREIMAGELISTS, as the page destroys the image list itself.
    if (m_smallImages.LoadBitmap(GetModuleHandleA(nullptr), IDB_ROW_HEIGHT, 2, 5,
                                 RGB(255, 255, 255)))
        ListView_SetImageList(m_list, m_smallImages.Get(), LVSIL_SMALL);
    m_order.SortBy(CPhoneBookListOrder::ColumnName, false);
    SetWindowLongPtrA(m_list, GWL_STYLE, GetWindowLongPtrA(m_list, GWL_STYLE) | LVS_SHOWSELALWAYS);
    ListView_SetExtendedListViewStyle(m_list, LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    FillList();
    UpdateButtons();
    if (!m_snapshot)
        EnableWindow(GetDlgItem(IDC_BOOK_ADD), FALSE);
    return TRUE;
}

void CConfigPhoneBookPage::TakeSnapshot() {
    CMemorySink sink;
    CArchive ar(sink);
    Book().Serialize(ar);
    ar.Flush();
    m_snapshot = sink.Bytes();
}

bool CConfigPhoneBookPage::OnApply() {
    m_snapshot.reset();
    return CCorePropertyPage::OnApply();
}

void CConfigPhoneBookPage::OnReset() {
    RestoreSnapshot();
    CCorePropertyPage::OnReset();
}

void CConfigPhoneBookPage::RestoreSnapshot() {
    // Nothing to put back when the page never opened, or already did so.
    if (!m_snapshot)
        return;
    const std::vector<uint8_t> bytes = std::move(*m_snapshot);
    m_snapshot.reset();
    EmptyList();
    // Calls go on being screened while the sheet is open, and stamp their
    // entries' last-call times: those are not the page's changes, so they
    // outlive its Cancel.
    std::map<std::string, CDateTime> stamped;
    Book().ForEach([&stamped](const std::string& key, CPhoneBookEntry& entry) {
        if (entry.LastCallTime.IsValid())
            stamped.emplace(key, entry.LastCallTime);
    });
    Book().DeleteAllEntries();
    try {
        CMemorySource source(bytes);
        CArchive ar(source);
        Book().Serialize(ar);
    } catch (const std::exception&) {
        // The entries read before the fault stay; there is no one to tell.
    }
    for (const auto& [key, time] : stamped) {
        CPhoneBookEntry* entry = Book().Lookup(key);
        if (entry && (!entry->LastCallTime.IsValid() || entry->LastCallTime < time))
            entry->LastCallTime = time;
    }
}

void CConfigPhoneBookPage::InsertColumns() {
    InsertEqualColumns(m_list, IDS_BOOK_COLUMN_NAME, CPhoneBookListOrder::kColumnCount, 2);
}

void CConfigPhoneBookPage::FillList() {
    SendMessageA(m_list, WM_SETREDRAW, FALSE, 0);
    EmptyList();
    m_order.Fill(Book());
    SendMessageA(m_list, LVM_SETITEMCOUNT, m_order.Size(), 0);
    SendMessageA(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
}

void CConfigPhoneBookPage::EmptyList() {
    // Rows come back unselected: a refill starts with no selection.
    ListView_DeleteAllItems(m_list);
    m_order.Clear();
}

void CConfigPhoneBookPage::UpdateButtons() {
    const BOOL selected = m_snapshot && ListView_GetSelectedCount(m_list) > 0;
    // A disabled button keeps the focus and the keyboard goes dead (as after
    // Delete): hand the focus to the list first, through the sheet, which
    // owns the dialog focus of its pages.
    const HWND focus = GetFocus();
    if (!selected && (focus == m_edit || focus == m_delete))
        SendMessageA(GetParent(m_hWnd), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(m_list), TRUE);
    EnableWindow(m_edit, selected);
    EnableWindow(m_delete, selected);
}

int CConfigPhoneBookPage::SelectedRow() const {
    if (ListView_GetSelectedCount(m_list) == 0)
        return -1;
    const int row = ListView_GetNextItem(m_list, -1, LVNI_SELECTED);
    return row >= 0 && static_cast<size_t>(row) < m_order.Size() ? row : -1;
}

CPhoneBookEntry* CConfigPhoneBookPage::SelectedEntry() const {
    const int row = SelectedRow();
    return row < 0 ? nullptr : m_order.EntryAt(static_cast<size_t>(row));
}

void CConfigPhoneBookPage::SelectRow(int row) {
    if (row < 0)
        return;
    const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
    ListView_SetItemState(m_list, row, state, state);
    ListView_EnsureVisible(m_list, row, FALSE);
}

INT_PTR CConfigPhoneBookPage::RunEntrySheet(CPhoneBookEntry& entry) {
    // Owned by this sheet, which stays disabled meanwhile: the entry being
    // edited cannot be deleted from under the entry sheet.
    CPhoneBookPropertySheet sheet(entry, Book(), Preferences(), IDS_ENTRY_SHEET_CAPTION,
                                  GetParent(m_hWnd), 0);
    const auto& preview = static_cast<CConfigPropertySheet*>(GetSheet())->GetEntryPreview();
    if (preview)
        sheet.SetPreview([&preview, replaced = entry.LookupKey](const CPhoneBookEntry& candidate) {
            return preview(candidate, replaced);
        });
    return sheet.DoModal();
}

void CConfigPhoneBookPage::OnAdd() {
    if (!m_snapshot)
        return;
    auto entry = std::make_unique<CPhoneBookEntry>();
    if (RunEntrySheet(*entry) != IDOK)
        return; // the new entry goes
    entry->MakeLookupKey();
    entry->InPhoneBook = 1;
    CPhoneBookEntry* added = entry.get();
    const std::string key = entry->LookupKey;
    EmptyList(); // storing may replace an entry a row shows
    Book().SetAt(key, std::move(entry));
    FillList();
    SelectRow(m_order.PositionOf(added));
    UpdateButtons();
}

void CConfigPhoneBookPage::OnEdit() {
    const int row = SelectedRow();
    if (row < 0 || !m_snapshot)
        return;
    RunEntrySheet(*m_order.EntryAt(static_cast<size_t>(row)));
    // The row keeps its place until the next sort, which uses the new texts.
    m_order.EntriesChanged();
    ListView_RedrawItems(m_list, row, row);
}

void CConfigPhoneBookPage::OnDelete() {
    CPhoneBookEntry* entry = SelectedEntry();
    if (!entry || !m_snapshot)
        return;
    const std::string question = FormatResString(IDS_DELETE_ENTRY, entry->Name);
    if (AppMessageBox(m_hWnd, question, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES)
        return;
    const std::optional<std::string> key = KeyOf(Book(), entry);
    if (key) {
        EmptyList(); // no row may show the entry once it is gone
        Book().RemoveKey(*key);
    }
    FillList();
    UpdateButtons();
}

void CConfigPhoneBookPage::OnColumnClick(int column) {
    // A virtual list keeps its selection by row; the selected and focused
    // entries are remembered and selected again where the sort puts them.
    SendMessageA(m_list, WM_SETREDRAW, FALSE, 0);
    std::vector<int> selectedRows;
    const size_t selectedCount = ListView_GetSelectedCount(m_list);
    const bool allSelected = selectedCount > 0 && selectedCount == m_order.Size();
    // Each search walks the rows: it stops once all selected rows are found.
    if (!allSelected && selectedCount > 0)
        for (int row = ListView_GetNextItem(m_list, -1, LVNI_SELECTED); row >= 0;
             row = ListView_GetNextItem(m_list, row, LVNI_SELECTED)) {
            selectedRows.push_back(row);
            if (selectedRows.size() == selectedCount)
                break;
        }
    std::unordered_set<const CPhoneBookEntry*> selected;
    for (int row : selectedRows) {
        selected.insert(m_order.EntryAt(static_cast<size_t>(row)));
        ListView_SetItemState(m_list, row, 0, LVIS_SELECTED);
    }
    const int focusedRow = ListView_GetNextItem(m_list, -1, LVNI_FOCUSED);
    const CPhoneBookEntry* focused =
        focusedRow >= 0 ? m_order.EntryAt(static_cast<size_t>(focusedRow)) : nullptr;

    m_order.ClickColumn(column);

    int firstSelected = allSelected ? 0 : -1;
    for (size_t row = 0; row < m_order.Size() && !selected.empty(); ++row)
        if (selected.count(m_order.EntryAt(row))) {
            ListView_SetItemState(m_list, static_cast<int>(row), LVIS_SELECTED, LVIS_SELECTED);
            if (firstSelected < 0)
                firstSelected = static_cast<int>(row);
        }
    if (focused)
        ListView_SetItemState(m_list, m_order.PositionOf(focused), LVIS_FOCUSED, LVIS_FOCUSED);
    if (firstSelected >= 0)
        ListView_EnsureVisible(m_list, firstSelected, FALSE);
    SendMessageA(m_list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(m_list, nullptr, TRUE);
}

template <class Item> void CConfigPhoneBookPage::SupplyText(Item& item) const {
    if (!(item.mask & LVIF_TEXT))
        return;
    const std::string text =
        item.iItem >= 0 && static_cast<size_t>(item.iItem) < m_order.Size()
            ? CPhoneBookListOrder::ColumnText(*m_order.EntryAt(static_cast<size_t>(item.iItem)),
                                              item.iSubItem)
            : std::string();
    CopyCut(text, item.pszText, item.cchTextMax);
}

bool CConfigPhoneBookPage::OnCommand(WORD id, WORD notifyCode, HWND /*control*/) {
    if (notifyCode != BN_CLICKED)
        return false;
    for (const CommandHandler& command : kCommands)
        if (command.id == id) {
            (this->*command.handle)();
            return true;
        }
    return false;
}

bool CConfigPhoneBookPage::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->idFrom != IDC_BOOK_LIST)
        return false;
    // The list may talk to the page in either character set.
    switch (header->code) {
    case LVN_GETDISPINFOA:
        SupplyText(reinterpret_cast<NMLVDISPINFOA*>(header)->item);
        return true;
    case LVN_GETDISPINFOW:
        SupplyText(reinterpret_cast<NMLVDISPINFOW*>(header)->item);
        return true;
    case NM_DBLCLK:
        OnEdit();
        result = 0;
        return true;
    case LVN_COLUMNCLICK:
        OnColumnClick(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
        result = 0;
        return true;
    case LVN_ITEMCHANGED:
    case LVN_ODSTATECHANGED: // a range of rows selected at once
        UpdateButtons();
        result = 0;
        return true;
    case LVN_DELETEALLITEMS:
        // No LVN_DELETEITEM for each row: the rows hold nothing to free.
        result = TRUE;
        SetDialogResult(TRUE);
        return true;
    default:
        return false;
    }
}

} // namespace rw
