// The configuration sheet driven as a user drives it: real pages under the
// platform's property sheet, message boxes answered by the test.
#include "../support/ScreenPicture.h"
#include "app/ScreeningRules.h"
#include "records/Archive.h"
#include "records/ByteStream.h"
#include "records/PhoneBook.h"
#include "records/RingwardenPreferences.h"
#include "records/StringTable.h"
#include "records/WidePath.h"
#include "res/resource.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/framework/AppMessageBox.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace rw {
namespace {

// Tab positions.
constexpr int kGeneral = 0;
constexpr int kDefaults = 1;
constexpr int kNonPhoneBook = 3;
constexpr int kSecurity = 4;
constexpr int kMessages = 5;

std::vector<uint8_t> Bytes(CRingwardenPreferences& prefs) {
    CMemorySink sink;
    CArchive ar(sink);
    prefs.Serialize(ar);
    ar.Flush();
    return sink.Bytes();
}

std::string Text(HWND hWnd) {
    char buffer[512] = {};
    GetWindowTextA(hWnd, buffer, sizeof buffer);
    return buffer;
}

std::string TempPath(const char* name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// A RIFF WAVE file: a "fmt " chunk with `formatTag` and a short "data" chunk.
std::vector<uint8_t> WaveFile(uint16_t formatTag) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t value, int size) {
        for (int i = 0; i < size; ++i)
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    auto tag = [&](const char* four) { out.insert(out.end(), four, four + 4); };
    const uint32_t samples = 2000;
    tag("RIFF");
    put(4 + 8 + 16 + 8 + samples, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(formatTag, 2);
    put(1, 2);    // mono
    put(8000, 4); // samples a second
    put(8000, 4); // bytes a second
    put(1, 2);    // block align
    put(8, 2);    // bits a sample
    tag("data");
    put(samples, 4);
    out.insert(out.end(), samples, 0x80);
    return out;
}

class ConfigSheetTest : public testing::Test {
protected:
    void SetUp() override {
        m_previousBox = SetAppMessageBoxHandler([this](HWND, const std::string& text, UINT type) {
            messages.push_back(text);
            EXPECT_EQ(type, UINT(MB_OK | MB_ICONEXCLAMATION)) << text;
            return IDOK;
        });
    }
    void TearDown() override {
        CCorePropertySheet::SetShownHook(nullptr);
        SetAppMessageBoxHandler(m_previousBox);
    }

    // Runs the sheet; `drive` works it from inside its modal loop and ends
    // it with OK or Cancel. Returns the sheet's result.
    INT_PTR Run(const std::function<void(CConfigPropertySheet&)>& drive) {
        CConfigPropertySheet sheet(prefs, book);
        CCorePropertySheet::SetShownHook([&](CCorePropertySheet&) { drive(sheet); });
        return sheet.DoModal();
    }

    static HWND Show(CConfigPropertySheet& sheet, int tab) {
        PropSheet_SetCurSel(sheet.GetSafeHwnd(), nullptr, tab);
        return PropSheet_GetCurrentPageHwnd(sheet.GetSafeHwnd());
    }
    static HWND Item(CCorePropertyPage& page, int id) { return page.GetDlgItem(id); }
    static void Click(CCorePropertyPage& page, int id) {
        SendMessageA(page.GetDlgItem(id), BM_CLICK, 0, 0);
    }
    static void SetText(CCorePropertyPage& page, int id, const char* text) {
        SetWindowTextA(page.GetDlgItem(id), text);
    }
    static bool Checked(CCorePropertyPage& page, int id) {
        return IsDlgButtonChecked(page.GetSafeHwnd(), id) == BST_CHECKED;
    }

    CRingwardenPreferences prefs;
    CPhoneBook book;
    std::vector<std::string> messages;

private:
    AppMessageBoxHandler m_previousBox;
};

TEST_F(ConfigSheetTest, OkAtOnceWritesBackOnlyThePreferencesPage) {
    // Stored flags of 3 and 5 read as "on"; a page that writes them back
    // writes 1. A null time is what no picker can give back.
    prefs.ShowNotification = 3;
    prefs.StartMinimised = 0;
    prefs.NotificationSeconds = 7;
    prefs.AllowSuspend = 5;
    prefs.OutOfHoursStart = CDateTime::Null();
    prefs.DefaultMessageFile = "C:\\msg.wav";
    EXPECT_EQ(Run([&](CConfigPropertySheet& sheet) {
                  EXPECT_EQ(sheet.GetActivePage(), &sheet.GeneralPage());
                  EXPECT_EQ(Text(Item(sheet.GeneralPage(), IDC_SECONDS)), "7");
                  EXPECT_FALSE(sheet.DefaultsPage().WasShown());
                  sheet.PressButton(PSBTN_OK);
              }),
              IDOK);
    EXPECT_EQ(prefs.ShowNotification, 1);
    EXPECT_EQ(prefs.StartMinimised, 0);
    EXPECT_EQ(prefs.NotificationSeconds, 7);
    EXPECT_EQ(prefs.AllowSuspend, 5);
    EXPECT_EQ(prefs.OutOfHoursStart.GetStatus(), CDateTime::null);
    EXPECT_EQ(prefs.DefaultMessageFile, "C:\\msg.wav");
    EXPECT_TRUE(messages.empty());
}

// The call history's and the trace's boxes show the sheet's settings and
// give them back at OK.
TEST_F(ConfigSheetTest, KeepHistoryBoxRoundTripsThroughTheSheet) {
    for (const bool keep : {true, false}) {
        CConfigPropertySheet sheet(prefs, book);
        sheet.Settings().SetKeepHistory(keep);
        sheet.Settings().SetTrace(!keep);
        CCorePropertySheet::SetShownHook([&](CCorePropertySheet&) {
            EXPECT_EQ(Checked(sheet.GeneralPage(), IDC_KEEP_HISTORY), keep);
            EXPECT_EQ(Checked(sheet.GeneralPage(), IDC_TRACE), !keep);
            // RW_PREFERENCES_PICTURE: where to keep the page's picture.
            const char* picture = std::getenv("RW_PREFERENCES_PICTURE");
            if (picture && keep) {
                UpdateWindow(sheet.GetSafeHwnd());
                RECT rect{};
                GetWindowRect(sheet.GetSafeHwnd(), &rect);
                test::SaveScreenPicture(picture, rect);
            }
            Click(sheet.GeneralPage(), IDC_KEEP_HISTORY);
            Click(sheet.GeneralPage(), IDC_TRACE);
            sheet.PressButton(PSBTN_OK);
        });
        EXPECT_EQ(sheet.DoModal(), IDOK);
        EXPECT_EQ(sheet.Settings().KeepHistory(), !keep);
        EXPECT_EQ(sheet.Settings().Trace(), keep);
    }
}

// The program for each call: its command line in any script and its
// events, shown from the sheet's settings and given back at OK without the
// spaces around it.
TEST_F(ConfigSheetTest, TheProgramForEachCallRoundTripsThroughThePreferencesPage) {
    CConfigPropertySheet sheet(prefs, book);
    const std::string command = "C:\\Zo\xc3\xab\\notify.exe \"&x\"";
    sheet.Settings().SetHookCommand(command);
    sheet.Settings().SetHookEvents(HookEvents::Blocked);
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet&) {
        HWND edit = Item(sheet.GeneralPage(), IDC_HOOK_COMMAND);
        std::wstring shown(256, L'\0');
        shown.resize(static_cast<size_t>(GetWindowTextW(edit, shown.data(), 256)));
        EXPECT_EQ(Utf8Path(shown), command);
        HWND events = Item(sheet.GeneralPage(), IDC_HOOK_EVENTS);
        EXPECT_EQ(SendMessageA(events, CB_GETCURSEL, 0, 0), 1);
        EXPECT_EQ(SendMessageA(events, CB_GETCOUNT, 0, 0), 3);
        SendMessageA(events, CB_SETCURSEL, 2, 0);
        // Ringwarden.ini could not keep this one: refused, and the page
        // stays.
        SetWindowTextW(edit, L"C:\\\x547c.exe");
        sheet.PressButton(PSBTN_OK);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], LoadResString(IDS_HOOK_NOT_IN_CODE_PAGE));
        SetWindowTextW(edit, L"  notify.exe \"%1\"  ");
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(sheet.Settings().HookCommand(), "notify.exe \"%1\"");
    EXPECT_EQ(sheet.Settings().HookEventsChosen(), HookEvents::Messages);
}

