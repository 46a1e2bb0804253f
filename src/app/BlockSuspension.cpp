#include "app/BlockSuspension.h"

#include <cmath>

namespace rw {

void CBlockSuspension::Start(CDateTime now, int minutes) {
    m_active = true;
    m_expiry = CDateTime(now.GetDays() + minutes / (24.0 * 60.0), now.GetStatus());
}

namespace {

// Times are kept to the second; comparing whole seconds keeps "strictly
// later" exact whatever rounding the day fractions carry.
long long Seconds(CDateTime t) {
    return std::llround(t.GetDays() * 86400.0);
}

} // namespace

void CBlockSuspension::Expire(CDateTime now) {
    if (m_active && Seconds(now) > Seconds(m_expiry))
        m_active = false;
}

} // namespace rw
