// What the user-interface thread asks of the sound thread (see CCallPlayer),
// and the one sound the sound thread is preparing. Everything here is behind
// one lock, held only for a few list operations and never across a wave or
// file call; the sound thread waits on Ready().
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <string>

namespace rw {

struct SoundRequest {
    enum class Kind { Message, Acknowledgement, Beep, Resource, Stop };
    Kind kind = Kind::Stop;
    uint32_t id = 0;        // names the sound in every report; never 0
    UINT device = 0;        // the call's "wave/out" device
    std::string path;       // the message file (Message only)
    bool beepAfter = false; // the beep follows the message, as one sound
    UINT resource = 0;      // a wave resource of the program's (Resource only)
};

class CSoundQueue {
public:
    // Sounds waiting at once; more are refused (their calls stay silent).
    // Only a sound thread stuck on a file that does not answer lets them
    // pile up at all.
    static constexpr size_t kMaxWaiting = 32;

    CSoundQueue();
    ~CSoundQueue();
    CSoundQueue(const CSoundQueue&) = delete;
    CSoundQueue& operator=(const CSoundQueue&) = delete;

    // User-interface thread.
    // Queues a sound to play; false when full or quitting.
    bool Push(SoundRequest request);
    // The sound is no longer wanted: taken out while it waits, marked while
    // it is being prepared, else (it plays) a Stop is queued for it.
    void Cancel(uint32_t id);
    // Drops everything waiting; the sound thread ends at its next look.
    void Quit();

    // Sound thread.
    // Signalled whenever something was queued, cancelled or quit.
    HANDLE Ready() const { return m_ready; }
    enum class Next { Nothing, Request, Quit };
    // The oldest request. A sound taken becomes the one being prepared.
    Next Take(SoundRequest& request);
    // Whether the sound being prepared is still wanted.
    bool Wanted(uint32_t id) const;
    // It is prepared (playing or failed); true when it is still wanted.
    bool Prepared(uint32_t id);

private:
    mutable SRWLOCK m_lock = SRWLOCK_INIT;
    HANDLE m_ready;
    std::deque<SoundRequest> m_waiting;
    uint32_t m_preparing = 0; // 0: none
    bool m_preparingCancelled = false;
    bool m_quit = false;
};

} // namespace rw
