// The tone and silence detector against generated signals: when each kind
// of recording ends, why, whether it held speech, and how much it keeps.
#include "audio/SignalDetector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace rw {
namespace {

constexpr unsigned kRate = 8000;

// Builds a signal piece by piece, at 8 kHz.
class CSignal {
public:
    // `hiss`: the line's noise, under everything that follows.
    explicit CSignal(double hiss = 0) : m_hiss(hiss) {}
    CSignal& Silence(unsigned ms) {
        for (size_t i = 0, n = Count(ms); i < n; ++i)
            m_samples.push_back(Clip(m_hiss * m_noise(m_random)));
        return *this;
    }
    // Syllables of low-passed noise with the gaps of a voice between them:
    // 150 ms sounded, 100 ms apart, a 300 ms pause after every fourth.
    CSignal& Speech(unsigned ms, double level = 6000) {
        const size_t n = Count(ms);
        double low = 0;
        for (size_t i = 0; i < n; ++i) {
            const size_t inCycle = i % Count(1300);
            const bool sounded = inCycle < Count(1000) && inCycle % Count(250) < Count(150);
            low = 0.6 * low + 0.4 * m_noise(m_random);
            m_samples.push_back(Clip((sounded ? level * low : 0) + m_hiss * m_noise(m_random)));
        }
        return *this;
    }
    CSignal& Hiss(unsigned ms, double level) {
        for (size_t i = 0, n = Count(ms); i < n; ++i)
            m_samples.push_back(Clip(level * m_noise(m_random)));
        return *this;
    }
    // A tone of one or two frequencies, sounded `on` ms then quiet `off`
    // ms (0: steady), with hiss of `noise` under it all.
    CSignal& Tone(unsigned ms, double f1, double f2, unsigned on = 0, unsigned off = 0,
                  double noise = 0) {
        const size_t n = Count(ms);
        for (size_t i = 0; i < n; ++i) {
            const bool sounded = on == 0 || i % Count(on + off) < Count(on);
            const double t = static_cast<double>(i) / kRate;
            double v = 0;
            if (sounded) {
                v = 5000 * std::sin(2 * std::numbers::pi * f1 * t);
                if (f2 > 0)
                    v += 5000 * std::sin(2 * std::numbers::pi * f2 * t);
            }
            m_samples.push_back(Clip(v + (noise + m_hiss) * m_noise(m_random)));
        }
        return *this;
    }
    const std::vector<int16_t>& Samples() const { return m_samples; }

private:
    static size_t Count(unsigned ms) { return static_cast<size_t>(ms) * kRate / 1000; }
    static int16_t Clip(double v) { return static_cast<int16_t>(std::clamp(v, -32767.0, 32767.0)); }

