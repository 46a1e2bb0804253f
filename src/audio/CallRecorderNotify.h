// What a CCallRecorder tells its owner about each recording, on the owner's
// (user-interface) thread. No Windows header: the message store, which is
// portable, hears the same results.
#pragma once

#include <cstdint>
#include <string>

namespace rw {

// Why a recording ended.
enum class RecordingEnd {
    Stopped,            // the owner asked: the caller hung up, keyed, the line went
    Limit,              // the longest message was reached
    SilenceAfterSpeech, // the caller stopped talking
    Tone,               // dial, busy or reorder tone: the caller has gone
    DiskFull,           // the file would take no more (or the folder went)
};

// Why a recording never started.
enum class RecordingFailure {
    NoDevice,   // the call's wave input would not open (none, busy, no format)
    FileFailed, // the message file could not be made
    NoMemory,
};

struct RecordingResult {
    RecordingEnd why = RecordingEnd::Stopped;
    std::string path;   // the message file
    bool kept = false;  // false: no speech in it, and the file is gone
    uint32_t ms = 0;    // the length kept
    uint32_t error = 0; // the system's code for DiskFull
};

class CCallRecorderNotify {
public:
    virtual void OnRecordingStarted(uint32_t /*id*/) {}
    virtual void OnRecordingEnded(uint32_t /*id*/, const RecordingResult& /*result*/) {}
    virtual void OnRecordingFailed(uint32_t /*id*/, RecordingFailure /*why*/, uint32_t /*error*/) {}

protected:
    ~CCallRecorderNotify() = default;
};

} // namespace rw
