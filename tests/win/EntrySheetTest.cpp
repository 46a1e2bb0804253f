#include "records/DateTime.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "records/StringTable.h"
#include "res/resource.h"
#include "ui/PhoneBookPropertySheet.h"
#include "ui/framework/AppMessageBox.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace rw {
namespace {

std::string TempPath(const char* name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

std::string WriteFile(const char* name, const std::string& bytes) {
    const std::string path = TempPath(name);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), bytes.size());
    return path;
}

// A short PCM wave file: 8 kHz, 16-bit mono, a tenth of a second.
std::string WriteWave(const char* name) {
    const uint32_t data = 1600;
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    std::string file = "RIFF" + u32(36 + data) + "WAVEfmt " + u32(16);
    file += std::string("\x01\x00\x01\x00", 4) + u32(8000) + u32(16000);
    file += std::string("\x02\x00\x10\x00", 4) + "data" + u32(data) + std::string(data, '\0');
    return WriteFile(name, file);
}

std::string Text(HWND control) {
    char buf[512] = {};
    GetWindowTextA(control, buf, sizeof buf);
    return buf;
}

struct Message {
    std::string text;
    UINT type;
};

// The time of day a picker shows, as hours and minutes.
std::pair<int, int> PickerTime(HWND picker) {
    SYSTEMTIME st{};
    DateTime_GetSystemtime(picker, &st);
    return {st.wHour, st.wMinute};
}

class EntrySheetTest : public testing::Test {
protected:
    void SetUp() override {
        m_previousBox = SetAppMessageBoxHandler([this](HWND, const std::string& text, UINT type) {
            messages.push_back({text, type});
            return IDOK;
        });
        preferences.OutOfHoursStart = CDateTime::TimeOfDay(18, 30);
        preferences.OutOfHoursEnd = CDateTime::TimeOfDay(7, 15);
    }
    void TearDown() override {
        SetAppMessageBoxHandler(std::move(m_previousBox));
        CCorePropertySheet::SetShownHook({});
        CPhoneBookFilterPage::SetOpenFileDialog({});
    }

    // Runs the sheet on `entry` from page `firstPage`; `drive` works it
    // once it is on screen and ends it.
    INT_PTR Run(CPhoneBookEntry& entry, const std::function<void(CPhoneBookPropertySheet&)>& drive,
                UINT firstPage = 0) {
        CPhoneBookPropertySheet sheet(entry, book, preferences, IDS_ENTRY_SHEET_CAPTION, nullptr,
                                      firstPage);
        CCorePropertySheet::SetShownHook([&](CCorePropertySheet&) { drive(sheet); });
        return sheet.DoModal();
    }

    // Stores a copy of `entry` as the phone book does after OK.
    CPhoneBookEntry& Store(const std::string& number, const std::string& name) {
        auto entry = std::make_unique<CPhoneBookEntry>();
        entry->Number = number;
        entry->Name = name;
        entry->MakeLookupKey();
        entry->InPhoneBook = 1;
        CPhoneBookEntry& stored = *entry;
        book.SetAt(stored.LookupKey, std::move(entry));
        return stored;
    }

