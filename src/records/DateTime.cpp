#include "records/DateTime.h"

#include "records/LocaleTime.h"

#include <cmath>
#include <cstring>
#include <ctime>

namespace rw {
namespace {

constexpr int kSecondsPerDay = 86400;
// Day numbers of 1 January 100 and 31 December 9999, the automation date's range.
constexpr double kMinDays = -657434.0;
constexpr double kMaxDays = 2958465.0;

// Days from 1 January 1970 of a proleptic Gregorian date (H. Hinnant's
// days_from_civil).
long long DaysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void CivilFromDays(long long z, int& year, int& month, int& day) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<long long>(yoe) + era * 400 + (month <= 2));
}

const long long kEpochOffset = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int DaysInMonth(int y, int m) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

} // namespace

CDateTime CDateTime::FromParts(int year, int month, int day, int hour, int minute, int second) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
        second < 0 || second > 59)
        return CDateTime(0.0, invalid);
    const double whole = static_cast<double>(DaysFromCivil(year, month, day) - kEpochOffset);
    const double fraction = (hour * 3600 + minute * 60 + second) / double(kSecondsPerDay);
    return CDateTime(whole >= 0 ? whole + fraction : whole - fraction, valid);
}

CDateTime CDateTime::FromParts(const CDateTimeParts& p) {
    return FromParts(p.year, p.month, p.day, p.hour, p.minute, p.second);
}

CDateTime CDateTime::TimeOfDay(int hour, int minute, int second) {
    return FromParts(1899, 12, 30, hour, minute, second);
}

bool CDateTime::GetParts(CDateTimeParts& out) const {
    if (m_status != valid || !std::isfinite(m_days) || m_days < kMinDays - 1 ||
        m_days > kMaxDays + 1)
        return false;
    long long whole = static_cast<long long>(std::trunc(m_days));
    long long seconds =
        std::llround(std::fabs(m_days - static_cast<double>(whole)) * kSecondsPerDay);
    if (seconds >= kSecondsPerDay) {
        // Rounded up to the next midnight: the next day forward in time.
        seconds = 0;
        whole += 1;
    }
    CDateTimeParts p;
    CivilFromDays(whole + kEpochOffset, p.year, p.month, p.day);
    if (p.year < 100 || p.year > 9999)
        return false;
    p.hour = static_cast<int>(seconds / 3600);
    p.minute = static_cast<int>(seconds / 60 % 60);
    p.second = static_cast<int>(seconds % 60);
    out = p;
    return true;
}

bool operator==(const CDateTime& a, const CDateTime& b) {
    return a.m_status == b.m_status && std::memcmp(&a.m_days, &b.m_days, sizeof a.m_days) == 0;
}

std::tm LocalTm(const CDateTimeParts& p) {
    std::tm tm{};
    tm.tm_year = p.year - 1900;
    tm.tm_mon = p.month - 1;
    tm.tm_mday = p.day;
    tm.tm_hour = p.hour;
    tm.tm_min = p.minute;
    tm.tm_sec = p.second;
    tm.tm_isdst = -1; // the rules of that date say whether summer time holds
    return tm;
}

std::string FormatDateTime(const CDateTime& time, const std::string& format) {
    CDateTimeParts parts;
    // The C runtime's strftime refuses years it cannot represent.
    if (!time.GetParts(parts) || parts.year < 1900)
        return std::string();
    std::tm tm = LocalTm(parts);
    // Long forms name the weekday, which the parts do not carry: day 0
    // (30 December 1899) was a Saturday.
    const double midnight =
        CDateTime::FromParts(parts.year, parts.month, parts.day, 0, 0, 0).GetDays();
    tm.tm_wday = static_cast<int>((static_cast<long long>(midnight) + 6) % 7);

    // The date and time forms come from the user's locale; the C runtime
    // would give its own "C" locale's. The rest goes through strftime.
    std::string out;
    std::string pending;
    const auto flush = [&] {
        if (pending.empty())
            return;
        char text[256];
        out.append(text, std::strftime(text, sizeof text, pending.c_str(), &tm));
        pending.clear();
    };
    for (size_t i = 0; i < format.size();) {
        if (format[i] != '%' || i + 1 == format.size()) {
            pending += format[i++];
            continue;
        }
        const bool alternate = format[i + 1] == '#' && i + 2 < format.size();
        const std::string directive = format.substr(i, alternate ? 3 : 2);
        i += directive.size();
        const char conversion = directive.back();
        std::string text;
        if (conversion == 'X')
            text = LocaleTimeText(tm);
        else if (conversion == 'x')
            text = LocaleDateText(tm, alternate);
        else if (conversion == 'c')
            text = LocaleDateText(tm, alternate) + " " + LocaleTimeText(tm);
        else {
            pending += directive;
            continue;
        }
        flush();
        out += text;
    }
    flush();
    return out;
}

} // namespace rw
