// The installable product: where the configuration lives, and what the
// executable tells Windows and the user about itself (manifest, version).
#include "../core/ConfigTestUtil.h"
#include "app/ConfigLocation.h"
#include "app/VersionInfo.h"
#include "res/resource.h"
#include "../support/ExePath.h"
#include "ui/AboutDialog.h"

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

TEST(ConfigLocationTest, AnInstalledCopyThatCannotMoveKeepsTheFileBesideIt) {
    // Rather than starting from defaults that the next save would make
    // permanent, the old file stays in use.
    CFakeProbe noCopy;
    noCopy.files = {kMarker, kBeside};
    noCopy.canCopy = false;
    EXPECT_EQ(CConfigLocation(noCopy).Resolve(kProgram, kAppData).path, kBeside);

    CFakeProbe noFolder;
    noFolder.files = {kMarker};
    noFolder.canMakeDirectory = false;
    EXPECT_EQ(CConfigLocation(noFolder).Resolve(kProgram, kAppData).path, kBeside);

    CFakeProbe noAppData;
    noAppData.files = {kMarker};
    EXPECT_EQ(CConfigLocation(noAppData).Resolve(kProgram, "").path, kBeside);

    // The executable's own path unknown: the bare name, in the current folder.
    CFakeProbe unknown;
    EXPECT_EQ(CConfigLocation(unknown).Resolve("", kAppData).path, "Ringwarden.cfg");
}

TEST(ConfigLocationTest, SystemProbeTakesTheOldFileOverOnce) {
    test::CScratchDir program, appData;
    const std::string programDir = program.Path("") + "\\";
    const std::string appDataDir = appData.Path("roaming") + "\\";
    auto probe = CreateSystemConfigLocationProbe();
    CConfigLocation location(*probe);

    // No marker, writable folder: portable.
    EXPECT_TRUE(probe->DirectoryWritable(programDir));
    EXPECT_EQ(location.Resolve(programDir, appDataDir).path, programDir + "Ringwarden.cfg");

    test::WriteWholeFile(programDir + "installed.ini", {'[', ']'});
    test::WriteWholeFile(programDir + "Ringwarden.cfg", {1, 2, 3});
    // The application-data folder and its Ringwarden folder are made.
    const auto first = location.Resolve(programDir, appDataDir);
    EXPECT_EQ(first.path, appDataDir + "Ringwarden\\Ringwarden.cfg");
    EXPECT_TRUE(first.migrated);
    EXPECT_EQ(test::ReadWholeFile(first.path), (std::vector<uint8_t>{1, 2, 3}));

    // The old file changes later: it is not read again.
    test::WriteWholeFile(programDir + "Ringwarden.cfg", {9});
    const auto second = location.Resolve(programDir, appDataDir);
    EXPECT_FALSE(second.migrated);
    EXPECT_EQ(test::ReadWholeFile(second.path), (std::vector<uint8_t>{1, 2, 3}));

    EXPECT_FALSE(probe->DirectoryWritable(programDir + "missing\\"));
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
