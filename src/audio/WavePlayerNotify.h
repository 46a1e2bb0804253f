// What a CWavePlayer tells its owner. Every notification has an empty
// default, so an owner overrides only what it needs.
#pragma once

namespace rw {

class CWavePlayerNotify {
public:
    virtual void OnWaveOutOpen() {}
    virtual void OnWaveOutDone() {}
    virtual void OnWaveOutClose() {}

protected:
    ~CWavePlayerNotify() = default;
};

} // namespace rw
