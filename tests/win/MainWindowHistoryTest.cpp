// The call history as the main window keeps it (calls written as they are
// screened, listed in grey by the next run, a locked file, switched off)
// and one-click blocking from the list, the popup and the tray, each
// followed by the caller's next call on the line simulator.
#include "../core/ConfigTestUtil.h"
#include "../support/SimulatedLine.h"
#include "../support/ExePath.h"
#include "../support/MessagePump.h"
#include "../support/ScreenPicture.h"
#include "../support/SimCaller.h"
#include "LineSim.h"
#include "app/Settings.h"
#include "records/CallAction.h"
#include "records/CallHistory.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/StringTable.h"
#include "records/WidePath.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiRegistration.h"
#include "ui/ConfigPropertySheet.h"
#include "ui/MainDialog.h"
#include "ui/NotificationDialog.h"
#include "audio/CallRecorderNotify.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace rw {
namespace {

using linesim::CallerIdKind;

// The real context menu while it is open: its items, read from the timer
// that then closes it.
struct OpenMenu {
    std::vector<std::string> items;
    std::vector<bool> enabled;
    HWND owner = nullptr;
    std::string picture; // RW_MENU_PICTURE: where to keep a picture of it
};
OpenMenu* g_openMenu = nullptr;

void CALLBACK ReadOpenMenu(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND window = FindWindowA("#32768", nullptr);
    HMENU menu =
        window ? reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0)) : nullptr;
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        char text[64] = {};
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (!text[0])
            continue; // the separator
        g_openMenu->items.push_back(text);
        g_openMenu->enabled.push_back(
            !(GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED)));
    }
    if (window && !g_openMenu->picture.empty()) {
        RECT owner{}, popup{}, both{};
        GetWindowRect(g_openMenu->owner, &owner);
        GetWindowRect(window, &popup);
        UnionRect(&both, &owner, &popup);
        test::SaveScreenPicture(g_openMenu->picture, both);
    }
    EndMenu();
}
// A PCM wave file of `ms` milliseconds of a quiet tone, 8 kHz, 16-bit mono,
// as the recorder writes one.
std::vector<uint8_t> WaveFile(uint32_t ms) {
    const uint32_t samples = ms * 8;
    std::vector<uint8_t> bytes;
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        bytes.push_back(static_cast<uint8_t>(v));
        bytes.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
    tag("RIFF");
    put32(36 + samples * 2);
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(16000);
    put16(2);
    put16(16);
    tag("data");
    put32(samples * 2);
    for (uint32_t i = 0; i < samples; ++i)
        put16(static_cast<uint16_t>(i % 16 < 8 ? 600 : -600));
    return bytes;
}

using test::Caller;
using test::PumpUntil;

CDateTime At(int day, int hour, int minute) {
    return CDateTime::FromParts(2000, 1, day, hour, minute, 0);
}

// A main window whose context menu picks `menuChoice` at once, and whose
// entry sheet confirms what it is given.
class CDialogWithChoices : public CMainDialog {
public:
    using CMainDialog::CMainDialog;
    UINT menuChoice = 0;
    std::string exportPath;
    int menusShown = 0;
    int sheetsRun = 0;

    bool realMenu = false;

protected:
    UINT TrackCallMenu(HMENU menu, POINT at) override {
        ++menusShown;
        return realMenu ? CMainDialog::TrackCallMenu(menu, at) : menuChoice;
    }
    bool AskExportPath(std::string& path) override {
        path = exportPath;
        return !path.empty();
    }
    bool RunEntrySheet(CPhoneBookEntry& entry) override {
        ++sheetsRun;
        entry.Name = "Named In Sheet";
        return true;
    }
};

class MainWindowHistoryTest : public testing::Test {
protected:
    void SetUp() override {
        test::PrepareSimulatedLine();
        SetTapiApi(&loader);
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
    }
    void TearDown() override {
        EndRun();
        UnregisterLineApp();
        SetTapiApi(nullptr);
    }

