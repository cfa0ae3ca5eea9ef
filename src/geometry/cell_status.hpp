// Cell status: which grid cells reach into the voxel shell, and the voxel numbers.
#pragma once

namespace vorn {

// Classifies every cell (gr_stat) and numbers the voxels (g_v_dimension).
void set_status();

}  // namespace vorn
