// The configuration sheet's Phone Book page, driven inside the running
// sheet: the list's order, Add, Edit and Delete, and what OK and Cancel leave
// in the phone book. Most tests answer the entry sheet themselves through a
// page whose RunEntrySheet is replaced; one goes through the real one.
#include "records/Archive.h"
#include "records/ByteStream.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/ConfigPhoneBookPage.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/PhoneBookPropertySheet.h"
#include "ui/framework/AppMessageBox.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rw {
namespace {

using EntryAnswer = std::function<INT_PTR(CPhoneBookEntry&)>;

// The page with the entry sheet answered by the test.
class CTestBookPage : public CConfigPhoneBookPage {
public:
    EntryAnswer answer;
    int sheetsRun = 0;

protected:
    INT_PTR RunEntrySheet(CPhoneBookEntry& entry) override {
        ++sheetsRun;
        return answer ? answer(entry) : IDCANCEL;
    }
};

// The configuration sheet with that page after its own six, in front.
class CTestSheet : public CConfigPropertySheet {
public:
    CTestSheet(CRingwardenPreferences& preferences, CPhoneBook& book)
        : CConfigPropertySheet(preferences, book, IDS_CONFIG_SHEET_CAPTION, nullptr, 6) {
        AddPage(&page);
    }
    CTestBookPage page;
};

std::vector<uint8_t> Serialised(CPhoneBook& book) {
    CMemorySink sink;
    CArchive ar(sink);
    book.Serialize(ar);
    ar.Flush();
    return sink.Bytes();
}

std::string ItemText(HWND list, int row, int column, int size = 260) {
    std::vector<char> buffer(static_cast<size_t>(size), '\0');
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = size;
    SendMessageA(list, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item));
    return buffer.data();
}

// One column of every row, top to bottom.
std::vector<std::string> Column(HWND list, int column) {
    std::vector<std::string> texts;
    const int count = ListView_GetItemCount(list);
    for (int row = 0; row < count; ++row)
        texts.push_back(ItemText(list, row, column));
    return texts;
}

std::vector<int> SelectedRows(HWND list) {
    std::vector<int> rows;
    for (int row = ListView_GetNextItem(list, -1, LVNI_SELECTED); row >= 0;
         row = ListView_GetNextItem(list, row, LVNI_SELECTED))
        rows.push_back(row);
    return rows;
}

struct Message {
    std::string text;
    UINT type;
};

class PhoneBookPageTest : public testing::Test {
protected:
    void SetUp() override {
        m_previousBox = SetAppMessageBoxHandler([this](HWND, const std::string& text, UINT type) {
            messages.push_back({text, type});
            return boxAnswer;
        });
    }
    void TearDown() override {
        SetAppMessageBoxHandler(std::move(m_previousBox));
        CCorePropertySheet::SetShownHook({});
    }

    CPhoneBookEntry& Store(const std::string& name, const std::string& number,
                           int32_t filterType = FilterNeverBlock) {
        auto entry = std::make_unique<CPhoneBookEntry>();
        entry->Name = name;
        entry->Number = number;
        entry->FilterType = filterType;
        entry->MakeLookupKey();
        entry->InPhoneBook = 1;
        CPhoneBookEntry& stored = *entry;
        book.SetAt(stored.LookupKey, std::move(entry));
        return stored;
    }

    // Runs the test sheet on the page; `drive` works the page once it is on
    // screen, then `button` ends the sheet.
    INT_PTR Run(const std::function<void(CTestBookPage&)>& drive, int button = PSBTN_OK,
                EntryAnswer answer = {}) {
        CTestSheet sheet(preferences, book);
        sheet.page.answer = std::move(answer);
        CCorePropertySheet::SetShownHook([&](CCorePropertySheet& shown) {
            EXPECT_EQ(shown.GetActivePage(), &sheet.page);
            drive(sheet.page);
            shown.PressButton(button);
        });
        return sheet.DoModal();
    }