    // A run of the program: its window, with history allowed or not.
    // Ringwarden.ini beside the configuration, as a user's earlier run left it.
    bool KeepHistoryInIni(bool keep) {
        CSettings settings;
        settings.SetKeepHistory(keep);
        return settings.Save(CSettings::PathBeside(configPath));
    }
    void StartRun(bool historyAllowed = true) {
        EndRun();
        dialog = std::make_unique<CDialogWithChoices>(clock);
        dialog->SetConfigPath(configPath);
        dialog->SetHistoryAllowed(historyAllowed);
        dialog->SetHistoryRetryInterval(50);
        ASSERT_TRUE(dialog->Create());
        list = dialog->GetDlgItem(IDC_CALL_LIST);
    }
    void EndRun() {
        if (dialog)
            dialog->DestroyWindow();
        dialog.reset();
    }

    // Rings at `time` and waits for the call to be screened.
    size_t Ring(CDateTime time, const std::string& number,
                CallerIdKind kind = CallerIdKind::Number) {
        clock.Set(time);
        const size_t before = dialog->Screener().CallCount();
        lastSimCall = linesim::Ring(Caller(kind, number, ""));
        EXPECT_NE(0u, lastSimCall);
        EXPECT_TRUE(PumpUntil([&] { return dialog->Screener().CallCount() > before; }));
        return before;
    }
    // Lets posted history writes happen.
    void Settle() {
        PumpUntil([] { return false; }); // two seconds of messages
    }
    std::string FileText() {
        const std::vector<uint8_t> bytes = test::ReadWholeFile(historyPath);
        return std::string(bytes.begin(), bytes.end());
    }
    CHistoryReadResult FileRows() {
        const std::string text = FileText();
        CMemorySource source(text.data(), text.size());
        return ReadHistory(source);
    }
    std::string RowText(int row, int column) {
        char text[256] = {};
        ListView_GetItemText(list, row, column, text, sizeof text);
        return text;
    }
    // What the list's custom draw answers for `row`, and the text colour.
    LRESULT DrawRow(int row, COLORREF& text) {
        NMLVCUSTOMDRAW draw{};
        draw.nmcd.hdr.hwndFrom = list;
        draw.nmcd.hdr.idFrom = IDC_CALL_LIST;
        draw.nmcd.hdr.code = NM_CUSTOMDRAW;
        draw.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        draw.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        draw.clrText = RGB(1, 2, 3);
        SendMessageA(dialog->GetSafeHwnd(), WM_NOTIFY, IDC_CALL_LIST,
                     reinterpret_cast<LPARAM>(&draw));
        text = draw.clrText;
        return GetWindowLongPtrA(dialog->GetSafeHwnd(), DWLP_MSGRESULT);
    }
    void SelectRow(int row) {
        const UINT state = LVIS_SELECTED | LVIS_FOCUSED;
        ListView_SetItemState(list, row, state, state);
    }
    void AddEntry(std::unique_ptr<CPhoneBookEntry> entry) {
        const std::string key = entry->LookupKey;
        dialog->PhoneBook().SetAt(key, std::move(entry));
    }
    // The phone book as saved in the file.
    std::unique_ptr<CPhoneBookEntry> SavedEntry(const std::string& key) {
        auto fs = CreateSystemFileSystem(false);
        CConfigFile file(*fs);
        CRingwardenPreferences preferences;
        CPhoneBook book;
        file.Load(configPath, preferences, book);
        const CPhoneBookEntry* entry = book.Lookup(key);
        return entry ? std::make_unique<CPhoneBookEntry>(*entry) : nullptr;
    }

    CTapiLoader loader{test::SimulatorPath()};
    test::CScratchDir configDir;
    const std::string configPath = configDir.Path("Ringwarden.cfg");
    const std::string historyPath = configDir.Path("Ringwarden-calls.csv");
    CSettableClock clock;
    std::unique_ptr<CDialogWithChoices> dialog;
    HWND list = nullptr;
    uint32_t lastSimCall = 0; // the simulator's id of the last call rung
};

