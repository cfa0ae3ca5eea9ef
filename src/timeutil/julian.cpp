#include "timeutil/julian.hpp"

#include <cmath>

namespace vorn {

namespace {

// The reference Julian date shared by jdref and jdnew.
double jdsave = 2451545.0;

}  // namespace

double jdref() { return jdsave; }

double jdnew(double refdat) {
    jdsave = refdat;
    return jdsave;
}

double sec2jd(double sec) { return sec / 86400.0 + jdref(); }

void seccal(double sec, std::int32_t& iy, std::int32_t& im, std::int32_t& id, std::int32_t& ih,
            std::int32_t& imin, std::int32_t& isec, double& fsec) {
    fsec = std::fmod(sec, 1.0);
    if (fsec < 0.0) fsec = fsec + 1.0;
    // Half a second into the whole second keeps the truncations of jd2cal
    // inside it rather than at its boundary.
    double jd = sec2jd(sec - fsec + 0.5);
    double dropped_fraction;
    jd2cal(jd, iy, im, id, ih, imin, isec, dropped_fraction);
}

void jd2cal(double jd, std::int32_t& iy, std::int32_t& im, std::int32_t& id, std::int32_t& ih,
            std::int32_t& imin, std::int32_t& isec, double& fsec) {
    double x = jd + 0.5;
    auto jdint = static_cast<std::int32_t>(x);
    double sod = std::fmod(x, 1.0) * 86400.0;
    // The product may round up to a whole day.
    if (sod >= 86400.0) {
        jdint = jdint + 1;
        sod = sod - 86400.0;
    }
    auto isod = static_cast<std::int32_t>(sod);
    j2date(jdint, iy, im, id);
    ih = isod / 3600;
    isod = isod - 3600 * ih;
    imin = isod / 60;
    isec = isod - 60 * imin;
    fsec = std::fmod(sod, 1.0);
}

// The inverse of ACM Algorithm 199, with March the first month of the
// computing year; every division truncates toward zero.
void j2date(std::int32_t jdn, std::int32_t& iy, std::int32_t& im, std::int32_t& id) {
    std::int32_t j = jdn - 1721119;
    std::int32_t y = (4 * j - 1) / 146097;
    j = 4 * j - 1 - 146097 * y;
    std::int32_t d = j / 4;
    j = (4 * d + 3) / 1461;
    d = 4 * d + 3 - 1461 * j;
    d = (d + 4) / 4;
    std::int32_t m = (5 * d - 3) / 153;
    d = 5 * d - 3 - 153 * m;
    d = (d + 5) / 5;
    y = 100 * y + j;
    if (m < 10) {
        m = m + 3;
    } else {
        m = m - 9;
        y = y + 1;
    }
    iy = y;
    im = m;
    id = d;
}

}  // namespace vorn
