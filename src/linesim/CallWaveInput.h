// Each simulated call's own "wave/in" device: the modem's voice path from
// the caller. The simulator serves it itself (there need be no capture
// device on the machine): waveInOpen on a call's device gives a handle of
// the simulator's own, and a thread of its own fills the buffers added to
// it at the format's pace (or faster, see SetSpeed) with what the caller
// says (CCallVoice), signalling the opener as winmm does (event, window,
// function or thread). Every other device and handle passes to winmm.
//
// As for "wave/out" (see CallWaveDevices.h and LineSim.h), the .exe's
// imports of winmm's waveIn functions are patched at lineInitialize and
// put back at lineShutdown. Everything here is under one lock, never held
// across a callback: the program records on a thread of its own.
#pragma once

#include "CallVoice.h"
#include "ImportPatch.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <vector>

namespace rw::linesim {

class CCallWaveInput {
public:
    static constexpr UINT kFirstDevice = 0x53000000; // 'S' and the call's number
    static constexpr uint32_t kMaxCall = 0x00FFFFFF;
    enum class Mode { Works, Missing, Refuses };

    static CCallWaveInput& Instance();

    bool Install();
    void Remove();
    // The device lineGetID "wave/in" gives for call `id`; 0 when the patch
    // is not in place.
    UINT DeviceFor(uint32_t id) const;
    bool Installed() const { return m_installed; }
    void AddCall(uint32_t id);
    void Forget();
    void SetMode(Mode mode);
    Mode GetMode();
    // Buffers fill `times` faster than the format's pace (at least 1).
    void SetSpeed(uint32_t times);
    // Runs `f` on the call's voice, under the lock; false for no such call.
    template <class F> bool WithVoice(uint32_t id, F f) {
        AcquireSRWLockExclusive(&m_lock);
        const auto it = m_calls.find(id);
        const bool found = it != m_calls.end();
        if (found)
            f(it->second.voice);
        ReleaseSRWLockExclusive(&m_lock);
        return found;
    }

    struct Recorded {
        uint32_t opens = 0;
        uint64_t bytes = 0; // dwBytesRecorded of the buffers given back
    };
    Recorded RecordedFrom(uint32_t id);

private:
    struct Stream {
        uint32_t call = 0;
        DWORD flags = 0;
        DWORD_PTR callback = 0, instance = 0;
        unsigned rate = 8000;
        std::deque<WAVEHDR*> queued;
        bool started = false;
        int64_t startedAt = 0;   // QueryPerformanceCounter
        uint64_t delivered = 0;  // samples given since the start
        uint64_t headFilled = 0; // samples already in the first queued buffer
    };
    struct Call {
        CCallVoice voice;
        Recorded recorded;
    };
    // A callback to make once the lock is let go.
    struct Notice {
        HWAVEIN handle;
        DWORD flags;
        DWORD_PTR callback, instance;
        UINT message;
        WAVEHDR* header;
    };

    CCallWaveInput();
    static Notice NoticeOf(HWAVEIN handle, const Stream& stream, UINT message, WAVEHDR* header);
    static void Send(const Notice& notice);
    // Fills what is due of `stream`'s buffers; adds the finished ones to
    // `done`. Under the lock.
    void Pump(HWAVEIN handle, Stream& stream, int64_t now, std::vector<Notice>& done, bool flush);
    static DWORD WINAPI ThreadMain(void*);
    void Serve();

    static MMRESULT WINAPI Open(LPHWAVEIN handle, UINT device, LPCWAVEFORMATEX format,
                                DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
    static MMRESULT WINAPI Close(HWAVEIN handle);
    static MMRESULT WINAPI Prepare(HWAVEIN handle, LPWAVEHDR header, UINT size);
    static MMRESULT WINAPI Unprepare(HWAVEIN handle, LPWAVEHDR header, UINT size);
    static MMRESULT WINAPI AddBuffer(HWAVEIN handle, LPWAVEHDR header, UINT size);
    static MMRESULT WINAPI Start(HWAVEIN handle);
    static MMRESULT WINAPI Stop(HWAVEIN handle);
    static MMRESULT WINAPI Reset(HWAVEIN handle);

    CImportPatch m_open, m_close, m_prepare, m_unprepare, m_add, m_start, m_stop, m_reset;
    bool m_installed = false;
    SRWLOCK m_lock;
    std::map<HWAVEIN, std::unique_ptr<Stream>> m_streams;
    std::map<uint32_t, Call> m_calls;
    Mode m_mode = Mode::Works;
    uint32_t m_speed = 1;
    HANDLE m_thread = nullptr;
    HANDLE m_wake = nullptr;
    bool m_quit = false;
};

} // namespace rw::linesim
