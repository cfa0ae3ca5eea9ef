// Voxels, faces, neighbours and boundary lists: small hand-made grids with
// every link checked, the capacities of the face and list arrays, and the
// connectivity invariants on larger hand-made and configured grids.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "geometry/voxel_geometry.hpp"
#include "geometry/voxels.hpp"
#include "support/geometry_setup.hpp"

namespace vorn {
namespace {

using test::active_cell;

constexpr int none = null_voxel;

struct Pair {
    int low, high;
    bool operator==(const Pair&) const = default;
};

void PrintTo(const Pair& pair, std::ostream* out) { *out << "(" << pair.low << ", " << pair.high << ")"; }

Pair pair_of(Axis kind, int f) {
    switch (kind) {
    case Axis::p: return {cmn_g_face_p.voxel(1, f), cmn_g_face_p.voxel(2, f)};
    case Axis::q: return {cmn_g_face_q.voxel(1, f), cmn_g_face_q.voxel(2, f)};
    case Axis::l: break;
    }
    return {cmn_g_face_l.voxel(1, f), cmn_g_face_l.voxel(2, f)};
}

int face_count(Axis kind) {
    switch (kind) {
    case Axis::p: return cmn_g_face_p.dim;
    case Axis::q: return cmn_g_face_q.dim;
    case Axis::l: break;
    }
    return cmn_g_face_l.dim;
}

template <class List>
std::vector<int> entries(int count, const List& list) {
    std::vector<int> result;
    for (int i = 1; i <= count; ++i) result.push_back(list(i));
    return result;
}

std::vector<int> rl() { return entries(cmn_g_voxel.g_v_bdry_rl_dim, cmn_g_voxel.g_v_boundary_rl); }
std::vector<int> rh() { return entries(cmn_g_voxel.g_v_bdry_rh_dim, cmn_g_voxel.g_v_boundary_rh); }
std::vector<int> ph() { return entries(cmn_g_voxel.g_v_bdry_ph_dim, cmn_g_voxel.g_v_boundary_ph); }
std::vector<int> ll() { return entries(cmn_g_voxel.g_v_bdry_ll_dim, cmn_g_voxel.g_v_boundary_ll); }
std::vector<int> lh() { return entries(cmn_g_voxel.g_v_bdry_lh_dim, cmn_g_voxel.g_v_boundary_lh); }

// A side of a voxel as the tests see it, with the arrays of the opposite side
// of the voxel across it.
struct TestSide {
    const char* name;
    Axis axis;
    bool high;
    ArraySpan<std::int32_t> face, neighbor, facing_face, facing_neighbor;
};

std::vector<TestSide> test_sides() {
    CmnGVoxel& x = cmn_g_voxel;
    return {
        {"ll", Axis::l, false, x.g_v_face_ll, x.g_v_neighbor_ll, x.g_v_face_lh, x.g_v_neighbor_lh},
        {"lh", Axis::l, true, x.g_v_face_lh, x.g_v_neighbor_lh, x.g_v_face_ll, x.g_v_neighbor_ll},
        {"pl", Axis::p, false, x.g_v_face_pl, x.g_v_neighbor_pl, x.g_v_face_ph, x.g_v_neighbor_ph},
        {"ph", Axis::p, true, x.g_v_face_ph, x.g_v_neighbor_ph, x.g_v_face_pl, x.g_v_neighbor_pl},
        {"ql", Axis::q, false, x.g_v_face_ql, x.g_v_neighbor_ql, x.g_v_face_qh, x.g_v_neighbor_qh},
        {"qh", Axis::q, true, x.g_v_face_qh, x.g_v_neighbor_qh, x.g_v_face_ql, x.g_v_neighbor_ql},
    };
}

// A hand-made grid in the geographic frame, flags cleared, with the altitude
// limit of the lower boundary out of reach.
void hand_grid(std::initializer_list<double> p, std::initializer_list<double> q, std::initializer_list<double> l) {
    reset_geometry_records();
    set_mag(1);
    cmn_gr_input.GR_I_GALT_LOWLIM = 1.0e9;
    test::set_grid_axes(p, q, l);
}

// One voxel at cell (1, 1, 1) under a cell that is no voxel.
void one_voxel(int status_above_it) {
    hand_grid({1.05, 1.10}, {-0.1, 0.0, 0.1}, {10.0, 20.0});
    test::set_cells([&](int, int iq, int) { return iq == 1 ? active_cell : status_above_it; });
    create_voxel();
}

void expect_one_voxel_faces() {
    const CmnGVoxel& x = cmn_g_voxel;
    ASSERT_EQ(x.g_v_dimension, 1);
    for (Axis kind : {Axis::p, Axis::q, Axis::l}) {
        EXPECT_EQ(face_count(kind), 2);
        EXPECT_EQ(pair_of(kind, 1), (Pair{none, 1}));
        EXPECT_EQ(pair_of(kind, 2), (Pair{1, none}));
    }
    for (const TestSide& side : test_sides()) {
        SCOPED_TRACE(side.name);
        EXPECT_EQ(side.face(1), side.high ? 2 : 1);
        EXPECT_EQ(side.neighbor(1), none);
    }
    EXPECT_EQ(ll(), std::vector<int>{1});
    EXPECT_EQ(lh(), std::vector<int>{1});
    EXPECT_EQ(ph(), std::vector<int>{1});
}

TEST(CreateVoxel, OneVoxelUnderACellBelowTheShell) {
    one_voxel(below_shell);
    expect_one_voxel_faces();
    // Low p, low q (the end of the q range) and high q (the cell below the shell).
    EXPECT_EQ(rl(), (std::vector<int>{1, 1, 1}));
    EXPECT_EQ(rh(), std::vector<int>{});
}

TEST(CreateVoxel, OneVoxelUnderACellAboveTheShell) {
    one_voxel(above_shell);
    expect_one_voxel_faces();
    EXPECT_EQ(rl(), (std::vector<int>{1, 1}));
    EXPECT_EQ(rh(), std::vector<int>{1});
}

// The list a side without a voxel across it enters depends on the side and,
// across q only, on where the facing cell lies.
TEST(CreateVoxel, BorderListsFollowTheSideAndTheFacingCell) {
    hand_grid({1.05, 1.10, 1.15, 1.20}, {-0.2, -0.1, 0.0, 0.1}, {10.0, 20.0});
    // Column ip = 2 holds the voxel 1 at iq = 2 between a cell above the shell
    // (iq = 1) and one below it (iq = 3); the cells at ip = 1 and 3 are above.
    test::set_cells([](int ip, int iq, int) {
        if (ip == 2 && iq == 2) return active_cell;
        return ip == 2 && iq == 3 ? below_shell : above_shell;
    });
    create_voxel();
    ASSERT_EQ(cmn_g_voxel.g_v_dimension, 1);
    // Low p into a cell above the shell still goes to rl, high p inside the
    // grid to rh whatever lies there; low q above the shell to rh, high q below
    // it to rl.
    EXPECT_EQ(rl(), (std::vector<int>{1, 1}));
    EXPECT_EQ(rh(), (std::vector<int>{1, 1}));
    EXPECT_EQ(ph(), std::vector<int>{});
}

TEST(CreateVoxel, TwoLongitudesGiveEveryVoxelTwoLFacesOfItsOwn) {
    hand_grid({1.05, 1.10, 1.15}, {-0.2, -0.1, 0.0, 0.1}, {9.995, 10.005});
    gr_grid.gr_2d = true;
    gr_grid.gr_reg = true;
    test::set_cells([](int ip, int iq, int) { return ip == 2 && iq == 3 ? below_shell : active_cell; });
    create_voxel();
    const CmnGVoxel& x = cmn_g_voxel;
    const int n = x.g_v_dimension;
    ASSERT_EQ(n, 5);
    EXPECT_EQ(face_count(Axis::l), 2 * n);
    std::vector<int> all;
    for (int v = 1; v <= n; ++v) {
        all.push_back(v);
        EXPECT_EQ(x.g_v_face_ll(v), 2 * v - 1);
        EXPECT_EQ(x.g_v_face_lh(v), 2 * v);
        EXPECT_EQ(pair_of(Axis::l, 2 * v - 1), (Pair{none, v}));
        EXPECT_EQ(pair_of(Axis::l, 2 * v), (Pair{v, none}));
        EXPECT_EQ(x.g_v_neighbor_ll(v), none);
        EXPECT_EQ(x.g_v_neighbor_lh(v), none);
    }
    EXPECT_EQ(ll(), all);
    EXPECT_EQ(lh(), all);
}

// A full circle of two l cells: the two voxels of a row share two l-faces.
TEST(CreateVoxel, FullCircleOfTwoCellsSharesTwoLFaces) {
    hand_grid({1.05, 1.10}, {-0.1, 0.0, 0.1}, {10.0, 190.0, 370.0});
    gr_grid.gr_glb = true;
    test::set_cells([](int, int, int) { return active_cell; });
    create_voxel();
    const CmnGVoxel& x = cmn_g_voxel;
    ASSERT_EQ(x.g_v_dimension, 4);
    // Voxels 1 and 2 at il = 1 (iq = 1, 2), voxels 3 and 4 at il = 2.  Each
    // il = 1 voxel makes its wrap face (low l) first, then its high-l face.
    EXPECT_EQ(face_count(Axis::l), 4);
    EXPECT_EQ(x.g_v_face_ll(1), 1);
    EXPECT_EQ(x.g_v_face_lh(1), 2);
    EXPECT_EQ(x.g_v_face_ll(2), 3);
    EXPECT_EQ(x.g_v_face_lh(2), 4);
    EXPECT_EQ(x.g_v_face_ll(3), 2);  // adopted
    EXPECT_EQ(x.g_v_face_lh(3), 1);  // the wrap face, taken over
    EXPECT_EQ(x.g_v_face_ll(4), 4);
    EXPECT_EQ(x.g_v_face_lh(4), 3);
    EXPECT_EQ(pair_of(Axis::l, 1), (Pair{3, 1}));
    EXPECT_EQ(pair_of(Axis::l, 2), (Pair{1, 3}));
    EXPECT_EQ(pair_of(Axis::l, 3), (Pair{4, 2}));
    EXPECT_EQ(pair_of(Axis::l, 4), (Pair{2, 4}));
    for (int v : {1, 2}) {
        EXPECT_EQ(x.g_v_neighbor_ll(v), v + 2);
        EXPECT_EQ(x.g_v_neighbor_lh(v), v + 2);
        EXPECT_EQ(x.g_v_neighbor_ll(v + 2), v);
        EXPECT_EQ(x.g_v_neighbor_lh(v + 2), v);
    }
    EXPECT_EQ(ll(), std::vector<int>{});
    EXPECT_EQ(lh(), std::vector<int>{});
    // The wrap face keeps the longitude one full turn beyond gr_l(1), the
    // face between the two cells the longitude between them.
    EXPECT_EQ(cmn_g_face_l.m_longitude(1), 370.0);
    EXPECT_EQ(cmn_g_face_l.m_longitude(3), 370.0);
    EXPECT_EQ(cmn_g_face_l.m_longitude(2), 190.0);
}

// A full circle of four l cells with one cell per (ip, iq).
void ring_of_four(bool first_active, bool second_active, bool third_active, bool last_active) {
    hand_grid({1.05, 1.10}, {-0.1, 0.1}, {0.0, 90.0, 180.0, 270.0, 360.0});
    gr_grid.gr_glb = true;
    const bool active[] = {first_active, second_active, third_active, last_active};
    test::set_cells([&](int, int, int il) { return active[il - 1] ? active_cell : below_shell; });
    create_voxel();
}

TEST(CreateVoxel, FullCircleWithoutThePartnerOfTheFirstCell) {
    ring_of_four(true, true, false, false);
    const CmnGVoxel& x = cmn_g_voxel;
    // Voxel 1 at il = 1 finds no voxel across the wrap: its own low-l face.
    EXPECT_EQ(x.g_v_neighbor_ll(1), none);
    EXPECT_EQ(pair_of(Axis::l, x.g_v_face_ll(1)), (Pair{none, 1}));
    EXPECT_EQ(ll(), std::vector<int>{1});
    EXPECT_EQ(lh(), std::vector<int>{2});
    EXPECT_EQ(face_count(Axis::l), 3);
}

TEST(CreateVoxel, FullCircleWithoutThePartnerOfTheLastCell) {
    ring_of_four(false, false, true, true);
    const CmnGVoxel& x = cmn_g_voxel;
    // Voxel 2 at il = 4 = gr_nl - 1 finds no voxel across the wrap.
    EXPECT_EQ(x.g_v_neighbor_lh(2), none);
    EXPECT_EQ(pair_of(Axis::l, x.g_v_face_lh(2)), (Pair{2, none}));
    EXPECT_EQ(ll(), std::vector<int>{1});
    EXPECT_EQ(lh(), std::vector<int>{2});
    EXPECT_EQ(face_count(Axis::l), 3);
}

TEST(CreateVoxel, FullCircleClosesWhenBothEndsAreVoxels) {
    ring_of_four(true, false, false, true);
    const CmnGVoxel& x = cmn_g_voxel;
    EXPECT_EQ(x.g_v_neighbor_ll(1), 2);
    EXPECT_EQ(x.g_v_neighbor_lh(2), 1);
    EXPECT_EQ(x.g_v_face_lh(2), x.g_v_face_ll(1));
    EXPECT_EQ(pair_of(Axis::l, x.g_v_face_ll(1)), (Pair{2, 1}));
    EXPECT_EQ(cmn_g_face_l.m_longitude(x.g_v_face_ll(1)), 360.0);
    // Voxel 1 has no voxel at il = 2, voxel 2 none at il = 3.
    EXPECT_EQ(lh(), std::vector<int>{1});
    EXPECT_EQ(ll(), std::vector<int>{2});
}

// Polar link with 8 l cells: two p cells, one q cell, so the voxel of the
// top row at il is 2 il.
void polar_ring(int inactive_top_il) {
    hand_grid({1.05, 1.10, 1.15}, {-0.1, 0.1}, {0.0, 45.0, 90.0, 135.0, 180.0, 225.0, 270.0, 315.0, 360.0});
    gr_grid.gr_glb = true;
    gr_grid.gr_polar_flag = true;
    test::set_cells([&](int ip, int, int il) {
        return ip == 2 && il == inactive_top_il ? above_shell : active_cell;
    });
    create_voxel();
}

TEST(CreateVoxel, PolarLinkPairsCellsHalfACircleApart) {
    polar_ring(0);
    const CmnGVoxel& x = cmn_g_voxel;
    ASSERT_EQ(x.g_v_dimension, 16);
    const int partner[] = {0, 5, 6, 7, 8, 1, 2, 3, 4};
    for (int il = 1; il <= 8; ++il) {
        const int v = 2 * il;
        const int n = 2 * partner[il];
        SCOPED_TRACE(il);
        EXPECT_EQ(x.g_v_neighbor_ph(v), n);
        // Each partner makes its own face, naming the other on its high side.
        EXPECT_EQ(pair_of(Axis::p, x.g_v_face_ph(v)), (Pair{v, n}));
        EXPECT_NE(x.g_v_face_ph(v), x.g_v_face_ph(n));
    }
    EXPECT_EQ(face_count(Axis::p), 8 + 16);
    EXPECT_EQ(ph(), std::vector<int>{});
    EXPECT_EQ(rh(), std::vector<int>{});
}

TEST(CreateVoxel, PolarSideWithoutAPartnerEntersNoList) {
    polar_ring(5);
    const CmnGVoxel& x = cmn_g_voxel;
    // Voxel 2 (top row, il = 1) faces the cell at il = 5, which is no voxel.
    EXPECT_EQ(x.g_v_neighbor_ph(2), none);
    EXPECT_EQ(pair_of(Axis::p, x.g_v_face_ph(2)), (Pair{2, none}));
    const std::vector<int> upper = rh();
    // Only voxel 9 (ip = 1 under the missing cell) enters rh, through its high-p side.
    EXPECT_EQ(upper, std::vector<int>{9});
    EXPECT_EQ(ph(), std::vector<int>{});
}

TEST(CreateVoxel, PolarCellOfATwoLongitudeGridFacesItself) {
    hand_grid({1.05, 1.10}, {-0.1, 0.1}, {9.995, 10.005});
    gr_grid.gr_polar_flag = true;
    test::set_cells([](int, int, int) { return active_cell; });
    create_voxel();
    EXPECT_EQ(cmn_g_voxel.g_v_neighbor_ph(1), 1);
    EXPECT_EQ(pair_of(Axis::p, cmn_g_voxel.g_v_face_ph(1)), (Pair{1, 1}));
}

// Capacities: the arrays of the face pairs and of the lists stop the run with
// the subscript report naming them.
struct CapacityCase {
    const char* array;
    long value;
    int np, nq, nl;
    bool (*active)(int ip, int iq, int il);
    int (*inactive)(int ip, int iq, int il);
};

std::vector<double> ascending(int n, double first, double step) {
    std::vector<double> values;
    for (int i = 0; i < n; ++i) values.push_back(first + step * i);
    return values;
}

void fill_axis(auto& axis, const std::vector<double>& values) {
    for (std::size_t i = 0; i < values.size(); ++i) axis(static_cast<int>(i) + 1) = values[i];
}

void PrintTo(const CapacityCase& c, std::ostream* out) { *out << c.array; }

class CapacityTest : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(CapacityTest, OverflowNamesTheArray) {
    const CapacityCase& c = GetParam();
    hand_grid({}, {}, {});
    GrGrid& g = gr_grid;
    g.gr_np = c.np;
    g.gr_nq = c.nq;
    g.gr_nl = c.nl;
    fill_axis(g.gr_p, ascending(c.np, 1.01, 0.01));
    fill_axis(g.gr_q, ascending(c.nq, -0.5, 1.0 / c.nq));
    fill_axis(g.gr_l, ascending(c.nl, 0.0, 1.0));
    test::set_cells([&](int ip, int iq, int il) { return c.active(ip, iq, il) ? active_cell : c.inactive(ip, iq, il); });
    ASSERT_LE(cmn_g_voxel.g_v_dimension, max_voxel);
    const std::string report = "Subscript number [12] has value " + std::to_string(c.value) + " in array '" + c.array + "'";
    EXPECT_DEATH(create_voxel(), report);
}

int below(int, int, int) { return below_shell; }
int above(int, int, int) { return above_shell; }
// Below the shell at every other even iq, above it at the others.
int alternating_in_q(int, int iq, int) { return iq % 4 == 2 ? below_shell : above_shell; }
bool odd_p(int ip, int, int) { return ip % 2 == 1; }
bool odd_q(int, int iq, int) { return iq % 2 == 1; }
bool odd_l(int, int, int il) { return il % 2 == 1; }
bool odd_p_and_q(int ip, int iq, int) { return ip % 2 == 1 && iq % 2 == 1; }

// Each case makes two faces of one kind, or up to three entries of one list,
// per voxel, and fewer of everything else.
INSTANTIATE_TEST_SUITE_P(
    CreateVoxel, CapacityTest,
    ::testing::Values(CapacityCase{"G_FP_VOXEL", 110001, 100, 199, 7, odd_p, below},
                      CapacityCase{"G_FQ_VOXEL", 110001, 100, 199, 7, odd_q, alternating_in_q},
                      CapacityCase{"G_FL_VOXEL", 120001, 8, 199, 100, odd_l, below},
                      CapacityCase{"G_V_BOUNDARY_RL", 100001, 100, 199, 8, odd_p_and_q, below},
                      CapacityCase{"G_V_BOUNDARY_RH", 100001, 100, 199, 8, odd_p_and_q, above}),
    [](const ::testing::TestParamInfo<CapacityCase>& info) { return std::string(info.param.array); });

// Connectivity invariants of a finished build.
struct CellIndex {
    int ip = 0, iq = 0, il = 0;
};

void check_connectivity() {
    const GrGrid& g = gr_grid;
    const CmnGVoxel& x = cmn_g_voxel;
    const int n = x.g_v_dimension;
    const int cells_l = g.gr_nl - 1;

    // Voxel numbers run 1..n without gaps in visiting order.
    std::vector<CellIndex> cell_of(n + 1);
    int expected = 0;
    for (int il = 1; il <= g.gr_nl - 1; ++il)
        for (int ip = 1; ip <= g.gr_np - 1; ++ip)
            for (int iq = 1; iq <= g.gr_nq - 1; ++iq) {
                const int status = g.gr_stat(ip, iq, il);
                if (status <= 0) {
                    ASSERT_TRUE(status == below_shell || status == above_shell) << ip << " " << iq << " " << il;
                    continue;
                }
                ASSERT_EQ(status, ++expected);
                cell_of[status] = {ip, iq, il};
            }
    ASSERT_EQ(expected, n);

    std::vector<int> references[3];
    for (Axis kind : {Axis::p, Axis::q, Axis::l}) references[static_cast<int>(kind)].assign(face_count(kind) + 1, 0);
    std::vector<int> border_sides(n + 1, 0);  // p and q sides that must enter rl, rh or ph
    int open_pl = 0, open_ql = 0, open_ll = 0, open_lh = 0;
    auto polar_side = [&](const TestSide& side, int v) {
        return side.axis == Axis::p && side.high && g.gr_polar_flag && cell_of[v].ip == g.gr_np - 1;
    };

    for (int v = 1; v <= n; ++v) {
        const CellIndex c = cell_of[v];
        for (const TestSide& side : test_sides()) {
            SCOPED_TRACE(::testing::Message() << "voxel " << v << " side " << side.name);
            const int f = side.face(v);
            ASSERT_GE(f, 1);
            ASSERT_LE(f, face_count(side.axis));
            ++references[static_cast<int>(side.axis)][f];
            const int neighbor = side.neighbor(v);
            const Pair pair = pair_of(side.axis, f);
            EXPECT_EQ(side.high ? pair.low : pair.high, v);
            EXPECT_EQ(side.high ? pair.high : pair.low, neighbor);
            if (neighbor != none) {
                ASSERT_GE(neighbor, 1);
                ASSERT_LE(neighbor, n);
                const CellIndex m = cell_of[neighbor];
                if (polar_side(side, v)) {
                    // Partners are mutual when the l cells are an even number.
                    if (cells_l % 2 == 0) {
                        EXPECT_EQ(side.neighbor(neighbor), v);
                    }
                    EXPECT_EQ(m.ip, c.ip);
                    EXPECT_EQ(m.iq, c.iq);
                    EXPECT_EQ(m.il, (c.il - 1 + cells_l / 2) % cells_l + 1);
                } else {
                    EXPECT_EQ(side.facing_neighbor(neighbor), v);
                    EXPECT_EQ(side.facing_face(neighbor), f);
                    const int step = side.high ? 1 : -1;
                    int ip = c.ip, iq = c.iq, il = c.il;
                    if (side.axis == Axis::p) ip += step;
                    if (side.axis == Axis::q) iq += step;
                    if (side.axis == Axis::l) il = (il - 1 + step + cells_l) % cells_l + 1;
                    EXPECT_EQ(m.ip, ip);
                    EXPECT_EQ(m.iq, iq);
                    EXPECT_EQ(m.il, il);
                }
                continue;
            }
            if (side.axis == Axis::l) {
                ++(side.high ? open_lh : open_ll);
                continue;
            }
            if (!side.high) ++(side.axis == Axis::p ? open_pl : open_ql);
            if (!polar_side(side, v)) ++border_sides[v];
        }
    }

    // Each face is named by every voxel of its pair, once, except that a polar
    // face is named by the voxel that made it alone.
    for (Axis kind : {Axis::p, Axis::q, Axis::l})
        for (int f = 1; f <= face_count(kind); ++f) {
            const Pair pair = pair_of(kind, f);
            ASSERT_TRUE(pair.low != none || pair.high != none);
            int expected_references = (pair.low != none) + (pair.high != none);
            if (kind == Axis::p && pair.low != none && g.gr_polar_flag && cell_of[pair.low].ip == g.gr_np - 1)
                expected_references = 1;
            EXPECT_EQ(references[static_cast<int>(kind)][f], expected_references) << "face " << f;
        }

    EXPECT_EQ(cmn_g_face_l.dim, n + x.g_v_bdry_ll_dim);
    EXPECT_EQ(cmn_g_face_q.dim, n + open_ql);
    EXPECT_EQ(cmn_g_face_p.dim, n + open_pl);
    EXPECT_EQ(x.g_v_bdry_ll_dim, open_ll);
    EXPECT_EQ(x.g_v_bdry_lh_dim, open_lh);

    // Lists are filled in visiting order, and each p or q border side is in
    // exactly one of rl, rh and ph.
    std::vector<int> listed(n + 1, 0);
    for (const std::vector<int>& list : {rl(), rh(), ph(), ll(), lh()})
        for (std::size_t i = 0; i < list.size(); ++i) {
            ASSERT_GE(list[i], 1);
            ASSERT_LE(list[i], n);
            if (i > 0) {
                EXPECT_LE(list[i - 1], list[i]);
            }
        }
    for (const std::vector<int>& list : {rl(), rh(), ph()})
        for (int v : list) ++listed[v];
    for (int v = 1; v <= n; ++v) EXPECT_EQ(listed[v], border_sides[v]) << "voxel " << v;
    for (int v : ph()) EXPECT_EQ(cell_of[v].ip, g.gr_np - 1);
    if (g.gr_polar_flag) {
        EXPECT_EQ(x.g_v_bdry_ph_dim, 0);
    }
}

// A scattered pattern of voxels and cells below and above the shell.
int scattered(int ip, int iq, int il) {
    const unsigned h = static_cast<unsigned>(ip * 7919 + iq * 104729 + il * 1299709) * 2654435761u;
    const unsigned r = (h >> 16) % 10;
    return r < 7 ? active_cell : r < 9 ? below_shell : above_shell;
}

void scattered_grid(std::initializer_list<double> l, bool full_circle, bool polar) {
    hand_grid({1.02, 1.04, 1.06, 1.08, 1.10, 1.12, 1.14},
              {-0.3, -0.2, -0.1, -0.05, 0.0, 0.05, 0.1, 0.2, 0.3}, l);
    gr_grid.gr_glb = full_circle;
    gr_grid.gr_reg = !full_circle;
    gr_grid.gr_polar_flag = polar;
    test::set_cells(scattered);
    create_voxel();
}

TEST(CreateVoxelInvariants, ScatteredRegionalGrid) {
    scattered_grid({10.0, 20.0, 30.0, 40.0, 50.0, 60.0}, false, false);
    ASSERT_GT(cmn_g_voxel.g_v_dimension, 100);
    check_connectivity();
}

TEST(CreateVoxelInvariants, ScatteredFullCircle) {
    scattered_grid({0.0, 60.0, 120.0, 180.0, 240.0, 300.0, 360.0}, true, false);
    check_connectivity();
}

TEST(CreateVoxelInvariants, ScatteredFullCircleWithThePolarLink) {
    scattered_grid({0.0, 45.0, 90.0, 135.0, 180.0, 225.0, 270.0, 315.0, 360.0}, true, true);
    check_connectivity();
}

TEST(CreateVoxelInvariants, ScatteredRegionalGridWithThePolarLink) {
    // Five l cells: il faces il + 2 modulo 5.
    scattered_grid({10.0, 20.0, 30.0, 40.0, 50.0, 60.0}, false, true);
    check_connectivity();
}

// Grids built from configurations as the program builds them.
struct ConfiguredCase {
    const char* name;  // tests/configs/<name>.nml
    bool full_circle, polar;
    int mag_type;
};

void PrintTo(const ConfiguredCase& c, std::ostream* out) { *out << c.name; }

class ConfiguredGrid : public ::testing::TestWithParam<ConfiguredCase> {};

TEST_P(ConfiguredGrid, ConnectivityInvariantsHold) {
    const ConfiguredCase& c = GetParam();
    test::build_geometry(test::test_config(c.name), test::BuildStep::voxels);
    ASSERT_EQ(gr_grid.gr_glb, c.full_circle);
    ASSERT_EQ(gr_grid.gr_polar_flag, c.polar);
    ASSERT_EQ(d_dipole.d_mag_type, c.mag_type);
    ASSERT_GT(cmn_g_voxel.g_v_dimension, 100);
    check_connectivity();
    if (c.polar) {
        int linked = 0;
        for (int v = 1; v <= cmn_g_voxel.g_v_dimension; ++v)
            if (cmn_g_voxel.g_v_neighbor_ph(v) != none && cmn_g_voxel.g_v_neighbor_ph(v) < v) ++linked;
        EXPECT_GT(linked, 0) << "voxels linked across the pole";
    }
}

INSTANTIATE_TEST_SUITE_P(CreateVoxel, ConfiguredGrid,
                         ::testing::Values(ConfiguredCase{"regional_geographic", false, false, 1},
                                           ConfiguredCase{"regional_eccentric", false, false, 3},
                                           ConfiguredCase{"single_longitude_geographic", false, false, 1},
                                           ConfiguredCase{"full_circle_dipole", true, false, 2},
                                           ConfiguredCase{"polar_dipole", true, true, 2},
                                           ConfiguredCase{"polar_eccentric", true, true, 3}),
                         [](const ::testing::TestParamInfo<ConfiguredCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorn
