// Where the current time comes from. The program uses the local wall clock;
// tests set the time they need.
#pragma once

#include "records/DateTime.h"

namespace rw {

class CClock {
public:
    virtual ~CClock() = default;
    // The local time, to the second.
    virtual CDateTime Now() const = 0;
    // Universal time in whole seconds since 1970 (what Ringwarden.ini keeps
    // for an override's end), which summer time never moves: local time goes back an
    // hour in the autumn, this does not. For spans of real time.
    virtual long long UtcSeconds() const = 0;
    // How far local time `local` is ahead of UTC, in minutes (negative
    // west of Greenwich).
    virtual int UtcOffsetMinutes(CDateTime local) const = 0;
};

class CSystemClock : public CClock {
public:
    CDateTime Now() const override;
    long long UtcSeconds() const override;
    int UtcOffsetMinutes(CDateTime local) const override;
};

class CSettableClock : public CClock {
public:
    explicit CSettableClock(CDateTime now = CDateTime::FromParts(2000, 1, 1, 12, 0, 0))
        : m_now(now) {}
    CDateTime Now() const override { return m_now; }
    // The local time less its offset from universal time.
    long long UtcSeconds() const override;
    int UtcOffsetMinutes(CDateTime) const override { return m_utcOffsetMinutes; }
    // Sets the local time; the offset stays.
    void Set(CDateTime now) { m_now = now; }
    // Minutes local time is ahead of universal time (60 for British summer
    // time, 0 in winter): what summer time's start and end change.
    void SetUtcOffset(int minutes) { m_utcOffsetMinutes = minutes; }

private:
    CDateTime m_now;
    int m_utcOffsetMinutes = 0;
};

} // namespace rw
