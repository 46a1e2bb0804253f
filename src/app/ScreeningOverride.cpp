#include "app/ScreeningOverride.h"

#include "records/DateTime.h"

#include <cmath>
#include <cstdio>

namespace rw {
namespace {

// Day 25569 of the date-time scale is 1 January 1970.
constexpr double kUnixEpochDays = 25569.0;

bool Digits(const std::string& s, size_t at, size_t count, int& out) {
    out = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9')
            return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

} // namespace

void CScreeningOverride::Set(OverrideMode mode, long long untilUtc) {
    m_mode = mode;
    m_until = mode == OverrideMode::None ? 0 : untilUtc;
}

OverrideMode CScreeningOverride::ModeAt(long long utcNow) const {
    if (m_mode == OverrideMode::None || (m_until != kNever && utcNow >= m_until))
        return OverrideMode::None;
    return m_mode;
}

const char* CScreeningOverride::ModeName(OverrideMode mode) {
    switch (mode) {
    case OverrideMode::Quiet:
        return "quiet";
    case OverrideMode::AllRing:
        return "all-ring";
    default:
        return "none";
    }
}

bool CScreeningOverride::ParseMode(const std::string& text, OverrideMode& mode) {
    for (OverrideMode m : {OverrideMode::None, OverrideMode::Quiet, OverrideMode::AllRing}) {
        if (text == ModeName(m)) {
            mode = m;
            return true;
        }
    }
    return false;
}

std::string CScreeningOverride::FormatUntil(long long untilUtc) {
    if (untilUtc == kNever)
        return "never";
    CDateTimeParts p;
    const CDateTime time(kUnixEpochDays + static_cast<double>(untilUtc) / 86400.0);
    if (untilUtc < 0 || !time.GetParts(p))
        return "never";
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", p.year, p.month, p.day,
                  p.hour, p.minute, p.second);
    return text;
}

bool CScreeningOverride::ParseUntil(const std::string& s, long long& untilUtc) {
    if (s == "never") {
        untilUtc = kNever;
        return true;
    }
    int y, mo, d, h, mi, se;
    if (s.size() != 20 || !Digits(s, 0, 4, y) || s[4] != '-' || !Digits(s, 5, 2, mo) ||
        s[7] != '-' || !Digits(s, 8, 2, d) || s[10] != 'T' || !Digits(s, 11, 2, h) ||
        s[13] != ':' || !Digits(s, 14, 2, mi) || s[16] != ':' || !Digits(s, 17, 2, se) ||
        s[19] != 'Z' || h > 23 || mi > 59 || se > 59)
        return false;
    const CDateTime time = CDateTime::FromParts(y, mo, d, h, mi, se);
    if (!time.IsValid() || time.GetDays() < kUnixEpochDays)
        return false;
    untilUtc = std::llround((time.GetDays() - kUnixEpochDays) * 86400.0);
    return true;
}

} // namespace rw
