#include "AllocationHook.h"
#include "audio/DebugOutput.h"
#include "audio/WavePlayer.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

namespace rw {
namespace {

using Bytes = std::vector<unsigned char>;

std::size_t g_largestAllocation = 0;
std::string g_debugText;
void CaptureDebugOutput(const char* text) {
    g_debugText += text;
}

void Put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

void PutChunk(Bytes& out, const char* id, const Bytes& body, std::uint32_t declared = ~0u) {
    out.insert(out.end(), id, id + 4);
    Put32(out, declared == ~0u ? static_cast<std::uint32_t>(body.size()) : declared);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

Bytes Riff(const char* form, const Bytes& chunks) {
    Bytes out{'R', 'I', 'F', 'F'};
    Put32(out, static_cast<std::uint32_t>(4 + chunks.size()));
    out.insert(out.end(), form, form + 4);
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

Bytes Fmt(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
          const Bytes& extension = {}) {
    Bytes f;
    const std::uint16_t align = static_cast<std::uint16_t>(channels * bits / 8);
    auto put16 = [&](std::uint16_t v) {
        f.push_back(static_cast<unsigned char>(v));
        f.push_back(static_cast<unsigned char>(v >> 8));
    };
    put16(tag);
    put16(channels);
    Put32(f, rate);
    Put32(f, rate * align);
    put16(align);
    put16(bits);
    if (!extension.empty()) {
        put16(static_cast<std::uint16_t>(extension.size()));
        f.insert(f.end(), extension.begin(), extension.end());
    }
    return f;
}

Bytes Samples(std::size_t n) {
    Bytes s(n);
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<unsigned char>(i * 7);
    return s;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes ChunkBytes(const char* id, const Bytes& body, std::uint32_t declared = ~0u) {
    Bytes out;
    PutChunk(out, id, body, declared);
    return out;
}

std::string TempPath(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

class AudioTest : public testing::Test {
protected:
    void SetUp() override {
        g_debugText.clear();
        g_debugText.reserve(4096); // capturing must not count as the loader's allocation
        m_previousSink = SetDebugOutputSink(CaptureDebugOutput);
    }
    void TearDown() override { SetDebugOutputSink(m_previousSink); }

    // Loads the bytes through a file; records the largest allocation made.
    bool Load(CWavePlayer& player, const Bytes& bytes) {
        const std::string path = TempPath("rw-audio-test.wav");
        WriteFile(path, bytes);
        g_debugText.clear();
        test::ArmAllocationHook();
        const bool ok = player.LoadFromFile(path.c_str());
        g_largestAllocation = test::DisarmAllocationHook();
        return ok;
    }

    DebugOutputSink m_previousSink = nullptr;
};

TEST_F(AudioTest, LoadsGoodFilesWithExtraChunks) {
    const Bytes pcm16 = Fmt(1, 2, 44100, 16);
    const Bytes pcm8 = Fmt(1, 1, 8000, 8);
    const Bytes extended = Fmt(2, 1, 8000, 4, Bytes(32, 0xAB)); // ADPCM-like, 50-byte fmt
    struct Case {
        const char* name;
        Bytes file;
        Bytes format;
        std::size_t samples;
    } cases[] = {
        {"16-bit stereo",
         Riff("WAVE", Concat({ChunkBytes("fmt ", pcm16), ChunkBytes("data", Samples(400))})), pcm16,
         400},
        {"8-bit mono, odd size",
         Riff("WAVE", Concat({ChunkBytes("fmt ", pcm8), ChunkBytes("data", Samples(301))})), pcm8,
         301},
        {"extended fmt",
         Riff("WAVE", Concat({ChunkBytes("fmt ", extended), ChunkBytes("data", Samples(64))})),
         extended, 64},
        {"extra chunks",
         Riff("WAVE", Concat({ChunkBytes("LIST", Samples(33)), ChunkBytes("fmt ", pcm16),
                              ChunkBytes("fact", Samples(4)), ChunkBytes("data", Samples(96))})),
         pcm16, 96},
    };
    CWavePlayer player;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(player, c.file));
        ASSERT_EQ(player.GetFormatSize(), c.format.size());
        EXPECT_EQ(0, std::memcmp(player.GetFormat(), c.format.data(), c.format.size()));
        const Bytes expected = Samples(c.samples);
        ASSERT_EQ(player.GetSampleSize(), expected.size());
        EXPECT_EQ(0, std::memcmp(player.GetSamples(), expected.data(), expected.size()));
        EXPECT_EQ(g_debugText, "");
    }
    player.Unload();
    EXPECT_EQ(player.GetSamples(), nullptr);
    EXPECT_EQ(player.GetSampleSize(), 0u);
    EXPECT_EQ(player.GetFormat(), nullptr);
}

TEST_F(AudioTest, RefusesBadFilesWithTheirDebugText) {
    const Bytes fmt = Fmt(1, 1, 22050, 16);
    const Bytes good =
        Riff("WAVE", Concat({ChunkBytes("fmt ", fmt), ChunkBytes("data", Samples(100))}));
    Bytes truncated = good;
    truncated.resize(truncated.size() - 10);
    struct Case {
        const char* name;
        Bytes file;
        const char* text;
    } cases[] = {
        {"RIFF that is not WAVE",
         Riff("AVI ", Concat({ChunkBytes("fmt ", fmt), ChunkBytes("data", Samples(100))})), ""},
        {"data before fmt",
         Riff("WAVE", Concat({ChunkBytes("data", Samples(100)), ChunkBytes("fmt ", fmt)})), ""},
        {"no data chunk", Riff("WAVE", ChunkBytes("fmt ", fmt)), ""},
        {"zero-length data",
         Riff("WAVE", Concat({ChunkBytes("fmt ", fmt), ChunkBytes("data", {})})),
         "Data chunk actually has no data\n"},
        {"truncated data", truncated, "mmioRead() -- Failed to read waveform data subchunk\n"},
        {"data claims 4 GB",
         Riff("WAVE",
              Concat({ChunkBytes("fmt ", fmt), ChunkBytes("data", Samples(20), 0xFFFFFFF0)})),
         "mmioRead() -- Failed to read waveform data subchunk\n"},
        {"fmt claims 2 GB", Riff("WAVE", ChunkBytes("fmt ", fmt, 0x7FFFFFF0)),
         "mmioRead() -- Failed to read FMT chunk\n"},
        {"fmt runs past the end",
         Riff("WAVE", ChunkBytes("fmt ", Bytes(fmt.begin(), fmt.begin() + 8), 16)),
         "mmioRead() -- Failed to read FMT chunk\n"},
        {"skipped chunk whose size wraps round",
         Riff("WAVE", Concat({ChunkBytes("fmt ", fmt), ChunkBytes("junk", Samples(8), 0xFFFFFFF8),
                              ChunkBytes("data", Samples(100))})),
         ""},
        {"skipped chunk of 4 GB - 2",
         Riff("WAVE", Concat({ChunkBytes("LIST", Samples(8), 0xFFFFFFFE), ChunkBytes("fmt ", fmt),
                              ChunkBytes("data", Samples(100))})),
         ""},
        {"not RIFF at all", Bytes(100, 'x'), ""},
        {"empty file", {}, ""},
    };
    CWavePlayer player;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Load(player, good)); // a failed load must drop earlier data
        g_debugText.clear();
        EXPECT_FALSE(Load(player, c.file));
        EXPECT_EQ(g_debugText, c.text);
        EXPECT_EQ(player.GetSamples(), nullptr);
        EXPECT_EQ(player.GetFormat(), nullptr);
        EXPECT_LE(g_largestAllocation, c.file.size() + 64);
    }
}

TEST_F(AudioTest, MissingFileWritesThePathInThreeParts) {
    std::vector<std::string> writes;
    static std::vector<std::string>* s_writes;
    s_writes = &writes;
    SetDebugOutputSink([](const char* text) { s_writes->push_back(text); });
    CWavePlayer player;
    const std::string path = TempPath("rw-no-such-file.wav");
    EXPECT_FALSE(player.LoadFromFile(path.c_str()));
    EXPECT_EQ(writes,
              (std::vector<std::string>{"mmioOpen() -- Failed to open file: ", path, "\n"}));
}

TEST_F(AudioTest, BuiltInToneAndMissingResource) {
    CWavePlayer player;
    ASSERT_TRUE(player.LoadFromResource(GetModuleHandleA(nullptr), IDR_ACK_TONE));
    EXPECT_EQ(g_debugText, "");
    ASSERT_EQ(player.GetSampleSize(), 13216u);
    ASSERT_GE(player.GetFormatSize(), 16u);
    const auto* format = reinterpret_cast<const WAVEFORMATEX*>(player.GetFormat());
    EXPECT_EQ(format->wFormatTag, WAVE_FORMAT_PCM);
    EXPECT_EQ(format->nChannels, 1);
    EXPECT_EQ(format->nSamplesPerSec, 22050u);
    EXPECT_EQ(format->nAvgBytesPerSec, 44100u);
    EXPECT_EQ(format->nBlockAlign, 2);
    EXPECT_EQ(format->wBitsPerSample, 16);
    // A steady tone: loud throughout, not silence.
    const auto* samples = reinterpret_cast<const short*>(player.GetSamples());
    int peak = 0;
    for (int i = 1000; i < 1100; ++i)
        peak = std::max(peak, std::abs(static_cast<int>(samples[i])));
    EXPECT_GT(peak, 8000);

    EXPECT_FALSE(player.LoadFromResource(GetModuleHandleA(nullptr), 4242));
    EXPECT_EQ(g_debugText, "Failed to find 'wave' resource #4242\n");
    EXPECT_EQ(player.GetSamples(), nullptr);
}

// Mutations of a few seed files, from a fixed seed: every run loads the
// same few thousand files.
class Rng {
public:
    std::uint32_t Next() {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    std::size_t Below(std::size_t n) { return n ? Next() % n : 0; }

private:
    std::uint32_t m_state = 0x2545F491;
};

Bytes Mutate(const Bytes& seed, Rng& rng) {
    Bytes b = seed;
    switch (rng.Below(4)) {
    case 0: // byte flips
        for (std::size_t n = 1 + rng.Below(4); n-- && !b.empty();)
            b[rng.Below(b.size())] ^= static_cast<unsigned char>(1 + rng.Below(255));
        break;
    case 1: // truncation
        b.resize(rng.Below(b.size() + 1));
        break;
    case 2: { // a size field rewritten: RIFF's or one of the chunks'
        // Sizes near 4 GB, whose padded skip wraps round, included: the
        // chunk search must still end.
        static const std::uint32_t sizes[] = {0,          1,          15,         16,
                                              17,         0x7FFFFFFF, 0x80000000, 0xFFFFFFF0,
                                              0xFFFFFFF7, 0xFFFFFFF8, 0xFFFFFFFE, 0xFFFFFFFF};
        std::size_t at = 4;
        if (b.size() > 12 && rng.Below(3)) {
            at = 12;
            for (std::size_t hops = rng.Below(4); hops-- && at + 8 <= b.size();) {
                std::uint32_t size;
                std::memcpy(&size, &b[at + 4], 4);
                if (size > b.size())
                    break;
                at += 8 + size + (size & 1);
            }
            at += 4;
        }
        if (at + 4 <= b.size()) {
            const std::uint32_t v = rng.Below(2) ? sizes[rng.Below(std::size(sizes))] : rng.Next();
            std::memcpy(&b[at], &v, 4);
        }
        break;
    }
    default: { // two chunk-sized spans swapped
        if (b.size() < 24)
            break;
        const std::size_t len = 8 + rng.Below(16);
        const std::size_t a = 12 + rng.Below(b.size() - 12 - len + 1);
        const std::size_t c = 12 + rng.Below(b.size() - 12 - len + 1);
        Bytes tmp(b.begin() + a, b.begin() + a + len);
        std::copy(b.begin() + c, b.begin() + c + len, b.begin() + a);
        std::copy(tmp.begin(), tmp.end(), b.begin() + c);
        break;
    }
    }
    return b;
}

TEST_F(AudioTest, MutatedFilesNeverCrashOrOverAllocate) {
    const Bytes fmt = Fmt(1, 1, 22050, 16);
    const std::vector<Bytes> seeds = {
        Riff("WAVE", Concat({ChunkBytes("fmt ", fmt), ChunkBytes("data", Samples(200))})),
        Riff("WAVE", Concat({ChunkBytes("LIST", Samples(9)),
                             ChunkBytes("fmt ", Fmt(2, 1, 8000, 4, Bytes(8, 1))),
                             ChunkBytes("fact", Samples(4)), ChunkBytes("data", Samples(77))})),
        Riff("WAVE",
             Concat({ChunkBytes("fmt ", Fmt(1, 2, 8000, 8)), ChunkBytes("data", Samples(1))})),
    };
    Rng rng;
    CWavePlayer player;
    int loaded = 0;
    for (int i = 0; i < 3000; ++i) {
        const Bytes file = Mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], rng);
        const bool ok = Load(player, file);
        ASSERT_LE(g_largestAllocation, file.size() + 64) << "variant " << i;
        if (ok) {
            ++loaded;
            ASSERT_LE(player.GetSampleSize(), file.size()) << "variant " << i;
            ASSERT_LE(player.GetFormatSize(), file.size()) << "variant " << i;
        } else {
            ASSERT_EQ(player.GetSamples(), nullptr);
        }
    }
    // The set must exercise the success path too, not only refusals.
    EXPECT_GT(loaded, 100);
}

} // namespace
} // namespace rw