    double m_hiss;
    std::vector<int16_t> m_samples;
    std::mt19937 m_random{24};
    std::normal_distribution<double> m_noise{0, 1};
};

TEST(SignalDetector, EndsAndKeeps) {
    struct Case {
        const char* name;
        CSignal signal;
        SignalEnd end;
        unsigned endMs; // when it ended, within 200 ms (ignored for None)
        bool speech;
        unsigned keepMinMs, keepMaxMs;
    } cases[] = {
        {"silence after speech", CSignal().Speech(3000).Silence(6000),
         SignalEnd::SilenceAfterSpeech, 8000, true, 2900, 3300},
        {"dial tone (350+440)", CSignal().Speech(3000).Tone(5000, 350, 440), SignalEnd::Tone, 5000,
         true, 2900, 3300},
        {"busy tone (480+620, 0.5 s bursts)", CSignal().Speech(3000).Tone(5000, 480, 620, 500, 500),
         SignalEnd::Tone, 5000, true, 2900, 3300},
        {"reorder tone (480+620, 0.25 s bursts)",
         CSignal().Speech(3000).Tone(5000, 480, 620, 250, 250), SignalEnd::Tone, 5000, true, 2800,
         3050},
        {"dial tone (425)", CSignal().Speech(3000).Tone(5000, 425, 0), SignalEnd::Tone, 5000, true,
         2800, 3050},
        {"busy tone (425, 0.5 s bursts)", CSignal().Speech(3000).Tone(5000, 425, 0, 500, 500),
         SignalEnd::Tone, 5000, true, 2900, 3300},
        {"dial tone (350+450)", CSignal().Speech(3000).Tone(5000, 350, 450), SignalEnd::Tone, 5000,
         true, 2900, 3300},
        {"busy tone (400, 0.375 s bursts)", CSignal().Speech(3000).Tone(5000, 400, 0, 375, 375),
         SignalEnd::Tone, 5000, true, 2900, 3300},
        {"dial tone in line noise", CSignal(500).Speech(3000).Tone(5000, 350, 440), SignalEnd::Tone,
         5000, true, 2900, 3300},
        {"busy tone in line noise", CSignal(500).Speech(3000).Tone(5000, 480, 620, 500, 500),
         SignalEnd::Tone, 5000, true, 2900, 3300},
        {"dial tone and nothing said", CSignal().Tone(5000, 350, 440), SignalEnd::Tone, 2000, false,
         0, 0},
        {"busy tone in line noise and nothing said", CSignal(500).Tone(5000, 480, 620, 500, 500),
         SignalEnd::Tone, 2000, false, 0, 0},
        {"a line that turns noisy after speech", CSignal().Speech(3000).Hiss(8000, 300),
         SignalEnd::SilenceAfterSpeech, 8600, true, 2900, 4000},
        {"a pause shorter than the limit", CSignal().Speech(3000).Silence(4000).Speech(2000),
         SignalEnd::None, 0, true, 9000, 9000},
        {"a tone shorter than the limit, then speech",
         CSignal().Speech(3000).Tone(1500, 350, 440).Speech(2000).Silence(6000),
         SignalEnd::SilenceAfterSpeech, 11450, true, 6350, 6750},
        {"silence only", CSignal().Silence(10000), SignalEnd::None, 0, false, 10000, 10000},
        {"steady hiss only", CSignal().Hiss(10000, 1500), SignalEnd::None, 0, false, 10000, 10000},
        {"speech over hiss, then hiss", CSignal(300).Silence(1000).Speech(3000).Silence(6000),
         SignalEnd::SilenceAfterSpeech, 9000, true, 3900, 4300},
        {"a word too short to be a message", CSignal().Speech(300).Silence(8000), SignalEnd::None,
         0, false, 8300, 8300},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        CSignalDetector detector(kRate);
        const auto& samples = c.signal.Samples();
        SignalEnd end = SignalEnd::None;
        size_t endAt = 0;
        // Uneven pieces, as a device's buffers need not match the blocks.
        for (size_t at = 0; at < samples.size();) {
            const size_t n = std::min<size_t>(333, samples.size() - at);
            const SignalEnd now = detector.Feed(samples.data() + at, n);
            at += n;
            if (now != SignalEnd::None) {
                EXPECT_EQ(end, SignalEnd::None) << "told twice";
                end = now;
                endAt = at;
            }
        }
        EXPECT_EQ(end, c.end);
        if (c.end != SignalEnd::None) {
            EXPECT_NEAR(static_cast<double>(endAt) * 1000 / kRate, c.endMs, 200);
        }
        EXPECT_EQ(detector.HeardSpeech(), c.speech);
        const double keptMs = static_cast<double>(detector.SamplesToKeep()) * 1000 / kRate;
        EXPECT_GE(keptMs, c.keepMinMs);
        EXPECT_LE(keptMs, c.keepMaxMs);
    }
}

// A message still going on keeps everything but a tone it has begun.
TEST(SignalDetector, KeepsAllButATrailingTone) {
    CSignalDetector detector(kRate);
    const auto speech = CSignal().Speech(2000).Samples();
    detector.Feed(speech.data(), speech.size());
    EXPECT_EQ(detector.SamplesToKeep(), speech.size());
    const auto tone = CSignal().Tone(1000, 350, 440).Samples();
    detector.Feed(tone.data(), tone.size());
    EXPECT_NEAR(static_cast<double>(detector.SamplesToKeep()), speech.size(), kRate / 20);
}

// A spoken sentence (made at build time by espeak-ng) is speech: silence
// after it and the exchange's tone after it end the recording, and neither
// cuts the sentence short.
TEST(SignalDetector, ASpokenSentence) {
#ifndef RW_SPEECH_WAV
    GTEST_SKIP() << "built without espeak-ng and sox";
#else
    std::ifstream in(RW_SPEECH_WAV, std::ios::binary);
    const std::vector<char> file((std::istreambuf_iterator<char>(in)), {});
    ASSERT_GT(file.size(), 44u + kRate);
    std::vector<int16_t> speech((file.size() - 44) / 2);
    std::memcpy(speech.data(), file.data() + 44, speech.size() * 2);
    const double spokenMs = speech.size() * 1000.0 / kRate;
    for (const bool tone : {false, true}) {
        SCOPED_TRACE(tone ? "then dial tone" : "then silence");
        std::vector<int16_t> samples = speech;
        const auto after =
            tone ? CSignal().Tone(6000, 350, 440).Samples() : CSignal().Silence(6000).Samples();
        samples.insert(samples.end(), after.begin(), after.end());
        CSignalDetector detector(kRate);
        SignalEnd end = SignalEnd::None;
        size_t at = 0;
        for (; at < samples.size() && end == SignalEnd::None; at += 160)
            end = detector.Feed(samples.data() + at, std::min<size_t>(160, samples.size() - at));
        EXPECT_EQ(end, tone ? SignalEnd::Tone : SignalEnd::SilenceAfterSpeech);
        EXPECT_TRUE(detector.HeardSpeech());
        const double keptMs = detector.SamplesToKeep() * 1000.0 / kRate;
        EXPECT_GT(keptMs, spokenMs - 600); // espeak ends on a short pause
        EXPECT_LE(keptMs, spokenMs + 300);
        const double endMs = at * 1000.0 / kRate;
        EXPECT_LT(endMs, spokenMs + (tone ? 2300 : 5300));
    }
#endif
}

} // namespace
} // namespace rw
