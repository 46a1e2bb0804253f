// A WAVEHDR and its prepared state: unprepares itself on the device it was
// prepared for when dropped. The device must outlive the prepared header.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace rw {

class CWaveHeader {
public:
    CWaveHeader(void* data, DWORD size, bool loop) {
        m_header.lpData = static_cast<LPSTR>(data);
        m_header.dwBufferLength = size;
        m_header.dwFlags = loop ? WHDR_BEGINLOOP | WHDR_ENDLOOP : 0;
        m_header.dwLoops = loop ? 0xFFFFFFFF : 0;
    }
    ~CWaveHeader() { Unprepare(); }
    CWaveHeader(const CWaveHeader&) = delete;
    CWaveHeader& operator=(const CWaveHeader&) = delete;

    MMRESULT Prepare(HWAVEOUT device) {
        const MMRESULT result = waveOutPrepareHeader(device, &m_header, sizeof m_header);
        if (result == MMSYSERR_NOERROR)
            m_prepared = device;
        return result;
    }
    MMRESULT Write() { return waveOutWrite(m_prepared, &m_header, sizeof m_header); }
    void Unprepare() {
        if (m_prepared)
            waveOutUnprepareHeader(m_prepared, &m_header, sizeof m_header);
        m_prepared = nullptr;
    }
    bool IsDone() const { return (m_header.dwFlags & WHDR_DONE) != 0; }

private:
    WAVEHDR m_header{};
    HWAVEOUT m_prepared = nullptr;
};

} // namespace rw
