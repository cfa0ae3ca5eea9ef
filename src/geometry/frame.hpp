// Magnetic frame and point transforms.
//
// Positions are spherical (radius in m from the frame's origin, latitude and
// longitude in degrees) or Cartesian (x, y, z in m): x = r cos(lat) cos(lon),
// y = r cos(lat) sin(lon), z = r sin(lat).  Geographic Cartesian position
// g = d_rotate * m + d_shift for magnetic Cartesian position m; a direction
// converts with d_rotate alone.
//
// Array routines take parallel arrays of n doubles and the count n last; with
// n <= 0 they do nothing.  A negative input radius marks the Cartesian triple
// as the input; the spherical triple is then completed with a longitude in
// [-180, 180] that is not folded.  Every other longitude result is folded into
// [0, 360] with the sign function s(v) = -1 for v < 0, +1 otherwise (so -0.0
// counts as not negative and an angle just below 0 folds to exactly 360.0); a
// point on the axis gets 0 or 180.
#pragma once

#include <cstdint>

namespace vorn {

// Degrees to radians and back, as the transforms multiply.
inline constexpr double deg_to_rad = 0.017453292519943295;
inline constexpr double rad_to_deg = 57.29577951308232;

// Fills d_dipole: 1 the geographic frame, 2 the centred dipole with its axis at
// latitude 79.98, longitude -70.91, 3 the same dipole shifted by
// (-391800.0, 257600.0, 178900.0) m; any other value gives the frame of type 2.
void set_mag(std::int32_t mag_type);

void mag2geo_pts(double* mrad, double* mlat, double* mlon, double* mx, double* my, double* mz,
                 double* grad, double* glat, double* glon, double* gx, double* gy, double* gz, std::int32_t n);

void geo2mag_pts(double* grad, double* glat, double* glon, double* gx, double* gy, double* gz,
                 double* mrad, double* mlat, double* mlon, double* mx, double* my, double* mz, std::int32_t n);

// Points with attached vectors (radial, northward, eastward components).
void mag2geo_dir(double* mrad, double* mlat, double* mlon, double* v_rad, double* v_lat, double* v_lon,
                 double* mx, double* my, double* mz, double* v_x, double* v_y, double* v_z,
                 double* grad, double* glat, double* glon, double* vg_rad, double* vg_lat, double* vg_lon,
                 double* gx, double* gy, double* gz, double* vg_x, double* vg_y, double* vg_z, std::int32_t n);

}  // namespace vorn
