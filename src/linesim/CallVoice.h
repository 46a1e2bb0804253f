// What a simulated caller says into the call's wave input: a queue of
// pieces (a WAV file's samples, a tone, noise with a voice's rhythm) played
// one after the other, then silence. A caller waits for the beep: what is
// said before the call's wave input records waits for it. The tone of a
// line whose caller has gone (dial, busy, reorder) goes on for ever.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace rw::linesim {

class CCallVoice {
public:
    enum class LineTone { Dial, Busy, Reorder };

    // Reads a WAV file of 16-bit PCM (mono, or the first channel); false
    // with the reason when it cannot be used.
    bool AddFile(const std::string& path, std::string& error);
    void AddSamples(std::shared_ptr<const std::vector<int16_t>> samples, unsigned rate);
    // f2 0: one frequency.
    void AddTone(double f1, double f2, uint32_t ms);
    // Bursts of noise with the gaps of speech between them.
    void AddNoise(uint32_t ms);
    // The caller has gone and the line carries the exchange's tone.
    void AddLineTone(LineTone tone);

    // The next `count` samples at `rate`.
    void Fill(int16_t* out, size_t count, unsigned rate);

private:
    struct Piece {
        enum class Kind { Samples, Tone, Noise } kind = Kind::Tone;
        std::shared_ptr<const std::vector<int16_t>> samples;
        unsigned sourceRate = 8000;
        double f1 = 0, f2 = 0;
        uint32_t onMs = 0, offMs = 0; // 0: steady
        uint64_t lengthMs = 0;        // UINT64_MAX: for ever
        uint64_t done = 0;            // samples given, at the rate asked
    };
    int16_t Next(Piece& piece, unsigned rate);

    std::deque<Piece> m_pieces;
    uint32_t m_random = 24;
    double m_low = 0;
};

} // namespace rw::linesim
