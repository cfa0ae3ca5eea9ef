// Dipole coordinates, scale factors and face normals.
//
// In the magnetic frame (frame.hpp), with r the distance from the dipole
// centre (m), lat the magnetic latitude (degrees) and Re = 6371200.0 m:
//   p = r / (Re cos^2 lat)    the field line, its equatorial radius in Re;
//   q = Re^2 sin lat / r^2    the position along it: 0 at the magnetic
//                             equator, positive to the north;
//   l                         the magnetic longitude (degrees).
// s(lat) = sqrt(3 sin^2 lat + 1) enters the scale factors and the normals.
// Normal components are given in the local magnetic directions (radial,
// northward, eastward).
//
// Array routines take parallel arrays of n doubles and the count n last; with
// n <= 0 they read and write nothing.  Arguments that a routine does not read
// are kept so that the calls of the voxel and face geometry have one shape.
// Outside the grid's use (p <= 0, r = 0, latitude +-90 in the scale factors
// and normals) the formulas may divide by zero; nothing is checked.
#pragma once

#include <cstdint>

namespace vorn {

// (r, lat) to (p, q).  No guard at the poles: cos(90 deg) computes to about
// 6.1e-17, so p there is very large but finite.
void polar2pq(const double* r, const double* lat, double* p, double* q, std::int32_t n);

// (p, q) to (r, lat): r / Re is the positive root of q^2 u^4 + u / p - 1 = 0,
// in closed form; lat has the sign of q, and +q and -q give the same r.
// |q| <= 1.0e-6 counts as the equator: r = p Re, lat = 0.0 exactly.
void pq2polar(const double* p, const double* q, double* r, double* lat, std::int32_t n);

// Metres per unit of p (scale_p), per unit of q (scale_q) and per degree of l
// (scale_l) at (r, mlat); mlon is not read.
void pql_scale(const double* r, const double* mlat, const double* mlon, double* scale_p, double* scale_q,
               double* scale_l, std::int32_t n);

// Unit normal towards increasing l: (0, 0, 1); no input is read.
void normal_l(const double* cf_rad, const double* lat, const double* lon, double* nml_rad, double* nml_lat,
              double* nml_lon, std::int32_t n);

// Unit normal towards increasing p: (cos lat, 2 sin lat, 0) / s(lat); only
// mlat is read.
void normal_p(const double* rad, const double* mlat, const double* mlon, double* nml_rad, double* nml_lat,
              double* nml_lon, std::int32_t n);

// Unit normal towards increasing q: (-2 sin lat, cos lat, 0) / s(lat), formed
// from rad (m) and mlat; mlon is not read.
void normal_q(const double* rad, const double* mlat, const double* mlon, double* nml_rad, double* nml_lat,
              double* nml_lon, std::int32_t n);

}  // namespace vorn
