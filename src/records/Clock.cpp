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

int CSystemClock::UtcOffsetMinutes(CDateTime local) const {
    CDateTimeParts p;
    if (!local.GetParts(p))
        return 0;
    std::tm tm = LocalTm(p);
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return 0;
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &t);
#else
    gmtime_r(&t, &utc);
#endif
    // The same instant's calendar in UTC, taken as if it were local: the
    // difference of the two day counts is the offset.
    const CDateTime asUtc = CDateTime::FromParts(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                                                 utc.tm_hour, utc.tm_min, utc.tm_sec);
    if (!asUtc.IsValid())
        return 0;
    const double minutes = (local.GetDays() - asUtc.GetDays()) * 24 * 60;
    return static_cast<int>(minutes < 0 ? minutes - 0.5 : minutes + 0.5);
}

} // namespace rw

namespace rw {

long long CSystemClock::UtcSeconds() const {
    return static_cast<long long>(std::time(nullptr));
}

long long CSettableClock::UtcSeconds() const {
    // Seconds since 1970 as the system clock counts them: day 25569 of the
    // date-time scale is 1 January 1970.
    return std::llround((m_now.GetDays() - 25569.0) * 86400.0) - 60LL * m_utcOffsetMinutes;
}

} // namespace rw
