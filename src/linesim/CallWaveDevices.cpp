#include "CallWaveDevices.h"

#include "SimStats.h"

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
        ++self.m_calls[call].opens;
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
