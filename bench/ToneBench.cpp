// How soon the recorder hears that the caller has gone: for each of the
// exchange's tones, the audio time from the tone's start to the end of the
// recording (printed as the counter tone_to_end_ms), and how many times
// faster than life the detector hears (times_real_time).
#include "audio/SignalDetector.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr unsigned kRate = 8000;

// Two seconds of speech-like noise, then the tone for ten seconds.
std::vector<int16_t> SpeechThenTone(double f1, double f2, unsigned onMs, unsigned offMs) {
    std::vector<int16_t> s;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0, 1);
    double low = 0;
    for (unsigned i = 0; i < 2 * kRate; ++i) {
        const unsigned ms = i * 1000 / kRate % 1300;
        low = 0.6 * low + 0.4 * noise(random);
        s.push_back(static_cast<int16_t>(ms < 1000 && ms % 250 < 150 ? 6000 * low : 0));
    }
    for (unsigned i = 0; i < 10 * kRate; ++i) {
        const unsigned ms = i * 1000 / kRate;
        const bool on = onMs == 0 || ms % (onMs + offMs) < onMs;
        const double t = static_cast<double>(i) / kRate;
        double v = on ? 5000 * std::sin(2 * std::numbers::pi * f1 * t) : 0;
        if (on && f2 > 0)
            v += 5000 * std::sin(2 * std::numbers::pi * f2 * t);
        s.push_back(static_cast<int16_t>(v + 100 * noise(random)));
    }
    return s;
}

void ToneToEnd(benchmark::State& state, double f1, double f2, unsigned onMs, unsigned offMs) {
    const std::vector<int16_t> signal = SpeechThenTone(f1, f2, onMs, offMs);
    double endMs = -1;
    int64_t samples = 0;
    for (auto _ : state) {
        rw::CSignalDetector detector(kRate);
        size_t at = 0;
        // 100 ms buffers, as the recorder gets them.
        for (; at < signal.size(); at += 800)
            if (detector.Feed(signal.data() + at, 800) != rw::SignalEnd::None)
                break;
        endMs = (at + 800) * 1000.0 / kRate - 2000;
        samples += static_cast<int64_t>(at + 800);
        benchmark::DoNotOptimize(detector);
    }
    state.counters["tone_to_end_ms"] = endMs;
    // Samples heard per second of work: how many times faster than life.
    state.counters["times_real_time"] =
        benchmark::Counter(static_cast<double>(samples) / kRate, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(ToneToEnd, dial_350_440, 350, 440, 0, 0);
BENCHMARK_CAPTURE(ToneToEnd, busy_480_620, 480, 620, 500, 500);
BENCHMARK_CAPTURE(ToneToEnd, reorder_480_620, 480, 620, 250, 250);
BENCHMARK_CAPTURE(ToneToEnd, dial_425, 425, 0, 0, 0);
BENCHMARK_CAPTURE(ToneToEnd, busy_425, 425, 0, 500, 500);
BENCHMARK_CAPTURE(ToneToEnd, dial_350_450, 350, 450, 0, 0);
BENCHMARK_CAPTURE(ToneToEnd, busy_400, 400, 0, 375, 375);

} // namespace

BENCHMARK_MAIN();
