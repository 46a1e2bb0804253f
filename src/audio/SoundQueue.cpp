#include "audio/SoundQueue.h"

#include <algorithm>
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

CSoundQueue::CSoundQueue() : m_ready(CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

CSoundQueue::~CSoundQueue() {
    if (m_ready)
        CloseHandle(m_ready);
}

bool CSoundQueue::Push(SoundRequest request) {
    {
        CLocked hold(m_lock);
        if (m_quit || m_waiting.size() >= kMaxWaiting)
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

void CSoundQueue::Cancel(uint32_t id) {
    {
        CLocked hold(m_lock);
        if (m_quit)
            return;
        const auto waiting = std::find_if(m_waiting.begin(), m_waiting.end(), [id](auto& r) {
            return r.id == id && r.kind != SoundRequest::Kind::Stop;
        });
        if (waiting != m_waiting.end()) {
            m_waiting.erase(waiting);
            return;
        }
        if (m_preparing == id) {
            m_preparingCancelled = true;
            return;
        }
        // A stop is never refused: the queue may go over its bound by the
        // sounds playing, which the calls up bound.
        SoundRequest stop;
        stop.id = id;
        try {
            m_waiting.push_back(std::move(stop));
        } catch (const std::bad_alloc&) {
            return; // the sound plays to its end and is closed then
        }
    }
    SetEvent(m_ready);
}

void CSoundQueue::Quit() {
    {
        CLocked hold(m_lock);
        m_quit = true;
        m_waiting.clear();
    }
    SetEvent(m_ready);
}

CSoundQueue::Next CSoundQueue::Take(SoundRequest& request) {
    CLocked hold(m_lock);
    if (m_quit)
        return Next::Quit;
    if (m_waiting.empty())
        return Next::Nothing;
    request = std::move(m_waiting.front());
    m_waiting.pop_front();
    if (request.kind != SoundRequest::Kind::Stop) {
        m_preparing = request.id;
        m_preparingCancelled = false;
    }
    return Next::Request;
}

bool CSoundQueue::Wanted(uint32_t id) const {
    CLocked hold(m_lock);
    return !m_quit && m_preparing == id && !m_preparingCancelled;
}

bool CSoundQueue::Prepared(uint32_t id) {
    CLocked hold(m_lock);
    const bool wanted = !m_quit && m_preparing == id && !m_preparingCancelled;
    m_preparing = 0;
    m_preparingCancelled = false;
    return wanted;
}

} // namespace rw