    static HWND Item(CCorePropertyPage& page, int id) { return page.GetDlgItem(id); }
    static void Type(CCorePropertyPage& page, int id, const std::string& text) {
        SetDlgItemTextA(page.GetSafeHwnd(), id, text.c_str());
    }
    static void Click(CCorePropertyPage& page, int id) {
        SendMessageA(Item(page, id), BM_CLICK, 0, 0);
    }
    static void SelectFilterType(CCorePropertyPage& page, int position) {
        HWND list = Item(page, IDC_FILTER_TYPE);
        SendMessageA(list, CB_SETCURSEL, position, 0);
        SendMessageA(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_FILTER_TYPE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    }
    static bool Enabled(CCorePropertyPage& page, int id) {
        return IsWindowEnabled(Item(page, id)) != FALSE;
    }

    CPhoneBook book;
    CRingwardenPreferences preferences;
    std::vector<Message> messages;

private:
    AppMessageBoxHandler m_previousBox;
};

// Everything the sheet may write, for comparing an entry before and after.
struct EntryFields {
    explicit EntryFields(const CPhoneBookEntry& e)
        : name(e.Name), number(e.Number), key(e.LookupKey), notes(e.Notes), inBook(e.InPhoneBook),
          filterType(e.FilterType), useOwn(e.UseOwnHours), answerMode(e.AnswerMode),
          start(e.OwnHoursStart), end(e.OwnHoursEnd), file(e.MessageFile),
          lastCall(e.LastCallTime) {}
    bool operator==(const EntryFields&) const = default;
    std::string name, number, key, notes;
    int32_t inBook, filterType, useOwn, answerMode;
    CDateTime start, end;
    std::string file;
    CDateTime lastCall;
};

TEST_F(EntrySheetTest, TwoPagesInTabOrderWithTheEntryCaptionAndNoApply) {
    CPhoneBookEntry entry;
    std::string caption;
    std::vector<std::string> tabs;
    bool applyShown = true;
    Run(entry, [&](CPhoneBookPropertySheet& sheet) {
        HWND hWnd = sheet.GetSafeHwnd();
        caption = Text(hWnd);
        HWND tab = PropSheet_GetTabControl(hWnd);
        for (int i = 0; i < TabCtrl_GetItemCount(tab); ++i) {
            char buf[64] = {};
            TCITEMA item{};
            item.mask = TCIF_TEXT;
            item.pszText = buf;
            item.cchTextMax = sizeof buf;
            SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
            tabs.push_back(buf);
        }
        HWND apply = GetDlgItem(hWnd, 0x3021); // the platform's Apply button
        applyShown = apply && IsWindowVisible(apply);
        sheet.PressButton(PSBTN_CANCEL);
    });
    EXPECT_EQ(caption, "Ringwarden Phone Book Entry");
    EXPECT_EQ(tabs, (std::vector<std::string>{"General Information", "Filter Details"}));
    EXPECT_FALSE(applyShown);
}

TEST_F(EntrySheetTest, CancelWritesNothingFromEitherPage) {
    CPhoneBookEntry entry;
    entry.Number = "0123";
    entry.Name = "Old";
    const EntryFields before(entry);
    const INT_PTR result = Run(entry, [&](CPhoneBookPropertySheet& sheet) {
        Type(sheet.GeneralPage(), IDC_ENTRY_NUMBER, "999");
        Type(sheet.GeneralPage(), IDC_ENTRY_NAME, "New");
        sheet.SetActivePage(&sheet.FilterPage());
        SelectFilterType(sheet.FilterPage(), FilterAlwaysBlock);
        Click(sheet.FilterPage(), IDC_ANSWER_SILENCE);
        sheet.PressButton(PSBTN_CANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(EntryFields(entry) == before);
    EXPECT_TRUE(messages.empty());
}

TEST_F(EntrySheetTest, OkWithTheFilterPageNeverOpenedLeavesTheFilterFields) {
    CPhoneBookEntry entry;
    entry.FilterType = FilterBlockSometimes;
    entry.AnswerMode = AnswerOwnMessage;
    entry.OwnHoursStart = CDateTime::TimeOfDay(1, 2, 3);
    entry.MessageFile = "C:\\msg.wav";
    const EntryFields before(entry);
    const INT_PTR result = Run(entry, [&](CPhoneBookPropertySheet& sheet) {
        Type(sheet.GeneralPage(), IDC_ENTRY_NUMBER, "+44 (0)1-2");
        Type(sheet.GeneralPage(), IDC_ENTRY_NAME, " Acme ");
        Type(sheet.GeneralPage(), IDC_ENTRY_NOTES, "calls at lunch");
        sheet.PressButton(PSBTN_OK);
    });
    ASSERT_EQ(result, IDOK);
    EntryFields expected = before;
    expected.number = "+44 (0)1-2";
    expected.name = " Acme "; // as typed
    expected.notes = "calls at lunch";
    expected.key = "44012";
    EXPECT_TRUE(EntryFields(entry) == expected);
}

TEST_F(EntrySheetTest, OkWritesBothPages) {
    CPhoneBookEntry entry;
    const INT_PTR result = Run(entry, [&](CPhoneBookPropertySheet& sheet) {
        Type(sheet.GeneralPage(), IDC_ENTRY_NUMBER, "<Blocked>");
        Type(sheet.GeneralPage(), IDC_ENTRY_NAME, "Withheld");
        sheet.SetActivePage(&sheet.FilterPage());
        CCorePropertyPage& filter = sheet.FilterPage();
        SelectFilterType(filter, FilterBlockSometimes);
        Click(filter, IDC_USE_OWN_HOURS);
        SYSTEMTIME st{};
        DateTime_GetSystemtime(Item(filter, IDC_OWN_HOURS_START), &st);
        st.wHour = 21;
        st.wMinute = 5;
        st.wSecond = 0;
        DateTime_SetSystemtime(Item(filter, IDC_OWN_HOURS_START), GDT_VALID, &st);
        Click(filter, IDC_ANSWER_SILENCE);
        sheet.PressButton(PSBTN_OK);
    });
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(entry.Number, "<Blocked>");
    EXPECT_EQ(entry.LookupKey, "<BLOCKED>");
    EXPECT_EQ(entry.FilterType, FilterBlockSometimes);
    EXPECT_EQ(entry.UseOwnHours, 1);
    EXPECT_EQ(entry.AnswerMode, AnswerSilence);
    // The pickers started from the preferences' window (the new entry did
    // not use its own); the start was changed.
    EXPECT_TRUE(entry.OwnHoursStart == CDateTime::TimeOfDay(21, 5));
    EXPECT_TRUE(entry.OwnHoursEnd == CDateTime::TimeOfDay(7, 15));
    EXPECT_EQ(entry.InPhoneBook, 0); // the caller stores it
}

// The general page refuses in this order, from whichever page is in front,
// and then nothing has been written (the filter page included).
TEST_F(EntrySheetTest, GeneralChecksInOrder) {
    struct Case {
        const char* number;
        const char* name;
        UINT message; // 0: accepted
        int focus;
    };
    const Case cases[] = {
        {"", "", IDS_NUMBER_MISSING, IDC_ENTRY_NUMBER},
        {"", "Bob", IDS_NUMBER_MISSING, IDC_ENTRY_NUMBER},
        {"0123", "", IDS_NAME_MISSING, IDC_ENTRY_NAME},
        {"0123", "   ", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("number '") + c.number + "' name '" + c.name + "'");
        messages.clear();
        CPhoneBookEntry entry;
        const EntryFields before(entry);
        bool generalInFront = false;
        HWND focus = nullptr;
        HWND expectedFocus = nullptr;
        const INT_PTR result = Run(entry, [&](CPhoneBookPropertySheet& sheet) {
            Type(sheet.GeneralPage(), IDC_ENTRY_NUMBER, c.number);
            Type(sheet.GeneralPage(), IDC_ENTRY_NAME, c.name);
            sheet.SetActivePage(&sheet.FilterPage());
            SelectFilterType(sheet.FilterPage(), FilterAlwaysBlock);
            sheet.PressButton(PSBTN_OK);
            if (!c.message)
                return;
            generalInFront = sheet.GetActivePage() == &sheet.GeneralPage();
            focus = GetFocus();
            expectedFocus = Item(sheet.GeneralPage(), c.focus);
            sheet.PressButton(PSBTN_CANCEL);
        });
        if (!c.message) {
            EXPECT_EQ(result, IDOK);
            EXPECT_TRUE(messages.empty());
            EXPECT_EQ(entry.Name, "   ");
            EXPECT_EQ(entry.FilterType, FilterAlwaysBlock);
            continue;
        }
        EXPECT_EQ(result, IDCANCEL);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].text, LoadResString(c.message));
        EXPECT_EQ(messages[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_TRUE(generalInFront);
        EXPECT_EQ(focus, expectedFocus);
        EXPECT_TRUE(EntryFields(entry) == before);
    }
}

TEST_F(EntrySheetTest, NewNumberWithTheKeyOfAStoredEntryIsRefused) {
    Store("0123-456", "Stored Person");
    CPhoneBookEntry entry;
    bool stillOpen = false;
    const INT_PTR result = Run(entry, [&](CPhoneBookPropertySheet& sheet) {
        Type(sheet.GeneralPage(), IDC_ENTRY_NUMBER, "0123 456");
        Type(sheet.GeneralPage(), IDC_ENTRY_NAME, "Newcomer");
        sheet.PressButton(PSBTN_OK);
        stillOpen = sheet.GetActivePage() == &sheet.GeneralPage();
        sheet.PressButton(PSBTN_CANCEL);
    });
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_TRUE(stillOpen);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text,
              "The number you have entered clashes with the existing Phone Book entry for "
              "'Stored Person'.\n\nPlease enter a new number or edit the existing Phone Book "
              "entry.");
    EXPECT_EQ(messages[0].type, UINT(MB_OK)); // no icon
    EXPECT_TRUE(entry.Number.empty());
    EXPECT_EQ(book.GetCount(), 1u);
}

// A '*' only ends a number, once, after a digit; a prefix is its own key,
// so it never clashes with the number made of the same digits.
TEST_F(EntrySheetTest, PrefixNumbersAndWhereAStarMayStand) {
    Store("0900", "Helpline");
    Store("0800*", "Freephone");
    const struct {
        const char* number;
        const char* refusal; // null: stored under `key`
        const char* key;
    } cases[] = {
        {"0900*", nullptr, "0900*"},  {"+44 870 *", nullptr, "44870*"}, {"09*00", "bad", nullptr},
        {"*0900", "bad", nullptr},    {"0900**", "bad", nullptr},       {"*", "bad", nullptr},
        {"08-00*", "clash", nullptr},
    };
    for (const auto& c : cases) {
        messages.clear();
        CPhoneBookEntry entry;
        const INT_PTR result = Run(entry, [&](CPhoneBookPropertySheet& sheet) {
            Type(sheet.GeneralPage(), IDC_ENTRY_NUMBER, c.number);
            Type(sheet.GeneralPage(), IDC_ENTRY_NAME, "Range");
            sheet.PressButton(PSBTN_OK);
            if (c.refusal)
                sheet.PressButton(PSBTN_CANCEL);
        });
        if (!c.refusal) {
            EXPECT_EQ(result, IDOK) << c.number;
            EXPECT_TRUE(messages.empty()) << c.number;
            EXPECT_EQ(entry.LookupKey, c.key);
            continue;
        }
        EXPECT_EQ(result, IDCANCEL) << c.number;
        ASSERT_EQ(messages.size(), 1u) << c.number;
        if (std::string(c.refusal) == "bad") {
            EXPECT_EQ(messages[0].text, LoadResString(IDS_NUMBER_BAD_PREFIX));
        } else {
            EXPECT_NE(messages[0].text.find("'Freephone'"), std::string::npos);
        }
    }
}

TEST_F(EntrySheetTest, StoredEntryKeepsItsNumberAndSkipsTheClashCheck) {
    CPhoneBookEntry& stored = Store("0123-456", "Stored Person");
    bool numberEnabled = true;
    const INT_PTR result = Run(stored, [&](CPhoneBookPropertySheet& sheet) {
        numberEnabled = Enabled(sheet.GeneralPage(), IDC_ENTRY_NUMBER);
        Type(sheet.GeneralPage(), IDC_ENTRY_NAME, "Renamed");
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(numberEnabled);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(stored.Name, "Renamed");
    EXPECT_EQ(stored.Number, "0123-456");
    EXPECT_EQ(book.Lookup("0123456"), &stored);
}

TEST_F(EntrySheetTest, LastCallEmptyWhenNeverCalledElseLongDateAndTime) {
    const CDateTime called = CDateTime::FromParts(1995, 3, 14, 12, 41, 29);
    for (const CDateTime& lastCall : {CDateTime::Null(), called}) {
        CPhoneBookEntry entry;
        entry.LastCallTime = lastCall;
        std::string shown = "unread";
        bool readOnly = false;
        Run(entry, [&](CPhoneBookPropertySheet& sheet) {
            HWND box = Item(sheet.GeneralPage(), IDC_ENTRY_LAST_CALL);
            shown = Text(box);
            readOnly = GetWindowLongA(box, GWL_STYLE) & ES_READONLY;
            sheet.PressButton(PSBTN_CANCEL);
        });
        EXPECT_TRUE(readOnly);
        if (!lastCall.IsValid()) {
            EXPECT_EQ(shown, "");
            continue;
        }
        EXPECT_EQ(shown, FormatLastCallTime(called));
        for (const char* part : {"Tuesday", "March", "14", "1995", "12:41:29"})
            EXPECT_NE(shown.find(part), std::string::npos) << part << " in " << shown;
    }
}

// The enabling rule over filter type x time choice x answer mode, run each
// time through the list's selection change.
TEST_F(EntrySheetTest, FilterPageEnablingRule) {
    CPhoneBookEntry entry;
    Run(
        entry,
        [&](CPhoneBookPropertySheet& sheet) {
            CCorePropertyPage& page = sheet.FilterPage();
            const int timeRadios[] = {IDC_USE_DEFAULT_HOURS, IDC_USE_OWN_HOURS};
            const int answerRadios[] = {IDC_ANSWER_SILENCE, IDC_ANSWER_DEFAULT, IDC_ANSWER_MESSAGE};
            for (int type = 0; type < 3; ++type) {
                for (int time = 0; time < 2; ++time) {
                    for (int answer = 0; answer < 3; ++answer) {
                        SCOPED_TRACE(testing::Message() << "type " << type << " time " << time
                                                        << " answer " << answer);
                        for (int i = 0; i < 2; ++i)
                            CheckDlgButton(page.GetSafeHwnd(), timeRadios[i], i == time);
                        for (int i = 0; i < 3; ++i)
                            CheckDlgButton(page.GetSafeHwnd(), answerRadios[i], i == answer);
                        SelectFilterType(page, type);
                        const bool sometimes = type == FilterBlockSometimes;
                        const bool blocks = type != FilterNeverBlock;
                        for (int id : {IDC_ANSWER_TIMES_LABEL, IDC_USE_DEFAULT_HOURS,
                                       IDC_USE_OWN_HOURS, IDC_OWN_HOURS_AND})
                            EXPECT_EQ(Enabled(page, id), sometimes) << id;
                        for (int id : {IDC_OWN_HOURS_START, IDC_OWN_HOURS_END})
                            EXPECT_EQ(Enabled(page, id), sometimes && time == 1) << id;
                        for (int id : {IDC_ANSWER_MODE_LABEL, IDC_ANSWER_SILENCE,
                                       IDC_ANSWER_DEFAULT, IDC_ANSWER_MESSAGE})
                            EXPECT_EQ(Enabled(page, id), blocks) << id;
                        for (int id : {IDC_MESSAGE_FILE, IDC_BROWSE, IDC_TEST})
                            EXPECT_EQ(Enabled(page, id), blocks && answer == 2) << id;
                    }
                }
            }
            sheet.PressButton(PSBTN_CANCEL);
        },
        1);
}

// Opening applies the rule, and so does a click on any of the radios.
TEST_F(EntrySheetTest, EnablingFollowsOpeningAndRadioClicks) {
    CPhoneBookEntry entry;
    entry.FilterType = FilterBlockSometimes;
    entry.AnswerMode = AnswerDefaultMessage;
    std::vector<bool> seen;
    Run(
        entry,
        [&](CPhoneBookPropertySheet& sheet) {
            CCorePropertyPage& page = sheet.FilterPage();
            auto look = [&] {
                seen.push_back(Enabled(page, IDC_OWN_HOURS_START));
                seen.push_back(Enabled(page, IDC_TEST));
            };
            look();
            Click(page, IDC_USE_OWN_HOURS);
            Click(page, IDC_ANSWER_MESSAGE);
            look();
            Click(page, IDC_USE_DEFAULT_HOURS);
            Click(page, IDC_ANSWER_SILENCE);
            look();
            sheet.PressButton(PSBTN_CANCEL);
        },
        1);
    EXPECT_EQ(seen, (std::vector<bool>{false, false, true, true, false, false}));
}

TEST_F(EntrySheetTest, DefaultTimeChoiceShowsThePreferencesWindowAndOkWritesIt) {
    CPhoneBookEntry entry; // own window 23:00 to 08:00, not in use
    entry.FilterType = FilterBlockSometimes;
    std::pair<int, int> start, end, startAfterSwitch;
    bool enabledBefore = true, enabledAfter = false;
    const INT_PTR result = Run(
        entry,
        [&](CPhoneBookPropertySheet& sheet) {
            CCorePropertyPage& page = sheet.FilterPage();
            start = PickerTime(Item(page, IDC_OWN_HOURS_START));
            end = PickerTime(Item(page, IDC_OWN_HOURS_END));
            enabledBefore = Enabled(page, IDC_OWN_HOURS_START);
            Click(page, IDC_USE_OWN_HOURS);
            enabledAfter = Enabled(page, IDC_OWN_HOURS_START);
            startAfterSwitch = PickerTime(Item(page, IDC_OWN_HOURS_START));
            Click(page, IDC_USE_DEFAULT_HOURS);
            sheet.PressButton(PSBTN_OK);
        },
        1);
    EXPECT_EQ(start, std::make_pair(18, 30));
    EXPECT_EQ(end, std::make_pair(7, 15));
    EXPECT_FALSE(enabledBefore);
    EXPECT_TRUE(enabledAfter);
    EXPECT_EQ(startAfterSwitch, std::make_pair(18, 30));
    ASSERT_EQ(result, IDOK);
    EXPECT_EQ(entry.UseOwnHours, 0);
    EXPECT_TRUE(entry.OwnHoursStart == CDateTime::TimeOfDay(18, 30));
    EXPECT_TRUE(entry.OwnHoursEnd == CDateTime::TimeOfDay(7, 15));
}

TEST_F(EntrySheetTest, OwnTimeChoiceShowsTheEntrysWindow) {
    CPhoneBookEntry entry;
    entry.FilterType = FilterBlockSometimes;
    entry.UseOwnHours = 1;
    entry.OwnHoursStart = CDateTime::TimeOfDay(12, 45);
    std::pair<int, int> start, end;
    Run(
        entry,
        [&](CPhoneBookPropertySheet& sheet) {
            start = PickerTime(Item(sheet.FilterPage(), IDC_OWN_HOURS_START));
            end = PickerTime(Item(sheet.FilterPage(), IDC_OWN_HOURS_END));
            sheet.PressButton(PSBTN_CANCEL);
        },
        1);
    EXPECT_EQ(start, std::make_pair(12, 45));
    EXPECT_EQ(end, std::make_pair(8, 0));
}

TEST_F(EntrySheetTest, FilterTypeIsADropDownListThatTakesNoTypedText) {
    CPhoneBookEntry entry;
    entry.FilterType = FilterAlwaysBlock;
    std::vector<std::string> items;
    LRESULT selected = -2;
    HWND edit = nullptr;
    LONG style = 0;
    Run(
        entry,
        [&](CPhoneBookPropertySheet& sheet) {
            HWND list = Item(sheet.FilterPage(), IDC_FILTER_TYPE);
            style = GetWindowLongA(list, GWL_STYLE);
            edit = FindWindowExA(list, nullptr, "Edit", nullptr);
            for (int i = 0; i < SendMessageA(list, CB_GETCOUNT, 0, 0); ++i) {
                char buf[128] = {};
                SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf));
                items.push_back(buf);
            }
            SetFocus(list);
            for (char c : std::string("Zq9"))
                SendMessageA(list, WM_CHAR, c, 0);
            selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
            sheet.PressButton(PSBTN_OK);
        },
        1);
    EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
    EXPECT_EQ(edit, nullptr);
    EXPECT_EQ(items, (std::vector<std::string>{
                         "Never Block (Ringwarden will never answer these calls)",
                         "Block Sometimes (Ringwarden will answer these calls at certain times)",
                         "Always Block (Ringwarden will always answer these calls)"}));
    EXPECT_EQ(selected, FilterAlwaysBlock);
    EXPECT_EQ(entry.FilterType, FilterAlwaysBlock);
}

// A filter type outside the list (only a foreign file holds one) selects
// nothing, leaves the enabling alone and is kept on OK.
TEST_F(EntrySheetTest, FilterTypeOutsideTheListIsKept) {
    CPhoneBookEntry entry;
    entry.FilterType = 7;
    LRESULT selected = 0;
    const INT_PTR result = Run(
        entry,
        [&](CPhoneBookPropertySheet& sheet) {
            selected = SendMessageA(Item(sheet.FilterPage(), IDC_FILTER_TYPE), CB_GETCURSEL, 0, 0);
            sheet.PressButton(PSBTN_OK);
        },
        1);
    EXPECT_EQ(selected, CB_ERR);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(entry.FilterType, 7);
}

TEST_F(EntrySheetTest, PlayThisMessageWithoutAFileIsAccepted) {
    CPhoneBookEntry entry;
    entry.FilterType = FilterAlwaysBlock;
    entry.MessageFile = "C:\\old.wav";
    const INT_PTR result = Run(
        entry,
        [&](CPhoneBookPropertySheet& sheet) {
            Click(sheet.FilterPage(), IDC_ANSWER_MESSAGE);
            Type(sheet.FilterPage(), IDC_MESSAGE_FILE, "");
            sheet.PressButton(PSBTN_OK);
        },
        1);
    EXPECT_EQ(result, IDOK);
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(entry.AnswerMode, AnswerOwnMessage);
    EXPECT_EQ(entry.MessageFile, "");
}

// Test: no file, a file that is no wave (Test then stays disabled until
// Browse picks one), and a wave that plays on.
TEST_F(EntrySheetTest, TestButtonWarnsOrPlays) {
    const std::string notWave = WriteFile("rw-entry-notwave.wav", "just some text, no RIFF");
    const std::string wave = WriteWave("rw-entry-message.wav");
    CPhoneBookFilterPage::SetOpenFileDialog([&](HWND, std::string& path) {
        path = wave;
        return true;
    });
    CPhoneBookEntry entry;
    entry.FilterType = FilterAlwaysBlock;
    entry.AnswerMode = AnswerOwnMessage;
    std::vector<Message> afterEmpty, afterBad, afterGood;
    bool testEnabledAfterBad = true, testEnabledAfterBrowse = false, playing = false;
    std::string pathShown;
    const INT_PTR result = Run(
        entry,
        [&](CPhoneBookPropertySheet& sheet) {
            CPhoneBookFilterPage& page = sheet.FilterPage();
            Click(page, IDC_TEST);
            afterEmpty = std::exchange(messages, {});
            Type(page, IDC_MESSAGE_FILE, notWave);
            Click(page, IDC_TEST);
            afterBad = std::exchange(messages, {});
            testEnabledAfterBad = Enabled(page, IDC_TEST);
            Click(page, IDC_BROWSE);
            testEnabledAfterBrowse = Enabled(page, IDC_TEST);
            pathShown = Text(Item(page, IDC_MESSAGE_FILE));
            Click(page, IDC_TEST);
            afterGood = std::exchange(messages, {});
            playing = page.Player().IsPlaying();
            sheet.PressButton(PSBTN_OK);
        },
        1);
    ASSERT_EQ(afterEmpty.size(), 1u);
    EXPECT_EQ(afterEmpty[0].text, LoadResString(IDS_NO_FILE_TO_PLAY));
    EXPECT_EQ(afterEmpty[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
    ASSERT_EQ(afterBad.size(), 1u);
    EXPECT_EQ(afterBad[0].text, LoadResString(IDS_LOAD_FAILED));
    EXPECT_EQ(afterBad[0].type, UINT(MB_OK | MB_ICONEXCLAMATION));
    EXPECT_FALSE(testEnabledAfterBad);
    EXPECT_TRUE(testEnabledAfterBrowse);
    EXPECT_EQ(pathShown, wave);
    EXPECT_TRUE(afterGood.empty());
    EXPECT_TRUE(playing);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(entry.MessageFile, wave);
    DeleteFileA(notWave.c_str());
    DeleteFileA(wave.c_str());
}

} // namespace
} // namespace rw
