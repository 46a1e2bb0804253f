// The messages folder: what a restart remembers of which were heard, what
// it makes of files changed behind its back, and when no message is taken.
#include "app/MessageStore.h"
#include "records/CallAction.h"
#include "records/FileSystem.h"
#include "records/LoggedCall.h"
#include "ConfigTestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace rw {
namespace {

using test::CScratchDir;

CLoggedCall Call(int32_t action, const std::string& number, int second) {
    CLoggedCall call;
    call.SetAction(action);
    call.SetNumber(number);
    call.SetHasNumber(true);
    call.SetCallTime(CDateTime::FromParts(2026, 3, 2, 23, 10, second));
    return call;
}

// Records a message as the recorder would: the file, then the report.
std::string Leave(CMessageStore& store, const CLoggedCall& call) {
    const std::string path = store.NewMessagePath(call);
    EXPECT_FALSE(path.empty());
    test::WriteWholeFile(path, std::vector<uint8_t>(100, 1));
    RecordingResult result;
    result.path = path;
    result.kept = true;
    result.ms = 1000;
    store.OnMessageEnded(0, result);
    return path.substr(store.Folder().size() + 1);
}

std::vector<std::string> Names(const CMessageStore& store) {
    std::vector<std::string> names;
    for (const StoredMessage& m : store.Messages())
        names.push_back(m.name + (m.heard ? " heard" : ""));
    return names;
}

TEST(MessageStore, HeardAndUnheardSurviveARestart) {
    CScratchDir dir;
    auto fs = CreateSystemFileSystem(false);
    const std::string folder = CMessageStore::FolderBeside(dir.Path("Ringwarden.cfg"));
    std::string first, second, third;
    {
        CMessageStore store(*fs);
        store.Open(folder);
        int changes = 0;
        store.SetOnChange([&] { ++changes; });
        first = Leave(store, Call(ActionBlockByTime, "0123 456", 5));
        second = Leave(store, Call(ActionBlockByTime, "(0777) 9", 9));
        // The same caller in the same second: a name of its own.
        third = Leave(store, Call(ActionBlockByTime, "(0777) 9", 9));
        EXPECT_EQ("20260302-231005-0123456.wav", first);
        EXPECT_EQ("20260302-231009-07779.wav", second);
        EXPECT_EQ("20260302-231009-07779_2.wav", third);
        EXPECT_EQ(3u, store.UnheardCount());
        EXPECT_TRUE(store.MarkHeard(second));
        EXPECT_EQ(third, store.NewestUnheard()->name);
        EXPECT_EQ(4, changes);
    }
    // One is deleted and another added behind the program's back.
    std::filesystem::remove(folder + "/" + first);
    test::WriteWholeFile(folder + "/20260303-080000.wav", std::vector<uint8_t>(10, 0));
    CMessageStore store(*fs);
    store.Open(folder);
    EXPECT_EQ((std::vector<std::string>{second + " heard", third, "20260303-080000.wav"}),
              Names(store));
    EXPECT_TRUE(store.Delete(second));
    EXPECT_FALSE(test::FileExists(folder + "/" + second));

    // A damaged list of heard messages is no list.
    test::WriteWholeFile(folder + "/heard.txt", {0, 0xFF, '\n', '\n', 'x'});
    CMessageStore again(*fs);
    again.Open(folder);
    EXPECT_EQ((std::vector<std::string>{third, "20260303-080000.wav"}), Names(again));
}

// Who is asked to leave a message: the settings' callers, from a run that
// can save, into a folder with room.
TEST(MessageStore, WhenNoMessageIsTaken) {
    CScratchDir dir;
    auto fs = CreateSystemFileSystem(false);
    CMessageStore store(*fs);
    store.Open(CMessageStore::FolderBeside(dir.Path("Ringwarden.cfg")));
    const CLoggedCall timeBlocked = Call(ActionBlockByTime, "1", 0);
    EXPECT_TRUE(store.TakesMessageFrom(timeBlocked));
    EXPECT_FALSE(store.TakesMessageFrom(Call(ActionBlockAlways, "1", 0)));
    store.SetRules({false, true});
    EXPECT_FALSE(store.TakesMessageFrom(timeBlocked));
    store.SetRules({true, true});
    store.SetCanSave([] { return false; });
    EXPECT_FALSE(store.TakesMessageFrom(timeBlocked));
    EXPECT_EQ("", store.NewMessagePath(timeBlocked));
    store.SetCanSave(nullptr);
    ASSERT_TRUE(fs->MakeFolder(store.Folder()));
    for (uint32_t i = 0; i < kMaxMessages; ++i)
        test::WriteWholeFile(store.PathOf(std::to_string(100000 + i) + ".wav"), {});
    store.Open(store.Folder());
    EXPECT_TRUE(store.Full());
    EXPECT_FALSE(store.TakesMessageFrom(timeBlocked));
}

// Before playing: a message gone or not a wave is told apart from one that
// plays, and a name that is not a plain file of the folder (a history row
// is untrusted) is never opened.
TEST(MessageStore, CheckBeforePlaying) {
    CScratchDir dir;
    auto fs = CreateSystemFileSystem(false);
    CMessageStore store(*fs);
    store.Open(CMessageStore::FolderBeside(dir.Path("Ringwarden.cfg")));
    const std::string name = Leave(store, Call(ActionBlockByTime, "0123 456", 5));
    test::WriteWholeFile(dir.Path("outside.wav"), std::vector<uint8_t>(100, 1));
    using P = CMessageStore::Playability;
    uint32_t ms = 0;
    EXPECT_EQ(store.Check(name, ms), P::NotWave); // 100 bytes of 1s
    struct Case {
        std::string name;
        P expected;
    } cases[] = {
        {"", P::Gone},
        {"absent.wav", P::Gone},
        {"../outside.wav", P::Gone},
        {"..\\outside.wav", P::Gone},
        {"C:outside.wav", P::Gone},
    };
    for (const Case& c : cases)
        EXPECT_EQ(store.Check(c.name, ms), c.expected) << c.name;
}

} // namespace
} // namespace rw
