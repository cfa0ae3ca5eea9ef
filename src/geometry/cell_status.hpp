// Cell status: which grid cells reach into the voxel shell, and the voxel numbers.
//
// A cell (ip, iq, il) is the box between gr_p(ip..ip+1), gr_q(iq..iq+1) and
// gr_l(il..il+1).  Only the four corners at its low longitude gr_l(il) are
// tested, by their geographic radius g (m): a corner is inside the shell when
// lower_r < g <= hi_r, with lower_r = GR_I_GALT_LOWBDRY + Re and
// hi_r = GR_I_GALT_HICUTOFF + Re (Re = 6371200.0 m), and above it when
// g > hi_r.  Cells are visited with il outermost, then ip, then iq innermost.
#pragma once

namespace vorn {

// Classifies every cell in gr_stat: a cell with a corner inside the shell
// gets the next voxel number (1, 2, ... in visiting order), any other cell
// above_shell when a corner lies above the cut-off and below_shell otherwise
// (records.hpp); g_v_dimension ends as the voxel count.  More than max_voxel
// voxels writes "Too many voxels required." on unit 6 and ends the run
// through fatal_stop().
void set_status();

}  // namespace vorn
