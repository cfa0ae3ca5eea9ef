#include "support/geometry_setup.hpp"

#include <filesystem>
#include <string>
#include <unistd.h>

#include "geometry/cell_status.hpp"
#include "geometry/frame.hpp"
#include "geometry/grids.hpp"
#include "geometry/init_geometry.hpp"
#include "geometry/records.hpp"
#include "geometry/voxels.hpp"
#include "support/test_support.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"

namespace vorn::test {

namespace {

template <class Axis>
int fill_axis(Axis& axis, std::initializer_list<double> values) {
    int n = 0;
    for (double value : values) axis(++n) = value;
    return n;
}

}  // namespace

void set_grid_axes(std::initializer_list<double> p, std::initializer_list<double> q,
                   std::initializer_list<double> l) {
    GrGrid& g = gr_grid;
    g.gr_np = fill_axis(g.gr_p, p);
    g.gr_nq = fill_axis(g.gr_q, q);
    g.gr_nl = fill_axis(g.gr_l, l);
}

void set_cells(const std::function<int(int ip, int iq, int il)>& kind) {
    GrGrid& g = gr_grid;
    int voxels = 0;
    for (int il = 1; il <= g.gr_nl - 1; ++il)
        for (int ip = 1; ip <= g.gr_np - 1; ++ip)
            for (int iq = 1; iq <= g.gr_nq - 1; ++iq) {
                const int status = kind(ip, iq, il);
                g.gr_stat(ip, iq, il) = status > 0 ? ++voxels : status;
            }
    cmn_g_voxel.g_v_dimension = voxels;
}

CornerFaces round_corner_faces(int v, int k) {
    const CmnGVoxel& x = cmn_g_voxel;
    const bool high_p = k == 2 || k == 3;
    const bool high_q = k == 3 || k == 4;
    return {high_p ? x.g_v_face_ph(v) : x.g_v_face_pl(v), high_q ? x.g_v_face_qh(v) : x.g_v_face_ql(v)};
}

std::string test_config(std::string_view name) {
    return read_file(std::filesystem::path(VORN_SOURCE_DIR) / "tests" / "configs" / (std::string(name) + ".nml"));
}

void build_geometry(std::string_view config, BuildStep last) {
    namespace fs = std::filesystem;
    reset_geometry_records();
    const fs::path home = fs::current_path();
    // A folder of this process's own: ctest runs the test programs side by side.
    const fs::path dir = scratch_dir("geometry_setup_" + std::to_string(::getpid()));
    write_file(dir / "master_nml", config);
    fs::current_path(dir);
    open_config_file();
    read_gr_input();
    rewind_config_file();
    set_mag(cmn_gr_input.GR_I_MAG_TYPE);
    if (last >= BuildStep::grid) create_grid();
    if (last >= BuildStep::status) set_status();
    if (last >= BuildStep::voxels) create_voxel();
    close_unit(config_unit);
    fs::current_path(home);
}

}  // namespace vorn::test