TEST_F(MainWindowHistoryTest, CallsOfOneRunAreListedInGreyByTheNext) {
    StartRun();
    Ring(At(2, 10, 0), "0555 100");
    Ring(At(2, 10, 1), "", CallerIdKind::Blocked);
    Settle();
    EndRun();
    const std::string text = FileText();
    EXPECT_EQ(text.rfind(HistoryHeader(), 0), 0u);
    EXPECT_NE(text.find("2000-01-02T10:00:00+00:00,<No Phone Book Entry>,0555 100,number,"
                        "Permit (never block - default rule),no,,\r\n"),
              std::string::npos);
    EXPECT_NE(text.find(",<Blocked>,withheld,"), std::string::npos);

    clock.Set(At(3, 9, 0));
    StartRun();
    ASSERT_EQ(ListView_GetItemCount(list), 2);
    EXPECT_EQ(dialog->EarlierCallCount(), 2u);
    EXPECT_EQ(RowText(0, 1), "<Blocked>"); // newest first
    EXPECT_EQ(RowText(1, 1), "0555 100");
    Ring(At(3, 9, 30), "0555 200");
    ASSERT_EQ(ListView_GetItemCount(list), 3);
    EXPECT_EQ(RowText(0, 1), "0555 200");
    COLORREF colour = 0;
    EXPECT_EQ(DrawRow(0, colour), CDRF_DODEFAULT);
    EXPECT_EQ(colour, RGB(1, 2, 3));
    EXPECT_EQ(DrawRow(2, colour), CDRF_NEWFONT);
    EXPECT_EQ(colour, GetSysColor(COLOR_GRAYTEXT));

    // An earlier run's row works as today's: Add makes its entry and names
    // it, and sorting takes it along.
    SelectRow(2);
    SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, IDC_ADD_ENTRY, 0);
    EXPECT_EQ(dialog->sheetsRun, 1);
    EXPECT_EQ(RowText(2, 0), "Named In Sheet");
    NMLISTVIEW click{};
    click.hdr = {list, IDC_CALL_LIST, LVN_COLUMNCLICK};
    click.iSubItem = 1; // a header click sorts by number
    SendMessageA(dialog->GetSafeHwnd(), WM_NOTIFY, IDC_CALL_LIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_EQ(RowText(0, 1), "<Blocked>");
    EXPECT_EQ(RowText(1, 1), "0555 100");
    EXPECT_EQ(RowText(2, 1), "0555 200");
    EXPECT_EQ(DrawRow(1, colour), CDRF_NEWFONT);
    EXPECT_EQ(DrawRow(2, colour), CDRF_DODEFAULT);
}

TEST_F(MainWindowHistoryTest, SwitchedOffTheFileIsNeitherReadNorWritten) {
    const std::string earlier =
        HistoryHeader() + "2000-01-02T10:00:00+00:00,A,0555,number,Block (always),yes\r\n";
    for (const bool bySwitch : {true, false}) {
        SCOPED_TRACE(bySwitch ? "--no-history" : "Ringwarden.ini");
        test::WriteWholeFile(historyPath, std::vector<uint8_t>(earlier.begin(), earlier.end()));
        ASSERT_TRUE(KeepHistoryInIni(bySwitch));
        clock.Set(At(3, 9, 0));
        StartRun(!bySwitch);
        EXPECT_EQ(ListView_GetItemCount(list), 0);
        Ring(At(3, 9, 1), "0555 300");
        Settle();
        EndRun();
        EXPECT_EQ(FileText(), earlier);
    }
    // A run that may not save its configuration (an installed copy reading
    // the old file beside itself) lists the history but writes nothing.
    {
        SCOPED_TRACE("configuration read-only");
        KeepHistoryInIni(true);
        EndRun();
        dialog = std::make_unique<CDialogWithChoices>(clock);
        CConfigLocation::Result location;
        location.path = configPath;
        location.canSave = false;
        dialog->SetConfigLocation(location);
        dialog->SetMessageBox([](HWND, const std::string&, UINT) { return IDOK; });
        ASSERT_TRUE(dialog->Create());
        list = dialog->GetDlgItem(IDC_CALL_LIST);
        EXPECT_EQ(ListView_GetItemCount(list), 1);
        Ring(At(3, 9, 2), "0555 303");
        Settle();
        EndRun();
        EXPECT_EQ(FileText(), earlier);
    }
    // Back on, in the same file, it goes on as before.
    KeepHistoryInIni(true);
    StartRun();
    EXPECT_EQ(ListView_GetItemCount(list), 1);
}

