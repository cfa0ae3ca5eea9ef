// Geometry section of a snapshot: the grid, voxel and face records as 142
// MAT variables, appended to the open snapshot file (unit 10).
//
// Every array goes out under its member's name as a row of its current count
// ("d_rotate" 3 x 3, the face voxel pairs 2 x count); the cell status as
// "gr_stat_dim" (np - 1, nq - 1, nl - 1) and "gr_stat", row
// ip + (iq - 1)(np - 1), column il; the four grid flags as int32 0/1;
// "max_voxel" the voxel capacity; and "agrid", 24 x g_v_dimension doubles,
// column i holding x, y, z of the eight corners of voxel i in geographic
// Cartesian coordinates (m).  Corners 1 to 4 go round the low-longitude face
// (low p low q, high p low q, high p high q, low p high q), corners 5 to 8
// repeat the round on the high-longitude face; each corner takes its p, q and
// longitude from the voxel's bounding faces.
#pragma once

namespace vorn {

void snap_geo();

}  // namespace vorn
