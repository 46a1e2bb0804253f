#include "CallWaveInput.h"

#include "SimStats.h"

#include <algorithm>

namespace rw::linesim {
namespace {

constexpr char kWinmm[] = "winmm.dll";
constexpr DWORD kTickMs = 10;

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

int64_t Frequency() {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? f.QuadPart : 1;
}

} // namespace

CCallWaveInput::CCallWaveInput() {
    InitializeSRWLock(&m_lock);
}

CCallWaveInput& CCallWaveInput::Instance() {
    static CCallWaveInput input;
    return input;
}

bool CCallWaveInput::Install() {
    if (m_installed)
        return true;
    HMODULE exe = GetModuleHandleA(nullptr);
    auto apply = [&](CImportPatch& patch, const char* name, auto* replacement) {
        return patch.Apply(exe, kWinmm, name, reinterpret_cast<void*>(replacement));
    };
    // A program that records needs all of these but waveInStop.
    m_installed = apply(m_open, "waveInOpen", &Open) && apply(m_close, "waveInClose", &Close) &&
                  apply(m_prepare, "waveInPrepareHeader", &Prepare) &&
                  apply(m_unprepare, "waveInUnprepareHeader", &Unprepare) &&
                  apply(m_add, "waveInAddBuffer", &AddBuffer) &&
                  apply(m_start, "waveInStart", &Start) && apply(m_reset, "waveInReset", &Reset);
    if (!m_installed) {
        Remove();
        return false;
    }
    apply(m_stop, "waveInStop", &Stop);
    m_quit = false;
    m_wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    m_thread = m_wake ? CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr) : nullptr;
    return true;
}

void CCallWaveInput::Remove() {
    m_installed = false;
    if (m_thread) {
        {
            CExclusive hold(m_lock);
            m_quit = true;
        }
        SetEvent(m_wake);
        WaitForSingleObject(m_thread, 5000);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_wake)
        CloseHandle(m_wake);
    m_wake = nullptr;
    for (CImportPatch* patch :
         {&m_open, &m_close, &m_prepare, &m_unprepare, &m_add, &m_start, &m_stop, &m_reset})
        patch->Restore();
    Forget();
}

UINT CCallWaveInput::DeviceFor(uint32_t id) const {
    return m_installed && id >= 1 && id <= kMaxCall ? kFirstDevice + id : 0;
}

void CCallWaveInput::AddCall(uint32_t id) {
    CExclusive hold(m_lock);
    m_calls[id];
}

void CCallWaveInput::Forget() {
    CExclusive hold(m_lock);
    m_streams.clear();
    m_calls.clear();
}

void CCallWaveInput::SetMode(Mode mode) {
    CExclusive hold(m_lock);
    m_mode = mode;
}

CCallWaveInput::Mode CCallWaveInput::GetMode() {
    CExclusive hold(m_lock);
    return m_mode;
}

void CCallWaveInput::SetSpeed(uint32_t times) {
    CExclusive hold(m_lock);
    m_speed = std::max<uint32_t>(times, 1);
}

CCallWaveInput::Recorded CCallWaveInput::RecordedFrom(uint32_t id) {
    CExclusive hold(m_lock);
    const auto it = m_calls.find(id);
    return it == m_calls.end() ? Recorded{} : it->second.recorded;
}

CCallWaveInput::Notice CCallWaveInput::NoticeOf(HWAVEIN handle, const Stream& stream, UINT message,
                                                WAVEHDR* header) {
    return {handle, stream.flags, stream.callback, stream.instance, message, header};
}

void CCallWaveInput::Send(const Notice& n) {
    UINT windowMessage = n.message == WIM_OPEN    ? MM_WIM_OPEN
                         : n.message == WIM_CLOSE ? MM_WIM_CLOSE
                                                  : MM_WIM_DATA;
    switch (n.flags & CALLBACK_TYPEMASK) {
    case CALLBACK_EVENT:
        SetEvent(reinterpret_cast<HANDLE>(n.callback));
        break;
    case CALLBACK_WINDOW:
        PostMessageA(reinterpret_cast<HWND>(n.callback), windowMessage,
                     reinterpret_cast<WPARAM>(n.handle), reinterpret_cast<LPARAM>(n.header));
        break;
    case CALLBACK_THREAD:
        PostThreadMessageA(static_cast<DWORD>(n.callback), windowMessage,
                           reinterpret_cast<WPARAM>(n.handle), reinterpret_cast<LPARAM>(n.header));
        break;
    case CALLBACK_FUNCTION:
        if (n.callback)
            reinterpret_cast<LPDRVCALLBACK>(n.callback)(reinterpret_cast<HDRVR>(n.handle),
                                                        n.message, n.instance,
                                                        reinterpret_cast<DWORD_PTR>(n.header), 0);
        break;
    default:
        break;
    }
}

