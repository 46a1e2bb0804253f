#include "audio/SignalDetector.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <numbers>

namespace rw {
namespace {

constexpr double kToneFrequencies[] = {350, 440, 480, 620, 400, 425, 450};
enum { F350, F440, F480, F620, F400, F425, F450 };
// A block is tone when this share of its power lies in one of the tones.
constexpr double kToneShare = 0.6;
// The quietest recent block's power may rise 6 dB a second, so that the
// floor follows a line that grows noisier without learning a voice.
constexpr double kNoiseRisePerBlock = 1.0351;
constexpr unsigned kMinRate = 4000, kMaxRate = 80000;

// The mean power of a sinusoid at `frequency` in the block, by a Goertzel
// filter: A^2/2 for a sine of amplitude A.
double TonePower(const int16_t* samples, size_t count, unsigned rate, double frequency) {
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / rate);
    double s1 = 0, s2 = 0;
    for (size_t i = 0; i < count; ++i) {
        const double s = samples[i] + coefficient * s1 - s2;
        s2 = s1;
        s1 = s;
    }
    const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
    return 2 * power / (static_cast<double>(count) * count);
}

double MeanPower(const int16_t* samples, size_t count) {
    double sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += static_cast<double>(samples[i]) * samples[i];
    return count ? sum / count : 0;
}

} // namespace

CSignalDetector::CSignalDetector(unsigned sampleRate)
    : m_rate(std::clamp(sampleRate, kMinRate, kMaxRate)), m_blockSize(m_rate * kBlockMs / 1000) {}

SignalBlock CSignalDetector::Classify(const int16_t* samples, size_t count, unsigned sampleRate,
                                      double floorPower) {
    double power = 0, tone = 0;
    return Measure(samples, count, sampleRate, floorPower, power, tone);
}

SignalBlock CSignalDetector::Measure(const int16_t* samples, size_t count, unsigned sampleRate,
                                     double floorPower, double& power, double& tone) {
    power = MeanPower(samples, count);
    tone = 0;
    if (count == 0 || power <= floorPower)
        return SignalBlock::Quiet;
    double p[std::size(kToneFrequencies)];
    for (size_t i = 0; i < std::size(kToneFrequencies); ++i)
        p[i] = TonePower(samples, count, sampleRate, kToneFrequencies[i]);
    // Dial (350+440), busy and reorder (480+620), the British dial tone
    // (350+450), and the single tones of most other exchanges.
    tone = std::max({p[F350] + p[F440], p[F480] + p[F620], p[F350] + p[F450], p[F400], p[F425],
                     p[F450], p[F440]});
    if (power >= kFloorPower && tone >= kToneShare * power)
        return SignalBlock::Tone;
    return SignalBlock::Speech;
}

SignalEnd CSignalDetector::Feed(const int16_t* samples, size_t count) {
    SignalEnd end = SignalEnd::None;
    m_fed += count;
    while (count > 0) {
        const size_t take = std::min(count, m_blockSize - m_pendingCount);
        std::copy_n(samples, take, m_pending + m_pendingCount);
        m_pendingCount += take;
        samples += take;
        count -= take;
        if (m_pendingCount < m_blockSize)
            break;
        m_pendingCount = 0;
        const double floor = std::max(kFloorPower, m_noise < 0 ? 0.0 : 4 * m_noise);
        double power = 0, tone = 0;
        const SignalBlock kind = Measure(m_pending, m_blockSize, m_rate, floor, power, tone);
        // The line's noise is learnt from what is not tone: a tone's
        // blocks would teach it the tone. It rises from the fixed floor's
        // level at least, never stuck at a digital silence's 0.
        if (kind != SignalBlock::Tone) {
            if (m_noise < 0 || power < m_noise)
                m_noise = power;
            else
                m_noise = std::max(m_noise, kFloorPower / 4) * kNoiseRisePerBlock;
        }
        const SignalEnd now = Judge(kind);
        ++m_blocks;
        if (now != SignalEnd::None) {
            m_ended = true;
            end = now;
        }
    }
    return end;
}

SignalEnd CSignalDetector::Judge(SignalBlock kind) {
    const uint64_t block = m_blocks;
    switch (kind) {
    case SignalBlock::Speech:
        if (m_inTone && !m_edge) {
            m_edge = true; // perhaps a burst's edge: the next block tells
            break;
        }
        if (m_inTone) { // two blocks of it: a voice over the tone's end
            m_inTone = false;
            ++m_speechBlocks;
        }
        m_edge = false;
        ++m_speechBlocks;
        m_lastSpeechEnd = block + 1;
        break;
    case SignalBlock::Tone:
        if (!m_inTone) {
            m_inTone = true;
            m_toneStart = block;
            m_toneBlocks = 0;
        }
        ++m_toneBlocks;
        m_toneLast = block;
        m_edge = false;
        break;
    case SignalBlock::Quiet:
        m_edge = false;
        if (m_inTone && (block - m_toneLast) * kBlockMs > kToneGapMs)
            m_inTone = false;
        break;
    }
    if (m_ended)
        return SignalEnd::None;
    const uint64_t tail = kTailMs / kBlockMs;
    if (m_inTone && (block + 1 - m_toneStart) * kBlockMs >= kToneMs &&
        m_toneBlocks * kBlockMs * 5 >= kToneMs * 2) {
        m_keepBlocks = std::min(m_lastSpeechEnd + tail, m_toneStart);
        return SignalEnd::Tone;
    }
    if (HeardSpeech() && (block + 1 - m_lastSpeechEnd) * kBlockMs >= kSilenceAfterSpeechMs) {
        m_keepBlocks = m_lastSpeechEnd + tail;
        return SignalEnd::SilenceAfterSpeech;
    }
    return SignalEnd::None;
}

uint64_t CSignalDetector::SamplesToKeep() const {
    if (m_ended)
        return std::min<uint64_t>(m_fed, m_keepBlocks * m_blockSize);
    if (m_inTone)
        return std::min<uint64_t>(m_fed, m_toneStart * m_blockSize);
    return m_fed;
}

} // namespace rw
