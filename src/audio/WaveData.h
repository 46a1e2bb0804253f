// What a RIFF WAVE file or resource holds once read: its format block and
// its samples. It never changes after loading, so players share one copy
// (see CWavePlayer::Load) for as long as any of them needs it.
#pragma once

#include <windows.h>
#include <mmsystem.h>

#include <algorithm>
#include <memory>

namespace rw {

struct CWaveData {
    std::unique_ptr<BYTE[]> format; // at least a WAVEFORMATEX, zero-padded
    DWORD formatSize = 0;           // the fmt chunk's own size
    std::unique_ptr<BYTE[]> samples;
    DWORD sampleSize = 0;

    // How long the samples play at the format's byte rate, in ms (at most
    // a day; 0 when the rate is unknown).
    UINT LengthMs() const {
        const auto* f = reinterpret_cast<const WAVEFORMATEX*>(format.get());
        if (!f || f->nAvgBytesPerSec == 0)
            return 0;
        const unsigned long long ms =
            static_cast<unsigned long long>(sampleSize) * 1000 / f->nAvgBytesPerSec;
        return static_cast<UINT>(std::min<unsigned long long>(ms, 24ull * 3600 * 1000));
    }
};

} // namespace rw
