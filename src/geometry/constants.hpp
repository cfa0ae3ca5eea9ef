// Constants of the geometry construction: the Earth radius, the capacities of
// the records, the angle factors, and the tolerances and reference values of
// the frame, the dipole coordinates and the grid builders.
//
// Units: m, degrees, p in Earth radii, q dimensionless.  Every number the
// program writes depends on these values to the last bit.  Where a literal is
// not the correctly rounded value of the quotient or product it stands for,
// its comment says so: it must keep its digits, never be rewritten as the
// expression, and an expression must never become such a literal.
#pragma once

namespace vorn {

// Earth radius of the whole grid construction (m).
inline constexpr double earth_radius = 6371200.0;

// Capacities.
inline constexpr int max_voxel = 100000;           // most voxels a grid may have
inline constexpr int voxel_slots = max_voxel + 1;  // slots of every per-voxel array
inline constexpr int null_voxel = 100001;          // "no voxel" in neighbours and face pairs
inline constexpr int max_p_faces = 110000;
inline constexpr int max_q_faces = 110000;
inline constexpr int max_l_faces = 120000;
inline constexpr int max_boundary = 100000;        // entries of each boundary list
inline constexpr int max_grid_l = 100;             // l values
inline constexpr int max_grid_p = 100;             // p values
inline constexpr int max_grid_q = 200;             // q values (at most 199 are used)
inline constexpr int max_cells_p = 99;
inline constexpr int max_cells_q = 199;
inline constexpr int max_cells_l = 99;
inline constexpr int max_knots = 100;              // stretching knots and namelist arrays

// Degrees and radians.  Two forms stand in the formulas and can differ in the
// last bit: (x * pi) / 180.0 and (x * 180.0) / pi for the latitudes of
// polar2pq_point, pq2polar_point and pql_scale, x * deg_to_rad and x * rad_to_deg
// everywhere else (scale_l of pql_scale included); each formula keeps its own.
inline constexpr double pi = 3.141592653589793;
inline constexpr double deg_to_rad = 0.017453292519943295;  // pi / 180, correctly rounded
inline constexpr double rad_to_deg = 57.29577951308232;     // 180 / pi, correctly rounded

// Cube roots of pq2polar, as powers: 1/3 and 2/3 correctly rounded, and 128/3
// correctly rounded (the factor under its first cube root).
inline constexpr double one_third = 0.3333333333333333;
inline constexpr double two_thirds = 0.6666666666666666;
inline constexpr double one_twenty_eight_thirds = 42.666666666666664;

// |q| at or below this is the magnetic equator: r = p Re, latitude 0.0.
inline constexpr double equator_q = 1.0e-6;

// The transforms put a point on the axis when |cos(lat)| is at or below this.
inline constexpr double pole_tolerance = 1.0e-6;
// Below this |lat| (deg) cos(lat) exceeds 1.7e-3, far above the tolerance, so
// the cosine of the pole test need not be computed.
inline constexpr double clear_of_pole_latitude = 89.9;

// The dipole axis (geographic, deg) and the centre of the eccentric dipole (m).
inline constexpr double pole_latitude = 79.98;
inline constexpr double pole_longitude = -70.91;
inline constexpr double eccentric_shift_x = -391800.0;
inline constexpr double eccentric_shift_y = 257600.0;
inline constexpr double eccentric_shift_z = 178900.0;

// Grid builders.  1.1 Re, the reference radius of the equatorial and
// mid-latitude steps, as the product 1.1 * 6371200.0 rounds (not 7008320.0).
inline constexpr double r_ref = 7008320.000000001;
// A count quotient within this of a whole number is that number; a longitude
// range within it of zero is a single longitude.
inline constexpr double count_tolerance = 1.0e-5;
inline constexpr double polar_line_mlat = 89.5;  // deg: the boundary line of a polar grid
inline constexpr double max_line_mlat = 89.95;   // deg: highest high-latitude line at mrad_4hlp
// Re / (1.04 Re) and Re / (1.1 Re) as the program holds them: neither is the
// correctly rounded quotient.  eq_ratio lies one unit in the last place above
// 1 / 1.04 (0.9615384615384615), ref_ratio one below 1 / 1.1
// (0.9090909090909091).
inline constexpr double eq_ratio = 0.9615384615384616;
inline constexpr double ref_ratio = 0.909090909090909;
// |dq/dr| per metre at 1.1 Re on the equator, without its latitude factor,
// evaluated in this order.
inline constexpr double dq_dr_ref = ((earth_radius * earth_radius) / ((r_ref * r_ref) * r_ref)) * 2.0;

}  // namespace vorn
