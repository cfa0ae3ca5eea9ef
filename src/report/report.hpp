// The geometry report on standard output (unit 6).
//
// Twenty tagged sections FD1..FD20 (grid axes, voxel count and, in the full
// report, face counts, radial and high-p boundary lists, and one fixed-width
// record per voxel, p-face, q-face, grid node and voxel cross-section), then
// the untagged summaries and the l, p and q face and neighbour tables.  Every
// line of a tagged section begins with the section's 10-character tag, "FD",
// the section number in five digits with leading zeros, "%" and two blanks.
//
// Units are those of the records: radii and Cartesian coordinates in m,
// angles in degrees, p in Earth radii, q dimensionless, widths in m, areas in
// m^2, volumes in m^3.  Records go out one by one, in the order of the cells
// (l slowest, q fastest); nothing is held back.
#pragma once

#include <span>

namespace vorn {

// Length of a section tag.
inline constexpr int field_id_length = 10;

// Hands out the next section tag of the run: "FD00001%  " on the first call,
// one higher on each call after it; never reset.  A count of 100000 or more
// does not fit five digits and gives "FD*****%  ".
void get_io_fd(std::span<char, field_id_length> field_id);

// Writes the report.  FD1..FD7 always; the rest only when IO_GEOMETRY_FLAG is
// exactly 1.  A section whose count passes the capacity of the arrays it reads
// ends the run with the subscript report before its first line.
void print_geometry();

}  // namespace vorn