// Who gets through: the key check, repeats without an entry and whole
// days out of hours, each shown from the sheet's settings and given back
// at OK.
TEST_F(ConfigSheetTest, WhoGetsThroughBoxesRoundTripThroughTheSheet) {
    CConfigPropertySheet sheet(prefs, book);
    sheet.Settings().SetAllDayOutOfHours(kSunday);
    // RW_PAGES_PICTURES: a folder for the three pages' pictures.
    const char* pictures = std::getenv("RW_PAGES_PICTURES");
    auto picture = [&](const char* name) {
        if (!pictures)
            return;
        UpdateWindow(sheet.GetSafeHwnd());
        RECT rect{};
        GetWindowRect(sheet.GetSafeHwnd(), &rect);
        test::SaveScreenPicture(std::string(pictures) + "\\" + name, rect);
    };
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet&) {
        Show(sheet, kDefaults);
        EXPECT_TRUE(Checked(sheet.DefaultsPage(), IDC_ALL_DAY_SUN));
        EXPECT_FALSE(Checked(sheet.DefaultsPage(), IDC_ALL_DAY_SAT));
        Click(sheet.DefaultsPage(), IDC_ALL_DAY_SAT);
        picture("defaults.bmp");
        Show(sheet, kNonPhoneBook);
        EXPECT_FALSE(Checked(sheet.NonPhoneBookPage(), IDC_KEY_CHECK));
        Click(sheet.NonPhoneBookPage(), IDC_KEY_CHECK);
        picture("non-phone-book.bmp");
        Show(sheet, kSecurity);
        EXPECT_FALSE(Checked(sheet.SecurityPage(), IDC_REPEAT_WITHOUT_ENTRY));
        Click(sheet.SecurityPage(), IDC_REPEAT_WITHOUT_ENTRY);
        picture("block-suspend.bmp");
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_EQ(sheet.Settings().AllDayOutOfHours(), kSaturday | kSunday);
    EXPECT_TRUE(sheet.Settings().KeyCheck());
    EXPECT_TRUE(sheet.Settings().RepeatedCallsWithoutEntry());
}

