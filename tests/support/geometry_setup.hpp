// Geometry records for tests: hand-made grids, and grids built from a
// configuration the way the program builds them.
//
// Every helper works on the global records, which persist across the tests of
// one test program: a test that uses them starts with
// reset_geometry_records() (build_geometry does this itself).
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace vorn::test {

// Hand-made axes: gr_np, gr_p, gr_nq, gr_q, gr_nl, gr_l from the lists (p in
// Earth radii, q, longitudes in degrees); the four flags are left as they are.
void set_grid_axes(std::initializer_list<double> p, std::initializer_list<double> q,
                   std::initializer_list<double> l);

// What set_cells puts in a cell: a voxel, numbered by set_cells, or a code of
// a cell without one (below_shell, above_shell).
inline constexpr int active_cell = 1;

// Sets gr_stat of every cell of the axes to kind(ip, iq, il), numbering the
// active cells 1, 2, ... in visiting order (il, then ip, then iq fastest), and
// g_v_dimension to their count.
void set_cells(const std::function<int(int ip, int iq, int il)>& kind);

// The faces that corner k (1 to 4) of a round of voxel v takes its p and q
// from, in the order low p low q, high p low q, high p high q, low p high q:
// the tests' own statement of the corner order.
struct CornerFaces {
    int p_face, q_face;
};
CornerFaces round_corner_faces(int v, int k);

// The build steps of init_geometry, in the run order.
enum class BuildStep { frame, grid, status, voxels };

// The text of tests/configs/<name>.nml.
std::string test_config(std::string_view name);

// Clears the records, writes `config` as master_nml into a scratch folder,
// reads NML_GR_INPUT from it as init_geometry does and runs the build steps up
// to and including `last` (set_mag, create_grid, set_status, create_voxel).
// Unit 1 is closed and the working folder restored afterwards.  The grid
// builder's lines and any warning go to unit 6 as in the program.
void build_geometry(std::string_view config, BuildStep last);

}  // namespace vorn::test
