// Writes the acknowledgement tone that Ringwarden.exe carries as its wave
// resource: a RIFF WAVE file of 16-bit mono PCM at 22050 samples per second
// holding 6608 samples (13216 bytes) of a steady 1 kHz tone, with a few
// milliseconds of fade at each end so the tone starts and stops without a
// click. Runs on the build host: tonegen OUTPUT.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
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

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tonegen OUTPUT.wav\n");
        return 2;
    }
    const std::uint32_t dataSize = kSamples * 2;
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
    const double pi = std::acos(-1.0);
    for (std::uint32_t i = 0; i < kSamples; ++i) {
        double gain = 1.0;
        if (i < kFade)
            gain = double(i) / kFade;
        else if (kSamples - 1 - i < kFade)
            gain = double(kSamples - 1 - i) / kFade;
        const double v = kAmplitude * gain * std::sin(2.0 * pi * kFrequency * i / kRate);
        Put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
    }
    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    if (std::fclose(f) != 0 || !ok) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
