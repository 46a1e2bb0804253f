// Owns an open HWAVEOUT; closes it when dropped. Reset is left to the
// caller, which must unprepare its headers between reset and close.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace rw {

class CWaveOutDevice {
public:
    CWaveOutDevice() = default;
    ~CWaveOutDevice() { Close(); }
    CWaveOutDevice(const CWaveOutDevice&) = delete;
    CWaveOutDevice& operator=(const CWaveOutDevice&) = delete;

    MMRESULT Open(UINT device, const WAVEFORMATEX* format, HWND callback, DWORD flags) {
        Close();
        return waveOutOpen(&m_handle, device, format, reinterpret_cast<DWORD_PTR>(callback), 0,
                           flags);
    }
    void Reset() {
        if (m_handle)
            waveOutReset(m_handle);
    }
    void Close() {
        if (m_handle)
            waveOutClose(m_handle);
        m_handle = nullptr;
    }
    HWAVEOUT Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    HWAVEOUT m_handle = nullptr;
};

} // namespace rw
