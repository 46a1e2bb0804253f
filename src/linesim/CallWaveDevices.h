// Each simulated call's own "wave/out" device, and the bytes the program
// plays on it.
//
// How and why the import table is patched is told in LineSim.h; here,
// waveOutOpen of a call's device opens device 0 with the caller's flags and
// remembers the handle, waveOutWrite on that handle counts the header's
// dwBufferLength for the call, and waveOutClose forgets the handle once it
// is closed. Other devices and handles pass straight through.
//
// The patch is made at lineInitialize and undone at lineShutdown (not at
// the one that answers a REINIT) and when the DLL is unloaded, so that the
// table never points into an unloaded module. Handles stay the program's:
// one opened on a call's device and closed after lineShutdown closes
// through winmm directly.
//
// Threading: like the TAPI functions, playing on a call's device belongs to
// the thread that called lineInitialize; the handle table itself is locked,
// so other threads' playback on other devices passes through safely.
#pragma once

#include "ImportPatch.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <map>

namespace rw::linesim {

class CCallWaveDevices {
public:
    static constexpr UINT kFirstDevice = 0x52000000; // 'R' and the call's number
    static constexpr uint32_t kMaxCall = 0x00FFFFFF;

    static CCallWaveDevices& Instance();

    // Patches the main module's imports; true when all three are in place.
    bool Install();
    // Undoes the patch and forgets the handles.
    void Remove();
    // The device lineGetID gives for call `id`: its own while the patch is
    // in place (and the number fits), else device 0.
    UINT DeviceFor(uint32_t id) const;
    // The calls are gone (a new run): forgets which handles played for them.
    void Forget();

private:
    CCallWaveDevices() { InitializeSRWLock(&m_lock); }
    static MMRESULT WINAPI Open(LPHWAVEOUT handle, UINT device, LPCWAVEFORMATEX format,
                                DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
    static MMRESULT WINAPI Write(HWAVEOUT handle, LPWAVEHDR header, UINT size);
    static MMRESULT WINAPI Close(HWAVEOUT handle);
    uint32_t CallOf(HWAVEOUT handle);

    CImportPatch m_open, m_write, m_close;
    bool m_installed = false;
    SRWLOCK m_lock;
    std::map<HWAVEOUT, uint32_t> m_handles;
};

} // namespace rw::linesim
