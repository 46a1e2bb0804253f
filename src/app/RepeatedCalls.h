// Callers who ring again soon after a block made by the time of day: the
// second call within a few minutes of the first is let through, as a
// phone's "do not disturb" lets an urgent caller's second call ring. The
// minutes count real time from the first call (universal seconds, so that
// the clocks going back in the autumn never stretch them). Never stored.
#pragma once

#include <string>
#include <unordered_map>

namespace rw {

class CRepeatedCalls {
public:
    static constexpr int kDefaultMinutes = 3;
    static constexpr int kMaxMinutes = 60;
    // A call sooner than this after the first is an autodialer's redial,
    // not a person calling again: it does not count as a repeat.
    static constexpr long long kMinGapSeconds = 20;

    // 0 turns the let-through off; values outside 0 to kMaxMinutes are taken
    // as the nearest bound.
    void SetMinutes(int minutes);
    int Minutes() const { return m_minutes; }

    // True when a call from `key` was blocked by time at least
    // kMinGapSeconds and no more than Minutes() before `utcSeconds`. A block that seems to lie in
    // the future (the clock was set back) is not counted: how long ago it was is unknown.
    bool IsRepeat(const std::string& key, long long utcSeconds) const;
    // A call from `key` was blocked by time at `utcSeconds`: a window starts,
    // unless one is open already (it counts from the first ring).
    void RememberBlock(const std::string& key, long long utcSeconds);

private:
    bool Inside(long long blockedAt, long long utcSeconds) const;
    // Forgets the blocks whose window has passed, so that a stream of
    // distinct numbers never grows the memory for long.
    void Prune(long long utcSeconds);

    int m_minutes = kDefaultMinutes;
    std::unordered_map<std::string, long long> m_blocked;
    size_t m_pruneAt = 64;
};

} // namespace rw
