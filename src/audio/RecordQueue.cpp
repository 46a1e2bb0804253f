#include "audio/RecordQueue.h"

#include <new>

namespace rw {
namespace {

class CLocked {
public:
    explicit CLocked(SRWLOCK& lock) : m_lock(lock) { AcquireSRWLockExclusive(&m_lock); }
    ~CLocked() { ReleaseSRWLockExclusive(&m_lock); }
    CLocked(const CLocked&) = delete;
    CLocked& operator=(const CLocked&) = delete;

private:
    SRWLOCK& m_lock;
};

} // namespace

bool CRecordQueue::Push(RecordRequest request) {
    {
        CLocked hold(m_lock);
        // A stop is never refused: the recordings going up bound them.
        if (m_quit ||
            (request.kind == RecordRequest::Kind::Record && m_waiting.size() >= kMaxWaiting))
            return false;
        try {
            m_waiting.push_back(std::move(request));
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    SetEvent(m_ready);
    return true;
}

void CRecordQueue::Quit() {
    {
        CLocked hold(m_lock);
        m_quit = true;
        m_waiting.clear();
    }
    SetEvent(m_ready);
}

CRecordQueue::Next CRecordQueue::Take(RecordRequest& request) {
    CLocked hold(m_lock);
    if (m_quit)
        return Next::Quit;
    if (m_waiting.empty())
        return Next::Nothing;
    request = std::move(m_waiting.front());
    m_waiting.pop_front();
    return Next::Request;
}

} // namespace rw
