#include "records/DateTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>

namespace rw {
namespace {

uint64_t Bits(double d) {
    uint64_t u;
    std::memcpy(&u, &d, sizeof u);
    return u;
}

TEST(DateTime, TimesOfDayHaveTheExactStoredBits) {
    // These day counts are what the configuration file holds for the
    // default Out of Hours window.
    EXPECT_EQ(Bits(CDateTime::TimeOfDay(23, 0).GetDays()), 0x3FEEAAAAAAAAAAABull);
    EXPECT_EQ(Bits(CDateTime::TimeOfDay(8, 0).GetDays()), 0x3FD5555555555555ull);
    EXPECT_EQ(CDateTime().GetStatus(), CDateTime::null);
    EXPECT_EQ(CDateTime().GetDays(), 0.0);
}

struct PartsCase {
    CDateTimeParts parts;
    double days;
};

void PrintTo(const PartsCase& c, std::ostream* os) {
    *os << c.days;
}

class DateTimeParts : public testing::TestWithParam<PartsCase> {};

TEST_P(DateTimeParts, ConvertsBothWays) {
    const auto& [p, days] = GetParam();
    const CDateTime dt = CDateTime::FromParts(p);
    ASSERT_TRUE(dt.IsValid());
    EXPECT_NEAR(dt.GetDays(), days, 1e-9);
    CDateTimeParts back;
    ASSERT_TRUE(CDateTime(days).GetParts(back));
    EXPECT_EQ(std::tie(back.year, back.month, back.day, back.hour, back.minute, back.second),
              std::tie(p.year, p.month, p.day, p.hour, p.minute, p.second));
}

INSTANTIATE_TEST_SUITE_P(
    Calendar, DateTimeParts,
    testing::Values(
        PartsCase{{1899, 12, 30, 0, 0, 0}, 0.0}, PartsCase{{1899, 12, 31, 12, 0, 0}, 1.5},
        PartsCase{{1900, 3, 1, 0, 0, 0}, 61.0}, PartsCase{{1899, 12, 29, 6, 0, 0}, -1.25},
        PartsCase{{2000, 2, 29, 23, 59, 59}, 36585.0 + 86399.0 / 86400.0},
        PartsCase{{2026, 12, 9, 7, 0, 1}, 46365.0 + 25201.0 / 86400.0},
        PartsCase{{100, 1, 1, 0, 0, 0}, -657434.0}, PartsCase{{9999, 12, 31, 0, 0, 0}, 2958465.0}));

TEST(DateTime, RejectsOutOfRangePartsAndValues) {
    const CDateTimeParts bad[] = {{2001, 2, 29, 0, 0, 0}, {2000, 13, 1, 0, 0, 0},
                                  {2000, 1, 1, 24, 0, 0}, {2000, 1, 1, 0, 60, 0},
                                  {2000, 1, 1, 0, 0, 60}, {99, 12, 31, 0, 0, 0}};
    for (const auto& p : bad)
        EXPECT_EQ(CDateTime::FromParts(p).GetStatus(), CDateTime::invalid);

    CDateTimeParts out;
    for (double d : {std::numeric_limits<double>::quiet_NaN(),
                     std::numeric_limits<double>::infinity(), 1e300, -1e300, 3e6})
        EXPECT_FALSE(CDateTime(d).GetParts(out)) << d;
    EXPECT_FALSE(CDateTime(0.5, CDateTime::null).GetParts(out));
    EXPECT_FALSE(CDateTime(0.5, CDateTime::invalid).GetParts(out));
}

TEST(DateTime, RoundsToTheNearestSecondAcrossMidnight) {
    CDateTimeParts p;
    ASSERT_TRUE(CDateTime(1.0 - 1e-9).GetParts(p));
    EXPECT_EQ(std::tie(p.day, p.hour, p.minute, p.second), std::make_tuple(31, 0, 0, 0));
    ASSERT_TRUE(CDateTime(-1.0 - (1.0 - 1e-9)).GetParts(p)); // 29 Dec, a hair before midnight
    EXPECT_EQ(std::tie(p.month, p.day, p.hour), std::make_tuple(12, 30, 0));
}

TEST(DateTime, EqualityIsStatusAndBits) {
    EXPECT_EQ(CDateTime(1.5), CDateTime(1.5));
    EXPECT_FALSE(CDateTime(1.5) == CDateTime(1.5, CDateTime::invalid));
    EXPECT_LT(CDateTime(1.0), CDateTime(1.5));
}

} // namespace
} // namespace rw
