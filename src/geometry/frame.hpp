// Magnetic frame and point transforms.
//
// Positions are spherical (radius in m from the frame's origin, latitude and
// longitude in degrees) or Cartesian (x, y, z in m):
//   x = r cos(lat) cos(lon),  y = r cos(lat) sin(lon),  z = r sin(lat),
// so x points to (lat 0, lon 0), y to (lat 0, lon 90), z to lat 90.
//
// The frame (d_dipole, set once per run by set_mag):
//   geographic Cartesian g = d_rotate * m + d_shift,
//   magnetic Cartesian   m = d_rotate^T * (g - d_shift),
// with d_rotate column-major and its column 3 the dipole axis.  A direction
// converts with d_rotate alone.
//
// Array routines take parallel arrays of n doubles and the count n last; with
// n <= 0 they read and write nothing.  Per element, a negative input radius
// marks the Cartesian triple as the input; the spherical input triple is then
// completed from it, with a longitude atan2(y, x) in [-180, 180] that is not
// folded.  Every longitude of a converted point is folded into [0, 360] with
// the sign function s(v) = -1 for v < 0, +1 otherwise (-0.0 counts as not
// negative): G >= 0 stays G (-0.0 becomes +0.0), G < 0 becomes G + 360 (an
// angle just below 0 folds to exactly 360.0).  A converted point whose
// |cos(lat)| <= 1.0e-6 lies on the axis and gets the longitude 0 when its x is
// not negative and 180 otherwise.  A NaN input radius gives no defined
// result for its element.
#pragma once

#include <cstdint>

namespace vorn {

// Fills d_dipole: 1 the geographic frame (identity, no shift); 2 the centred
// dipole with its axis at geographic latitude 79.98, longitude -70.91;
// 3 the same dipole with its centre at (-391800.0, 257600.0, 178900.0) m; any
// other value, 0 included, the frame of type 2.  d_mag_type keeps the value
// given.  Magnetic (lat 0, lon 0) lies on the pole's meridian at geographic
// latitude -10.02.
void set_mag(std::int32_t mag_type);

// Magnetic to geographic points.  In: mrad >= 0 with mlat, mlon (then mx, my,
// mz are written), or mrad < 0 with mx, my, mz (then mrad, mlat, mlon are
// written).  Out: grad, glat, glon (glon in [0, 360]) and gx, gy, gz.
void mag2geo_pts(double* mrad, double* mlat, double* mlon, double* mx, double* my, double* mz,
                 double* grad, double* glat, double* glon, double* gx, double* gy, double* gz, std::int32_t n);

// The mirror of mag2geo_pts: grad >= 0 with glat, glon, or grad < 0 with gx,
// gy, gz, in; mrad, mlat, mlon (mlon in [0, 360]) and mx, my, mz out.
void geo2mag_pts(double* grad, double* glat, double* glon, double* gx, double* gy, double* gz,
                 double* mrad, double* mlat, double* mlon, double* mx, double* my, double* mz, std::int32_t n);

// Points with attached vectors.  In: the magnetic position as for mag2geo_pts
// and the vector's magnetic components v_rad, v_lat, v_lon (radial, northward,
// eastward).  Out: every other array: the vector in magnetic Cartesian
// (v_x, v_y, v_z), geographic local (vg_rad, vg_lat, vg_lon: radial,
// northward, eastward) and geographic Cartesian (vg_x, vg_y, vg_z)
// components, and the positions as mag2geo_pts gives them (all positions are
// converted before the first vector).  The local bases are taken at the
// magnetic and geographic latitude and longitude of each point.
void mag2geo_dir(double* mrad, double* mlat, double* mlon, double* v_rad, double* v_lat, double* v_lon,
                 double* mx, double* my, double* mz, double* v_x, double* v_y, double* v_z,
                 double* grad, double* glat, double* glon, double* vg_rad, double* vg_lat, double* vg_lon,
                 double* gx, double* gy, double* gz, double* vg_x, double* vg_y, double* vg_z, std::int32_t n);

}  // namespace vorn
