#include "geometry/dipole.hpp"

#include <cmath>
#include <cstddef>
#include <span>
#include <utility>

#include "geometry/constants.hpp"

namespace vorn {

namespace {

double cube(double x) { return (x * x) * x; }

// s(lat) = sqrt(3 sin^2 lat + 1), from sin lat.
double dipole_factor(double sin_lat) { return std::sqrt((sin_lat * sin_lat) * 3.0 + 1.0); }

// Elements 1 .. n of the local components of a vector set.
struct LocalComponents {
    std::span<double> radial, northward, eastward;
    LocalComponents(const VectorSet& set, std::int32_t n)
        : radial(set.radial.first(n)), northward(set.northward.first(n)), eastward(set.eastward.first(n)) {}
};

// Normals that lie in the magnetic meridian: components(k, cos lat, sin lat)
// gives the radial and northward components at point k.
template <class Components>
void set_meridian_normals(const PolarSet& at, const VectorSet& normal, std::int32_t n,
                          const Components& components) {
    const std::span<double> mlat = at.latitude.first(n);
    const LocalComponents nml(normal, n);
    for (std::size_t k = 0; k < mlat.size(); ++k) {
        const double lambda = mlat[k] * deg_to_rad;
        const double cos_lat = std::cos(lambda);
        const double sin_lat = std::sin(lambda);
        const auto [radial, northward] = components(k, cos_lat, sin_lat);
        nml.radial[k] = radial;
        nml.northward[k] = northward;
        nml.eastward[k] = 0.0;
    }
}

}  // namespace

PqPoint polar2pq_point(const PolarPoint& polar) {
    const double re = earth_radius;
    const double radius = polar.radius;
    const double lambda = (polar.latitude * pi) / 180.0;
    const double cos_lat = std::cos(lambda);
    const double p = radius / ((cos_lat * cos_lat) * re);
    const double q = (std::sin(lambda) * (re * re)) / (radius * radius);
    return {p, q};
}

PolarPoint pq2polar_point(const PqPoint& pq) {
    const double re = earth_radius;
    const double re2 = re * re;
    const double pk = pq.p;
    const double qk = pq.q;
    if (std::fabs(qk) <= equator_q) return {pk * re, 0.0};
    // The quartic's root through its resolvent cubic.
    const double a = std::pow(std::sqrt((((pk * pk) * (pk * pk)) * 768.0) * (qk * qk) + 81.0) + 9.0, one_third);
    const double p_two_thirds = std::pow(pk, two_thirds);
    const double b = ((std::pow(one_twenty_eight_thirds, one_third) * re2) * p_two_thirds) /
                     (a * std::pow(qk * qk, one_third));
    const double c = (a * re2) / ((std::pow(18.0, one_third) * p_two_thirds) *
                                  std::pow((qk * qk) * (qk * qk), one_third));
    const double d = std::sqrt(c - b);
    const double radius = (std::sqrt((b - c) + ((re2 * re) * 2.0) / ((pk * (qk * qk)) * d)) - d) * 0.5;
    return {radius, (std::asin((qk * (radius * radius)) / re2) * 180.0) / pi};
}

void pq2polar(const PqSet& pq, const PolarSet& polar, std::int32_t n) {
    const std::span<double> p = pq.p.first(n);
    const std::span<double> q = pq.q.first(n);
    const std::span<double> radius = polar.radius.first(n);
    const std::span<double> latitude = polar.latitude.first(n);
    for (std::size_t k = 0; k < p.size(); ++k) {
        const PolarPoint point = pq2polar_point({p[k], q[k]});
        radius[k] = point.radius;
        latitude[k] = point.latitude;
    }
}

void pql_scale(const PolarSet& at, const ScaleSet& scale, std::int32_t n) {
    const double re = earth_radius;
    const std::span<double> r = at.radius.first(n);
    const std::span<double> mlat = at.latitude.first(n);
    const std::span<double> scale_p = scale.p.first(n);
    const std::span<double> scale_q = scale.q.first(n);
    const std::span<double> scale_l = scale.l.first(n);
    for (std::size_t k = 0; k < r.size(); ++k) {
        const double radius = r[k];
        const double lambda = (mlat[k] * pi) / 180.0;
        const double cos_lat = std::cos(lambda);
        const double s = dipole_factor(std::sin(lambda));
        scale_p[k] = (cube(cos_lat) * re) / s;
        scale_q[k] = cube(radius) / ((re * re) * s);
        scale_l[k] = (radius * cos_lat) * deg_to_rad;
    }
}

void normal_l(const VectorSet& normal, std::int32_t n) {
    const LocalComponents nml(normal, n);
    for (std::size_t k = 0; k < nml.radial.size(); ++k) {
        nml.radial[k] = 0.0;
        nml.northward[k] = 0.0;
        nml.eastward[k] = 1.0;
    }
}

// The gradients of p and q, scaled by their scale factors: their radial and
// northward components from the cosine and the sine of the latitude (and the
// radius for q); they have no eastward one.
void normal_p(const PolarSet& at, const VectorSet& normal, std::int32_t n) {
    const double re = earth_radius;
    set_meridian_normals(at, normal, n, [&](std::size_t, double cos_lat, double sin_lat) {
        const double h = (cube(cos_lat) * re) / dipole_factor(sin_lat);
        return std::pair{(1.0 / ((cos_lat * cos_lat) * re)) * h, ((sin_lat * 2.0) / (cube(cos_lat) * re)) * h};
    });
}

void normal_q(const PolarSet& at, const VectorSet& normal, std::int32_t n) {
    const double re2 = earth_radius * earth_radius;
    const std::span<double> rad = at.radius.first(n);
    set_meridian_normals(at, normal, n, [&](std::size_t k, double cos_lat, double sin_lat) {
        const double r3 = cube(rad[k]);
        const double h = r3 / (re2 * dipole_factor(sin_lat));
        return std::pair{-(((re2 * 2.0) * sin_lat) / r3) * h, ((re2 * cos_lat) / r3) * h};
    });
}

}  // namespace vorn
