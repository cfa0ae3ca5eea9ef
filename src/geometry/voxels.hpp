// Voxels, faces, neighbours and boundary lists, with their geometry.
//
// Cells are visited with il outermost, then ip, then iq innermost; a cell whose
// status in gr_stat is > 0 is a voxel of that number.  Each voxel handles its
// six sides in the order low l, high l, low p, high p, low q, high q, so face
// numbers of each kind follow the visiting order and, within a voxel, the side
// order.  A face shared by two voxels is made by the one visited first and
// stored once, with the pair (low side, high side) in g_f*_voxel(1..2, f);
// null_voxel stands for no voxel.  Across the pole (gr_polar_flag) each of two
// partner voxels makes its own high-p face.
#pragma once

namespace vorn {

// Builds cmn_g_voxel (all but g_v_dimension, which set_status gives) and the
// three face records from gr_grid, then their geometry (voxel_geometry.hpp),
// and warns when a voxel of the lower radial boundary lies too high.
void create_voxel();

}  // namespace vorn
