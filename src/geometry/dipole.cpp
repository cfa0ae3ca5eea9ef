#include "geometry/dipole.hpp"

#include <cmath>

#include "geometry/constants.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"

namespace vorn {

namespace {

double cube(double x) { return (x * x) * x; }

// s(lat) = sqrt(3 sin^2 lat + 1), from sin lat.
double dipole_factor(double sin_lat) { return std::sqrt((sin_lat * sin_lat) * 3.0 + 1.0); }

}  // namespace

void polar2pq(const double* r, const double* lat, double* p, double* q, std::int32_t n) {
    const double re = earth_radius;
    for (int k = 0; k < n; ++k) {
        const double radius = r[k];
        const double lambda = (lat[k] * pi) / 180.0;
        const double cos_lat = std::cos(lambda);
        p[k] = radius / ((cos_lat * cos_lat) * re);
        q[k] = (std::sin(lambda) * (re * re)) / (radius * radius);
    }
}

void pq2polar(const double* p, const double* q, double* r, double* lat, std::int32_t n) {
    const double re = earth_radius;
    const double re2 = re * re;
    for (int k = 0; k < n; ++k) {
        const double pk = p[k];
        const double qk = q[k];
        if (std::fabs(qk) <= equator_q) {
            r[k] = pk * re;
            lat[k] = 0.0;
            continue;
        }
        // The quartic's root through its resolvent cubic.
        const double a = std::pow(std::sqrt((((pk * pk) * (pk * pk)) * 768.0) * (qk * qk) + 81.0) + 9.0, one_third);
        const double p_two_thirds = std::pow(pk, two_thirds);
        const double b = ((std::pow(one_twenty_eight_thirds, one_third) * re2) * p_two_thirds) /
                         (a * std::pow(qk * qk, one_third));
        const double c = (a * re2) / ((std::pow(18.0, one_third) * p_two_thirds) *
                                      std::pow((qk * qk) * (qk * qk), one_third));
        const double d = std::sqrt(c - b);
        const double radius = (std::sqrt((b - c) + ((re2 * re) * 2.0) / ((pk * (qk * qk)) * d)) - d) * 0.5;
        r[k] = radius;
        lat[k] = (std::asin((qk * (radius * radius)) / re2) * 180.0) / pi;
    }
}

void pql_scale(const double* r, const double* mlat, const double*, double* scale_p, double* scale_q,
               double* scale_l, std::int32_t n) {
    const double re = earth_radius;
    for (int k = 0; k < n; ++k) {
        const double radius = r[k];
        const double lambda = (mlat[k] * pi) / 180.0;
        const double cos_lat = std::cos(lambda);
        const double s = dipole_factor(std::sin(lambda));
        scale_p[k] = (cube(cos_lat) * re) / s;
        scale_q[k] = cube(radius) / ((re * re) * s);
        scale_l[k] = (radius * cos_lat) * deg_to_rad;
    }
}

void normal_l(const double*, const double*, const double*, double* nml_rad, double* nml_lat, double* nml_lon,
              std::int32_t n) {
    for (int k = 0; k < n; ++k) {
        nml_rad[k] = 0.0;
        nml_lat[k] = 0.0;
        nml_lon[k] = 1.0;
    }
}

// The gradients of p and q, scaled by their scale factors.
void normal_p(const double*, const double* mlat, const double*, double* nml_rad, double* nml_lat,
              double* nml_lon, std::int32_t n) {
    const double re = earth_radius;
    for (int k = 0; k < n; ++k) {
        const double lambda = mlat[k] * deg_to_rad;
        const double cos_lat = std::cos(lambda);
        const double sin_lat = std::sin(lambda);
        const double h = (cube(cos_lat) * re) / dipole_factor(sin_lat);
        nml_rad[k] = (1.0 / ((cos_lat * cos_lat) * re)) * h;
        nml_lat[k] = ((sin_lat * 2.0) / (cube(cos_lat) * re)) * h;
        nml_lon[k] = 0.0;
    }
}

void normal_q(const double* rad, const double* mlat, const double*, double* nml_rad, double* nml_lat,
              double* nml_lon, std::int32_t n) {
    const double re2 = earth_radius * earth_radius;
    for (int k = 0; k < n; ++k) {
        const double lambda = mlat[k] * deg_to_rad;
        const double cos_lat = std::cos(lambda);
        const double sin_lat = std::sin(lambda);
        const double r3 = cube(rad[k]);
        const double h = r3 / (re2 * dipole_factor(sin_lat));
        nml_rad[k] = -(((re2 * 2.0) * sin_lat) / r3) * h;
        nml_lat[k] = ((re2 * cos_lat) / r3) * h;
        nml_lon[k] = 0.0;
    }
}

}  // namespace vorn
