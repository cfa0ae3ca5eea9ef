// Seconds since the reference epoch to Julian dates and calendar time.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "timeutil/julian.hpp"

namespace vorn {
namespace {

struct Calendar {
    std::int32_t year, month, day, hour, minute, second;
    double fraction;
    bool operator==(const Calendar&) const = default;
};

void PrintTo(const Calendar& c, std::ostream* os) {
    *os << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":" << c.minute << ":" << c.second << " + "
        << c.fraction;
}

Calendar calendar_of_seconds(double sec) {
    Calendar c{};
    seccal(sec, c.year, c.month, c.day, c.hour, c.minute, c.second, c.fraction);
    return c;
}

Calendar calendar_of_julian_date(double jd) {
    Calendar c{};
    jd2cal(jd, c.year, c.month, c.day, c.hour, c.minute, c.second, c.fraction);
    return c;
}

struct Date {
    std::int32_t year, month, day;
    bool operator==(const Date&) const = default;
};

Date date_of_day_number(std::int32_t jdn) {
    Date d{};
    j2date(jdn, d.year, d.month, d.day);
    return d;
}

TEST(Julian, SecondsToCalendarTable) {
    ASSERT_EQ(jdref(), 2451545.0);
    struct Row {
        double sec;
        Calendar expected;
    };
    const Row table[] = {
        {0.0, {2000, 1, 1, 12, 0, 0, 0.0}},      {1.0, {2000, 1, 1, 12, 0, 1, 0.0}},
        {3600.5, {2000, 1, 1, 13, 0, 0, 0.5}},   {43200.0, {2000, 1, 2, 0, 0, 0, 0.0}},
        {-0.25, {2000, 1, 1, 11, 59, 59, 0.75}}, {-43200.0, {2000, 1, 1, 0, 0, 0, 0.0}},
        {1.0e9, {2031, 9, 9, 13, 46, 40, 0.0}},  {-1.0e9, {1968, 4, 24, 10, 13, 20, 0.0}},
    };
    for (const Row& row : table) EXPECT_EQ(calendar_of_seconds(row.sec), row.expected) << row.sec;
}

TEST(Julian, FractionIsInTheHalfOpenUnitInterval) {
    for (double sec : {-86400.75, -1.5, -1.0e-9, 0.999, 12345.125, 1.0e9 + 0.5}) {
        Calendar c = calendar_of_seconds(sec);
        EXPECT_GE(c.fraction, 0.0) << sec;
        EXPECT_LT(c.fraction, 1.0) << sec;
        // The whole second and the fraction give back the seconds.
        double whole = sec - c.fraction;
        EXPECT_EQ(whole, std::floor(sec)) << sec;
    }
}

TEST(Julian, DayBoundaryRollsOverToTheNextDay) {
    // Midnight is 00:00:00 of the next day, never 24:00:00 of the old one; the
    // last double before it stays in the old day's last second.
    const double midnight = 2451545.5;
    EXPECT_EQ(calendar_of_julian_date(midnight), (Calendar{2000, 1, 2, 0, 0, 0, 0.0}));
    Calendar before = calendar_of_julian_date(std::nextafter(midnight, 0.0));
    EXPECT_EQ(before.year * 10000 + before.month * 100 + before.day, 20000101);
    EXPECT_EQ(before.hour * 10000 + before.minute * 100 + before.second, 235959);
    EXPECT_LT(before.fraction, 1.0);

    EXPECT_EQ(calendar_of_seconds(43199.75), (Calendar{2000, 1, 1, 23, 59, 59, 0.75}));
    EXPECT_EQ(calendar_of_seconds(86400.0 * 365 - 43200.0), (Calendar{2000, 12, 31, 0, 0, 0, 0.0}));
    // Year ends and the leap day.
    EXPECT_EQ(calendar_of_seconds(86400.0 * 59 + 43199.0), (Calendar{2000, 2, 29, 23, 59, 59, 0.0}));
    EXPECT_EQ(calendar_of_seconds(86400.0 * 366 - 43200.0), (Calendar{2001, 1, 1, 0, 0, 0, 0.0}));
}

TEST(Julian, DayNumbersToDates) {
    EXPECT_EQ(date_of_day_number(2451545), (Date{2000, 1, 1}));
    EXPECT_EQ(date_of_day_number(1721119), (Date{0, 3, 1}));
    EXPECT_EQ(date_of_day_number(2299161), (Date{1582, 10, 15}));
    EXPECT_EQ(date_of_day_number(2440588), (Date{1970, 1, 1}));
    EXPECT_EQ(date_of_day_number(2415079), (Date{1900, 2, 28}));  // 1900 is no leap year
    EXPECT_EQ(date_of_day_number(2415080), (Date{1900, 3, 1}));
}

TEST(Julian, ConsecutiveDayNumbersAreConsecutiveDates) {
    const int month_days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    Date previous = date_of_day_number(1721120);
    for (std::int32_t jdn = 1721121; jdn <= 2488070; ++jdn) {  // year 0 to 2100
        Date d = date_of_day_number(jdn);
        bool leap = previous.year % 4 == 0 && (previous.year % 100 != 0 || previous.year % 400 == 0);
        int length = month_days[previous.month - 1] + (previous.month == 2 && leap ? 1 : 0);
        Date next = previous.day < length ? Date{previous.year, previous.month, previous.day + 1}
                    : previous.month < 12 ? Date{previous.year, previous.month + 1, 1}
                                          : Date{previous.year + 1, 1, 1};
        ASSERT_EQ(d, next) << jdn;
        previous = d;
    }
}

TEST(Julian, SecondsToJulianDate) {
    EXPECT_EQ(sec2jd(0.0), 2451545.0);
    EXPECT_EQ(sec2jd(43200.0), 2451545.5);
    EXPECT_EQ(sec2jd(-86400.0 * 10), 2451535.0);
}

TEST(Julian, NewReferenceDate) {
    double refdat = 2440587.5;
    EXPECT_EQ(jdnew(refdat), 2440587.5);
    EXPECT_EQ(refdat, 2440587.5);
    EXPECT_EQ(jdref(), 2440587.5);
    EXPECT_EQ(sec2jd(0.0), 2440587.5);
    EXPECT_EQ(calendar_of_seconds(0.0), (Calendar{1970, 1, 1, 0, 0, 0, 0.0}));
    EXPECT_EQ(calendar_of_seconds(1.0e9), (Calendar{2001, 9, 9, 1, 46, 40, 0.0}));
    EXPECT_EQ(jdnew(2451545.0), 2451545.0);
    EXPECT_EQ(calendar_of_seconds(0.0), (Calendar{2000, 1, 1, 12, 0, 0, 0.0}));
}

}  // namespace
}  // namespace vorn