// Cleared on the Preferences page, the history stops at once and stays off
// in the next run (Ringwarden.ini).
TEST_F(MainWindowHistoryTest, ThePreferencesBoxTurnsItOff) {
    StartRun();
    Ring(At(2, 10, 0), "0555 301");
    Settle();
    CCorePropertySheet::SetShownHook([](CCorePropertySheet& shown) {
        auto& sheet = static_cast<CConfigPropertySheet&>(shown);
        SendMessageA(sheet.GeneralPage().GetDlgItem(IDC_KEEP_HISTORY), BM_CLICK, 0, 0);
        sheet.PressButton(PSBTN_OK);
    });
    SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, IDC_CONFIGURE, 0);
    CCorePropertySheet::SetShownHook(nullptr);
    CSettings saved;
    saved.Load(dialog->SettingsPath());
    EXPECT_FALSE(saved.KeepHistory());
    const std::string before = FileText();
    Ring(At(2, 10, 1), "0555 302");
    Settle();
    EXPECT_EQ(FileText(), before);
    StartRun();
    EXPECT_EQ(ListView_GetItemCount(list), 0);
}

// While the configuration sheet is open its Phone Book page holds edits not
// yet confirmed: one click says so and changes nothing, so that neither those
// edits are saved nor a Cancel undoes the block.
TEST_F(MainWindowHistoryTest, OneClickWaitsForTheConfigurationSheet) {
    StartRun();
    std::vector<std::string> told;
    dialog->SetMessageBox([&](HWND, const std::string& text, UINT) {
        told.push_back(text);
        return IDOK;
    });
    Ring(At(2, 10, 0), "0555 301");
    Settle();
    bool changed = true;
    CCorePropertySheet::SetShownHook([&](CCorePropertySheet& sheet) {
        changed = dialog->SetCallerFilter(0, FilterAlwaysBlock);
        sheet.PressButton(PSBTN_CANCEL);
    });
    SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, IDC_CONFIGURE, 0);
    CCorePropertySheet::SetShownHook(nullptr);
    EXPECT_FALSE(changed);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_EQ(told[0], LoadResString(IDS_ONE_CLICK_SHEET_OPEN));
    EXPECT_EQ(dialog->PhoneBook().Lookup("0555301"), nullptr);
    // Once it is closed, the same click blocks the caller.
    EXPECT_TRUE(dialog->SetCallerFilter(0, FilterAlwaysBlock));
    ASSERT_NE(SavedEntry("0555301"), nullptr);
}

