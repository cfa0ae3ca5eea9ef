// Cell status: the corner rules at the two shell radii, cells of corners
// above and below, the low-longitude corners alone, the voxel numbering, the
// frames with and without offset, and the voxel capacity.
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/cell_status.hpp"
#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/grids.hpp"
#include "geometry/records.hpp"
#include "run_end/end_hooks.hpp"
#include "support/test_support.hpp"
#include "units/units.hpp"

namespace vorn {
namespace {

constexpr double re = 6371200.0;

const GrGrid& grid = gr_grid;

// Zeroes the grid, sets the axes and the shell (altitudes in m) in frame
// `mag_type`.
void use_grid(std::int32_t mag_type, std::initializer_list<double> p, std::initializer_list<double> q,
              std::initializer_list<double> l, double low_alt, double cutoff_alt) {
    std::memset(static_cast<void*>(&gr_grid), 0, sizeof gr_grid);
    cmn_gr_input = {};
    cmn_gr_input.GR_I_GALT_LOWBDRY = low_alt;
    cmn_gr_input.GR_I_GALT_HICUTOFF = cutoff_alt;
    set_mag(mag_type);
    int i = 0;
    for (double v : p) gr_grid.gr_p(++i) = v;
    gr_grid.gr_np = i;
    i = 0;
    for (double v : q) gr_grid.gr_q(++i) = v;
    gr_grid.gr_nq = i;
    i = 0;
    for (double v : l) gr_grid.gr_l(++i) = v;
    gr_grid.gr_nl = i;
    cmn_g_voxel.g_v_dimension = -1;
}

// Evenly spaced axis values lo, ..., hi.
void fill_even(double* first, int n, double lo, double hi) {
    for (int i = 0; i < n; ++i) first[i] = lo + (hi - lo) * i / (n - 1);
}

// An identity-frame grid of n_p x n_q x n_l nodes whose every cell is a voxel.
void use_full_grid(int n_p, int n_q, int n_l) {
    use_grid(1, {}, {}, {}, 1.0 - re, 1.0e9);
    gr_grid.gr_np = n_p;
    gr_grid.gr_nq = n_q;
    gr_grid.gr_nl = n_l;
    fill_even(gr_grid.gr_p.data(), n_p, 1.0, 2.0);
    fill_even(gr_grid.gr_q.data(), n_q, -0.5, 0.5);
    fill_even(gr_grid.gr_l.data(), n_l, 0.0, 40.0);
}

// On the equator at longitude 0 the identity frame keeps the radius p Re
// exactly.  Lower radius 1.015625 Re, cut-off 1.125 Re (both exact products).
constexpr double lower_alt = 1.015625 * re - re;
constexpr double cutoff_alt = 1.125 * re - re;

TEST(CellStatus, CornerAtTheLowerRadiusIsNotInsideAndAtTheCutOffIs) {
    // Along q = 0.35 every line lies lower: 1.015625 and 1.125 fall below the
    // shell there, 1.5 stays above the cut-off.
    use_grid(1, {1.0, 1.015625, 1.125, 1.5}, {0.0, 0.35}, {0.0, 10.0}, lower_alt, cutoff_alt);
    set_status();
    EXPECT_EQ(grid.gr_stat(1, 1, 1), below_shell);  // its only candidate lies exactly on the lower radius
    EXPECT_EQ(grid.gr_stat(2, 1, 1), 1);            // a corner exactly on the cut-off
    EXPECT_EQ(grid.gr_stat(3, 1, 1), 2);            // the same corner, with the others above or below
    EXPECT_EQ(cmn_g_voxel.g_v_dimension, 2);
}

TEST(CellStatus, CellsWithoutAnInsideCorner) {
    // Two corners below and two above; all four above.
    use_grid(1, {1.0, 1.5}, {0.0, 0.35}, {0.0, 10.0}, lower_alt, cutoff_alt);
    set_status();
    EXPECT_EQ(grid.gr_stat(1, 1, 1), above_shell);
    use_grid(1, {1.2, 1.5}, {0.0, 0.05}, {0.0, 10.0}, lower_alt, cutoff_alt);
    set_status();
    EXPECT_EQ(grid.gr_stat(1, 1, 1), above_shell);
    EXPECT_EQ(cmn_g_voxel.g_v_dimension, 0);
    // One corner inside and three above is a voxel.
    use_grid(1, {1.2, 1.5}, {0.0, 0.3}, {0.0, 10.0}, lower_alt, cutoff_alt);
    set_status();
    EXPECT_EQ(grid.gr_stat(1, 1, 1), 1);
}

TEST(CellStatus, ShellWithTheCutOffBelowTheLowerBoundaryHasNoVoxels) {
    use_grid(1, {1.0, 1.05, 1.2, 1.3}, {-0.2, 0.0, 0.2}, {0.0, 10.0, 20.0}, 900.0e3, 600.0e3);
    set_status();
    EXPECT_EQ(cmn_g_voxel.g_v_dimension, 0);
    for (int il = 1; il <= 2; ++il) {
        for (int iq = 1; iq <= 2; ++iq) {
            EXPECT_EQ(grid.gr_stat(1, iq, il), below_shell);  // at most 1.05 Re: not above 600 km
            EXPECT_EQ(grid.gr_stat(3, iq, il), above_shell);  // 1.2 Re on the equator is above it
        }
    }
}

TEST(CellStatus, OneValueOnAnAxisGivesNoCells) {
    use_grid(1, {1.1}, {-0.2, 0.0, 0.2}, {0.0, 10.0}, 100.0e3, 2000.0e3);
    set_status();
    EXPECT_EQ(cmn_g_voxel.g_v_dimension, 0);
    EXPECT_EQ(grid.gr_stat(1, 1, 1), 0);
}

TEST(CellStatus, OnlyTheCornersAtTheLowLongitudeAreTested) {
    // In the eccentric frame the same magnetic point lies at different
    // geographic radii at the two longitudes; the lower boundary is put
    // between the cell's radii at the two.
    const double p_lo = 1.1, p_hi = 1.11;
    use_grid(3, {p_lo, p_hi}, {0.0, 0.01}, {0.0, 10.0}, 0.0, 3000.0e3);
    double low_lon = 0.0, high_lon = 0.0, low_max = 1.0e32, high_min = 0.0;
    for (double lon = 0.0; lon < 360.0; lon += 10.0) {
        double corner_min = 1.0e32, corner_max = 0.0;
        for (double p : {p_lo, p_hi}) {
            for (double q : {0.0, 0.01}) {
                const auto [r, lat] = pq2polar_point({p, q});
                const double g = geographic_radius(r, lat, lon);
                corner_min = std::fmin(corner_min, g);
                corner_max = std::fmax(corner_max, g);
            }
        }
        if (corner_max < low_max) low_max = corner_max, low_lon = lon;
        if (corner_min > high_min) high_min = corner_min, high_lon = lon;
    }
    ASSERT_GT(high_min - low_max, 1.0e5);
    const double between = 0.5 * (low_max + high_min) - re;

    use_grid(3, {p_lo, p_hi}, {0.0, 0.01}, {low_lon, high_lon}, between, 3000.0e3);
    set_status();
    EXPECT_EQ(grid.gr_stat(1, 1, 1), below_shell);
    use_grid(3, {p_lo, p_hi}, {0.0, 0.01}, {high_lon, low_lon}, between, 3000.0e3);
    set_status();
    EXPECT_EQ(grid.gr_stat(1, 1, 1), 1);
}

TEST(CellStatus, VoxelsAreNumberedWithQFastestAndLSlowest) {
    use_full_grid(4, 6, 3);
    set_status();
    EXPECT_EQ(cmn_g_voxel.g_v_dimension, 3 * 5 * 2);
    for (int il = 1; il <= 2; ++il)
        for (int ip = 1; ip <= 3; ++ip)
            for (int iq = 1; iq <= 5; ++iq) EXPECT_EQ(grid.gr_stat(ip, iq, il), iq + 5 * ((ip - 1) + 3 * (il - 1)));
}

// The sign pattern of the cells at longitude index il.
std::vector<int> pattern(int il) {
    std::vector<int> signs;
    for (int ip = 1; ip < grid.gr_np; ++ip)
        for (int iq = 1; iq < grid.gr_nq; ++iq) signs.push_back(grid.gr_stat(ip, iq, il) > 0 ? 1 : grid.gr_stat(ip, iq, il));
    return signs;
}

TEST(CellStatus, PatternRepeatsInLongitudeOnlyWithoutOffset) {
    const std::initializer_list<double> p = {1.0, 1.02, 1.05, 1.1, 1.2, 1.4, 2.0, 4.0};
    const std::initializer_list<double> q = {-0.9, -0.6, -0.3, -0.1, 0.0, 0.1, 0.3, 0.6, 0.9};
    const std::initializer_list<double> l = {0.0, 45.0, 90.0, 135.0, 180.0, 225.0, 270.0, 315.0};
    for (const std::int32_t type : {1, 2}) {
        use_grid(type, p, q, l, 100.0e3, 1500.0e3);
        set_status();
        EXPECT_GT(cmn_g_voxel.g_v_dimension, 0);
        for (int il = 2; il <= 7; ++il) EXPECT_EQ(pattern(il), pattern(1)) << "type " << type << " il " << il;
    }
    use_grid(3, p, q, l, 100.0e3, 1500.0e3);
    set_status();
    bool varies = false;
    for (int il = 2; il <= 7; ++il) varies = varies || pattern(il) != pattern(1);
    EXPECT_TRUE(varies);
}

TEST(CellStatus, HundredThousandVoxelsFitAndOneMoreStops) {
    use_full_grid(51, 101, 21);  // 50 x 100 x 20 cells
    set_status();
    EXPECT_EQ(cmn_g_voxel.g_v_dimension, max_voxel);
    EXPECT_EQ(grid.gr_stat(50, 100, 20), max_voxel);

    use_full_grid(51, 101, 22);
    flush_all_units();
    const test::RunResult run = test::run_in(test::scratch_dir("too_many_voxels"), [] { set_status(); });
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_EQ(run.out, " Too many voxels required.\n");
}

}  // namespace
}  // namespace vorn
