#include "geometry/frame.hpp"

#include <cmath>
#include <cstddef>
#include <span>

#include "checked_array/checked_array.hpp"
#include "geometry/constants.hpp"
#include "geometry/records.hpp"

namespace vorn {

namespace {

using Basis = Array2<double, 3, 3, "BASIS">;
using Vector3 = Array1<double, 3, "VECTOR">;

// s(v) of the longitude folding: -0.0 counts as not negative.
double sign_of(double v) { return v < 0.0 ? -1.0 : 1.0; }

void spherical_to_cartesian(double rad, double lat, double lon, double& x, double& y, double& z) {
    const double lambda = lat * deg_to_rad;
    const double phi = lon * deg_to_rad;
    const double cos_lat = std::cos(lambda);
    x = (rad * cos_lat) * std::cos(phi);
    y = (rad * cos_lat) * std::sin(phi);
    z = rad * std::sin(lambda);
}

void radius_and_latitude(double x, double y, double z, double& rad, double& lat) {
    rad = std::sqrt((x * x + y * y) + z * z);
    lat = std::asin(z / rad) * rad_to_deg;
}

// Longitude of a converted point in [0, 360]; 0 or 180 on the axis.
double folded_longitude(double x, double y, double lat) {
    if (std::fabs(lat) > clear_of_pole_latitude && std::fabs(std::cos(lat * deg_to_rad)) <= pole_tolerance)
        return (1.0 - sign_of(x)) * 90.0;
    const double g = std::atan2(y, x) * rad_to_deg;
    const double s = sign_of(g);
    return (s + 1.0) * 0.5 * g + (1.0 - s) * 0.5 * (g + 360.0);
}

// One point of a point set, or a single point, in both forms.
struct PointRef {
    double &radius, &latitude, &longitude, &x, &y, &z;
};

PointRef reference_to(Point& p) { return {p.radius, p.latitude, p.longitude, p.x, p.y, p.z}; }

// Fills the form of the input point that was not given: the Cartesian triple
// from a radius >= 0, otherwise the spherical triple from the Cartesian one
// (its longitude left unfolded, since it only restates the input).
[[gnu::always_inline]] inline void complete_input(const PointRef& p) {
    if (p.radius >= 0.0) {
        spherical_to_cartesian(p.radius, p.latitude, p.longitude, p.x, p.y, p.z);
        return;
    }
    radius_and_latitude(p.x, p.y, p.z, p.radius, p.latitude);
    p.longitude = std::atan2(p.y, p.x) * rad_to_deg;
}

// Stores a converted point in both forms.
[[gnu::always_inline]] inline void store_converted(double cx, double cy, double cz, const PointRef& p) {
    p.x = cx;
    p.y = cy;
    p.z = cz;
    radius_and_latitude(cx, cy, cz, p.radius, p.latitude);
    p.longitude = folded_longitude(cx, cy, p.latitude);
}

// The conversions of one point, shared by the point sets and the single
// points.
using Rotation = decltype(DDipole::d_rotate);
using Shift = decltype(DDipole::d_shift);

[[gnu::always_inline]] inline void to_geographic(const PointRef& m, const PointRef& g, const Rotation& rotate,
                                                 const Shift& shift) {
    complete_input(m);
    const double m1 = m.x;
    const double m2 = m.y;
    const double m3 = m.z;
    const double g1 = ((rotate(1, 1) * m1 + rotate(1, 2) * m2) + rotate(1, 3) * m3) + shift(1);
    const double g2 = ((rotate(2, 1) * m1 + rotate(2, 2) * m2) + rotate(2, 3) * m3) + shift(2);
    const double g3 = ((rotate(3, 1) * m1 + rotate(3, 2) * m2) + rotate(3, 3) * m3) + shift(3);
    store_converted(g1, g2, g3, g);
}

[[gnu::always_inline]] inline void to_magnetic(const PointRef& g, const PointRef& m, const Rotation& rotate,
                                               const Shift& shift) {
    complete_input(g);
    const double d1 = g.x - shift(1);
    const double d2 = g.y - shift(2);
    const double d3 = g.z - shift(3);
    const double m1 = (rotate(1, 1) * d1 + rotate(2, 1) * d2) + rotate(3, 1) * d3;
    const double m2 = (rotate(1, 2) * d1 + rotate(2, 2) * d2) + rotate(3, 2) * d3;
    const double m3 = (rotate(1, 3) * d1 + rotate(2, 3) * d2) + rotate(3, 3) * d3;
    store_converted(m1, m2, m3, m);
}

// Columns: radial, northward and eastward unit vectors at (lat, lon).
void local_basis(double lat, double lon, Basis& basis) {
    const double lambda = lat * deg_to_rad;
    const double phi = lon * deg_to_rad;
    const double cos_lat = std::cos(lambda);
    const double sin_lat = std::sin(lambda);
    const double cos_lon = std::cos(phi);
    const double sin_lon = std::sin(phi);
    basis(1, 1) = cos_lat * cos_lon;
    basis(2, 1) = cos_lat * sin_lon;
    basis(3, 1) = sin_lat;
    basis(1, 2) = -sin_lat * cos_lon;
    basis(2, 2) = -sin_lat * sin_lon;
    basis(3, 2) = cos_lat;
    basis(1, 3) = -sin_lon;
    basis(2, 3) = cos_lon;
    basis(3, 3) = 0.0;
}

// Elements 1 .. n of every array of a point or vector set, each checked
// against its array's extent.
struct Points {
    std::size_t count;
    std::span<double> radius, latitude, longitude, x, y, z;
    Points(const PointSet& set, std::int32_t n)
        : count(n > 0 ? static_cast<std::size_t>(n) : 0), radius(set.radius.first(n)),
          latitude(set.latitude.first(n)), longitude(set.longitude.first(n)), x(set.x.first(n)),
          y(set.y.first(n)), z(set.z.first(n)) {}
    PointRef at(std::size_t k) const { return {radius[k], latitude[k], longitude[k], x[k], y[k], z[k]}; }
};

struct Vectors {
    std::span<double> radial, northward, eastward, x, y, z;
    Vectors(const VectorSet& set, std::int32_t n)
        : radial(set.radial.first(n)), northward(set.northward.first(n)), eastward(set.eastward.first(n)),
          x(set.x.first(n)), y(set.y.first(n)), z(set.z.first(n)) {}
};

// A conversion over a whole set.  The loop works on copies of the frame,
// which the output arrays cannot overlap, so the frame stays in registers.
template <void (*convert)(const PointRef&, const PointRef&, const Rotation&, const Shift&)>
void convert_set(const PointSet& from, const PointSet& to, std::int32_t n) {
    const Points input(from, n);
    const Points output(to, n);
    const Rotation rotate = d_dipole.d_rotate;
    const Shift shift = d_dipole.d_shift;
    for (std::size_t k = 0; k < input.count; ++k) convert(input.at(k), output.at(k), rotate, shift);
}

// y = m x, or y = m^T x; each component summed from 0.0 in index order.
template <class Matrix>
void multiply(const Matrix& m, const Vector3& x, Vector3& y, bool transposed) {
    for (int i = 1; i <= 3; ++i) {
        double sum = 0.0;
        for (int j = 1; j <= 3; ++j) sum = sum + (transposed ? m(j, i) : m(i, j)) * x(j);
        y(i) = sum;
    }
}

}  // namespace

void set_mag(std::int32_t mag_type) {
    static const Array1<double, 3, "ECCENTRIC_SHIFT"> eccentric_shift = {
        {eccentric_shift_x, eccentric_shift_y, eccentric_shift_z}};

    DDipole& frame = d_dipole;
    frame.d_mag_type = mag_type;
    if (mag_type == 1) {
        for (int j = 1; j <= 3; ++j)
            for (int i = 1; i <= 3; ++i) frame.d_rotate(i, j) = i == j ? 1.0 : 0.0;
        for (int i = 1; i <= 3; ++i) frame.d_shift(i) = 0.0;
        return;
    }
    const double theta = pole_latitude * deg_to_rad;
    const double phi = pole_longitude * deg_to_rad;
    frame.d_rotate(1, 1) = std::sin(theta) * std::cos(phi);
    frame.d_rotate(2, 1) = std::sin(theta) * std::sin(phi);
    frame.d_rotate(3, 1) = -std::cos(theta);
    frame.d_rotate(1, 2) = -std::sin(phi);
    frame.d_rotate(2, 2) = std::cos(phi);
    frame.d_rotate(3, 2) = 0.0;
    frame.d_rotate(1, 3) = std::cos(theta) * std::cos(phi);
    frame.d_rotate(2, 3) = std::cos(theta) * std::sin(phi);
    frame.d_rotate(3, 3) = std::sin(theta);
    // Any other type keeps d_shift as it is: zero, since the frame is set once
    // per run, so it is the centred dipole of type 2.
    if (mag_type == 2)
        for (int i = 1; i <= 3; ++i) frame.d_shift(i) = 0.0;
    if (mag_type == 3)
        for (int i = 1; i <= 3; ++i) frame.d_shift(i) = eccentric_shift(i);
}

void mag2geo_pts(const PointSet& magnetic, const PointSet& geographic, std::int32_t n) {
    convert_set<to_geographic>(magnetic, geographic, n);
}

void geo2mag_pts(const PointSet& geographic, const PointSet& magnetic, std::int32_t n) {
    convert_set<to_magnetic>(geographic, magnetic, n);
}

void mag2geo_point(Point& magnetic, Point& geographic) {
    to_geographic(reference_to(magnetic), reference_to(geographic), d_dipole.d_rotate, d_dipole.d_shift);
}

void geo2mag_point(Point& geographic, Point& magnetic) {
    to_magnetic(reference_to(geographic), reference_to(magnetic), d_dipole.d_rotate, d_dipole.d_shift);
}

void mag2geo_dir(const PointSet& magnetic, const VectorSet& magnetic_vector, const PointSet& geographic,
                 const VectorSet& geographic_vector, std::int32_t n) {
    mag2geo_pts(magnetic, geographic, n);
    const Points m(magnetic, n);
    const Points g(geographic, n);
    const Vectors mv(magnetic_vector, n);
    const Vectors gv(geographic_vector, n);
    const auto rotate = d_dipole.d_rotate;
    Basis magnetic_basis;
    Basis geographic_basis;
    Vector3 magnetic_local;
    Vector3 magnetic_cartesian;
    Vector3 geographic_cartesian;
    Vector3 geographic_local;
    for (std::size_t k = 0; k < m.count; ++k) {
        local_basis(m.latitude[k], m.longitude[k], magnetic_basis);
        local_basis(g.latitude[k], g.longitude[k], geographic_basis);
        magnetic_local(1) = mv.radial[k];
        magnetic_local(2) = mv.northward[k];
        magnetic_local(3) = mv.eastward[k];
        multiply(magnetic_basis, magnetic_local, magnetic_cartesian, false);
        multiply(rotate, magnetic_cartesian, geographic_cartesian, false);
        multiply(geographic_basis, geographic_cartesian, geographic_local, true);
        mv.x[k] = magnetic_cartesian(1);
        mv.y[k] = magnetic_cartesian(2);
        mv.z[k] = magnetic_cartesian(3);
        gv.x[k] = geographic_cartesian(1);
        gv.y[k] = geographic_cartesian(2);
        gv.z[k] = geographic_cartesian(3);
        gv.radial[k] = geographic_local(1);
        gv.northward[k] = geographic_local(2);
        gv.eastward[k] = geographic_local(3);
    }
}

}  // namespace vorn