void CCallWaveInput::Pump(HWAVEIN handle, Stream& stream, int64_t now, std::vector<Notice>& done,
                          bool flush) {
    static const int64_t frequency = Frequency();
    Call& call = m_calls[stream.call];
    const int64_t ticks = now > stream.startedAt ? now - stream.startedAt : 0;
    const uint64_t due =
        static_cast<uint64_t>(ticks / frequency * stream.rate * m_speed +
                              ticks % frequency * stream.rate * m_speed / frequency);
    while (!stream.queued.empty()) {
        WAVEHDR* header = stream.queued.front();
        const uint64_t room = header->dwBufferLength / 2;
        const uint64_t available = due > stream.delivered ? due - stream.delivered : 0;
        const uint64_t take = std::min(room - stream.headFilled, available);
        if (take) {
            call.voice.Fill(reinterpret_cast<int16_t*>(header->lpData) + stream.headFilled, take,
                            stream.rate);
            stream.headFilled += take;
            stream.delivered += take;
        }
        if (stream.headFilled < room && !flush)
            break;
        header->dwBytesRecorded = static_cast<DWORD>(stream.headFilled * 2);
        header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
        call.recorded.bytes += header->dwBytesRecorded;
        stream.queued.pop_front();
        stream.headFilled = 0;
        done.push_back(NoticeOf(handle, stream, WIM_DATA, header));
    }
}

DWORD WINAPI CCallWaveInput::ThreadMain(void* self) {
    static_cast<CCallWaveInput*>(self)->Serve();
    return 0;
}

void CCallWaveInput::Serve() {
    std::vector<Notice> done;
    for (;;) {
        WaitForSingleObject(m_wake, kTickMs);
        done.clear();
        {
            CExclusive hold(m_lock);
            if (m_quit)
                return;
            const int64_t now = CounterNow();
            for (auto& [handle, stream] : m_streams)
                if (stream->started)
                    Pump(handle, *stream, now, done, false);
        }
        for (const Notice& n : done)
            Send(n);
    }
}

