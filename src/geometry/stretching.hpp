// Field-line stretching transform.
//
// The field lines of the grid are spaced by a stretched coordinate s over the
// control knots of cmn_gr_p_trans: knot k lies on the field line
//   P(k) = (GR_CONTROL_ALT(k) * 1000 + Re) / Re    (GR_CONTROL_ALT in km,
// p in Earth radii, Re = 6371200.0 m), at S(k), rising from 0.0 at knot 1 to
// 1.0 at knot N = GR_N_CONTROL.  Between two knots dp/ds varies linearly in s
// from D(k-1) to D(k), proportional to GR_SIZE_RATIO, so p is a piecewise
// quadratic of s that passes through every knot.  Beyond the knots the end
// segments' quadratics go on.  P, S and D are the tables GR_P_KNOTS,
// GR_S_KNOTS and GR_DP_DS.
//
// Segment of a value: the smallest j in 2..N with s <= S(j) (s to p) or
// p <= P(j) (p to s), else N; a value on a knot belongs to the segment below
// it, and values below the first knot use segment 2.
//
// Only elements 1..N of the tables take part; at most 100 knots.  A NaN among
// them raises invalid operation as the tables are built.  The configuration is
// not validated otherwise: equal knots, a zero ratio sum or slope, or a
// negative discriminant meet a division by zero or an invalid root.
#pragma once

#include <cstdint>

#include "checked_array/checked_array.hpp"

namespace vorn {

// Sets the defaults of NML_GR_P_TRANS (5 knots at 100, 500, 1000, 1500 and
// 2000 km with the ratios 1, 1, 2, 5 and 10; elements 6..100 untouched), reads
// the group from unit 1, rewinds it and builds the knot tables.
void init_p_trans();

// Builds GR_P_KNOTS, GR_S_KNOTS and GR_DP_DS from the three configuration
// fields of cmn_gr_p_trans.
void build_p_trans_tables();

// Elements 1 .. n, flag 1: s to p (reads s_val, writes p_val); flag -1: p to
// s (reads p_val, writes s_val).  Each element is read before it is written
// and no other is touched in between, so s_val and p_val may be the same
// array.  With n <= 0 nothing is read or written; an n beyond an array's
// extent ends the run with the subscript report.  Any other flag writes the
// line "Flag for p_trans must be either 1 or -1!" on standard output and
// converts nothing; the flag is tested before n.
void p_trans(ArraySpan<double> s_val, ArraySpan<double> p_val, std::int32_t flag, std::int32_t n);

}  // namespace vorn
