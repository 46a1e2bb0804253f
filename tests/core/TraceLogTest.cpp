#include "app/TraceLog.h"
#include "ConfigTestUtil.h"

#include <gtest/gtest.h>

#include <string>

namespace rw {
namespace {

std::string Text(const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadWholeFile(path);
    return std::string(bytes.begin(), bytes.end());
}

size_t Count(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// The trace and its older half stay within the bound however much is
// written, the older half holds the lines just before the current file's,
// and nothing reaches the disk before a flush.
TEST(TraceLogTest, BoundedWithTheOlderHalfMovedAside) {
    test::CScratchDir dir;
    auto fs = CreateSystemFileSystem(false);
    const std::string config = dir.Path("Ringwarden.cfg");
    const std::string path = CTraceLog::PathBeside(config);
    const std::string older = CTraceLog::PathBeside(config, true);
    EXPECT_EQ(dir.Path("Ringwarden-trace.log"), path);
    EXPECT_EQ(dir.Path("Ringwarden-trace.1.log"), older);

    constexpr uint64_t kBound = 4000;
    CTraceLog trace(*fs);
    trace.Start(path, older, "trace started", kBound);
    const std::string line(50, 'x'); // 50 + 11 + 2 bytes a line
    int written = 0;
    struct Batch {
        int lines;
        bool olderExists;
    } batches[] = {{10, false}, {20, false}, {10, true}, {40, true}, {100, true}};
    for (const Batch& b : batches) {
        for (int i = 0; i < b.lines; ++i, ++written)
            trace.Add(static_cast<uint32_t>(written), line + " " + std::to_string(written));
        const std::string newest = line + " " + std::to_string(written - 1) + "\r\n";
        EXPECT_FALSE(test::FileExists(path) && Text(path).find(newest) != std::string::npos);
        ASSERT_TRUE(trace.Flush());
        EXPECT_EQ(b.olderExists, test::FileExists(older)) << written;
        const std::string now = Text(path);
        const std::string before = b.olderExists ? Text(older) : std::string();
        EXPECT_LE(now.size() + before.size(), kBound) << written;
        // The newest line is there at the end, and every line is whole.
        EXPECT_EQ(now.size() - newest.size(), now.rfind(newest));
        const bool header = now.rfind("trace started\r\n", 0) == 0;
        EXPECT_EQ(Count(now, "\r\n"), Count(now, line) + (header ? 1 : 0));
        EXPECT_TRUE(header || now.rfind("     ", 0) == 0) << now.substr(0, 20);
        // The older half ends just before the current file's first line.
        if (!header && !before.empty()) {
            const std::string first = now.substr(0, now.find("\r\n"));
            const int n = std::stoi(first.substr(first.rfind(' ') + 1));
            const std::string last = line + " " + std::to_string(n - 1) + "\r\n";
            EXPECT_EQ(before.size() - last.size(), before.rfind(last)) << n;
        }
    }
    trace.Stop();
    EXPECT_FALSE(trace.IsOn());
    trace.Add(1, "after the stop");
    EXPECT_EQ(0u, trace.PendingBytes());
}

// A text with line breaks stays one line; a trace that comes faster than
// the message loop writes is cut, and says so.
TEST(TraceLogTest, OneLinePerEntryAndBoundedMemory) {
    test::CScratchDir dir;
    auto fs = CreateSystemFileSystem(false);
    CTraceLog trace(*fs);
    const std::string path = dir.Path("t.log");
    trace.Start(path, dir.Path("t.1.log"), "header");
    trace.Add(7, "caller\r\nname");
    const std::string big(CTraceLog::kMaxPendingBytes / 2, 'b');
    for (int i = 0; i < 3; ++i)
        trace.Add(8, big);
    EXPECT_LE(trace.PendingBytes(), CTraceLog::kMaxPendingBytes);
    ASSERT_TRUE(trace.Flush());
    const std::string text = Text(path);
    EXPECT_EQ(0u, text.find("header\r\n         7 caller  name\r\n"));
    EXPECT_NE(std::string::npos, text.find("(2 lines dropped"));
}

} // namespace
} // namespace rw
