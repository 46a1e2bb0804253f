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
// Threading: a program may play on a call's device from any thread (the
// program's sound has a thread of its own), so everything these functions
// touch lives here under one lock: the calls that have a device, the open
// handles, and what was played to each call. The simulator's own state is
// never touched from here; it reads the figures back through Played.
#pragma once

#include "ImportPatch.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <map>
#include <string>

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
    // Call `id` has rung: from now its device can be opened.
    void AddCall(uint32_t id);
    // The calls are gone (a new run): forgets them and their handles.
    void Forget();
    // Each open of a call's device waits this long first, as a voice modem's
    // driver does while it switches the modem to playback.
    void SetOpenDelay(DWORD ms);

    struct Played {
        uint32_t opens = 0;     // opens of the call's device that worked
        uint64_t bytes = 0;     // waveOutWrite's dwBufferLength, added up
        int64_t firstWrite = 0; // QueryPerformanceCounter at the first write (0: none)
        // What the latest open of the device was given, as the caller heard
        // it (up to kMaxHeard bytes).
        std::string heard;
    };
    static constexpr size_t kMaxHeard = 256 * 1024;
    Played PlayedTo(uint32_t id);
    // The digit the key check's prompt last played to call `id` asked for:
    // what the caller heard, matched against the program's own prompts
    // (wave resources first..first+9 of the main module); -1 when none
    // matches.
    int AskedDigit(uint32_t id, UINT firstPrompt);

private:
    CCallWaveDevices() { InitializeSRWLock(&m_lock); }
    static MMRESULT WINAPI Open(LPHWAVEOUT handle, UINT device, LPCWAVEFORMATEX format,
                                DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
    static MMRESULT WINAPI Write(HWAVEOUT handle, LPWAVEHDR header, UINT size);
    static MMRESULT WINAPI Close(HWAVEOUT handle);

    CImportPatch m_open, m_write, m_close;
    bool m_installed = false;
    SRWLOCK m_lock;
    std::map<HWAVEOUT, uint32_t> m_handles;
    std::map<uint32_t, Played> m_calls;
    DWORD m_openDelayMs = 0;
};

} // namespace rw::linesim