// The Messages page shows the sheet's message settings and where messages
// are kept, refuses a longest message out of range, and gives the rest back
// at OK.
TEST_F(ConfigSheetTest, MessagesPageRoundTripsThroughTheSheet) {
    CConfigPropertySheet sheet(prefs, book);
    sheet.MessageSettings().SetRules(MessageRules{true, false});
    sheet.MessageSettings().SetMaxSeconds(90);
    sheet.SetMessageStatus(
        "Messages are kept in C:\\Users\\Pat\\AppData\\Roaming\\Ringwarden\\Messages");
    const char* picture = std::getenv("RW_MESSAGES_PICTURE");
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet&) {
        Show(sheet, kMessages);
        CConfigMessagesPage& page = sheet.MessagesPage();
        EXPECT_TRUE(Checked(page, IDC_MESSAGES_TIME_BLOCKED));
        EXPECT_FALSE(Checked(page, IDC_MESSAGES_UNKNOWN));
        EXPECT_TRUE(Checked(page, IDC_MESSAGES_BALLOON));
        EXPECT_EQ(Text(Item(page, IDC_MESSAGES_SECONDS)), "90");
        EXPECT_EQ(Text(Item(page, IDC_MESSAGES_STATUS)), sheet.MessageStatus());
        if (picture) {
            UpdateWindow(sheet.GetSafeHwnd());
            RECT rect{};
            GetWindowRect(sheet.GetSafeHwnd(), &rect);
            test::SaveScreenPicture(picture, rect);
        }
        SetText(page, IDC_MESSAGES_SECONDS, "301");
        sheet.PressButton(PSBTN_OK);
        EXPECT_EQ(messages.size(), 1u); // refused: the sheet stays
        SetText(page, IDC_MESSAGES_SECONDS, "300");
        Click(page, IDC_MESSAGES_TIME_BLOCKED);
        Click(page, IDC_MESSAGES_UNKNOWN);
        Click(page, IDC_MESSAGES_BALLOON);
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_EQ(sheet.DoModal(), IDOK);
    EXPECT_FALSE(sheet.MessageSettings().Rules().fromTimeBlocked);
    EXPECT_TRUE(sheet.MessageSettings().Rules().fromUnknownCallers);
    EXPECT_EQ(sheet.MessageSettings().MaxSeconds(), 300);
    EXPECT_FALSE(sheet.MessageSettings().Balloon());
}

