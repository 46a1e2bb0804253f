#include "records/Clock.h"

#include <cmath>
#include <ctime>

namespace rw {

CDateTime CSystemClock::Now() const {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    return CDateTime::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                local.tm_hour, local.tm_min,
                                local.tm_sec > 59 ? 59 : local.tm_sec); // a leap second
}

} // namespace rw

namespace rw {

long long CSystemClock::UtcSeconds() const {
    return static_cast<long long>(std::time(nullptr));
}

long long CSettableClock::UtcSeconds() const {
    return std::llround(m_now.GetDays() * 86400.0) - 60LL * m_utcOffsetMinutes;
}

} // namespace rw
