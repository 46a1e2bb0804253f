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
};

class CSystemClock : public CClock {
public:
    CDateTime Now() const override;
};

class CSettableClock : public CClock {
public:
    explicit CSettableClock(CDateTime now = CDateTime::FromParts(2000, 1, 1, 12, 0, 0))
        : m_now(now) {}
    CDateTime Now() const override { return m_now; }
    void Set(CDateTime now) { m_now = now; }

private:
    CDateTime m_now;
};

} // namespace rw