TEST_F(ConfigSheetTest, CancelWritesNothingFromAnyPage) {
    const std::vector<uint8_t> before = Bytes(prefs);
    EXPECT_EQ(Run([&](CConfigPropertySheet& sheet) {
                  Click(sheet.GeneralPage(), IDC_START_MINIMISED);
                  SetText(sheet.GeneralPage(), IDC_SECONDS, "9");
                  Show(sheet, kDefaults);
                  sheet.DefaultsPage().SetBrowseHandler([](HWND, std::string& path) {
                      path = "C:\\other.wav";
                      return true;
                  });
                  Click(sheet.DefaultsPage(), IDC_BROWSE);
                  Show(sheet, kNonPhoneBook);
                  Click(sheet.NonPhoneBookPage(), IDC_RULE_ALWAYS);
                  Show(sheet, kSecurity);
                  Click(sheet.SecurityPage(), IDC_ALLOW_SUSPEND);
                  SetText(sheet.SecurityPage(), IDC_MINUTES, "7");
                  sheet.PressButton(PSBTN_CANCEL);
              }),
              IDCANCEL);
    EXPECT_EQ(Bytes(prefs), before);
}

TEST_F(ConfigSheetTest, BadSecondsKeepThePageInFrontAndWriteNothing) {
    const std::string range = "Please enter an integer between 2 and 10.";
    const std::string notInt = "Please enter an integer.";
    struct Case {
        const char* typed;
        const std::string& message;
        bool pressOk; // else try to leave for the next tab
    };
    const Case cases[] = {
        {"1", range, true},  {"11", range, true},  {"abc", notInt, true},
        {"1", range, false}, {"11", range, false}, {"abc", notInt, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.typed) + (c.pressOk ? " OK" : " leave"));
        messages.clear();
        // The Block Suspend page is shown too, and changed, to see that no
        // page writes while one refuses.
        prefs.AllowSuspend = 1;
        const std::vector<uint8_t> before = Bytes(prefs);
        bool stillOpen = false;
        bool generalInFront = false;
        Run([&](CConfigPropertySheet& sheet) {
            Show(sheet, kSecurity);
            Click(sheet.SecurityPage(), IDC_ALLOW_SUSPEND);
            Show(sheet, kGeneral);
            SetText(sheet.GeneralPage(), IDC_SECONDS, c.typed);
            if (c.pressOk)
                sheet.PressButton(PSBTN_OK);
            else
                Show(sheet, kDefaults);
            stillOpen = IsWindow(sheet.GetSafeHwnd()) != FALSE;
            generalInFront = sheet.GetActivePage() == &sheet.GeneralPage();
            sheet.PressButton(PSBTN_CANCEL);
        });
        EXPECT_TRUE(stillOpen);
        EXPECT_TRUE(generalInFront);
        EXPECT_EQ(messages, std::vector<std::string>{c.message});
        EXPECT_EQ(Bytes(prefs), before);
    }
}

