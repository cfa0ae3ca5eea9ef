#include "geometry/frame.hpp"

#include <cmath>

#include "geometry/constants.hpp"
#include "geometry/records.hpp"
#include "runtime/checked_array.hpp"

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

// Fills the form of the input point that was not given: the Cartesian triple
// from a radius >= 0, otherwise the spherical triple from the Cartesian one
// (its longitude left unfolded, since it only restates the input).
void complete_input(double& rad, double& lat, double& lon, double& x, double& y, double& z) {
    if (rad >= 0.0) {
        spherical_to_cartesian(rad, lat, lon, x, y, z);
        return;
    }
    radius_and_latitude(x, y, z, rad, lat);
    lon = std::atan2(y, x) * rad_to_deg;
}

// Stores a converted point in both forms.
void store_converted(double cx, double cy, double cz, double& rad, double& lat, double& lon, double& x, double& y,
                     double& z) {
    x = cx;
    y = cy;
    z = cz;
    radius_and_latitude(cx, cy, cz, rad, lat);
    lon = folded_longitude(cx, cy, lat);
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

void mag2geo_pts(double* mrad, double* mlat, double* mlon, double* mx, double* my, double* mz,
                 double* grad, double* glat, double* glon, double* gx, double* gy, double* gz, std::int32_t n) {
    const auto rotate = d_dipole.d_rotate;
    const auto shift = d_dipole.d_shift;
    for (int k = 0; k < n; ++k) {
        complete_input(mrad[k], mlat[k], mlon[k], mx[k], my[k], mz[k]);
        const double m1 = mx[k];
        const double m2 = my[k];
        const double m3 = mz[k];
        const double g1 = ((rotate(1, 1) * m1 + rotate(1, 2) * m2) + rotate(1, 3) * m3) + shift(1);
        const double g2 = ((rotate(2, 1) * m1 + rotate(2, 2) * m2) + rotate(2, 3) * m3) + shift(2);
        const double g3 = ((rotate(3, 1) * m1 + rotate(3, 2) * m2) + rotate(3, 3) * m3) + shift(3);
        store_converted(g1, g2, g3, grad[k], glat[k], glon[k], gx[k], gy[k], gz[k]);
    }
}

void geo2mag_pts(double* grad, double* glat, double* glon, double* gx, double* gy, double* gz,
                 double* mrad, double* mlat, double* mlon, double* mx, double* my, double* mz, std::int32_t n) {
    const auto rotate = d_dipole.d_rotate;
    const auto shift = d_dipole.d_shift;
    for (int k = 0; k < n; ++k) {
        complete_input(grad[k], glat[k], glon[k], gx[k], gy[k], gz[k]);
        const double d1 = gx[k] - shift(1);
        const double d2 = gy[k] - shift(2);
        const double d3 = gz[k] - shift(3);
        const double m1 = (rotate(1, 1) * d1 + rotate(2, 1) * d2) + rotate(3, 1) * d3;
        const double m2 = (rotate(1, 2) * d1 + rotate(2, 2) * d2) + rotate(3, 2) * d3;
        const double m3 = (rotate(1, 3) * d1 + rotate(2, 3) * d2) + rotate(3, 3) * d3;
        store_converted(m1, m2, m3, mrad[k], mlat[k], mlon[k], mx[k], my[k], mz[k]);
    }
}

void mag2geo_dir(double* mrad, double* mlat, double* mlon, double* v_rad, double* v_lat, double* v_lon,
                 double* mx, double* my, double* mz, double* v_x, double* v_y, double* v_z,
                 double* grad, double* glat, double* glon, double* vg_rad, double* vg_lat, double* vg_lon,
                 double* gx, double* gy, double* gz, double* vg_x, double* vg_y, double* vg_z, std::int32_t n) {
    mag2geo_pts(mrad, mlat, mlon, mx, my, mz, grad, glat, glon, gx, gy, gz, n);
    const auto rotate = d_dipole.d_rotate;
    Basis magnetic;
    Basis geographic;
    Vector3 magnetic_local;
    Vector3 magnetic_cartesian;
    Vector3 geographic_cartesian;
    Vector3 geographic_local;
    for (int k = 0; k < n; ++k) {
        local_basis(mlat[k], mlon[k], magnetic);
        local_basis(glat[k], glon[k], geographic);
        magnetic_local(1) = v_rad[k];
        magnetic_local(2) = v_lat[k];
        magnetic_local(3) = v_lon[k];
        multiply(magnetic, magnetic_local, magnetic_cartesian, false);
        multiply(rotate, magnetic_cartesian, geographic_cartesian, false);
        multiply(geographic, geographic_cartesian, geographic_local, true);
        v_x[k] = magnetic_cartesian(1);
        v_y[k] = magnetic_cartesian(2);
        v_z[k] = magnetic_cartesian(3);
        vg_x[k] = geographic_cartesian(1);
        vg_y[k] = geographic_cartesian(2);
        vg_z[k] = geographic_cartesian(3);
        vg_rad[k] = geographic_local(1);
        vg_lat[k] = geographic_local(2);
        vg_lon[k] = geographic_local(3);
    }
}

}  // namespace vorn
