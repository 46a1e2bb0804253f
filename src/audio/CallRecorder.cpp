#include "audio/CallRecorder.h"

#include "audio/RecordQueue.h"
#include "audio/RecordThread.h"
#include "audio/WindowClassRegistration.h"

#include <new>

namespace rw {
namespace {

const CWindowClassRegistration g_reportClass("RingwardenRecordReports",
                                             CCallRecorder::ReportWindowProc);

// How long Shutdown waits for the record thread: it closes the device and
// the file, which a slow disk may hold up.
constexpr DWORD kShutdownWaitMs = 5000;

struct ThreadStart {
    std::shared_ptr<CRecordQueue> queue;
    HWND reports;
};

DWORD WINAPI RecordThreadMain(void* parameter) {
    std::unique_ptr<ThreadStart> start(static_cast<ThreadStart*>(parameter));
    try {
        CRecordThread thread(*start->queue, start->reports);
        thread.Run();
    } catch (const std::bad_alloc&) {
        // Nothing more records; blocked calls are dropped after the greeting.
    }
    return 0;
}

} // namespace

CCallRecorder::CCallRecorder(CCallRecorderNotify* owner)
    : m_owner(owner), m_queue(std::make_shared<CRecordQueue>()) {
    if (!m_queue->Ready() || !m_reports.Create(g_reportClass.Name(), 0, HWND_MESSAGE, this))
        return;
    auto* start = new (std::nothrow) ThreadStart{m_queue, m_reports.Get()};
    if (!start)
        return;
    m_thread = CreateThread(nullptr, 0, RecordThreadMain, start, 0, nullptr);
    if (!m_thread)
        delete start;
}

CCallRecorder::~CCallRecorder() {
    m_owner = nullptr; // the owner may be half gone: nothing more is told
    Shutdown();
}

uint32_t CCallRecorder::Record(UINT device, const std::string& path, unsigned maxSeconds) {
    if (!m_thread)
        return 0;
    try {
        if (++m_lastId == 0)
            ++m_lastId;
        RecordRequest request{RecordRequest::Kind::Record, m_lastId, device, path, maxSeconds};
        return m_queue->Push(std::move(request)) ? m_lastId : 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

void CCallRecorder::Stop(uint32_t id) {
    if (!m_thread || !id)
        return;
    RecordRequest request;
    request.id = id;
    m_queue->Push(std::move(request));
}

void CCallRecorder::Shutdown() {
    if (!m_thread)
        return;
    m_queue->Quit();
    WaitForSingleObject(m_thread, kShutdownWaitMs);
    CloseHandle(m_thread);
    m_thread = nullptr;
    MSG msg;
    if (m_reports.Get())
        while (PeekMessageA(&msg, m_reports.Get(), 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
}

LRESULT CALLBACK CCallRecorder::ReportWindowProc(HWND hWnd, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
    auto* self = CHiddenWindow::Owner<CCallRecorder>(hWnd);
    CCallRecorderNotify* owner = self ? self->m_owner : nullptr;
    const auto id = static_cast<uint32_t>(wParam);
    switch (message) {
    case kRecordingStartedMessage:
        if (owner)
            owner->OnRecordingStarted(id);
        return 0;
    case kRecordingEndedMessage: {
        std::unique_ptr<RecordingResult> result(reinterpret_cast<RecordingResult*>(lParam));
        if (owner && result)
            owner->OnRecordingEnded(id, *result);
        return 0;
    }
    case kRecordingFailedMessage:
        if (owner)
            owner->OnRecordingFailed(id, static_cast<RecordingFailure>(LOWORD(lParam)),
                                     HIWORD(lParam));
        return 0;
    default:
        return DefWindowProcA(hWnd, message, wParam, lParam);
    }
}

} // namespace rw