// Locked from the start (a backup holding it): the earlier calls are listed
// and this run's written, in order, once it is let go.
TEST_F(MainWindowHistoryTest, RowsWaitWhileTheFileIsLockedAndNoneIsLost) {
    const std::string earlier =
        HistoryHeader() + "2000-01-02T09:00:00+00:00,A,0555 400,number,Block (always),yes\r\n";
    test::WriteWholeFile(historyPath, std::vector<uint8_t>(earlier.begin(), earlier.end()));
    HANDLE held = CreateFileW(WidePath(historyPath).c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    clock.Set(At(2, 10, 0));
    StartRun();
    EXPECT_EQ(ListView_GetItemCount(list), 0);
    // Each call's row is written once it has ended.
    for (const char* number : {"0555 401", "0555 402"}) {
        Ring(At(2, 11, number[7] - '0'), number);
        const uint32_t call = lastSimCall;
        ASSERT_TRUE(linesim::HangUp(call));
        const size_t index = dialog->Screener().CallCount() - 1;
        ASSERT_TRUE(PumpUntil([&] { return dialog->Screener().Call(index).GetCall() == nullptr; }));
    }
    PumpUntil([] { return false; });
    EXPECT_EQ(dialog->HistoryLog().Waiting(), 2u);
    CloseHandle(held);
    ASSERT_TRUE(PumpUntil([&] { return dialog->HistoryLog().Waiting() == 0; }));
    EXPECT_EQ(dialog->EarlierCallCount(), 1u);
    EXPECT_EQ(ListView_GetItemCount(list), 3);
    const CHistoryReadResult read = FileRows();
    ASSERT_EQ(read.rows.size(), 3u);
    EXPECT_EQ(read.rows[1].number, "0555 401");
    EXPECT_EQ(read.rows[2].number, "0555 402");
}

// Each path blocks the caller of a permitted call; the caller's next call is
// then blocked by the entry, which is in the file already.
TEST_F(MainWindowHistoryTest, EachOneClickPathBlocksTheCallersNextCall) {
    enum class Path { RightClick, MenuKey, Popup, Tray, Withheld };
    struct Case {
        const char* what;
        Path path;
    };
    const Case cases[] = {{"right click on the row", Path::RightClick},
                          {"context-menu key", Path::MenuKey},
                          {"the popup's menu", Path::Popup},
                          {"the tray's Block the last caller", Path::Tray},
                          {"a withheld caller, by call type", Path::Withheld}};
    int minute = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StartRun();
        dialog->menuChoice = ID_CALL_BLOCK;
        const std::string number = "0555 5" + std::to_string(minute);
        const CallerIdKind kind =
            c.path == Path::Withheld ? CallerIdKind::Blocked : CallerIdKind::Number;
        Ring(At(4, 12, minute++), number, kind);
        const CLoggedCall& first = dialog->Screener().Call(0);
        ASSERT_EQ(first.GetAction(), ActionPermitNeverBlockDefault);
        const std::string key = first.GetLookupKey();
        ASSERT_FALSE(key.empty());
        switch (c.path) {
        case Path::RightClick: {
            RECT rect{};
            ListView_GetItemRect(list, 0, &rect, LVIR_LABEL);
            POINT at{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
            ClientToScreen(list, &at);
            SendMessageA(dialog->GetSafeHwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list),
                         MAKELPARAM(at.x, at.y));
            EXPECT_EQ(dialog->menusShown, 1);
            break;
        }
        case Path::MenuKey:
        case Path::Withheld:
            // The context-menu key and Shift+F10 reach the window as
            // WM_CONTEXTMENU with no position (-1).
            SelectRow(0);
            SendMessageA(dialog->GetSafeHwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
            EXPECT_EQ(dialog->menusShown, 1);
            break;
        case Path::Popup:
            ASSERT_TRUE(PumpUntil([&] { return dialog->Notification() != nullptr; }));
            SendMessageA(dialog->Notification()->GetSafeHwnd(), WM_COMMAND, ID_CALL_BLOCK, 0);
            break;
        case Path::Tray:
            SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, ID_TRAY_BLOCK_LAST, 0);
            break;
        }
        const std::unique_ptr<CPhoneBookEntry> saved = SavedEntry(key);
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->FilterType, FilterAlwaysBlock);
        EXPECT_EQ(saved->AnswerMode, AnswerDefaultMessage);
        // Named by the number (or call type), as are the caller's rows.
        EXPECT_EQ(saved->Name, dialog->Screener().Call(0).GetNumber());
        EXPECT_EQ(dialog->Screener().Call(0).GetName(), saved->Name);

        const size_t next = Ring(At(4, 12, minute++), number, kind);
        EXPECT_EQ(dialog->Screener().Call(next).GetAction(), ActionBlockAlways);
        EndRun();
    }
}

// The menu itself, as the user sees it, opened from the keyboard on the
// selected row: an entry there already, so every item is offered.
// "Export calls...": the earlier runs' calls and this run's, in one
// workbook (its contents are read back by openpyxl in the rwcfg tests,
// which share the writer).
TEST_F(MainWindowHistoryTest, ExportCallsWritesEveryListedCall) {
    const std::string earlier =
        HistoryHeader() +
        "2000-01-05T18:20:00+00:00,Friend,01632 960123,number,Permit (never block),no\r\n";
    test::WriteWholeFile(historyPath, std::vector<uint8_t>(earlier.begin(), earlier.end()));
    StartRun();
    dialog->Preferences().ShowNotification = 0;
    Ring(At(6, 9, 58), "01632 960555");
    std::vector<std::string> boxes;
    dialog->SetMessageBox([&](HWND, const std::string& text, UINT) {
        boxes.push_back(text);
        return IDOK;
    });
    dialog->exportPath = configDir.Path("calls.xlsx");
    SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, IDC_EXPORT_CALLS, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("2 calls were exported", 0), 0u) << boxes[0];
    const std::vector<uint8_t> book = test::ReadWholeFile(dialog->exportPath);
    ASSERT_GT(book.size(), 4u);
    EXPECT_EQ(book[0], 'P'); // a zip, as every .xlsx is
    EXPECT_EQ(book[1], 'K');
    // A folder that is not there: told, with the reason.
    boxes.clear();
    dialog->exportPath = configDir.Path("gone\\calls.xlsx");
    SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, IDC_EXPORT_CALLS, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rfind("The calls could not be exported", 0), 0u) << boxes[0];
}

