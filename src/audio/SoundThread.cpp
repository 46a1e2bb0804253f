#include "audio/SoundThread.h"

#include <algorithm>
#include <new>

namespace rw {
namespace {

bool SameFile(const WIN32_FILE_ATTRIBUTE_DATA& a, const WIN32_FILE_ATTRIBUTE_DATA& b) {
    return a.nFileSizeLow == b.nFileSizeLow && a.nFileSizeHigh == b.nFileSizeHigh &&
           CompareFileTime(&a.ftLastWriteTime, &b.ftLastWriteTime) == 0;
}

} // namespace

CSoundThread::CSoundThread(CSoundQueue& queue, HWND reports, HMODULE resources,
                           UINT acknowledgementId)
    : m_queue(queue), m_reports(reports) {
    CWavePlayer reader;
    if (reader.LoadFromResource(resources, acknowledgementId))
        m_acknowledgement = reader.Data();
}

CSoundThread::~CSoundThread() {
    m_playing.clear();
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
    Sweep();
}

void CSoundThread::Handle(const SoundRequest& request) {
    try {
        if (request.kind == SoundRequest::Kind::Stop)
            Stop(request.id);
        else
            Start(request);
    } catch (const std::bad_alloc&) {
        // Out of memory: the sound is dropped and its call stays silent.
        if (request.kind != SoundRequest::Kind::Stop && m_queue.Prepared(request.id))
            PostMessageA(m_reports, kSoundFailedMessage, request.id, 0);
    }
}

void CSoundThread::Start(const SoundRequest& request) {
    const std::shared_ptr<const CWaveData> data =
        request.kind == SoundRequest::Kind::Acknowledgement ? m_acknowledgement
                                                            : ReadMessage(request.path);
    auto playback = std::make_unique<Playback>(request.id);
    bool playing = false;
    if (data && m_queue.Wanted(request.id)) {
        playback->player.Load(data);
        playing = playback->player.Play(request.device, false,
                                        [&] { return m_queue.Wanted(request.id); });
    }
    // A sound nobody wants any more is dropped without a word: the call has
    // gone, or its code was keyed, and the screener has forgotten it.
    if (!m_queue.Prepared(request.id))
        return; // `playback` stops and closes the device, if it opened
    if (!playing) {
        PostMessageA(m_reports, kSoundFailedMessage, request.id, 0);
        return;
    }
    m_playing.push_back(std::move(playback));
    PostMessageA(m_reports, kSoundStartedMessage, request.id, data->LengthMs());
}

void CSoundThread::Stop(uint32_t id) {
    std::erase_if(m_playing, [id](const auto& p) { return p->id == id; });
}

void CSoundThread::Sweep() {
    for (const auto& p : m_playing)
        if (p->ended)
            PostMessageA(m_reports, kSoundEndedMessage, p->id, 0);
    std::erase_if(m_playing, [](const auto& p) { return p->ended; });
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
