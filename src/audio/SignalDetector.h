// Listens to a message as it is recorded and says when it should end and
// how much of it to keep. Portable: it sees 16-bit mono samples and nothing
// of where they came from.
//
// The samples are judged in blocks of 25 ms, each one of:
// - quiet: nothing above the noise floor (a fixed floor, or 6 dB above the
//   quietest recent block, whichever is higher, so a hissing line's steady
//   noise is not taken for a voice);
// - tone: above the floor, with most of its power at the frequencies of
//   the call-progress tones (350, 440, 480 and 620 Hz, and 400, 425 and
//   450 Hz), measured by Goertzel filters;
// - speech: anything else above the floor.
//
// A recording ends when 5 s of non-speech follow speech, or when dial,
// busy or reorder tone has carried on for 2 s (busy and reorder tones
// break into bursts, so quiet gaps of up to 0.75 s within the tone do not
// end it). Many modems never report that the caller hung up; the exchange's
// tone is then the only sign. A recording whose speech adds up to no more
// than half a second holds no message.
//
// One block of speech between tone and quiet is taken for the edge of a
// tone burst (a Goertzel filter over half a burst sees a smeared spectrum),
// not for a voice.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rw {

enum class SignalBlock { Quiet, Speech, Tone };
enum class SignalEnd { None, SilenceAfterSpeech, Tone };

class CSignalDetector {
public:
    explicit CSignalDetector(unsigned sampleRate);

    // Feeds the next samples. Returns why the recording should end, once,
    // the first time it should; None before and after.
    SignalEnd Feed(const int16_t* samples, size_t count);

    // More than half a second of speech has been heard.
    bool HeardSpeech() const { return m_speechBlocks * kBlockMs > kSpeechMs; }
    // How many of the samples fed so far the message keeps: everything up
    // to the end of its last speech plus a short tail, without the tone or
    // silence that ended it. All of it while speech goes on.
    uint64_t SamplesToKeep() const;
    uint64_t SamplesFed() const { return m_fed; }

    // How a block of samples sounds against a floor (in mean power, the
    // square of an RMS level). Exposed for tests.
    static SignalBlock Classify(const int16_t* samples, size_t count, unsigned sampleRate,
                                double floorPower);

    static constexpr unsigned kBlockMs = 25;
    static constexpr unsigned kSpeechMs = 500;
    static constexpr unsigned kSilenceAfterSpeechMs = 5000;
    static constexpr unsigned kToneMs = 2000;
    static constexpr unsigned kToneGapMs = 750;
    static constexpr unsigned kTailMs = 250;
    // The fixed floor: -45 dBFS RMS.
    static constexpr double kFloorPower = 184.0 * 184.0;

private:
    static SignalBlock Measure(const int16_t* samples, size_t count, unsigned sampleRate,
                               double floorPower, double& power, double& tone);
    SignalEnd Judge(SignalBlock kind);

    unsigned m_rate;
    size_t m_blockSize;
    int16_t m_pending[2048]{}; // a partial block, at most kBlockMs at 80 kHz
    size_t m_pendingCount = 0;
    uint64_t m_fed = 0;
    uint64_t m_blocks = 0; // blocks judged
    double m_noise = -1;   // the quietest recent block's power; -1: none yet

    unsigned m_speechBlocks = 0;
    uint64_t m_lastSpeechEnd = 0; // the block after the last speech block
    bool m_edge = false;          // the last block was one speech block in a tone
    // The tone heard, if any: where it started, its own blocks and the
    // latest one.
    bool m_inTone = false;
    uint64_t m_toneStart = 0, m_toneLast = 0;
    unsigned m_toneBlocks = 0;
    bool m_ended = false;
    uint64_t m_keepBlocks = 0; // set when it ended
};

} // namespace rw
