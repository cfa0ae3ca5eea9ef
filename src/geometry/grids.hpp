// Grid lines: magnetic longitudes gr_l (degrees, ascending), field lines gr_p
// (p = r / (Re cos^2 lat), Earth radii, ascending, spaced in the stretched
// coordinate of stretching.hpp) and positions along the lines gr_q
// (q = Re^2 sin lat / r^2, antisymmetric about the magnetic equator).
//
// Radii and altitudes in m (an altitude becomes a radius by adding
// Re = 6371200.0 m), latitudes and longitudes in degrees.  Every count taken
// from a quotient is its integer part (truncation, never rounding).  The
// configuration comes from cmn_gr_input; the axes and their flags go to
// gr_grid.  A grid too large for its axis writes its message block on unit 6
// and ends the run through fatal_stop().  Each builder hands the configuration
// values it takes to raise_invalid_on_nan before their first use.
#pragma once

#include <array>
#include <cstdint>

namespace vorn {

// Builds the l axis, checks GR_I_GALT_HIBDRY, reads NML_GR_P_TRANS
// (init_p_trans), then builds the p and q axes.  Once an axis is built, a
// count below two or a value not above the one before it ends the run through
// fatal_stop(), with the count or the first pair at fault.  A GR_I_GALT_HIBDRY
// that puts the transition points at or below the Earth's centre ends it the
// same way, naming the item and its value.
void create_grid();

// The l axis from GR_I_MLON_LOW, GR_I_MLON_HIGH (either order) and
// GR_I_DMLON: a single longitude becomes two values 0.01 degrees apart; a
// range above 360 is cut to one full circle; the full circle gets an even
// number of cells, each no wider than the step (to 1.0e-5), and its last value
// is the first one plus 360.
void create_grid_l();

// The items of NML_GR_INPUT that create_grid_p takes, in the order it raises
// a NaN among them.
std::array<double, 6> p_axis_items();

// The first step of the p axis, before NML_GR_P_TRANS is read, so that a
// fault of that group does not hide it: a GR_I_GALT_HIBDRY at or below the
// Earth's centre ends the run.  While an item of the p axis is a NaN nothing
// is checked, since create_grid_p raises that NaN once the group is read.
void check_high_boundary_radius();

// The p axis: mid-latitude lines evenly spaced in the stretched coordinate
// from the lower boundary at the equator up to the outermost mid/high-latitude
// transition point, then the optional high-latitude lines evenly spaced in
// latitude at GR_I_GALT_4HLP up to the high-latitude boundary, with the
// stretching knots that init_p_trans read.  All four arguments are outputs, handed
// to create_grid_q; global_mlat_max is written only when high-latitude lines
// are added (the caller starts it at 0.0).
void create_grid_p(double& midlat_pmax, double& midlat_mlat_max, double& hlbdry_p, double& global_mlat_max);

// Where a field line meets a sphere in the northern hemisphere: the magnetic
// latitude in [0, 90] degrees and q.
struct LineCrossing {
    double latitude, q;
};

// The crossing of field line p with the sphere of radius r (m), one point at
// a time as every caller needs it.  A line whose equatorial radius lies below r writes "p_r_intersect: Non intersection
// exists!" and ends the run.
LineCrossing p_r_intersect(double r, double p);

// The q axis from the values create_grid_p handed over (hlbdry_p is not
// read): a sinh-stretched stretch from the equator to the transition, equal
// mid-latitude steps up to the foot of line midlat_pmax on the lower boundary,
// linear high-latitude steps when global_mlat_max > 0, then the mirror image
// to the south.  Writes the lines "gamma=" and "d_chi=" on every run.
void create_grid_q(const double& midlat_pmax, const double& midlat_mlat_max, const double& hlbdry_p,
                   const double& global_mlat_max);

// Geographic radius (m) of one magnetic point given spherically (mrad >= 0 m,
// mlat and mlon in degrees): the probe of the magnetic frame that the grid
// builders and the cell status make.
double geographic_radius(double mrad, double mlat, double mlon);

}  // namespace vorn
