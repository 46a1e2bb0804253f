#include "CallVoice.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>

namespace rw::linesim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr uint64_t kForEver = UINT64_MAX;
// Larger files are refused: a caller's words are a few seconds.
constexpr size_t kMaxFileBytes = 64u << 20;

uint32_t Le32(const unsigned char* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
uint16_t Le16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

} // namespace

bool CCallVoice::AddFile(const std::string& path, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<unsigned char> bytes;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        bytes.insert(bytes.end(), buffer, buffer + in.gcount());
        if (bytes.size() > kMaxFileBytes) {
            error = path + " is too large";
            return false;
        }
    }
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0 ||
        std::memcmp(bytes.data() + 8, "WAVE", 4) != 0) {
        error = path + " is not a RIFF WAVE file";
        return false;
    }
    unsigned channels = 0, rate = 0, bits = 0, tag = 0;
    const unsigned char* data = nullptr;
    size_t dataSize = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const uint32_t size = Le32(&bytes[at + 4]);
        const size_t room = bytes.size() - at - 8;
        const size_t have = std::min<size_t>(size, room);
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0 && have >= 16) {
            tag = Le16(&bytes[at + 8]);
            channels = Le16(&bytes[at + 10]);
            rate = Le32(&bytes[at + 12]);
            bits = Le16(&bytes[at + 22]);
        } else if (std::memcmp(&bytes[at], "data", 4) == 0) {
            data = &bytes[at + 8];
            dataSize = have;
            break;
        }
        if (size > room)
            break;
        at += 8 + size + (size & 1);
    }
    if ((tag != 1 && tag != 0xFFFE) || bits != 16 || channels == 0 || rate < 4000 ||
        rate > 192000 || !data) {
        error = path + ": only 16-bit PCM WAV files can be said";
        return false;
    }
    auto samples = std::make_shared<std::vector<int16_t>>();
    const size_t frames = dataSize / (2 * channels);
    samples->reserve(frames);
    for (size_t i = 0; i < frames; ++i)
        samples->push_back(static_cast<int16_t>(Le16(data + i * 2 * channels)));
    AddSamples(std::move(samples), rate);
    return true;
}

void CCallVoice::AddSamples(std::shared_ptr<const std::vector<int16_t>> samples, unsigned rate) {
    Piece piece;
    piece.kind = Piece::Kind::Samples;
    piece.lengthMs = samples->size() * 1000 / rate;
    piece.samples = std::move(samples);
    piece.sourceRate = rate;
    m_pieces.push_back(std::move(piece));
}

void CCallVoice::AddTone(double f1, double f2, uint32_t ms) {
    Piece piece;
    piece.f1 = f1;
    piece.f2 = f2;
    piece.lengthMs = ms;
    m_pieces.push_back(piece);
}

void CCallVoice::AddNoise(uint32_t ms) {
    Piece piece;
    piece.kind = Piece::Kind::Noise;
    piece.lengthMs = ms;
    m_pieces.push_back(piece);
}

void CCallVoice::AddLineTone(LineTone tone) {
    // North American tones: dial 350+440 Hz steady; busy 480+620 Hz, half
    // a second on and off; reorder the same at a quarter second.
    Piece piece;
    piece.f1 = tone == LineTone::Dial ? 350 : 480;
    piece.f2 = tone == LineTone::Dial ? 440 : 620;
    piece.onMs = piece.offMs = tone == LineTone::Busy ? 500 : tone == LineTone::Reorder ? 250 : 0;
    piece.lengthMs = kForEver;
    m_pieces.push_back(piece);
}

int16_t CCallVoice::Next(Piece& piece, unsigned rate) {
    const uint64_t i = piece.done++;
    switch (piece.kind) {
    case Piece::Kind::Samples: {
        const size_t at = static_cast<size_t>(i * piece.sourceRate / rate);
        return at < piece.samples->size() ? (*piece.samples)[at] : 0;
    }
    case Piece::Kind::Noise: {
        // 150 ms sounded, 100 ms apart, a pause after every fourth.
        const uint64_t ms = i * 1000 / rate;
        const uint64_t inCycle = ms % 1300;
        const bool sounded = inCycle < 1000 && inCycle % 250 < 150;
        m_random = m_random * 1664525u + 1013904223u;
        const double white = (static_cast<double>(m_random >> 8) / (1u << 24) - 0.5) * 3.4;
        m_low = 0.6 * m_low + 0.4 * white;
        return static_cast<int16_t>(sounded ? 6000 * m_low : 0);
    }
    case Piece::Kind::Tone: {
        const uint64_t ms = i * 1000 / rate;
        if (piece.onMs && ms % (piece.onMs + piece.offMs) >= piece.onMs)
            return 0;
        const double t = static_cast<double>(i) / rate;
        double v = 5000 * std::sin(2 * kPi * piece.f1 * t);
        if (piece.f2 > 0)
            v += 5000 * std::sin(2 * kPi * piece.f2 * t);
        return static_cast<int16_t>(v);
    }
    }
    return 0;
}

void CCallVoice::Fill(int16_t* out, size_t count, unsigned rate) {
    for (size_t n = 0; n < count; ++n) {
        while (!m_pieces.empty() && m_pieces.front().lengthMs != kForEver &&
               m_pieces.front().done >= m_pieces.front().lengthMs * rate / 1000)
            m_pieces.pop_front();
        out[n] = m_pieces.empty() ? 0 : Next(m_pieces.front(), rate);
    }
}

} // namespace rw::linesim