TEST_F(MainWindowHistoryTest, TheContextMenuOffersItsCommands) {
    // Two calls of an earlier run, shown in grey below this run's.
    const std::string earlier =
        HistoryHeader() +
        "2000-01-05T18:20:00+00:00,Friend,01632 960123,number,Permit (never block),no\r\n"
        "2000-01-05T19:02:00+00:00,<Blocked>,<Blocked>,withheld,Block (always),yes\r\n";
    test::WriteWholeFile(historyPath, std::vector<uint8_t>(earlier.begin(), earlier.end()));
    clock.Set(At(6, 9, 0));
    StartRun();
    dialog->Preferences().ShowNotification = 0;
    AddEntry(test::Entry("Double Glazing Ltd", "0161 496 0000"));
    Ring(At(6, 9, 58), "01632 960555");
    Ring(At(6, 10, 0), "0161 496 0000");
    ASSERT_EQ(ListView_GetItemCount(list), 4);
    ShowWindow(dialog->GetSafeHwnd(), SW_SHOWNORMAL);
    UpdateWindow(dialog->GetSafeHwnd());
    SelectRow(0);
    OpenMenu open;
    open.owner = dialog->GetSafeHwnd();
    if (const char* picture = std::getenv("RW_MENU_PICTURE"))
        open.picture = picture;
    g_openMenu = &open;
    dialog->realMenu = true;
    SetTimer(nullptr, 0, 500, &ReadOpenMenu);
    SendMessageA(dialog->GetSafeHwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
    g_openMenu = nullptr;
    EXPECT_EQ(open.items, (std::vector<std::string>{
                              "&Block this caller", "&Never block this caller",
                              "&Edit phone book entry...", "&Copy number", "&Play message", "&Stop",
                              "&Delete message", "&Open the messages folder"}));
    // A call without a message: nothing to play, stop or delete.
    EXPECT_EQ(open.enabled, (std::vector<bool>{true, true, true, true, false, false, false, true}));
    // Closed without a choice: nothing changed.
    EXPECT_EQ(dialog->PhoneBook().Lookup(dialog->Screener().Call(1).GetLookupKey())->FilterType,
              FilterNeverBlock);
}

TEST_F(MainWindowHistoryTest, AnExistingEntryKeepsItsHoursAndMessage) {
    StartRun();
    auto entry = test::Entry("Colleague", "01632 960111");
    entry->FilterType = FilterBlockSometimes;
    entry->UseOwnHours = 1;
    entry->OwnHoursStart = CDateTime::TimeOfDay(9, 0);
    entry->OwnHoursEnd = CDateTime::TimeOfDay(17, 30);
    entry->AnswerMode = AnswerOwnMessage;
    entry->MessageFile = "C:\\messages\\away.wav";
    entry->Notes = "desk phone";
    const std::string key = entry->LookupKey;
    const CPhoneBookEntry before = *entry;
    AddEntry(std::move(entry));
    Ring(At(5, 8, 0), "01632 960111");
    SelectRow(0);
    for (const UINT choice : {ID_CALL_BLOCK, ID_CALL_NEVER_BLOCK}) {
        dialog->menuChoice = choice;
        SendMessageA(dialog->GetSafeHwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
        const std::unique_ptr<CPhoneBookEntry> saved = SavedEntry(key);
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->FilterType,
                  choice == ID_CALL_BLOCK ? FilterAlwaysBlock : FilterNeverBlock);
        CPhoneBookEntry expected = before;
        expected.FilterType = saved->FilterType;
        expected.LastCallTime = saved->LastCallTime; // stamped by the call
        EXPECT_TRUE(test::SameEntry(*saved, expected));
    }
}

} // namespace
} // namespace rw

