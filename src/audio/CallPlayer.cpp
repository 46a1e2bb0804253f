#include "audio/CallPlayer.h"

#include "audio/SoundQueue.h"
#include "audio/SoundThread.h"
#include "audio/WindowClassRegistration.h"

#include <new>

namespace rw {
namespace {

// Registered for the program's whole life, before any player exists.
const CWindowClassRegistration g_reportClass("RingwardenSoundReports",
                                             CCallPlayer::ReportWindowProc);

// How long Shutdown waits for the sound thread.
constexpr DWORD kShutdownWaitMs = 5000;

// What the thread is started with; it owns this copy.
struct ThreadStart {
    std::shared_ptr<CSoundQueue> queue;
    HWND reports;
    HMODULE resources;
    UINT acknowledgementId;
    UINT beepId;
};

DWORD WINAPI SoundThreadMain(void* parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    try {
        CSoundThread thread(*start->queue, start->reports, start->resources,
                            start->acknowledgementId, start->beepId);
        thread.Run();
    } catch (const std::bad_alloc&) {
        // Nothing more plays; the calls stay silent.
    }
    return 0;
}

} // namespace

CCallPlayer::CCallPlayer(CCallPlayerNotify* owner, HMODULE resources, UINT acknowledgementId,
                         UINT beepId)
    : m_owner(owner), m_queue(std::make_shared<CSoundQueue>()) {
    if (!m_queue->Ready() || !m_reports.Create(g_reportClass.Name(), 0, HWND_MESSAGE, this))
        return;
    auto* start = new (std::nothrow)
        ThreadStart{m_queue, m_reports.Get(), resources, acknowledgementId, beepId};
    if (!start)
        return;
    m_thread = CreateThread(nullptr, 0, SoundThreadMain, start, 0, nullptr);
    if (!m_thread)
        delete start;
}

CCallPlayer::~CCallPlayer() {
    Shutdown();
}

uint32_t CCallPlayer::Queue(SoundRequest& request) {
    if (!m_thread)
        return 0;
    if (++m_lastId == 0) // 0 names no sound
        ++m_lastId;
    request.id = m_lastId;
    return m_queue->Push(std::move(request)) ? m_lastId : 0;
}

uint32_t CCallPlayer::PlayMessage(UINT device, const std::string& path, bool beepAfter) {
    try {
        SoundRequest request{SoundRequest::Kind::Message, 0, device, path, beepAfter};
        return Queue(request);
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

uint32_t CCallPlayer::PlayAcknowledgement(UINT device) {
    SoundRequest request{SoundRequest::Kind::Acknowledgement, 0, device, {}};
    return Queue(request);
}

uint32_t CCallPlayer::PlayResource(UINT device, UINT resourceId) {
    SoundRequest request{SoundRequest::Kind::Resource, 0, device, {}, false, resourceId};
    return Queue(request);
}

uint32_t CCallPlayer::PlayBeep(UINT device) {
    SoundRequest request{SoundRequest::Kind::Beep, 0, device, {}};
    return Queue(request);
}

void CCallPlayer::Stop(uint32_t id) {
    if (m_thread && id)
        m_queue->Cancel(id);
}

void CCallPlayer::Shutdown() {
    if (!m_thread)
        return;
    m_queue->Quit();
    WaitForSingleObject(m_thread, kShutdownWaitMs);
    CloseHandle(m_thread);
    m_thread = nullptr;
    // Reports already posted are of no use now.
    MSG msg;
    if (m_reports.Get())
        while (PeekMessageA(&msg, m_reports.Get(), 0, 0, PM_REMOVE)) {
        }
}

LRESULT CALLBACK CCallPlayer::ReportWindowProc(HWND hWnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    auto* self = CHiddenWindow::Owner<CCallPlayer>(hWnd);
    CCallPlayerNotify* owner = self ? self->m_owner : nullptr;
    const auto id = static_cast<uint32_t>(wParam);
    switch (message) {
    case kSoundStartedMessage:
        if (owner)
            owner->OnSoundStarted(id, static_cast<UINT>(lParam));
        return 0;
    case kSoundEndedMessage:
        if (owner)
            owner->OnSoundEnded(id);
        return 0;
    case kSoundFailedMessage:
        if (owner)
            owner->OnSoundFailed(id);
        return 0;
    default:
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

} // namespace rw
