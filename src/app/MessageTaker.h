// What the call screener asks of whoever keeps the messages (the session's
// message store): whether and where a blocked call may leave one, for how
// long, and what became of it. User-interface thread only.
#pragma once

#include "audio/CallRecorderNotify.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace rw {

class CLoggedCall;

class CMessageTaker {
public:
    // Whether `call`, blocked, may leave a message: its action and the
    // settings, a run that can save, a folder with room.
    virtual bool TakesMessageFrom(const CLoggedCall& call) = 0;
    // A new file's path (UTF-8) for `call`'s message, or empty when none
    // can be made now.
    virtual std::string NewMessagePath(const CLoggedCall& call) = 0;
    // The longest message, in seconds.
    virtual unsigned MessageMaxSeconds() const = 0;
    // The recording of log entry `index` ended (the call's row has its
    // recording set already when one was kept).
    virtual void OnMessageEnded(size_t /*index*/, const RecordingResult& /*result*/) {}
    // It never started: the modem cannot record, or the file could not be
    // made.
    virtual void OnMessageFailed(size_t /*index*/, RecordingFailure /*why*/, uint32_t /*error*/) {}

protected:
    ~CMessageTaker() = default;
};

} // namespace rw
