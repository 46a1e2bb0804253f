#include "audio/DebugOutput.h"
#include "audio/WavePlayer.h"
#include "res/resource.h"
#include "../support/MessagePump.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace rw {
namespace {

struct Recorder : CWavePlayerNotify {
    void OnWaveOutOpen() override { events += "open "; }
    void OnWaveOutDone() override {
        events += "done";
        events += player && player->IsPlaying() ? "(playing) " : " ";
    }
    void OnWaveOutClose() override { events += "close "; }
    std::string events;
    const CWavePlayer* player = nullptr;
};

using test::PumpUntil;

// Lets whatever is still posted arrive.
void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; });
}

class PlayerTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_GE(waveOutGetNumDevs(), 1u) << "no wave output device";
        recorder.player = &player;
        ASSERT_TRUE(player.LoadFromResource(GetModuleHandleA(nullptr), IDR_ACK_TONE));
    }
    Recorder recorder;
    CWavePlayer player{&recorder};
};

TEST_F(PlayerTest, PlaysToTheEndInOrder) {
    for (UINT device : {UINT(WAVE_MAPPER), 0u}) {
        recorder.events.clear();
        ASSERT_TRUE(player.Play(device, false));
        EXPECT_TRUE(player.IsPlaying());
        HWND window = player.GetCallbackWindow();
        ASSERT_NE(window, nullptr);
        char cls[64] = {};
        GetClassNameA(window, cls, sizeof cls);
        EXPECT_STREQ(cls, "InvisibleWindowClass");
        EXPECT_FALSE(IsWindowVisible(window));
        // Message-only, not top-level: broadcasts and the end of the
        // session never wait on a thread blocked in a slow open.
        EXPECT_NE(GetDesktopWindow(), GetAncestor(window, GA_PARENT));
        ASSERT_TRUE(PumpUntil([&] { return recorder.events.find("close") != std::string::npos; }))
            << recorder.events;
        // Done comes after the player has stopped and released the device.
        EXPECT_EQ(recorder.events, "open done close ");
        EXPECT_FALSE(player.IsPlaying());
        EXPECT_EQ(player.GetCallbackWindow(), window); // reused
        EXPECT_EQ(player.GetSampleSize(), 13216u);     // loaded data survives
    }
}

TEST_F(PlayerTest, StopWhilePlayingAndWhenIdle) {
    EXPECT_TRUE(player.Stop()); // idle: nothing to do
    ASSERT_TRUE(player.Play(WAVE_MAPPER, true));
    PumpFor(100);
    EXPECT_TRUE(player.IsPlaying()); // a loop plays until stopped
    EXPECT_TRUE(player.Stop());
    EXPECT_FALSE(player.IsPlaying());
    ASSERT_TRUE(PumpUntil([&] { return recorder.events.find("close") != std::string::npos; }));
    EXPECT_EQ(recorder.events, "open done close ");
    EXPECT_TRUE(player.Stop());
}

// A newer Play replaces a running playback; the done message that the
// replaced one posts must not end the newer one.
TEST_F(PlayerTest, PlayWhilePlayingKeepsTheNewPlayback) {
    ASSERT_TRUE(player.Play(WAVE_MAPPER, true));
    ASSERT_TRUE(player.Play(WAVE_MAPPER, true));
    PumpFor(200);
    EXPECT_TRUE(player.IsPlaying()) << recorder.events;
    EXPECT_EQ(recorder.events, "open done(playing) close open ");
    player.Stop();
    PumpFor(50);
}

TEST_F(PlayerTest, RejectedFormatsOpenNothing) {
    // A 16-byte fmt chunk: tag, channels, rate, bytes per second, block
    // alignment, bits per sample.
    struct Case {
        const char* name;
        unsigned char fmt[16];
    } cases[] = {
        {"unknown tag", {0x77, 0x77, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0}},
        {"PCM, no channels", {1, 0, 0, 0, 0x22, 0x56, 0, 0, 0, 0, 0, 0, 0, 0, 16, 0}},
        {"PCM, no rate", {1, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 16, 0}},
        {"PCM, no bits per sample", {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 0, 0}},
        {"PCM, no byte rate", {1, 0, 1, 0, 0x22, 0x56, 0, 0, 0, 0, 0, 0, 2, 0, 16, 0}},
        {"extensible, no channels",
         {0xFE, 0xFF, 0, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0}},
        {"ADPCM, no rate", {2, 0, 1, 0, 0, 0, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 4, 0}},
        {"IEEE float, no block size",
         {3, 0, 1, 0, 0x22, 0x56, 0, 0, 0x88, 0x58, 1, 0, 0, 0, 32, 0}},
    };
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + "rw-rejected.wav";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string file = "RIFF";
        file += std::string("\x2c\0\0\0WAVEfmt \x10\0\0\0", 16);
        file.append(reinterpret_cast<const char*>(c.fmt), 16);
        file += std::string("data\x08\0\0\0\1\2\3\4\5\6\7\x08", 16);
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(file.data(), file.size());

        CWavePlayer fresh{&recorder};
        ASSERT_TRUE(fresh.LoadFromFile(path.c_str()));
        EXPECT_FALSE(fresh.Play(WAVE_MAPPER, false));
        EXPECT_EQ(fresh.GetCallbackWindow(), nullptr); // refused before any window
        EXPECT_FALSE(fresh.IsPlaying());
    }
    CWavePlayer empty;
    EXPECT_FALSE(empty.Play(WAVE_MAPPER, false)); // nothing loaded
}

TEST_F(PlayerTest, DestroyingWhilePlayingReleasesEverything) {
    HWND window = nullptr;
    {
        CWavePlayer doomed{&recorder};
        ASSERT_TRUE(doomed.LoadFromResource(GetModuleHandleA(nullptr), IDR_ACK_TONE));
        ASSERT_TRUE(doomed.Play(WAVE_MAPPER, true));
        window = doomed.GetCallbackWindow();
    }
    EXPECT_FALSE(IsWindow(window));
    PumpFor(50); // messages for the gone window are dropped, not delivered
    EXPECT_EQ(recorder.events, "");
    // The device was closed: it can be opened again.
    EXPECT_TRUE(player.Play(WAVE_MAPPER, false));
    player.Stop();
}

TEST_F(PlayerTest, LoadingStopsPlayback) {
    ASSERT_TRUE(player.Play(WAVE_MAPPER, true));
    ASSERT_TRUE(player.LoadFromResource(GetModuleHandleA(nullptr), IDR_ACK_TONE));
    EXPECT_FALSE(player.IsPlaying());
}

// With HOME pointing at an ALSA set-up whose default device writes to a
// file (its own ctest entry sets RW_PLAYED_FILE), the bytes played reach
// the device unchanged.
TEST_F(PlayerTest, PlayedBytesReachTheDevice) {
    const char* played = std::getenv("RW_PLAYED_FILE");
    if (!played)
        GTEST_SKIP() << "RW_PLAYED_FILE not set";
    const std::string path = std::string("Z:") + played;
    ASSERT_TRUE(player.Play(WAVE_MAPPER, false));
    ASSERT_TRUE(PumpUntil([&] { return recorder.events.find("close") != std::string::npos; }));
    std::ifstream f(path, std::ios::binary);
    ASSERT_TRUE(f) << path;
    const std::string raw((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const std::string tone(reinterpret_cast<const char*>(player.GetSamples()),
                           player.GetSampleSize());
    EXPECT_NE(raw.find(tone), std::string::npos) << "played " << raw.size() << " bytes";
}

} // namespace
} // namespace rw
