// A date and time as an automation date: days since 30 December 1899 00:00,
// the time of day as the fraction, plus a validity status. A time of day
// alone is held on day 0. Dates before day 0 keep the time of day as a
// positive fraction below the (negative) day: -1.25 is 29 Dec 1899, 06:00.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace rw {

struct CDateTimeParts {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class CDateTime {
public:
    enum Status : int32_t { valid = 0, invalid = 1, null = 2 };

    // Null, with a day count of 0: the value of a date-time never set.
    CDateTime() = default;
    explicit CDateTime(double days, Status status = valid) : m_days(days), m_status(status) {}

    // The calendar time given, or an invalid value when a part is out of
    // range (years 100 to 9999, seconds to 59).
    static CDateTime FromParts(int year, int month, int day, int hour, int minute, int second);
    static CDateTime FromParts(const CDateTimeParts& p);
    // A time of day alone, on day 0.
    static CDateTime TimeOfDay(int hour, int minute, int second = 0);
    static CDateTime Null() { return CDateTime(); }

    double GetDays() const { return m_days; }
    Status GetStatus() const { return m_status; }
    bool IsValid() const { return m_status == valid; }

    // Splits a valid value into its calendar parts, rounded to the nearest
    // second. False (and `out` untouched) when the value is not valid or
    // lies outside the years 100 to 9999.
    bool GetParts(CDateTimeParts& out) const;

    // Ordering by the day count alone, as the automation date compares.
    friend bool operator<(const CDateTime& a, const CDateTime& b) { return a.m_days < b.m_days; }
    friend bool operator>(const CDateTime& a, const CDateTime& b) { return b < a; }
    friend bool operator<=(const CDateTime& a, const CDateTime& b) { return !(b < a); }
    friend bool operator>=(const CDateTime& a, const CDateTime& b) { return !(a < b); }
    // Same status and the same day count, bit for bit (what a file holds).
    friend bool operator==(const CDateTime& a, const CDateTime& b);

private:
    double m_days = 0.0;
    Status m_status = null;
};

// `time` through a strftime `format`. The date and time forms ("%X", "%x",
// "%c" and their "#" long forms) are the user's locale's (LocaleTime.h);
// the rest is the C runtime's. Empty for a null time or a year before 1900.
std::string FormatDateTime(const CDateTime& time, const std::string& format);

// The parts as a std::tm of local time, with summer time left for the C
// runtime to decide from the date (tm_isdst -1); the weekday is not set.
std::tm LocalTm(const CDateTimeParts& p);

} // namespace rw