TEST_F(ConfigSheetTest, NotificationCheckBoxEnablesTheSecondsControls) {
    const int dependants[] = {IDC_SECONDS_LABEL, IDC_SECONDS, IDC_SECONDS_SPIN, IDC_SECONDS_UNIT};
    struct Case {
        int stored;
        int clicks;
        bool enabled;
    };
    const Case cases[] = {{1, 0, true}, {1, 1, false}, {1, 2, true}, {0, 0, false}, {0, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stored " << c.stored << ", clicks " << c.clicks);
        prefs.ShowNotification = c.stored;
        prefs.NotificationSeconds = 5;
        Run([&](CConfigPropertySheet& sheet) {
            CCorePropertyPage& page = sheet.GeneralPage();
            for (int i = 0; i < c.clicks; ++i)
                Click(page, IDC_SHOW_NOTIFICATION);
            for (int id : dependants)
                EXPECT_EQ(IsWindowEnabled(Item(page, id)) != FALSE, c.enabled) << id;
            EXPECT_TRUE(IsWindowEnabled(Item(page, IDC_START_MINIMISED)));
            // A disabled seconds edit is still read, checked and written.
            SetText(page, IDC_SECONDS, "8");
            sheet.PressButton(PSBTN_OK);
        });
        EXPECT_EQ(prefs.ShowNotification, c.enabled ? 1 : 0);
        EXPECT_EQ(prefs.NotificationSeconds, 8);
    }
    EXPECT_TRUE(messages.empty());
}

TEST_F(ConfigSheetTest, AllowCheckBoxEnablesTheCodeControls) {
    const int dependants[] = {IDC_KEY1_LABEL,    IDC_KEY1,    IDC_KEY2_LABEL,   IDC_KEY2,
                              IDC_MINUTES_LABEL, IDC_MINUTES, IDC_MINUTES_SPIN, IDC_MINUTES_UNIT};
    struct Case {
        int stored;
        int clicks;
        bool enabled;
    };
    const Case cases[] = {{1, 0, true}, {1, 1, false}, {1, 2, true}, {0, 0, false}, {0, 1, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "stored " << c.stored << ", clicks " << c.clicks);
        prefs.AllowSuspend = c.stored;
        prefs.SecurityKey1 = '1';
        Run([&](CConfigPropertySheet& sheet) {
            Show(sheet, kSecurity);
            CCorePropertyPage& page = sheet.SecurityPage();
            for (int i = 0; i < c.clicks; ++i)
                Click(page, IDC_ALLOW_SUSPEND);
            for (int id : dependants)
                EXPECT_EQ(IsWindowEnabled(Item(page, id)) != FALSE, c.enabled) << id;
            // Disabled, the code and minutes are still written.
            SendMessageA(Item(page, IDC_KEY1), CB_SETCURSEL, 10, 0); // "*"
            SetText(page, IDC_MINUTES, "4");
            sheet.PressButton(PSBTN_OK);
        });
        EXPECT_EQ(prefs.AllowSuspend, c.enabled ? 1 : 0);
        EXPECT_EQ(prefs.SecurityKey1, '*');
        EXPECT_EQ(prefs.SuspendMinutes, 4);
    }
}

TEST_F(ConfigSheetTest, MinutesOutsideTheArrowsRangeAreAccepted) {
    for (const char* typed : {"0", "60"}) {
        Run([&](CConfigPropertySheet& sheet) {
            Show(sheet, kSecurity);
            SetText(sheet.SecurityPage(), IDC_MINUTES, typed);
            sheet.PressButton(PSBTN_OK);
        });
        EXPECT_EQ(prefs.SuspendMinutes, std::stoi(typed));
    }
    messages.clear();
    Run([&](CConfigPropertySheet& sheet) {
        Show(sheet, kSecurity);
        SetText(sheet.SecurityPage(), IDC_MINUTES, "two");
        sheet.PressButton(PSBTN_OK);
        EXPECT_EQ(sheet.GetActivePage(), &sheet.SecurityPage());
        sheet.PressButton(PSBTN_CANCEL);
    });
    EXPECT_EQ(messages, std::vector<std::string>{"Please enter an integer."});
    EXPECT_EQ(prefs.SuspendMinutes, 60);
}

TEST_F(ConfigSheetTest, UpDownArrowsStopAtTheirBounds) {
    struct Case {
        int tab;
        int edit;
        int spin;
        int low;
        int high;
    };
    const Case cases[] = {{kGeneral, IDC_SECONDS, IDC_SECONDS_SPIN, 2, 10},
                          {kSecurity, IDC_MINUTES, IDC_MINUTES_SPIN, 1, 10}};
    Run([&](CConfigPropertySheet& sheet) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.edit);
            Show(sheet, c.tab);
            CCorePropertyPage& page = *sheet.GetActivePage();
            int low = 0, high = 0;
            SendMessageA(Item(page, c.spin), UDM_GETRANGE32, reinterpret_cast<WPARAM>(&low),
                         reinterpret_cast<LPARAM>(&high));
            EXPECT_EQ(low, c.low);
            EXPECT_EQ(high, c.high);
            // The arrow keys in the edit step the value through the up-down.
            auto press = [&](WPARAM key, int times) {
                for (int i = 0; i < times; ++i) {
                    SendMessageA(Item(page, c.edit), WM_KEYDOWN, key, 0);
                    SendMessageA(Item(page, c.edit), WM_KEYUP, key, 0);
                }
            };
            SetText(page, c.edit, std::to_string(c.high - 1).c_str());
            press(VK_UP, 3);
            EXPECT_EQ(Text(Item(page, c.edit)), std::to_string(c.high));
            SetText(page, c.edit, std::to_string(c.low + 1).c_str());
            press(VK_DOWN, 3);
            EXPECT_EQ(Text(Item(page, c.edit)), std::to_string(c.low));
        }
        sheet.PressButton(PSBTN_CANCEL);
    });
}

