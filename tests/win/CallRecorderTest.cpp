// The recorder through the line simulator's wave input: how each recording
// ends, what it keeps, and that the file it leaves plays.
#include "LineSim.h"
#include "audio/CallRecorder.h"
#include "audio/WaveFileWriter.h"
#include "audio/WavePlayer.h"
#include "telephony/TapiApi.h"
#include "telephony/TapiLine.h"
#include "telephony/TapiRegistration.h"
#include "../support/ExePath.h"
#include "../support/SimCaller.h"

#include <gtest/gtest.h>

#include <psapi.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>

namespace rw {
namespace {

using namespace rw::linesim;

constexpr UINT kInputBase = 0x53000000;
// The simulated caller talks this many times faster than life.
constexpr uint32_t kSpeed = 8;

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms)
            return false;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
        Sleep(1);
    }
    return true;
}

std::string TempPath(const std::string& name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

struct Reports : CCallRecorderNotify {
    bool started = false;
    std::optional<RecordingResult> ended;
    std::optional<RecordingFailure> failed;
    void OnRecordingStarted(uint32_t) override { started = true; }
    void OnRecordingEnded(uint32_t, const RecordingResult& r) override { ended = r; }
    void OnRecordingFailed(uint32_t, RecordingFailure why, uint32_t) override { failed = why; }
};

struct NoNotify : CTapiLineNotify {};

class CallRecorderTest : public testing::Test {
protected:
    void SetUp() override {
        SetShowWindow(false);
        SetPrintSummary(false);
        SetRingTiming(60000, 5);
        SetWaveInputSpeed(kSpeed);
        SetTapiApi(&loader);
        ASSERT_EQ(0, RegisterLineApp(nullptr, nullptr, nullptr));
        ASSERT_EQ(0, line.OpenWithFallback(0, &lineNotify));
        call = Ring(test::Caller(CallerIdKind::Number, "0123", ""));
        ASSERT_NE(0u, call);
        path = TempPath("rw-recorded-" + std::to_string(GetCurrentProcessId()) + ".wav");
        DeleteFileA(path.c_str());
    }
    void TearDown() override {
        recorder.Shutdown();
        SetWaveInput(WaveInput::Works);
        SetWaveInputSpeed(1);
        CWaveFileWriter::SetRoomForTests(0);
        EXPECT_EQ(0, line.Close());
        EXPECT_EQ(0, UnregisterLineApp());
        SetTapiApi(nullptr);
        DeleteFileA(path.c_str());
    }
    uint32_t Start(unsigned maxSeconds = 120) {
        const uint32_t id = recorder.Record(kInputBase + call, path, maxSeconds);
        EXPECT_NE(0u, id);
        return id;
    }
    // Waits for the end; the length kept in ms, checked against the file.
    bool WaitEnd(DWORD ms = 4000) {
        return PumpUntil([&] { return reports.ended || reports.failed; }, ms) &&
               reports.ended.has_value();
    }
    // The file plays and lasts what the report says.
    void ExpectPlayableFile() {
        CWavePlayer reader;
        ASSERT_TRUE(reader.LoadFromFile(path.c_str()));
        EXPECT_NEAR(reader.Data()->LengthMs(), reports.ended->ms, 1);
    }

    CTapiLoader loader{test::SimulatorPath()};
    CTapiLine line;
    NoNotify lineNotify;
    Reports reports;
    CCallRecorder recorder{&reports};
    uint32_t call = 0;
    std::string path;
};

// How a recording ends: by itself (silence after speech, the exchange's
// tone, the longest message) or because the screener stopped it (the
// caller hung up or keyed, the line closed), and what of it is kept.
TEST_F(CallRecorderTest, EndsAndWhatIsKept) {
    struct Case {
        const char* name;
        std::function<void(uint32_t call)> say;
        unsigned maxSeconds;
        DWORD stopAfterMs; // 0: not stopped
        RecordingEnd why;
        bool kept;
        uint32_t minMs, maxMs;
    } cases[] = {
        {"silence after speech", [](uint32_t c) { SayNoise(c, 2000); }, 120, 0,
         RecordingEnd::SilenceAfterSpeech, true, 1900, 2300},
        {"dial tone after speech",
         [](uint32_t c) {
             SayNoise(c, 2000);
             Gone(c, LineTone::Dial);
         },
         120, 0, RecordingEnd::Tone, true, 1900, 2300},
        {"busy tone after speech",
         [](uint32_t c) {
             SayNoise(c, 2000);
             Gone(c, LineTone::Busy);
         },
         120, 0, RecordingEnd::Tone, true, 1900, 2300},
        {"reorder tone after speech",
         [](uint32_t c) {
             SayNoise(c, 2000);
             Gone(c, LineTone::Reorder);
         },
         120, 0, RecordingEnd::Tone, true, 1900, 2300},
        {"the longest message", [](uint32_t c) { SayNoise(c, 60000); }, 3, 0, RecordingEnd::Limit,
         true, 3000, 3000},
        {"stopped while the caller talks", [](uint32_t c) { SayNoise(c, 60000); }, 120, 400,
         RecordingEnd::Stopped, true, 1000, 6000},
        {"stopped before a word", [](uint32_t) {}, 120, 400, RecordingEnd::Stopped, false, 0, 0},
        {"dial tone and no word", [](uint32_t c) { Gone(c, LineTone::Dial); }, 120, 0,
         RecordingEnd::Tone, false, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        reports = Reports{};
        DeleteFileA(path.c_str());
        if (c.name != cases[0].name) // each case its own caller
            call = Ring(test::Caller(CallerIdKind::Number, "0123", ""));
        c.say(call);
        const uint32_t id = Start(c.maxSeconds);
        if (c.stopAfterMs) {
            ASSERT_TRUE(PumpUntil([&] { return reports.started; }, 2000));
            PumpUntil([] { return false; }, c.stopAfterMs);
            recorder.Stop(id);
        }
        ASSERT_TRUE(WaitEnd());
        EXPECT_EQ(reports.ended->why, c.why);
        EXPECT_EQ(reports.ended->kept, c.kept);
        EXPECT_EQ(reports.ended->path, path);
        EXPECT_EQ(GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES, c.kept);
        if (c.kept) {
            EXPECT_GE(reports.ended->ms, c.minMs);
            EXPECT_LE(reports.ended->ms, c.maxMs);
            ExpectPlayableFile();
        }
        CallRecord r{};
        GetCallRecord(call, &r);
        EXPECT_EQ(r.waveInOpens, 1u);
        EXPECT_GE(r.bytesRecorded, reports.ended->ms * 16u);
    }
}

// The program quitting mid-message keeps the message and still tells it.
TEST_F(CallRecorderTest, QuittingKeepsTheMessage) {
    SayNoise(call, 60000);
    Start();
    ASSERT_TRUE(PumpUntil([&] { return reports.started; }, 2000));
    PumpUntil([] { return false; }, 300);
    recorder.Shutdown();
    ASSERT_TRUE(reports.ended.has_value());
    EXPECT_EQ(reports.ended->why, RecordingEnd::Stopped);
    EXPECT_TRUE(reports.ended->kept);
    ExpectPlayableFile();
}

// A modem without a voice input, or one that will not open it, and a
// folder that cannot be written: nothing records, nothing is left.
TEST_F(CallRecorderTest, FailuresLeaveNoFile) {
    SetWaveInput(WaveInput::Refuses);
    Start();
    ASSERT_TRUE(PumpUntil([&] { return reports.failed.has_value(); }, 2000));
    EXPECT_EQ(*reports.failed, RecordingFailure::NoDevice);
    EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES);

    SetWaveInput(WaveInput::Works);
    reports = Reports{};
    const std::string nowhere = TempPath("rw-no-such-folder\\message.wav");
    recorder.Record(kInputBase + call, nowhere, 120);
    ASSERT_TRUE(PumpUntil([&] { return reports.failed.has_value(); }, 2000));
    EXPECT_EQ(*reports.failed, RecordingFailure::FileFailed);
    EXPECT_FALSE(reports.started);
}

// A disk that fills mid-message ends the recording; what was written is a
// playable file.
TEST_F(CallRecorderTest, FullDiskKeepsWhatWasWritten) {
    CWaveFileWriter::SetRoomForTests(8000 * 2 * 3 / 2); // 1.5 s
    SayNoise(call, 60000);
    Start();
    ASSERT_TRUE(WaitEnd());
    EXPECT_EQ(reports.ended->why, RecordingEnd::DiskFull);
    EXPECT_TRUE(reports.ended->kept);
    EXPECT_EQ(reports.ended->error, static_cast<uint32_t>(ERROR_DISK_FULL));
    EXPECT_LE(reports.ended->ms, 1500u);
    EXPECT_GE(reports.ended->ms, 1000u);
    ExpectPlayableFile();
}

int64_t PrivateBytes() {
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                         sizeof counters);
    return static_cast<int64_t>(counters.PrivateUsage);
}

// The longest message streams through the recorder's fixed buffers: the
// process does not grow with it. The growth is printed as a figure.
TEST_F(CallRecorderTest, TheLongestMessageNeedsNoMoreMemory) {
    SetWaveInputSpeed(64);
    SayNoise(call, 400000);
    // A short one first, so that the thread's buffers and the file
    // functions' own are there before the figure is taken.
    Start(2);
    ASSERT_TRUE(WaitEnd());
    reports = Reports{};
    DeleteFileA(path.c_str());
    const int64_t before = PrivateBytes();
    Start(300);
    ASSERT_TRUE(WaitEnd(30000));
    const int64_t grown = PrivateBytes() - before;
    EXPECT_EQ(reports.ended->why, RecordingEnd::Limit);
    EXPECT_EQ(reports.ended->ms, 300000u);
    std::printf("figure: a 300 s message (%u KB on disk) grew the process by %lld KB\n",
                static_cast<unsigned>(8000 * 2 * 300 / 1024), static_cast<long long>(grown / 1024));
    EXPECT_LT(grown, 1 << 20);
}

} // namespace
} // namespace rw
