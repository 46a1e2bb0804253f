// What a CCallPlayer tells its owner about each sound, on the owner's
// (user-interface) thread. Every notification has an empty default.
#pragma once

#include <windows.h>

#include <cstdint>

namespace rw {

class CCallPlayerNotify {
public:
    // The first buffer has gone to the call's device; the sound lasts
    // `lengthMs`.
    virtual void OnSoundStarted(uint32_t /*id*/, UINT /*lengthMs*/) {}
    // It played to its end, or another sound took its place.
    virtual void OnSoundEnded(uint32_t /*id*/) {}
    // It could not be read or played; nothing was written.
    virtual void OnSoundFailed(uint32_t /*id*/) {}

protected:
    ~CCallPlayerNotify() = default;
};

} // namespace rw
