// The geometry report on standard output.
#pragma once

namespace vorn {

// Writes the report; IO_GEOMETRY_FLAG = 1 gives it in full.
void print_geometry();

}  // namespace vorn