namespace rw {
namespace {

// A message left on this run's call: listed with its length and in bold
// until heard, counted in the tray, played on the speakers (which marks it
// heard, kept for the next run), refused with a reason once damaged or
// gone, and deleted only when the user says yes.
TEST_F(MainWindowHistoryTest, AMessageIsListedPlayedAndDeletedAsTheUserAsks) {
    StartRun();
    std::vector<std::string> boxes;
    int answer = IDNO;
    dialog->SetMessageBox([&](HWND, const std::string& text, UINT) {
        boxes.push_back(text);
        return answer;
    });
    dialog->Preferences().ShowNotification = 0;
    const size_t call = Ring(At(2, 23, 10), "01632 960555");
    const std::string folder = configDir.Path("Messages");
    const std::string name = "20000102-231000-01632960555.wav";
    const std::string path = folder + "\\" + name;
    ASSERT_TRUE(CreateDirectoryW(WidePath(folder).c_str(), nullptr));
    test::WriteWholeFile(path, WaveFile(1500));
    CMessageStore& store = dialog->Session().Messages();
    ASSERT_EQ(store.Folder(), folder);
    dialog->Screener().Call(call).SetRecording(name, 1500);
    RecordingResult kept;
    kept.path = path;
    kept.kept = true;
    kept.ms = 1500;
    store.OnMessageEnded(call, kept);

    EXPECT_EQ(RowText(0, 4), "0:02");
    COLORREF colour = 0;
    EXPECT_EQ(DrawRow(0, colour), CDRF_NEWFONT); // bold
    EXPECT_NE(dialog->TrayTipText().find("\n1 new message"), std::string::npos);

    // Enter on the row plays it on the speakers (the list has the key, not
    // the dialog's default button); heard once it starts.
    SelectRow(0);
    SetFocus(list);
    EXPECT_EQ(SendMessageA(list, WM_GETDLGCODE, VK_RETURN, 0) & DLGC_WANTMESSAGE, 0);
    MSG enter{list, WM_KEYDOWN, VK_RETURN, 0, 0, {}};
    EXPECT_NE(SendMessageA(list, WM_GETDLGCODE, VK_RETURN, reinterpret_cast<LPARAM>(&enter)) &
                  DLGC_WANTMESSAGE,
              0);
    SendMessageA(list, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(dialog->Playback().Playing(), name);
    EXPECT_TRUE(PumpUntil([&] { return store.UnheardCount() == 0; }));
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(DrawRow(0, colour), CDRF_DODEFAULT);
    EXPECT_EQ(dialog->TrayTipText().find("new message"), std::string::npos);
    dialog->menuChoice = ID_CALL_STOP_MESSAGE;
    SendMessageA(dialog->GetSafeHwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(list), -1);
    EXPECT_TRUE(dialog->Playback().Playing().empty());
    {
        // The next run knows it was heard.
        auto fs = CreateSystemFileSystem(false);
        CMessageStore again(*fs);
        again.Open(folder);
        ASSERT_EQ(again.Messages().size(), 1u);
        EXPECT_TRUE(again.Messages()[0].heard);
    }

    // Damaged or gone outside the program: refused with the reason.
    struct Case {
        std::vector<uint8_t> bytes; // empty: the file is gone
        const char* reason;
    } cases[] = {
        {{'R', 'I', 'F', 'F', 0xFF, 0xFF, 0xFF, 0xFF, 'W', 'A', 'V', 'E', 'j', 'u', 'n', 'k'},
         "not a recording"},
        {{}, "no longer there"},
    };
    for (const Case& c : cases) {
        if (c.bytes.empty())
            DeleteFileW(WidePath(path).c_str());
        else
            test::WriteWholeFile(path, c.bytes);
        boxes.clear();
        SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, ID_CALL_PLAY_MESSAGE, 0);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_NE(boxes[0].find(c.reason), std::string::npos) << boxes[0];
        EXPECT_TRUE(dialog->Playback().Playing().empty());
    }

    // Deleted only when the user says yes.
    test::WriteWholeFile(path, WaveFile(500));
    boxes.clear();
    answer = IDNO;
    SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, ID_CALL_DELETE_MESSAGE, 0);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(GetFileAttributesW(WidePath(path).c_str()) != INVALID_FILE_ATTRIBUTES, true);
    answer = IDYES;
    SendMessageA(dialog->GetSafeHwnd(), WM_COMMAND, ID_CALL_DELETE_MESSAGE, 0);
    EXPECT_EQ(GetFileAttributesW(WidePath(path).c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(store.Messages().empty());
    // The row no longer names it.
    EXPECT_TRUE(PumpUntil([&] { return RowText(0, 4).empty(); }));
}

} // namespace
} // namespace rw
