// Writes the acknowledgement tone that Ringwarden.exe carries as its wave
// resource: a RIFF WAVE file of 16-bit mono PCM at 22050 samples per second
// holding 6608 samples (13216 bytes) of a steady 1 kHz tone, with a few
// milliseconds of fade at each end so the tone starts and stops without a
// click. Runs on the build host: tonegen OUTPUT.wav
//
// With --message it writes the demo's blocking message instead: the three
// rising "special information" tones that tell a caller (and many an
// autodialler) that the number cannot be reached, twice, in the same format:
// tonegen --message OUTPUT.wav
//
// With --beep it writes the beep a blocked caller hears before leaving a
// message: half a second of 1 kHz, in the same format.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 22050;
constexpr std::uint32_t kSamples = 6608;
constexpr double kFrequency = 1000.0;
constexpr double kAmplitude = 0.5 * 32767.0;
constexpr std::uint32_t kFade = 110; // 5 ms

void Put16(std::vector<unsigned char>& out, std::uint32_t v) {
    out.push_back(static_cast<unsigned char>(v & 0xFF));
    out.push_back(static_cast<unsigned char>((v >> 8) & 0xFF));
}

void Put32(std::vector<unsigned char>& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

void PutTag(std::vector<unsigned char>& out, const char* tag) {
    out.insert(out.end(), tag, tag + 4);
}

// A tone of `count` samples with its fades, appended as 16-bit samples.
void PutTone(std::vector<std::int16_t>& samples, double frequency, std::uint32_t count) {
    const double pi = std::acos(-1.0);
    for (std::uint32_t i = 0; i < count; ++i) {
        double gain = 1.0;
        if (i < kFade)
            gain = double(i) / kFade;
        else if (count - 1 - i < kFade)
            gain = double(count - 1 - i) / kFade;
        const double v = kAmplitude * gain * std::sin(2.0 * pi * frequency * i / kRate);
        samples.push_back(static_cast<std::int16_t>(std::lround(v)));
    }
}

std::vector<std::int16_t> Acknowledgement() {
    std::vector<std::int16_t> samples;
    PutTone(samples, kFrequency, kSamples);
    return samples;
}

std::vector<std::int16_t> Beep() {
    std::vector<std::int16_t> samples;
    PutTone(samples, kFrequency, kRate / 2);
    return samples;
}

std::vector<std::int16_t> Message() {
    std::vector<std::int16_t> samples;
    for (int repeat = 0; repeat < 2; ++repeat) {
        for (double f : {913.8, 1370.6, 1776.7})
            PutTone(samples, f, kRate * 330 / 1000);
        samples.insert(samples.end(), kRate, 0); // a second of silence
    }
    return samples;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (argc != 2 && mode != "--message" && mode != "--beep") {
        std::fprintf(stderr, "usage: tonegen [--message|--beep] OUTPUT.wav\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    const std::vector<std::int16_t> samples = mode == "--message" ? Message()
                                              : mode == "--beep"  ? Beep()
                                                                  : Acknowledgement();
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    std::vector<unsigned char> out;
    PutTag(out, "RIFF");
    Put32(out, 4 + (8 + 16) + (8 + dataSize));
    PutTag(out, "WAVE");
    PutTag(out, "fmt ");
    Put32(out, 16);
    Put16(out, 1);         // PCM
    Put16(out, 1);         // mono
    Put32(out, kRate);     // samples per second
    Put32(out, kRate * 2); // bytes per second
    Put16(out, 2);         // block alignment
    Put16(out, 16);        // bits per sample
    PutTag(out, "data");
    Put32(out, dataSize);
    for (std::int16_t v : samples)
        Put16(out, static_cast<std::uint16_t>(v));
    std::FILE* f = std::fopen(path, "wb");
    if (!f) {
        std::perror(path);
        return 1;
    }
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    if (std::fclose(f) != 0 || !ok) {
        std::perror(path);
        return 1;
    }
    return 0;
}
