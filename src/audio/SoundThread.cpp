#include "audio/SoundThread.h"

#include <new>

namespace rw {
namespace {

bool SameFile(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b) {
    return a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

} // namespace

CSoundThread::CSoundThread(CSoundQueue& queue, HWND reports, HMODULE resources,
                           UINT acknowledgementId, UINT beepId)
    : m_queue(queue), m_reports(reports), m_resources(resources) {
    // Asking for the devices loads the audio driver now, on this thread,
    // rather than at the first blocked call.
    waveOutGetNumDevs();
    CWavePlayer reader;
    if (reader.LoadFromResource(resources, acknowledgementId))
        m_acknowledgement = reader.Data();
    if (beepId && reader.LoadFromResource(resources, beepId))
        m_beep = reader.Data();
}

CSoundThread::~CSoundThread() {
    m_player.Stop();
}

void CSoundThread::Run() {
    for (;;) {
        PumpMessages();
        SoundRequest request;
        for (;;) {
            const CSoundQueue::Next next = m_queue.Take(request);
            if (next == CSoundQueue::Next::Quit)
                return;
            if (next == CSoundQueue::Next::Nothing)
                break;
            Handle(request);
            PumpMessages();
        }
        const HANDLE ready = m_queue.Ready();
        MsgWaitForMultipleObjectsEx(1, &ready, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void CSoundThread::PumpMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

void CSoundThread::Handle(const SoundRequest& request) {
    try {
        if (request.kind != SoundRequest::Kind::Stop)
            Start(request);
        else if (request.id == m_playing) {
            // Nobody listens for this one any more.
            m_player.Stop();
            m_playing = 0;
            m_beepPending = false;
        }
    } catch (const std::bad_alloc&) {
        // Out of memory: the sound is dropped and its call stays silent.
        if (request.kind != SoundRequest::Kind::Stop && m_queue.Prepared(request.id))
            PostMessageA(m_reports, kSoundFailedMessage, request.id, 0);
    }
}

void CSoundThread::Start(const SoundRequest& request) {
    EndPlaying();
    const std::shared_ptr<const CWaveData> data =
        request.kind == SoundRequest::Kind::Acknowledgement ? m_acknowledgement
        : request.kind == SoundRequest::Kind::Beep          ? m_beep
        : request.kind == SoundRequest::Kind::Resource      ? Resource(request.resource)
                                                            : ReadMessage(request.path);
    bool playing = false;
    if (data && m_queue.Wanted(request.id)) {
        m_player.Load(data);
        playing = m_player.Play(request.device, false, [&] { return m_queue.Wanted(request.id); });
    }
    // A sound nobody wants any more is dropped without a word: the call has
    // gone, or its code was keyed, and the screener has forgotten it.
    if (!m_queue.Prepared(request.id)) {
        m_player.Stop();
        return;
    }
    if (!playing) {
        PostMessageA(m_reports, kSoundFailedMessage, request.id, 0);
        return;
    }
    m_playing = request.id;
    m_beepPending = request.beepAfter && m_beep;
    m_device = request.device;
    const UINT beepMs = m_beepPending ? m_beep->LengthMs() : 0;
    PostMessageA(m_reports, kSoundStartedMessage, request.id, data->LengthMs() + beepMs);
}

void CSoundThread::EndPlaying() {
    m_beepPending = false;
    if (!m_playing)
        return;
    m_player.Stop();
    PostMessageA(m_reports, kSoundEndedMessage, m_playing, 0);
    m_playing = 0;
}

void CSoundThread::OnWaveOutDone() {
    // A done message from a playback that a later one replaced finds the
    // player playing again; only the end of the current sound counts.
    if (m_playing && !m_player.IsPlaying()) {
        if (m_beepPending) {
            m_beepPending = false;
            m_player.Load(m_beep);
            if (m_player.Play(m_device, false))
                return; // the same sound goes on
        }
        PostMessageA(m_reports, kSoundEndedMessage, m_playing, 0);
        m_playing = 0;
    }
}

std::shared_ptr<const CWaveData> CSoundThread::Resource(UINT id) {
    auto found = m_resourceData.find(id);
    if (found != m_resourceData.end())
        return found->second;
    CWavePlayer reader;
    std::shared_ptr<const CWaveData> data;
    if (reader.LoadFromResource(m_resources, id))
        data = reader.Data();
    m_resourceData.emplace(id, data);
    return data;
}

std::shared_ptr<const CWaveData> CSoundThread::ReadMessage(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA now{};
    const bool known = GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &now) != 0;
    if (known && m_kept && path == m_keptPath && SameFile(now, m_keptAttributes))
        return m_kept;
    m_kept.reset();
    CWavePlayer reader;
    if (!reader.LoadFromFile(path.c_str()))
        return nullptr;
    if (known) {
        m_kept = reader.Data();
        m_keptPath = path;
        m_keptAttributes = now;
    }
    return reader.Data();
}

} // namespace rw
