#include "geometry/cell_status.hpp"

#include <algorithm>
#include <cstdint>
#include <initializer_list>

#include "checked_array/checked_array.hpp"
#include "geometry/dipole.hpp"
#include "geometry/grids.hpp"
#include "geometry/records.hpp"
#include "program_end/program_end.hpp"
#include "run_end/nan_operands.hpp"
#include "workers/parallel.hpp"

namespace vorn {

namespace {

// The magnetic radius and latitude of every grid node (p, q), which do not
// depend on the longitude, and its geographic radius at the longitudes of a
// block of cells.  Neighbouring cells share their corners, so each node is
// converted once per longitude, and its (p, q) to (r, lat) once per run: on
// the first longitude, node by node as the radii are found, so a trap still
// stops the run at the same node.
constexpr int longitudes_per_block = 16;
Array2<double, max_grid_p, max_grid_q, "NODE_MRAD"> node_mrad;
Array2<double, max_grid_p, max_grid_q, "NODE_MLAT"> node_mlat;
Array3<double, max_grid_p, max_grid_q, longitudes_per_block, "NODE_GRAD"> node_grad;

void find_node_radii(double mlon, bool first_longitude, int slot) {
    const GrGrid& g = gr_grid;
    for (std::int32_t ip = 1; ip <= g.gr_np; ++ip) {
        for (std::int32_t iq = 1; iq <= g.gr_nq; ++iq) {
            if (first_longitude) {
                const PolarPoint node = pq2polar_point({g.gr_p(ip), g.gr_q(iq)});
                node_mrad(ip, iq) = node.radius;
                node_mlat(ip, iq) = node.latitude;
            }
            node_grad(ip, iq, slot) = geographic_radius(node_mrad(ip, iq), node_mlat(ip, iq), mlon);
        }
    }
}

// The status of the cells at longitude il from the radii of their four
// corners at that longitude (`slot`): inside, above or below.
void classify_cells(std::int32_t il, int slot, double lower_r, double hi_r) {
    GrGrid& g = gr_grid;
    for (std::int32_t ip = 1; ip <= g.gr_np - 1; ++ip) {
        for (std::int32_t iq = 1; iq <= g.gr_nq - 1; ++iq) {
            int above = 0;
            int inside = 0;
            for (const double corner : {node_grad(ip, iq, slot), node_grad(ip + 1, iq, slot),
                                        node_grad(ip, iq + 1, slot), node_grad(ip + 1, iq + 1, slot)}) {
                if (corner > hi_r) above = above + 1;
                if (corner > lower_r && corner <= hi_r) inside = inside + 1;
            }
            g.gr_stat(ip, iq, il) = inside > 0 ? unnumbered_voxel : above > 0 ? above_shell : below_shell;
        }
    }
}

// Numbers the cells with a corner inside, in the order of the visit.
void number_voxels(std::int32_t il_first, std::int32_t il_last) {
    GrGrid& g = gr_grid;
    std::int32_t& n_voxel = cmn_g_voxel.g_v_dimension;
    for (std::int32_t il = il_first; il <= il_last; ++il) {
        for (std::int32_t ip = 1; ip <= g.gr_np - 1; ++ip) {
            for (std::int32_t iq = 1; iq <= g.gr_nq - 1; ++iq) {
                if (g.gr_stat(ip, iq, il) != unnumbered_voxel) continue;
                n_voxel = n_voxel + 1;
                g.gr_stat(ip, iq, il) = n_voxel;
                if (n_voxel > max_voxel) fatal_stop({{"Too many voxels required."}});
            }
        }
    }
}

}  // namespace

// The longitudes go in blocks: the radii and the cells of each longitude of a
// block on all cores (the first longitude's radii alone, while the node table
// fills), then the voxel numbers in order.  Finding the radii of a
// whole block before its voxels are numbered changes no end of the run: a
// node's conversion traps at one longitude only when it traps at all of them
// (a radius of zero), so at the first.
void set_status() {
    const GrGrid& g = gr_grid;
    raise_invalid_on_nan({cmn_gr_input.GR_I_GALT_LOWBDRY, cmn_gr_input.GR_I_GALT_HICUTOFF});
    const double lower_r = cmn_gr_input.GR_I_GALT_LOWBDRY + earth_radius;
    const double hi_r = cmn_gr_input.GR_I_GALT_HICUTOFF + earth_radius;
    cmn_g_voxel.g_v_dimension = 0;

    const std::int32_t cells_l = g.gr_nl - 1;
    for (std::int32_t il_first = 1; il_first <= cells_l; il_first += longitudes_per_block) {
        const std::int32_t il_last = std::min(il_first + (longitudes_per_block - 1), cells_l);
        if (il_first == 1) find_node_radii(g.gr_l(1), true, 1);
        parallel_for(il_last - il_first + 1, [&](std::int32_t chunk) {
            const std::int32_t il = il_first + chunk;
            if (il > 1) find_node_radii(g.gr_l(il), false, chunk + 1);
            classify_cells(il, chunk + 1, lower_r, hi_r);
        });
        number_voxels(il_first, il_last);
    }
}

}  // namespace vorn
