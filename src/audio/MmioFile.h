// Owns an HMMIO opened with mmioOpenA and closes it exactly once.
#pragma once

#include <windows.h>
#include <mmsystem.h>

namespace rw {

class CMmioFile {
public:
    explicit CMmioFile(HMMIO handle) : m_handle(handle) {}
    ~CMmioFile() { Close(); }
    CMmioFile(const CMmioFile&) = delete;
    CMmioFile& operator=(const CMmioFile&) = delete;

    HMMIO Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Close() {
        if (m_handle)
            mmioClose(m_handle, 0);
        m_handle = nullptr;
    }

private:
    HMMIO m_handle;
};

} // namespace rw
