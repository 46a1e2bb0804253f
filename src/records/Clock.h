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
    // How far local time `local` is ahead of UTC, in minutes (negative
    // west of Greenwich).
    virtual int UtcOffsetMinutes(CDateTime local) const = 0;
};

class CSystemClock : public CClock {
public:
    CDateTime Now() const override;
    int UtcOffsetMinutes(CDateTime local) const override;
};

class CSettableClock : public CClock {
public:
    explicit CSettableClock(CDateTime now = CDateTime::FromParts(2000, 1, 1, 12, 0, 0))
        : m_now(now) {}
    CDateTime Now() const override { return m_now; }
    int UtcOffsetMinutes(CDateTime) const override { return m_offset; }
    void Set(CDateTime now) { m_now = now; }
    void SetUtcOffset(int minutes) { m_offset = minutes; }

private:
    CDateTime m_now;
    int m_offset = 0;
};

} // namespace rw
