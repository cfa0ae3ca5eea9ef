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
// The routines on sets take sets of checked views (parallel arrays, element k
// of each array one point) and the count n last; with n <= 0 they read and
// write nothing, and an n beyond an array's extent ends the run with the
// subscript report.  Outside the grid's use (p <= 0, r = 0, latitude +-90 in
// the scale factors and normals) the formulas may divide by zero; nothing is
// checked.
#pragma once

#include <cstdint>

#include "checked_array/checked_array.hpp"
#include "geometry/frame.hpp"

namespace vorn {

// Points in dipole coordinates: p (Earth radii) and q.
struct PqSet {
    ArraySpan<double> p, q;
};
struct PqPoint {
    double p, q;
};

// Points in magnetic polar coordinates: radius (m) and latitude (degrees).
struct PolarSet {
    ArraySpan<double> radius, latitude;
};
struct PolarPoint {
    double radius, latitude;
};

// Scale factors at points: metres per unit of p, per unit of q and per degree
// of l.
struct ScaleSet {
    ArraySpan<double> p, q, l;
};

// (r, lat) to (p, q) of one point.  No guard at the poles: cos(90 deg)
// computes to about 6.1e-17, so p there is very large but finite.
PqPoint polar2pq_point(const PolarPoint& polar);

// (p, q) to (r, lat): r / Re is the positive root of q^2 u^4 + u / p - 1 = 0,
// in closed form; lat has the sign of q, and +q and -q give the same r.
// |q| <= 1.0e-6 counts as the equator: r = p Re, lat = 0.0 exactly.  The
// single point and the plain arrays (p, q, r, lat of n elements) take the
// same arithmetic, element for element.
void pq2polar(const PqSet& pq, const PolarSet& polar, std::int32_t n);
PolarPoint pq2polar_point(const PqPoint& pq);

// The scale factors at the points.
void pql_scale(const PolarSet& at, const ScaleSet& scale, std::int32_t n);

// The unit normals of the faces across each axis, in their local components
// (their Cartesian ones are not written).  Towards increasing l: (0, 0, 1),
// the same everywhere.  Towards increasing p: (cos lat, 2 sin lat, 0) / s(lat),
// from the latitude alone.  Towards increasing q: (-2 sin lat, cos lat, 0) /
// s(lat), formed from the radius and the latitude.
void normal_l(const VectorSet& normal, std::int32_t n);
void normal_p(const PolarSet& at, const VectorSet& normal, std::int32_t n);
void normal_q(const PolarSet& at, const VectorSet& normal, std::int32_t n);

}  // namespace vorn
