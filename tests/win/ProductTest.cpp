// The installable product: where the configuration lives, and what the
// executable tells Windows and the user about itself (manifest, version).
#include "../core/ConfigTestUtil.h"
#include "app/CommandLine.h"
#include "app/ConfigLocation.h"
#include "app/VersionInfo.h"
#include "records/Clock.h"
#include "records/ConfigFile.h"
#include "records/WidePath.h"
#include "res/resource.h"
#include "telephony/TapiApi.h"
#include "../support/ExePath.h"
#include "ui/AboutDialog.h"
#include "ui/MainDialog.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace rw {
namespace {

// Answers from a set of existing paths; records what was copied.
class CFakeProbe : public CConfigLocationProbe {
public:
    bool FileExists(const std::string& path) override { return files.count(path) != 0; }
    bool DirectoryWritable(const std::string& directory) override {
        return writable.count(directory) != 0;
    }
    bool MakeDirectory(const std::string& directory) override {
        made.insert(directory);
        return canMakeDirectory;
    }
    bool CopyNewFile(const std::string& from, const std::string& to) override {
        if (!canCopy || files.count(to))
            return false;
        copied.push_back(from + " -> " + to);
        files.insert(to);
        return true;
    }

    std::set<std::string> files;
    std::set<std::string> writable;
    std::set<std::string> made;
    std::vector<std::string> copied;
    bool canMakeDirectory = true;
    bool canCopy = true;
};

const std::string kProgram = "C:\\Program Files\\Ringwarden\\";
const std::string kBeside = kProgram + "Ringwarden.cfg";
const std::string kMarker = kProgram + "installed.ini";
const std::string kAppData = "C:\\users\\me\\AppData\\Roaming\\";
const std::string kInAppData = kAppData + "Ringwarden\\Ringwarden.cfg";

TEST(ConfigLocationTest, DecidesBetweenBesideTheProgramAndAppData) {
    using Kind = CConfigLocation::Kind;
    struct Case {
        const char* what;
        bool marker, writable, besideExists, appDataExists;
        Kind kind;
        std::string path;
        bool migrated;
    };
    const Case cases[] = {
        {"portable copy, first run", false, true, false, false, Kind::portable, kBeside, false},
        {"portable copy with its file", false, true, true, false, Kind::portable, kBeside, false},
        {"own file in a folder now read-only", false, false, true, false, Kind::portable, kBeside,
         false},
        {"read-only folder, no file", false, false, false, false, Kind::installed, kInAppData,
         false},
        {"installed, first run", true, true, false, false, Kind::installed, kInAppData, false},
        {"installed over an old copy", true, true, true, false, Kind::installed, kInAppData, true},
        {"installed, old file already taken over", true, false, true, true, Kind::installed,
         kInAppData, false},
    };
    for (const Case& c : cases) {
        CFakeProbe probe;
        if (c.marker)
            probe.files.insert(kMarker);
        if (c.writable)
            probe.writable.insert(kProgram);
        if (c.besideExists)
            probe.files.insert(kBeside);
        if (c.appDataExists)
            probe.files.insert(kInAppData);
        const auto result = CConfigLocation(probe).Resolve(kProgram, kAppData);
        EXPECT_EQ(result.kind, c.kind) << c.what;
        EXPECT_EQ(result.path, c.path) << c.what;
        EXPECT_EQ(result.migrated, c.migrated) << c.what;
        EXPECT_EQ(probe.copied.size(), c.migrated ? 1u : 0u) << c.what;
        if (c.kind == Kind::installed) {
            EXPECT_EQ(probe.made.count(kAppData + "Ringwarden\\"), 1u) << c.what;
        }
    }
}

TEST(ConfigLocationTest, AnInstalledCopyThatCannotUseAppDataReadsBesideItAndNeverSaves) {
    const std::string folder = kAppData + "Ringwarden\\";
    struct Case {
        const char* what;
        bool canMakeDirectory, canCopy;
        std::string appData, unusable;
    };
    const Case cases[] = {
        {"old file cannot be copied", true, false, kAppData, folder},
        {"folder cannot be made", false, true, kAppData, folder},
        {"application data not known", true, true, "", ""},
    };
    for (const Case& c : cases) {
        CFakeProbe probe;
        probe.files = {kMarker, kBeside};
        probe.canMakeDirectory = c.canMakeDirectory;
        probe.canCopy = c.canCopy;
        const auto result = CConfigLocation(probe).Resolve(kProgram, c.appData);
        EXPECT_EQ(result.kind, CConfigLocation::Kind::installed) << c.what;
        EXPECT_EQ(result.path, kBeside) << c.what;
        EXPECT_FALSE(result.canSave) << c.what;
        EXPECT_EQ(result.unusableFolder, c.unusable) << c.what;
    }

    // The executable's own path unknown: the bare name, in the current folder.
    CFakeProbe unknown;
    const auto bare = CConfigLocation(unknown).Resolve("", kAppData);
    EXPECT_EQ(bare.path, "Ringwarden.cfg");
    EXPECT_TRUE(bare.canSave);
}

// Makes a folder through the wide call, as Windows makes a profile folder.
std::string MakeFolderW(const std::string& parent, const std::wstring& name) {
    const std::wstring path = WidePath(parent) + L"\\" + name;
    EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    return Utf8Path(path) + "\\";
}

TEST(ConfigLocationTest, SystemProbeWorksInAnyScriptAndDropsReadOnly) {
    test::CScratchDir program, profile;
    const std::string programDir = program.Path("") + "\\";
    // A profile named in Greek and Japanese, outside any one ANSI code page.
    const std::string appDataDir =
        MakeFolderW(profile.Path(""), L"\u0391\u03b8\u03b7\u03bd\u03ac-\u6771\u4eac");
    test::WriteWholeFile(programDir + "installed.ini", {'[', ']'});
    const std::vector<uint8_t> one = test::FromHex(test::kOneEntryConfigHex);
    test::WriteWholeFile(programDir + "Ringwarden.cfg", one);
    SetFileAttributesA((programDir + "Ringwarden.cfg").c_str(), FILE_ATTRIBUTE_READONLY);

    auto probe = CreateSystemConfigLocationProbe();
    const auto result = CConfigLocation(*probe).Resolve(programDir, appDataDir);
    ASSERT_TRUE(result.canSave);
    ASSERT_TRUE(result.migrated);
    EXPECT_EQ(result.path, appDataDir + "Ringwarden\\Ringwarden.cfg");
    const DWORD attributes = GetFileAttributesW(WidePath(result.path).c_str());
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(attributes & FILE_ATTRIBUTE_READONLY, 0u);

    // The program reads and saves there.
    auto fs = CreateSystemFileSystem();
    CConfigFile config(*fs);
    CRingwardenPreferences prefs;
    CPhoneBook book;
    ASSERT_EQ(config.Load(result.path, prefs, book), CConfigFile::LoadResult::loaded);
    EXPECT_EQ(book.GetCount(), 1u);
    book.RemoveKey("1");
    EXPECT_TRUE(config.Save(result.path, prefs, book));
    CPhoneBook again;
    ASSERT_EQ(config.Load(result.path, prefs, again), CConfigFile::LoadResult::loaded);
    EXPECT_TRUE(again.IsEmpty());
    SetFileAttributesA((programDir + "Ringwarden.cfg").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(ConfigLocationTest, AppDataThatCannotBeMadeLeavesTheProgramFolderUnwritten) {
    test::CScratchDir program, profile;
    const std::string programDir = program.Path("") + "\\";
    test::WriteWholeFile(programDir + "installed.ini", {'[', ']'});
    const std::vector<uint8_t> one = test::FromHex(test::kOneEntryConfigHex);
    test::WriteWholeFile(programDir + "Ringwarden.cfg", one);
    // A file where the folder would go: it cannot be made, as with a profile
    // on a share that is offline.
    test::WriteWholeFile(profile.Path("roaming"), {0});
    auto probe = CreateSystemConfigLocationProbe();
    const auto result = CConfigLocation(*probe).Resolve(programDir, profile.Path("roaming") + "\\");
    EXPECT_FALSE(result.canSave);
    EXPECT_EQ(result.path, programDir + "Ringwarden.cfg");

    // The main window reads the old file, says so once, and saves nothing.
    std::vector<std::string> boxes;
    {
        CSettableClock clock;
        CMainDialog dialog(clock);
        dialog.SetConfigLocation(result);
        dialog.SetMessageBox([&boxes](HWND, const std::string& text, UINT) {
            boxes.push_back(text);
            return IDOK;
        });
        ASSERT_TRUE(dialog.Create());
        EXPECT_EQ(dialog.PhoneBook().GetCount(), 1u);
        dialog.PhoneBook().RemoveKey("1");
        dialog.Preferences().NotificationSeconds = 9;
        EXPECT_EQ(SendMessageA(dialog.GetSafeHwnd(), WM_QUERYENDSESSION, 0, 0), TRUE);
        dialog.DestroyWindow();
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(result.unusableFolder), std::string::npos) << boxes[0];
    EXPECT_EQ(test::ReadWholeFile(programDir + "Ringwarden.cfg"), one);
    EXPECT_TRUE(CreateSystemFileSystem()->FindFiles(programDir + "Ringwarden.cfg.").empty());
}

// Ringwarden.exe is built beside the test programs.
std::string ProgramPath() {
    std::string path = test::ExePath();
    return path.substr(0, path.find_last_of("\\/") + 1) + "Ringwarden.exe";
}

TEST(ProgramResourcesTest, ManifestAskForVisualStylesDpiAwarenessAndNoElevation) {
    HMODULE program = LoadLibraryExA(ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(program) << ProgramPath();
    HRSRC found = FindResourceA(program, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_TRUE(found) << "no RT_MANIFEST 1";
    const char* data = static_cast<const char*>(LockResource(LoadResource(program, found)));
    const std::string manifest(data, SizeofResource(program, found));
    FreeLibrary(program);
    for (const char* expected : {
             "Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"", "level=\"asInvoker\"",
             ">PerMonitorV2, PerMonitor</dpiAwareness>", ">true/pm</dpiAware>",
             "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}", // 7
             "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", // 8
             "{1f676c76-80e1-4239-95bb-83d0f6d0da78}", // 8.1
             "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}", // 10 and 11
         })
        EXPECT_NE(manifest.find(expected), std::string::npos) << expected;
}

TEST(ProgramResourcesTest, VersionReadsOneHundred) {
    const std::string path = ProgramPath();
    EXPECT_EQ(FileVersionString(path, "FileVersion"), "1.00");
    EXPECT_EQ(FileVersionString(path, "ProductVersion"), "1.00");
    EXPECT_EQ(FileVersionString(path, "ProductName"), "Ringwarden");
    EXPECT_EQ(FileVersionString(path, "CompanyName"), "Ringwarden Project");
    EXPECT_EQ(FileVersionString(path, "FileDescription"), "Ringwarden call screener");
    EXPECT_NE(FileVersionString(path, "LegalCopyright").find("Ringwarden Project"),
              std::string::npos);
    EXPECT_EQ(FileVersionString(path, "NoSuchValue"), "");
    EXPECT_EQ(FileVersionString(path + ".missing", "FileVersion"), "");
}

// A program folder named outside the ANSI code page: the version resource
// reads and --line-simulator's library loads from it.
TEST(ProgramResourcesTest, AProgramFolderNamedInAnyScriptWorks) {
    test::CScratchDir parent;
    const std::string folder = MakeFolderW(parent.Path(""), L"Pr\u00fcfung \u03a9 \u6771\u4eac");
    const std::string exe = folder + "Ringwarden.exe";
    const std::string simulator = LineSimulatorPath(exe);
    ASSERT_TRUE(CopyFileW(WidePath(ProgramPath()).c_str(), WidePath(exe).c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileW(WidePath(test::SimulatorPath()).c_str(), WidePath(simulator).c_str(), FALSE));
    EXPECT_EQ(FileVersionString(exe, "FileVersion"), "1.00");
    {
        CTapiLoader loader(simulator);
        EXPECT_NE(loader.lineShutdown(0), static_cast<LONG>(LINEERR_OPERATIONUNAVAIL));
        EXPECT_EQ(loader.LoadAttempts(), 1);
        EXPECT_EQ(loader.LookupAttempts(), 1);
    }
    DeleteFileW(WidePath(simulator).c_str());
    DeleteFileW(WidePath(exe).c_str());
}

TEST(ProgramResourcesTest, AboutBoxShowsTheVersionResource) {
    // This test program carries the same resources as Ringwarden.exe.
    CAboutDialog about(nullptr);
    ASSERT_TRUE(about.Create());
    char text[64] = {};
    GetDlgItemTextA(about.GetSafeHwnd(), IDC_ABOUT_VERSION, text, sizeof text);
    EXPECT_STREQ(text, "Ringwarden Version 1.00");
    about.DestroyWindow();
}

} // namespace
} // namespace rw
