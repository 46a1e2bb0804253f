// What the user-interface thread asks of the record thread (see
// CCallRecorder), behind one lock held only for a few list operations.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>

namespace rw {

struct RecordRequest {
    enum class Kind { Record, Stop };
    Kind kind = Kind::Stop;
    uint32_t id = 0;
    UINT device = 0;         // the call's "wave/in"
    std::string path;        // the message file to make (UTF-8)
    unsigned maxSeconds = 0; // the longest message
};

class CRecordQueue {
public:
    static constexpr size_t kMaxWaiting = 32;

    CRecordQueue() : m_ready(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}
    ~CRecordQueue() {
        if (m_ready)
            CloseHandle(m_ready);
    }
    CRecordQueue(const CRecordQueue&) = delete;
    CRecordQueue& operator=(const CRecordQueue&) = delete;

    HANDLE Ready() const { return m_ready; }
    bool Push(RecordRequest request);
    void Quit();
    enum class Next { Nothing, Request, Quit };
    Next Take(RecordRequest& request);

private:
    SRWLOCK m_lock = SRWLOCK_INIT;
    HANDLE m_ready;
    std::deque<RecordRequest> m_waiting;
    bool m_quit = false;
};

} // namespace rw
