// Field-line stretching transform.
//
// The p values of the grid are spaced by a stretched coordinate s in [0, 1]
// over control knots at altitudes GR_CONTROL_ALT (km above Re); between two
// knots dp/ds varies linearly in s, so p is piecewise quadratic in s and
// passes through every knot.
#pragma once

#include <cstdint>

namespace vorn {

// Sets the defaults of NML_GR_P_TRANS, reads the group from unit 1, rewinds
// it and builds the knot tables of cmn_gr_p_trans.
void init_p_trans();

// flag 1: s to p (reads s_val, writes p_val); flag -1: p to s.  Each element
// is read before it is written, so s_val and p_val may be the same array.
// Any other flag writes "Flag for p_trans must be either 1 or -1!" and
// converts nothing.
void p_trans(std::int32_t n, double* s_val, double* p_val, std::int32_t flag);

}  // namespace vorn
