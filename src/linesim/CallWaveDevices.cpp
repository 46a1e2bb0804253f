#include "CallWaveDevices.h"

#include "LineSimulator.h"

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

void CCallWaveDevices::Forget() {
    CExclusive hold(m_lock);
    m_handles.clear();
}

uint32_t CCallWaveDevices::CallOf(HWAVEOUT handle) {
    CExclusive hold(m_lock);
    const auto it = m_handles.find(handle);
    return it == m_handles.end() ? 0 : it->second;
}

MMRESULT WINAPI CCallWaveDevices::Open(LPHWAVEOUT handle, UINT device, LPCWAVEFORMATEX format,
                                       DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    CCallWaveDevices& self = Instance();
    const auto real = Forward<decltype(&waveOutOpen)>(self.m_open);
    uint32_t call = 0;
    if (device > kFirstDevice && device - kFirstDevice <= kMaxCall &&
        CLineSimulator::Instance().FindCall(device - kFirstDevice)) {
        call = device - kFirstDevice;
        device = 0;
    }
    const MMRESULT result = real(handle, device, format, callback, instance, flags);
    // A format query opens nothing.
    if (call && result == MMSYSERR_NOERROR && handle && !(flags & WAVE_FORMAT_QUERY)) {
        CExclusive hold(self.m_lock);
        self.m_handles[*handle] = call;
    }
    return result;
}

MMRESULT WINAPI CCallWaveDevices::Write(HWAVEOUT handle, LPWAVEHDR header, UINT size) {
    CCallWaveDevices& self = Instance();
    const auto real = Forward<decltype(&waveOutWrite)>(self.m_write);
    // Only what the device took counts.
    const MMRESULT result = real(handle, header, size);
    if (result == MMSYSERR_NOERROR && header)
        if (const uint32_t call = self.CallOf(handle))
            CLineSimulator::Instance().AddPlayedBytes(call, header->dwBufferLength);
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
