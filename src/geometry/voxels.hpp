// Voxels, faces, neighbours and boundary lists, with their geometry.
#pragma once

namespace vorn {

// Builds cmn_g_voxel and the three face records from gr_grid.
void create_voxel();

}  // namespace vorn
