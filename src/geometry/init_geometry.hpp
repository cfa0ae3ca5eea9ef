// Geometry construction, in the one order of every run.
#pragma once

namespace vorn {

// Reads NML_GR_INPUT, rewinds unit 1, then sets the magnetic frame, builds the
// grid lines, the cell status and the voxels, and prints the report.
void init_geometry();

// Reads NML_GR_INPUT from the current position of unit 1 into cmn_gr_input.
void read_gr_input();

}  // namespace vorn