    static HWND List(CCorePropertyPage& page) { return page.GetDlgItem(IDC_BOOK_LIST); }
    static bool Enabled(CCorePropertyPage& page, int id) {
        return IsWindowEnabled(page.GetDlgItem(id)) != FALSE;
    }
    static void Click(CCorePropertyPage& page, int id) {
        SendMessageA(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(page.GetDlgItem(id)));
    }
    static void ClickHeader(CCorePropertyPage& page, int column) {
        NMLISTVIEW click{};
        click.hdr.hwndFrom = List(page);
        click.hdr.idFrom = IDC_BOOK_LIST;
        click.hdr.code = LVN_COLUMNCLICK;
        click.iItem = -1;
        click.iSubItem = column;
        SendMessageA(page.GetSafeHwnd(), WM_NOTIFY, IDC_BOOK_LIST,
                     reinterpret_cast<LPARAM>(&click));
    }
    static void DoubleClick(CCorePropertyPage& page, int row) {
        NMITEMACTIVATE click{};
        click.hdr.hwndFrom = List(page);
        click.hdr.idFrom = IDC_BOOK_LIST;
        click.hdr.code = NM_DBLCLK;
        click.iItem = row;
        SendMessageA(page.GetSafeHwnd(), WM_NOTIFY, IDC_BOOK_LIST,
                     reinterpret_cast<LPARAM>(&click));
    }
    // Selects exactly `rows`.
    static void Select(CCorePropertyPage& page, std::initializer_list<int> rows) {
        ListView_SetItemState(List(page), -1, 0, LVIS_SELECTED);
        for (int row : rows)
            ListView_SetItemState(List(page), row, LVIS_SELECTED, LVIS_SELECTED);
    }

    CPhoneBook book;
    CRingwardenPreferences preferences;
    std::vector<Message> messages;
    int boxAnswer = IDNO;

private:
    AppMessageBoxHandler m_previousBox;
};

TEST_F(PhoneBookPageTest, EmptyBookOffersOnlyAdd) {
    Run([&](CTestBookPage& page) {
        EXPECT_EQ(ListView_GetItemCount(List(page)), 0);
        EXPECT_TRUE(Enabled(page, IDC_BOOK_ADD));
        EXPECT_FALSE(Enabled(page, IDC_BOOK_EDIT));
        EXPECT_FALSE(Enabled(page, IDC_BOOK_DELETE));
        Click(page, IDC_BOOK_EDIT);
        Click(page, IDC_BOOK_DELETE);
        EXPECT_EQ(page.sheetsRun, 0);
        EXPECT_TRUE(messages.empty());
        // The three columns, a third of the width each.
        HWND header = ListView_GetHeader(List(page));
        EXPECT_EQ(Header_GetItemCount(header), 3);
        EXPECT_EQ(ListView_GetColumnWidth(List(page), 0), ListView_GetColumnWidth(List(page), 2));
    });
    EXPECT_EQ(book.GetCount(), 0u);
}

TEST_F(PhoneBookPageTest, OpensByNameAndHeaderClicksSortAndKeepTheSelection) {
    Store("bob", "0300", FilterAlwaysBlock);
    Store("Alice", "0100", FilterNeverBlock);
    Store("carol", "0200", FilterBlockSometimes);
    Store("Dave", "0400", FilterAlwaysBlock);
    struct Step {
        int column; // -1: as opened
        std::vector<std::string> names;
    };
    const Step steps[] = {
        {-1, {"Alice", "bob", "carol", "Dave"}},
        {0, {"Dave", "carol", "bob", "Alice"}},
        {0, {"Alice", "bob", "carol", "Dave"}},
        {1, {"Alice", "carol", "bob", "Dave"}},
        // By the text: Always Block, Block Sometimes, Never Block; equal
        // texts keep the order they had in the book.
        {2, {"bob", "Dave", "carol", "Alice"}},
        {2, {"Alice", "carol", "bob", "Dave"}},
    };
    Run([&](CTestBookPage& page) {
        HWND list = List(page);
        Select(page, {2}); // carol
        for (const Step& step : steps) {
            if (step.column >= 0)
                ClickHeader(page, step.column);
            SCOPED_TRACE(step.column);
            EXPECT_EQ(Column(list, 0), step.names);
            const std::vector<int> selected = SelectedRows(list);
            ASSERT_EQ(selected.size(), 1u);
            EXPECT_EQ(ItemText(list, selected[0], 0), "carol");
        }
        EXPECT_EQ(ItemText(list, 0, 1), "0100");
        EXPECT_EQ(ItemText(list, 0, 2), "Never Block");
        EXPECT_EQ(ItemText(list, 0, 0, 4), "Ali"); // cut to the buffer
        EXPECT_TRUE(Enabled(page, IDC_BOOK_EDIT));
    });
}

