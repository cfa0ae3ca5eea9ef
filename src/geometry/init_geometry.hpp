// Geometry construction, in the one order of every run.
#pragma once

namespace vorn {

// Reads NML_GR_INPUT, rewinds unit 1, then sets the magnetic frame, builds the
// grid lines, the cell status and the voxels, and prints the report.
void init_geometry();

}  // namespace vorn
