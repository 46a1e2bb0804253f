// Whether time-based blocks are suspended, and until when. Set when a
// caller keys the security code; ended only when the next call is reported
// after the expiry. Never stored.
#pragma once

#include "records/DateTime.h"

namespace rw {

class CBlockSuspension {
public:
    bool IsActive() const { return m_active; }
    CDateTime GetExpiry() const { return m_expiry; }

    // Suspends time-based blocks from `now` for `minutes` minutes.
    void Start(CDateTime now, int minutes);
    // Ends the suspension if it is active and `now` is strictly later than
    // its expiry.
    void Expire(CDateTime now);

private:
    bool m_active = false;
    CDateTime m_expiry;
};

} // namespace rw
