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
// The point routines take point sets (parallel arrays, one per coordinate)
// and the count n last; with n <= 0 they read and write nothing, and an n
// beyond an array's extent ends the run with the subscript report.  Per
// element, a negative input radius marks the Cartesian triple as the input; the spherical input triple is then
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

#include "checked_array/checked_array.hpp"

namespace vorn {

// Points in one frame: spherical (radius in m, latitude and longitude in
// degrees) and Cartesian (x, y, z in m), element k of each array one point.
struct PointSet {
    ArraySpan<double> radius, latitude, longitude, x, y, z;
};

// Vectors attached to the points of a set: local components (radial,
// northward, eastward at the point) and Cartesian ones (x, y, z).
struct VectorSet {
    ArraySpan<double> radial, northward, eastward, x, y, z;
};

// One point in both forms.
struct Point {
    double radius, latitude, longitude, x, y, z;
};

// Fills d_dipole: 1 the geographic frame (identity, no shift); 2 the centred
// dipole with its axis at geographic latitude 79.98, longitude -70.91;
// 3 the same dipole with its centre at (-391800.0, 257600.0, 178900.0) m; any
// other value, 0 included, the frame of type 2.  d_mag_type keeps the value
// given.  Magnetic (lat 0, lon 0) lies on the pole's meridian at geographic
// latitude -10.02.
void set_mag(std::int32_t mag_type);

// Magnetic to geographic points.  In: magnetic radius >= 0 with latitude and
// longitude (then x, y, z are written), or radius < 0 with x, y, z (then
// radius, latitude, longitude are written).  Out: the whole geographic set
// (longitude in [0, 360]).
void mag2geo_pts(const PointSet& magnetic, const PointSet& geographic, std::int32_t n);

// The mirror of mag2geo_pts: geographic in, the whole magnetic set out
// (longitude in [0, 360]).
void geo2mag_pts(const PointSet& geographic, const PointSet& magnetic, std::int32_t n);

// mag2geo_pts and geo2mag_pts on a single point, element for element the
// same arithmetic.
void mag2geo_point(Point& magnetic, Point& geographic);
void geo2mag_point(Point& geographic, Point& magnetic);

// Points with attached vectors.  In: the magnetic points as for mag2geo_pts
// and the vectors' local magnetic components.  Out: everything else: the
// vectors' magnetic Cartesian components, the geographic points as
// mag2geo_pts gives them (all points are converted before the first vector)
// and the vectors' local and Cartesian geographic components.  The local
// bases are taken at the magnetic and geographic latitude and longitude of
// each point.
void mag2geo_dir(const PointSet& magnetic, const VectorSet& magnetic_vector, const PointSet& geographic,
                 const VectorSet& geographic_vector, std::int32_t n);

}  // namespace vorn