TEST_F(PhoneBookPageTest, AddOkSelectsTheNewRowInItsPlaceAndCancelAddsNothing) {
    Store("Alice", "0100");
    Store("Carol", "0300");
    const std::vector<uint8_t> before = Serialised(book);
    Run(
        [&](CTestBookPage& page) {
            Click(page, IDC_BOOK_ADD);
            EXPECT_EQ(Serialised(book), before);
            EXPECT_EQ(ListView_GetItemCount(List(page)), 2);
        },
        PSBTN_OK,
        [](CPhoneBookEntry& entry) {
            entry.Name = "Bob";
            return IDCANCEL;
        });
    EXPECT_EQ(Serialised(book), before);

    CPhoneBookEntry* added = nullptr;
    Run(
        [&](CTestBookPage& page) {
            Click(page, IDC_BOOK_ADD);
            HWND list = List(page);
            EXPECT_EQ(Column(list, 0), (std::vector<std::string>{"Alice", "Bob", "Carol"}));
            EXPECT_EQ(SelectedRows(list), std::vector<int>{1});
            EXPECT_EQ(ListView_GetNextItem(list, -1, LVNI_FOCUSED), 1);
            EXPECT_TRUE(Enabled(page, IDC_BOOK_EDIT));
        },
        PSBTN_OK,
        [&](CPhoneBookEntry& entry) {
            EXPECT_EQ(entry.InPhoneBook, 0);
            entry.Name = "Bob";
            entry.Number = "(0200) 7";
            added = &entry;
            return IDOK;
        });
    ASSERT_EQ(book.Lookup("02007"), added);
    EXPECT_EQ(added->InPhoneBook, 1);
    EXPECT_EQ(added->LookupKey, "02007");
}

TEST_F(PhoneBookPageTest, DeleteAsksAndOnlyYesRemoves) {
    Store("Alice", "0100");
    Store("Bob", "0200");
    Run([&](CTestBookPage& page) {
        Select(page, {1});
        boxAnswer = IDNO;
        Click(page, IDC_BOOK_DELETE);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text,
                  "Are you sure you wish to delete the Phone Book entry for 'Bob'?");
        EXPECT_EQ(messages[0].type, UINT{MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2});
        EXPECT_EQ(book.GetCount(), 2u);
        EXPECT_EQ(SelectedRows(List(page)), std::vector<int>{1});

        // As a keyboard user does it: the focus is on Delete, which the
        // deletion disables; the focus then goes to the list.
        SetFocus(page.GetDlgItem(IDC_BOOK_DELETE));
        ASSERT_EQ(GetFocus(), page.GetDlgItem(IDC_BOOK_DELETE));
        boxAnswer = IDYES;
        Click(page, IDC_BOOK_DELETE);
        EXPECT_EQ(GetFocus(), List(page));
        EXPECT_EQ(book.Lookup("0200"), nullptr);
        EXPECT_EQ(Column(List(page), 0), std::vector<std::string>{"Alice"});
        EXPECT_TRUE(SelectedRows(List(page)).empty());
        EXPECT_FALSE(Enabled(page, IDC_BOOK_EDIT));
        EXPECT_FALSE(Enabled(page, IDC_BOOK_DELETE));
    });
    EXPECT_EQ(book.GetCount(), 1u);
}

TEST_F(PhoneBookPageTest, DeleteRemovesThePairThatHoldsTheEntry) {
    // A file may store an entry under a key other than its own LookupKey;
    // deleting it must not take another entry's pair instead.
    Store("Alice", "0100");
    auto odd = std::make_unique<CPhoneBookEntry>();
    odd->Name = "Bob";
    odd->Number = "0100";
    odd->LookupKey = "0100";
    odd->InPhoneBook = 1;
    book.SetAt("ODD", std::move(odd));
    boxAnswer = IDYES;
    Run([&](CTestBookPage& page) {
        Select(page, {1});
        Click(page, IDC_BOOK_DELETE);
    });
    EXPECT_EQ(book.Lookup("ODD"), nullptr);
    ASSERT_NE(book.Lookup("0100"), nullptr);
    EXPECT_EQ(book.Lookup("0100")->Name, "Alice");
}

TEST_F(PhoneBookPageTest, SeveralSelectedRowsActOnTheTopmost) {
    Store("Alice", "0100");
    Store("Bob", "0200");
    Store("Carol", "0300");
    std::vector<std::string> edited;
    Run(
        [&](CTestBookPage& page) {
            Select(page, {2, 1});
            Click(page, IDC_BOOK_EDIT);
            DoubleClick(page, 2);
            Click(page, IDC_BOOK_DELETE);
            EXPECT_EQ(ItemText(List(page), 1, 0), "Bob (edited) (edited)");
        },
        PSBTN_OK,
        [&](CPhoneBookEntry& entry) {
            edited.push_back(entry.Name);
            entry.Name += " (edited)";
            return IDOK;
        });
    EXPECT_EQ(edited, (std::vector<std::string>{"Bob", "Bob (edited)"}));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("'Bob (edited) (edited)'"), std::string::npos);
}