TEST_F(ConfigSheetTest, TestAndBrowseButtons) {
    const std::string notWave = TempPath("rw-config-not-a-wave.wav");
    WriteFile(notWave, {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e'});
    const std::string good = TempPath("rw-config-good.wav");
    WriteFile(good, WaveFile(1));
    // Loads, but no device plays a format of this tag.
    const std::string unplayable = TempPath("rw-config-unplayable.wav");
    WriteFile(unplayable, WaveFile(0x7A7A));

    const std::string noFile = LoadResString(IDS_NO_FILE_TO_PLAY);
    const std::string loadFailed = LoadResString(IDS_LOAD_FAILED);
    const std::string playFailed = LoadResString(IDS_PLAY_FAILED);
    prefs.DefaultMessageFile.clear();
    std::string chosen;
    bool choose = true;
    Run([&](CConfigPropertySheet& sheet) {
        CConfigDefaultsPage& page = sheet.DefaultsPage();
        page.SetBrowseHandler([&](HWND owner, std::string& path) {
            EXPECT_EQ(owner, page.GetSafeHwnd());
            if (choose)
                path = chosen;
            return choose;
        });
        Show(sheet, kDefaults);
        HWND test = Item(page, IDC_TEST);
        auto browse = [&](const std::string& path, bool ok) {
            chosen = path;
            choose = ok;
            Click(page, IDC_BROWSE);
        };
        auto pressTest = [&] {
            messages.clear();
            // Clicked as the keyboard would, since a disabled button ignores
            // a click.
            SendMessageA(page.GetSafeHwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEST, BN_CLICKED),
                         reinterpret_cast<LPARAM>(test));
        };

        EXPECT_TRUE(IsWindowEnabled(test));
        pressTest();
        EXPECT_EQ(messages, std::vector<std::string>{noFile});
        EXPECT_TRUE(IsWindowEnabled(test));

        browse(notWave, true);
        EXPECT_EQ(Text(Item(page, IDC_DEFAULT_MESSAGE)), notWave);
        pressTest();
        EXPECT_EQ(messages, std::vector<std::string>{loadFailed});
        EXPECT_FALSE(IsWindowEnabled(test));

        // A cancelled Browse keeps the path and leaves Test as it was.
        browse(good, false);
        EXPECT_EQ(Text(Item(page, IDC_DEFAULT_MESSAGE)), notWave);
        EXPECT_FALSE(IsWindowEnabled(test));

        browse(unplayable, true);
        EXPECT_TRUE(IsWindowEnabled(test));
        pressTest();
        EXPECT_EQ(messages, std::vector<std::string>{playFailed});
        EXPECT_FALSE(IsWindowEnabled(test));

        browse(good, true);
        EXPECT_TRUE(IsWindowEnabled(test));
        pressTest();
        EXPECT_TRUE(messages.empty());
        EXPECT_TRUE(IsWindowEnabled(test));
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_EQ(prefs.DefaultMessageFile, good);
    for (const std::string& path : {notWave, good, unplayable})
        DeleteFileA(path.c_str());
}

TEST_F(ConfigSheetTest, PickersShowAndWriteBackTheOutOfHoursTimes) {
    auto pickerTime = [](HWND picker) {
        SYSTEMTIME time{};
        SendMessageA(picker, DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&time));
        return time;
    };
    // Unchanged pickers give the stored times back exactly, still on day 0.
    Run([&](CConfigPropertySheet& sheet) {
        Show(sheet, kDefaults);
        CCorePropertyPage& page = sheet.DefaultsPage();
        EXPECT_EQ(Text(Item(page, IDC_OUT_OF_HOURS_START)), "23:00");
        EXPECT_EQ(Text(Item(page, IDC_OUT_OF_HOURS_END)), "08:00");
        const SYSTEMTIME start = pickerTime(Item(page, IDC_OUT_OF_HOURS_START));
        EXPECT_EQ(start.wHour, 23);
        EXPECT_EQ(start.wMinute, 0);
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_TRUE(prefs.OutOfHoursStart == CDateTime::TimeOfDay(23, 0));
    EXPECT_TRUE(prefs.OutOfHoursEnd == CDateTime::TimeOfDay(8, 0));

    // The user's times, with the dates the pickers hold.
    Run([&](CConfigPropertySheet& sheet) {
        Show(sheet, kDefaults);
        CCorePropertyPage& page = sheet.DefaultsPage();
        SYSTEMTIME time = pickerTime(Item(page, IDC_OUT_OF_HOURS_START));
        time.wHour = 21;
        time.wMinute = 45;
        SendMessageA(Item(page, IDC_OUT_OF_HOURS_START), DTM_SETSYSTEMTIME, GDT_VALID,
                     reinterpret_cast<LPARAM>(&time));
        time = pickerTime(Item(page, IDC_OUT_OF_HOURS_END));
        time.wHour = 6;
        time.wMinute = 5;
        SendMessageA(Item(page, IDC_OUT_OF_HOURS_END), DTM_SETSYSTEMTIME, GDT_VALID,
                     reinterpret_cast<LPARAM>(&time));
        EXPECT_EQ(Text(Item(page, IDC_OUT_OF_HOURS_END)), "06:05");
        sheet.PressButton(PSBTN_OK);
    });
    EXPECT_TRUE(prefs.OutOfHoursStart == CDateTime::TimeOfDay(21, 45));
    EXPECT_TRUE(prefs.OutOfHoursEnd == CDateTime::TimeOfDay(6, 5));
}

TEST_F(ConfigSheetTest, NonPhoneBookRuleRoundTrips) {
    const int buttons[] = {IDC_RULE_NEVER, IDC_RULE_SOMETIMES, IDC_RULE_ALWAYS};
    for (int stored = 0; stored < 3; ++stored) {
        SCOPED_TRACE(stored);
        prefs.NonPhoneBookRule = stored;
        const int chosen = (stored + 1) % 3;
        Run([&](CConfigPropertySheet& sheet) {
            Show(sheet, kNonPhoneBook);
            for (int i = 0; i < 3; ++i)
                EXPECT_EQ(Checked(sheet.NonPhoneBookPage(), buttons[i]), i == stored) << i;
            Click(sheet.NonPhoneBookPage(), buttons[chosen]);
            sheet.PressButton(PSBTN_OK);
        });
        EXPECT_EQ(prefs.NonPhoneBookRule, chosen);
    }
}

TEST_F(ConfigSheetTest, SecurityKeysRoundTripAsKeyCharacters) {
    struct Case {
        char stored1, stored2;
        int pick1, pick2; // list positions chosen by the user, -1 none
        char written1, written2;
    };
    const Case cases[] = {
        {'*', '#', -1, -1, '*', '#'},
        {'0', '9', 11, 10, '#', '*'},
        {'5', '5', 0, 9, '0', '9'},
        // A key from a foreign file shows no choice and stays as it was.
        {'x', '3', -1, -1, 'x', '3'},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((std::string{c.stored1, c.stored2}));
        prefs.SecurityKey1 = c.stored1;
        prefs.SecurityKey2 = c.stored2;
        Run([&](CConfigPropertySheet& sheet) {
            Show(sheet, kSecurity);
            HWND key1 = Item(sheet.SecurityPage(), IDC_KEY1);
            HWND key2 = Item(sheet.SecurityPage(), IDC_KEY2);
            for (HWND list : {key1, key2}) {
                std::string items;
                const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
                for (LRESULT i = 0; i < count; ++i) {
                    char item[8] = {};
                    SendMessageA(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                    items += item;
                    items += ' ';
                }
                EXPECT_EQ(items, "0 1 2 3 4 5 6 7 8 9 * # ");
            }
            EXPECT_EQ(Text(key1), c.stored1 == 'x' ? "" : std::string(1, c.stored1));
            EXPECT_EQ(Text(key2), std::string(1, c.stored2));
            if (c.pick1 >= 0)
                SendMessageA(key1, CB_SETCURSEL, c.pick1, 0);
            if (c.pick2 >= 0)
                SendMessageA(key2, CB_SETCURSEL, c.pick2, 0);
            sheet.PressButton(PSBTN_OK);
        });
        EXPECT_EQ(prefs.SecurityKey1, c.written1);
        EXPECT_EQ(prefs.SecurityKey2, c.written2);
    }
}

} // namespace
} // namespace rw
