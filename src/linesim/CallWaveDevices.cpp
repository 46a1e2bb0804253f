#include "CallWaveDevices.h"

#include "SimStats.h"

#include <algorithm>
#include <cstring>

namespace rw::linesim {

namespace {

constexpr char kWinmm[] = "winmm.dll";

// Held for the handle table only, never across a call into winmm: a
// callback that winmm makes from inside it may come back here.
class CExclusive {
public:
    explicit CExclusive(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~CExclusive() { ReleaseSRWLockExclusive(&m_lock); }
    CExclusive(const CExclusive&) = delete;
    CExclusive& operator=(const CExclusive&) = delete;

private:
    SRWLOCK& m_lock;
};

template <typename F> F Forward(const CImportPatch& patch) {
    return reinterpret_cast<F>(patch.Original());
}

} // namespace

CCallWaveDevices& CCallWaveDevices::Instance() {
    static CCallWaveDevices devices;
    return devices;
}

bool CCallWaveDevices::Install() {
    if (m_installed)
        return true;
    HMODULE exe = GetModuleHandleA(nullptr);
    m_installed = m_open.Apply(exe, kWinmm, "waveOutOpen", reinterpret_cast<void*>(&Open)) &&
                  m_write.Apply(exe, kWinmm, "waveOutWrite", reinterpret_cast<void*>(&Write)) &&
                  m_close.Apply(exe, kWinmm, "waveOutClose", reinterpret_cast<void*>(&Close));
    // All three or none: a handle opened here must be written and closed here.
    if (!m_installed)
        Remove();
    return m_installed;
}

void CCallWaveDevices::Remove() {
    m_installed = false;
    m_open.Restore();
    m_write.Restore();
    m_close.Restore();
    Forget();
}

UINT CCallWaveDevices::DeviceFor(uint32_t id) const {
    return m_installed && id >= 1 && id <= kMaxCall ? kFirstDevice + id : 0;
}

void CCallWaveDevices::AddCall(uint32_t id) {
    CExclusive hold(m_lock);
    m_calls[id];
}

void CCallWaveDevices::Forget() {
    CExclusive hold(m_lock);
    m_handles.clear();
    m_calls.clear();
}

void CCallWaveDevices::SetOpenDelay(DWORD ms) {
    CExclusive hold(m_lock);
    m_openDelayMs = ms;
}

CCallWaveDevices::Played CCallWaveDevices::PlayedTo(uint32_t id) {
    CExclusive hold(m_lock);
    const auto it = m_calls.find(id);
    return it == m_calls.end() ? Played{} : it->second;
}

namespace {

// The samples of a WAVE resource: its "data" chunk.
std::string ResourceSamples(HMODULE module, UINT id) {
    HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), "WAVE");
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const char* bytes = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size < 12 || std::memcmp(bytes, "RIFF", 4) != 0 ||
        std::memcmp(bytes + 8, "WAVE", 4) != 0)
        return {};
    for (DWORD at = 12; size - at >= 8;) {
        uint32_t length;
        std::memcpy(&length, bytes + at + 4, 4);
        if (std::memcmp(bytes + at, "data", 4) == 0)
            return std::string(bytes + at + 8, std::min<DWORD>(length, size - at - 8));
        if (length > size - at - 8)
            break;
        at += 8 + length + (length & 1);
    }
    return {};
}

} // namespace

int CCallWaveDevices::AskedDigit(uint32_t id, UINT firstPrompt) {
    const std::string heard = PlayedTo(id).heard;
    if (heard.empty())
        return -1;
    // The prompts differ only from their digit on: the one whose samples
    // the caller heard from the start, furthest, is the one.
    int best = -1;
    size_t bestLength = 0;
    for (int digit = 0; digit < 10; ++digit) {
        const std::string samples = ResourceSamples(GetModuleHandleA(nullptr), firstPrompt + digit);
        const size_t n = std::min(samples.size(), heard.size());
        if (n == 0 || samples.compare(0, n, heard, 0, n) != 0)
            continue;
        if (n > bestLength) {
            best = digit;
            bestLength = n;
        }
    }
    return best;
}

MMRESULT WINAPI CCallWaveDevices::Open(LPHWAVEOUT handle, UINT device, LPCWAVEFORMATEX format,
                                       DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    CCallWaveDevices& self = Instance();
    const auto real = Forward<decltype(&waveOutOpen)>(self.m_open);
    uint32_t call = 0;
    DWORD delay = 0;
    if (device > kFirstDevice && device - kFirstDevice <= kMaxCall) {
        CExclusive hold(self.m_lock);
        if (self.m_calls.count(device - kFirstDevice)) {
            call = device - kFirstDevice;
            device = 0;
            delay = self.m_openDelayMs;
        }
    }
    // A format query opens nothing, so it does not wait either.
    const bool query = (flags & WAVE_FORMAT_QUERY) != 0;
    if (call && delay && !query)
        Sleep(delay);
    const MMRESULT result = real(handle, device, format, callback, instance, flags);
    if (call && result == MMSYSERR_NOERROR && handle && !query) {
        CExclusive hold(self.m_lock);
        self.m_handles[*handle] = call;
        Played& played = self.m_calls[call];
        ++played.opens;
        played.heard.clear();
    }
    return result;
}

MMRESULT WINAPI CCallWaveDevices::Write(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    CCallWaveDevices& self = Instance();
    const auto real = Forward<decltype(&waveOutWrite)>(self.m_write);
    // Only what the device took counts.
    const MMRESULT result = real(handle, header, size);
    if (result == MMSYSERR_NOERROR && header) {
        const int64_t now = CounterNow();
        CExclusive hold(self.m_lock);
        const auto it = self.m_handles.find(handle);
        if (it != self.m_handles.end()) {
            Played& played = self.m_calls[it->second];
            played.bytes += header->dwBufferLength;
            if (header->lpData && played.heard.size() < kMaxHeard)
                played.heard.append(
                    header->lpData,
                    std::min<size_t>(header->dwBufferLength, kMaxHeard - played.heard.size()));
            if (!played.firstWrite)
                played.firstWrite = now;
        }
    }
    return result;
}

MMRESULT WINAPI CCallWaveDevices::Close(HWAVEOUT handle) {
    CCallWaveDevices& self = Instance();
    const auto real = Forward<decltype(&waveOutClose)>(self.m_close);
    const MMRESULT result = real(handle);
    // Still playing: the handle stays open, and still the call's.
    if (result == MMSYSERR_NOERROR) {
        CExclusive hold(self.m_lock);
        self.m_handles.erase(handle);
    }
    return result;
}

} // namespace rw::linesim
