// Dipole coordinates, scale factors and face normals.
//
// p = r / (Re cos^2 lat) labels a field line by its equatorial radius in Earth
// radii; q = Re^2 sin lat / r^2 is the position along it (0 at the magnetic
// equator, positive to the north); l is the magnetic longitude in degrees.
// r in m, latitudes in degrees, Re = 6371200.0 m.  Normal components are given
// in the local magnetic directions (radial, northward, eastward).
//
// Array routines take parallel arrays of n doubles and the count n last; with
// n <= 0 they do nothing.  Arguments that a routine does not read are kept so
// that every routine has the same shape of call.
#pragma once

#include <cstdint>

namespace vorn {

void polar2pq(const double* r, const double* lat, double* p, double* q, std::int32_t n);
void pq2polar(const double* p, const double* q, double* r, double* lat, std::int32_t n);
// Metres per unit of p, per unit of q and per degree of l.
void pql_scale(const double* r, const double* mlat, const double* mlon, double* scale_p, double* scale_q,
               double* scale_l, std::int32_t n);
void normal_l(const double* cf_rad, const double* lat, const double* lon, double* nml_rad, double* nml_lat,
              double* nml_lon, std::int32_t n);
void normal_p(const double* rad, const double* mlat, const double* mlon, double* nml_rad, double* nml_lat,
              double* nml_lon, std::int32_t n);
void normal_q(const double* rad, const double* mlat, const double* mlon, double* nml_rad, double* nml_lat,
              double* nml_lon, std::int32_t n);

}  // namespace vorn