TEST_F(PhoneBookPageTest, CancelRestoresTheBookExactlyAndOkKeepsTheChanges) {
    Store("Alice", "0100", FilterBlockSometimes).Notes = "notes";
    Store("Bob", "0200");
    Store("Carol", "0300", FilterAlwaysBlock).LastCallTime = CDateTime(36526.5);
    const std::vector<uint8_t> before = Serialised(book);
    boxAnswer = IDYES;
    int adds = 0;
    auto work = [&](CTestBookPage& page) {
        Click(page, IDC_BOOK_ADD); // Dora
        Select(page, {0});
        Click(page, IDC_BOOK_EDIT); // Alice
        Select(page, {1});
        Click(page, IDC_BOOK_DELETE); // Bob
    };
    auto answer = [&](CPhoneBookEntry& entry) {
        if (entry.InPhoneBook == 0) {
            entry.Name = "Dora";
            entry.Number = std::to_string(500 + adds++);
        } else {
            entry.Notes = "changed";
            entry.FilterType = FilterAlwaysBlock;
        }
        return IDOK;
    };
    EXPECT_EQ(Run(work, PSBTN_CANCEL, answer), IDCANCEL);
    EXPECT_EQ(Serialised(book), before);
    EXPECT_EQ(book.GetCount(), 3u);

    EXPECT_EQ(Run(work, PSBTN_OK, answer), IDOK);
    EXPECT_EQ(book.GetCount(), 3u);
    EXPECT_EQ(book.Lookup("0200"), nullptr);
    ASSERT_NE(book.Lookup("501"), nullptr);
    ASSERT_NE(book.Lookup("0100"), nullptr);
    EXPECT_EQ(book.Lookup("0100")->Notes, "changed");
}

TEST_F(PhoneBookPageTest, CancelKeepsTheLastCallTimesCallsStampedMeanwhile) {
    Store("Alice", "0100").LastCallTime = CDateTime(36526.5);
    Store("Bob", "0200");
    const CDateTime later(36530.25);
    auto work = [&](CTestBookPage& page) {
        Select(page, {0});
        Click(page, IDC_BOOK_EDIT); // the page's own change, undone by Cancel
        // Calls screened while the sheet is open stamp their entries.
        book.Lookup("0100")->LastCallTime = later;
        book.Lookup("0200")->LastCallTime = later;
    };
    auto answer = [](CPhoneBookEntry& entry) {
        entry.Notes = "changed";
        return IDOK;
    };
    EXPECT_EQ(Run(work, PSBTN_CANCEL, answer), IDCANCEL);
    ASSERT_NE(book.Lookup("0100"), nullptr);
    EXPECT_EQ(book.Lookup("0100")->Notes, "");
    EXPECT_EQ(book.Lookup("0100")->LastCallTime, later);
    EXPECT_EQ(book.Lookup("0200")->LastCallTime, later);
}

TEST_F(PhoneBookPageTest, PageNeverOpenedLeavesTheBookAlone) {
    CPhoneBookEntry* alice = &Store("Alice", "0100");
    for (int button : {PSBTN_OK, PSBTN_CANCEL}) {
        CConfigPropertySheet sheet(preferences, book);
        CCorePropertySheet::SetShownHook([&](CCorePropertySheet& shown) {
            alice->Notes = "written while open";
            shown.PressButton(button);
        });
        sheet.DoModal();
        EXPECT_EQ(book.Lookup("0100"), alice);
        EXPECT_EQ(alice->Notes, "written while open");
    }
}

TEST_F(PhoneBookPageTest, AddGoesThroughTheEntrySheet) {
    Store("Alice", "0100");
    CConfigPropertySheet sheet(preferences, book, IDS_CONFIG_SHEET_CAPTION, nullptr, 2);
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet& shown) {
        if (auto* entrySheet = dynamic_cast<CPhoneBookPropertySheet*>(&shown)) {
            HWND general = entrySheet->GetPage(0)->GetSafeHwnd();
            SetDlgItemTextA(general, IDC_ENTRY_NUMBER, "0123 456");
            SetDlgItemTextA(general, IDC_ENTRY_NAME, "Zoe");
            shown.PressButton(PSBTN_OK);
            return;
        }
        CConfigPhoneBookPage& page = sheet.PhoneBookPage();
        EXPECT_EQ(shown.GetActivePage(), &page);
        Click(page, IDC_BOOK_ADD);
        EXPECT_EQ(Column(List(page), 0), (std::vector<std::string>{"Alice", "Zoe"}));
        EXPECT_EQ(SelectedRows(List(page)), std::vector<int>{1});
        shown.PressButton(PSBTN_OK);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    ASSERT_NE(book.Lookup("0123456"), nullptr);
    EXPECT_EQ(book.Lookup("0123456")->Name, "Zoe");
    EXPECT_EQ(book.Lookup("0123456")->InPhoneBook, 1);
}

} // namespace
} // namespace rw