MMRESULT WINAPI CCallWaveInput::Open(LPHWAVEIN handle, UINT device, LPCWAVEFORMATEX format,
                                     DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    CCallWaveInput& self = Instance();
    if (device <= kFirstDevice || device - kFirstDevice > kMaxCall)
        return Forward<decltype(&waveInOpen)>(self.m_open)(handle, device, format, callback,
                                                           instance, flags);
    Notice opened{};
    {
        CExclusive hold(self.m_lock);
        const auto call = self.m_calls.find(device - kFirstDevice);
        if (call == self.m_calls.end() || self.m_mode == Mode::Missing)
            return MMSYSERR_BADDEVICEID;
        if (self.m_mode == Mode::Refuses)
            return MMSYSERR_ALLOCATED;
        if (!format || format->wFormatTag != WAVE_FORMAT_PCM || format->nChannels != 1 ||
            format->wBitsPerSample != 16 || format->nSamplesPerSec < 4000 ||
            format->nSamplesPerSec > 48000)
            return WAVERR_BADFORMAT;
        if (flags & WAVE_FORMAT_QUERY)
            return MMSYSERR_NOERROR;
        if (!handle)
            return MMSYSERR_INVALPARAM;
        auto stream = std::make_unique<Stream>();
        stream->call = call->first;
        stream->flags = flags;
        stream->callback = callback;
        stream->instance = instance;
        stream->rate = format->nSamplesPerSec;
        *handle = reinterpret_cast<HWAVEIN>(stream.get());
        opened = NoticeOf(*handle, *stream, WIM_OPEN, nullptr);
        self.m_streams[*handle] = std::move(stream);
        ++call->second.recorded.opens;
    }
    Send(opened);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CCallWaveInput::Close(HWAVEIN handle) {
    CCallWaveInput& self = Instance();
    Notice closed{};
    {
        CExclusive hold(self.m_lock);
        const auto it = self.m_streams.find(handle);
        if (it == self.m_streams.end())
            return Forward<decltype(&waveInClose)>(self.m_close)(handle);
        if (!it->second->queued.empty())
            return WAVERR_STILLPLAYING;
        closed = NoticeOf(handle, *it->second, WIM_CLOSE, nullptr);
        self.m_streams.erase(it);
    }
    Send(closed);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CCallWaveInput::Prepare(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    CCallWaveInput& self = Instance();
    {
        CExclusive hold(self.m_lock);
        if (self.m_streams.count(handle)) {
            if (!header || size < sizeof(WAVEHDR) || !header->lpData)
                return MMSYSERR_INVALPARAM;
            header->dwFlags |= WHDR_PREPARED;
            return MMSYSERR_NOERROR;
        }
    }
    return Forward<decltype(&waveInPrepareHeader)>(self.m_prepare)(handle, header, size);
}

MMRESULT WINAPI CCallWaveInput::Unprepare(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    CCallWaveInput& self = Instance();
    {
        CExclusive hold(self.m_lock);
        if (self.m_streams.count(handle)) {
            if (!header || size < sizeof(WAVEHDR))
                return MMSYSERR_INVALPARAM;
            if (header->dwFlags & WHDR_INQUEUE)
                return WAVERR_STILLPLAYING;
            header->dwFlags &= ~WHDR_PREPARED;
            return MMSYSERR_NOERROR;
        }
    }
    return Forward<decltype(&waveInUnprepareHeader)>(self.m_unprepare)(handle, header, size);
}

MMRESULT WINAPI CCallWaveInput::AddBuffer(HWAVEIN handle, LPWAVEHDR header, UINT size) {
    CCallWaveInput& self = Instance();
    {
        CExclusive hold(self.m_lock);
        const auto it = self.m_streams.find(handle);
        if (it != self.m_streams.end()) {
            if (!header || size < sizeof(WAVEHDR) || header->dwBufferLength < 2)
                return MMSYSERR_INVALPARAM;
            if (!(header->dwFlags & WHDR_PREPARED))
                return WAVERR_UNPREPARED;
            header->dwFlags = (header->dwFlags & ~WHDR_DONE) | WHDR_INQUEUE;
            header->dwBytesRecorded = 0;
            it->second->queued.push_back(header);
            return MMSYSERR_NOERROR;
        }
    }
    return Forward<decltype(&waveInAddBuffer)>(self.m_add)(handle, header, size);
}

MMRESULT WINAPI CCallWaveInput::Start(HWAVEIN handle) {
    CCallWaveInput& self = Instance();
    {
        CExclusive hold(self.m_lock);
        const auto it = self.m_streams.find(handle);
        if (it != self.m_streams.end()) {
            Stream& stream = *it->second;
            if (!stream.started) {
                stream.started = true;
                // The pace counts from here, as if from the first sample.
                stream.startedAt = CounterNow();
                stream.delivered = 0;
            }
            return MMSYSERR_NOERROR;
        }
    }
    return Forward<decltype(&waveInStart)>(self.m_start)(handle);
}

MMRESULT WINAPI CCallWaveInput::Stop(HWAVEIN handle) {
    CCallWaveInput& self = Instance();
    std::vector<Notice> done;
    {
        CExclusive hold(self.m_lock);
        const auto it = self.m_streams.find(handle);
        if (it == self.m_streams.end())
            return Forward<decltype(&waveInStop)>(self.m_stop)(handle);
        Stream& stream = *it->second;
        if (stream.started) {
            self.Pump(handle, stream, CounterNow(), done, false);
            // The buffer being filled comes back with what it holds.
            if (!stream.queued.empty() && stream.headFilled) {
                WAVEHDR* header = stream.queued.front();
                header->dwBytesRecorded = static_cast<DWORD>(stream.headFilled * 2);
                header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
                self.m_calls[stream.call].recorded.bytes += header->dwBytesRecorded;
                stream.queued.pop_front();
                stream.headFilled = 0;
                done.push_back(NoticeOf(handle, stream, WIM_DATA, header));
            }
            stream.started = false;
        }
    }
    for (const Notice& n : done)
        Send(n);
    return MMSYSERR_NOERROR;
}

MMRESULT WINAPI CCallWaveInput::Reset(HWAVEIN handle) {
    CCallWaveInput& self = Instance();
    std::vector<Notice> done;
    {
        CExclusive hold(self.m_lock);
        const auto it = self.m_streams.find(handle);
        if (it == self.m_streams.end())
            return Forward<decltype(&waveInReset)>(self.m_reset)(handle);
        Stream& stream = *it->second;
        if (stream.started)
            self.Pump(handle, stream, CounterNow(), done, false);
        // Every buffer comes back: the first with what it holds, the rest
        // empty.
        while (!stream.queued.empty()) {
            WAVEHDR* header = stream.queued.front();
            header->dwBytesRecorded = static_cast<DWORD>(stream.headFilled * 2);
            header->dwFlags = (header->dwFlags & ~WHDR_INQUEUE) | WHDR_DONE;
            self.m_calls[stream.call].recorded.bytes += header->dwBytesRecorded;
            stream.queued.pop_front();
            stream.headFilled = 0;
            done.push_back(NoticeOf(handle, stream, WIM_DATA, header));
        }
        stream.started = false;
    }
    for (const Notice& n : done)
        Send(n);
    return MMSYSERR_NOERROR;
}

} // namespace rw::linesim
