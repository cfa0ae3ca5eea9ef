#include "geometry/voxels.hpp"

#include <cstdint>

#include "geometry/records.hpp"
#include "geometry/voxel_geometry.hpp"

namespace vorn {

namespace {

// What lies past the last cell of a side's axis.
enum class Beyond {
    edge,  // nothing: the grid ends there
    wrap,  // in a full circle (gr_glb), the cell at the other end of the l axis
    pole,  // with the polar link (gr_polar_flag), the cell half a circle away in l
};

// The boundary list a side enters when no voxel lies across it.
enum class List {
    none,
    rl,
    rh,
    ph,
    ll,
    lh,
    by_status,  // rh when the facing cell lies above the shell, rl otherwise
};

// One side of a voxel: where its facing cell is, which arrays it fills, and
// which boundary list it enters when the facing cell is no voxel.
struct Side {
    Axis axis;                          // the index that steps to the facing cell; the face kind
    int step;                           // -1 the low side, +1 the high side
    ArraySpan<std::int32_t> face;        // the voxel's face on this side
    ArraySpan<std::int32_t> facing_face; // the facing voxel's face on the other side
    ArraySpan<std::int32_t> neighbor;
    Beyond beyond;
    List at_edge;          // the side lies on the grid's edge
    List inactive_inside;  // the facing cell inside the grid is no voxel
    List inactive_beyond;  // the cell across the wrap or the pole is no voxel
};

struct Cell {
    int ip, iq, il;
};

enum class Where { edge, inside, wrap, pole };

struct Facing {
    Where where;
    Cell cell;  // meaningful unless where is edge
};

int& index_along(Cell& cell, Axis axis) {
    switch (axis) {
    case Axis::p: return cell.ip;
    case Axis::q: return cell.iq;
    case Axis::l: break;
    }
    return cell.il;
}

int cells_along(Axis axis) {
    switch (axis) {
    case Axis::p: return gr_grid.gr_np - 1;
    case Axis::q: return gr_grid.gr_nq - 1;
    case Axis::l: break;
    }
    return gr_grid.gr_nl - 1;
}

// The longitude index half a circle away: il + h modulo the cell count, with
// h half the count (rounded down); 0 stands for the last cell.
int across_the_pole(int il) {
    const int cells = gr_grid.gr_nl - 1;
    const int facing = (il + cells / 2) % cells;
    return facing == 0 ? cells : facing;
}

Facing facing_cell(const Side& side, const Cell& cell) {
    Cell facing = cell;
    int& k = index_along(facing, side.axis);
    const int last = cells_along(side.axis);
    k += side.step;
    if (k >= 1 && k <= last) return {Where::inside, facing};
    if (side.beyond == Beyond::wrap && gr_grid.gr_glb) {
        k = side.step < 0 ? last : 1;
        return {Where::wrap, facing};
    }
    if (side.beyond == Beyond::pole && gr_grid.gr_polar_flag) {
        k -= side.step;
        facing.il = across_the_pole(facing.il);
        return {Where::pole, facing};
    }
    return {Where::edge, facing};
}

void append(List list, int facing_status, int v) {
    CmnGVoxel& x = cmn_g_voxel;
    auto push = [v](std::int32_t& count, ArraySpan<std::int32_t> entries) {
        count += 1;
        entries(count) = v;
    };
    if (list == List::by_status) list = facing_status == above_shell ? List::rh : List::rl;
    switch (list) {
    case List::none: break;
    case List::rl: push(x.g_v_bdry_rl_dim, x.g_v_boundary_rl); break;
    case List::rh: push(x.g_v_bdry_rh_dim, x.g_v_boundary_rh); break;
    case List::ph: push(x.g_v_bdry_ph_dim, x.g_v_boundary_ph); break;
    case List::ll: push(x.g_v_bdry_ll_dim, x.g_v_boundary_ll); break;
    case List::lh: push(x.g_v_bdry_lh_dim, x.g_v_boundary_lh); break;
    case List::by_status: break;
    }
}

// The pair first (the subscript test of the pair array guards the face
// capacity), then the centre.
void store_face(const Side& side, int f, int v, int neighbor, const CellBox& box) {
    const bool high_side = side.step > 0;
    with_face_record(side.axis, [&](auto& faces) {
        faces.voxel(1, f) = high_side ? v : neighbor;
        faces.voxel(2, f) = high_side ? neighbor : v;
    });
    set_face_centre(side.axis, high_side, f, box);
}

void handle_side(const Side& side, int v, const Cell& cell, const CellBox& box) {
    const Facing facing = facing_cell(side, cell);
    const int status =
        facing.where == Where::edge ? 0 : gr_grid.gr_stat(facing.cell.ip, facing.cell.iq, facing.cell.il);
    int neighbor = null_voxel;
    // The facing voxel, visited first, has made the face the two share: the
    // low neighbour inside the grid, or the il = 1 partner across the wrap.
    // Partners across the pole never share a face.
    bool made_by_facing = false;
    List list = List::none;
    if (status > 0) {
        neighbor = status;
        made_by_facing =
            (facing.where == Where::inside && side.step < 0) || (facing.where == Where::wrap && side.step > 0);
    } else {
        list = facing.where == Where::edge     ? side.at_edge
               : facing.where == Where::inside ? side.inactive_inside
                                               : side.inactive_beyond;
    }
    side.neighbor(v) = neighbor;
    int f;
    if (made_by_facing) {
        f = side.facing_face(neighbor);
        // The wrap face is stored again from this side, at longitude gr_l(gr_nl).
        if (facing.where == Where::wrap) store_face(side, f, v, neighbor, box);
    } else {
        f = with_face_record(side.axis, [](auto& faces) { return faces.dim += 1; });
        store_face(side, f, v, neighbor, box);
    }
    side.face(v) = f;
    append(list, status, v);
}

}  // namespace

void create_voxel() {
    CmnGVoxel& x = cmn_g_voxel;
    // The six sides, in the order each voxel handles them.  A high-p side
    // across the pole without a voxel there enters no list.
    const Side sides[] = {
        // axis  step  face          facing face    neighbour          beyond        edge      inactive          inactive beyond
        {Axis::l, -1, x.g_v_face_ll, x.g_v_face_lh, x.g_v_neighbor_ll, Beyond::wrap, List::ll, List::ll,        List::ll},
        {Axis::l, +1, x.g_v_face_lh, x.g_v_face_ll, x.g_v_neighbor_lh, Beyond::wrap, List::lh, List::lh,        List::lh},
        {Axis::p, -1, x.g_v_face_pl, x.g_v_face_ph, x.g_v_neighbor_pl, Beyond::edge, List::rl, List::rl,        List::none},
        {Axis::p, +1, x.g_v_face_ph, x.g_v_face_pl, x.g_v_neighbor_ph, Beyond::pole, List::ph, List::rh,        List::none},
        {Axis::q, -1, x.g_v_face_ql, x.g_v_face_qh, x.g_v_neighbor_ql, Beyond::edge, List::rl, List::by_status, List::none},
        {Axis::q, +1, x.g_v_face_qh, x.g_v_face_ql, x.g_v_neighbor_qh, Beyond::edge, List::rl, List::by_status, List::none},
    };

    cmn_g_face_p.dim = 0;
    cmn_g_face_q.dim = 0;
    cmn_g_face_l.dim = 0;
    x.g_v_bdry_rl_dim = 0;
    x.g_v_bdry_rh_dim = 0;
    x.g_v_bdry_ph_dim = 0;
    x.g_v_bdry_ll_dim = 0;
    x.g_v_bdry_lh_dim = 0;

    const GrGrid& g = gr_grid;
    for (int il = 1; il <= g.gr_nl - 1; ++il)
        for (int ip = 1; ip <= g.gr_np - 1; ++ip)
            for (int iq = 1; iq <= g.gr_nq - 1; ++iq) {
                const int v = g.gr_stat(ip, iq, il);
                if (v <= 0) continue;
                const CellBox box = cell_box(ip, iq, il);
                set_voxel_centre(v, box);
                for (const Side& side : sides) handle_side(side, v, {ip, iq, il}, box);
            }

    set_metric();
    check_lower_boundary_altitude();
}

}  // namespace vorn
