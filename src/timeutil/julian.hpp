// Julian dates and calendar time.
//
// Time is kept as seconds since a reference Julian date (a double, may be
// negative); the reference starts at 2451545.0, 2000-01-01 12:00:00, and
// changes only through jdnew.  A Julian date is a double in days whose day
// begins at noon (N.0 is 12:00:00, N.5 is 00:00:00); a Julian day number N is
// the 32-bit number of the calendar day whose noon is N.0.  Calendar dates are
// proleptic Gregorian; the time of day is in whole seconds with the dropped
// fraction of a second in [0, 1).
//
//   seccal(0.0, ...)        2000-01-01 12:00:00, fraction 0.0
//   seccal(-0.25, ...)      2000-01-01 11:59:59, fraction 0.75
//   j2date(2440588, ...)    1970-01-01
//
// No routine checks its input; day numbers below 1721119 (year 0, March 1)
// give no calendar date.
#pragma once

#include <cstdint>

namespace vorn {

// Seconds since the reference to the calendar date, the whole-second time of
// day and the fraction of the second.
void seccal(double sec, std::int32_t& iy, std::int32_t& im, std::int32_t& id, std::int32_t& ih,
            std::int32_t& imin, std::int32_t& isec, double& fsec);

// Seconds since the reference to a Julian date.
double sec2jd(double sec);

// Julian date to the calendar date, the time of day and the fraction of its
// last second.
void jd2cal(double jd, std::int32_t& iy, std::int32_t& im, std::int32_t& id, std::int32_t& ih,
            std::int32_t& imin, std::int32_t& isec, double& fsec);

// Julian day number to year, month (1-12) and day (1-31).
void j2date(std::int32_t jdn, std::int32_t& iy, std::int32_t& im, std::int32_t& id);

// The reference Julian date.
double jdref();

// Makes `refdat` the reference Julian date of every later conversion and
// returns it.
double jdnew(double refdat);

}  // namespace vorn
