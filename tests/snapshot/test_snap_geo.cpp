// The geometry section: every variable against the records it comes from, the
// corners of "agrid" by inverting them back to dipole coordinates, the shapes
// of empty grids, and the error lines of a file that takes no byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "snapshot/geometry_section_expected.hpp"
#include "snapshot/snap_geo.hpp"
#include "snapshot/snapshot_fixture.hpp"

namespace vorn::test {
namespace {

class GeometrySection : public SnapshotTest {
protected:
    static constexpr std::int32_t geometry_only[7] = {1, 0, 0, 0, 0, 0, 0};

    MatFileWalk geometry_snapshot() {
        take_snapshot("vorn_geometry.mat", geometry_only);
        return walk("vorn_geometry.mat");
    }

    // One voxel in cell (1, 1, 1) whose faces lie away from the grid lines, so
    // that the corners show where they come from.
    static void one_voxel() {
        set_mag(2);
        set_grid_axes({1.1, 1.3}, {-0.2, 0.2}, {0.0, 30.0});
        set_cells([](int, int, int) { return active_cell; });
        CmnGVoxel& v = cmn_g_voxel;
        v.g_v_face_pl(1) = 1;
        v.g_v_face_ph(1) = 2;
        v.g_v_face_ql(1) = 2;
        v.g_v_face_qh(1) = 1;
        v.g_v_face_ll(1) = 1;
        v.g_v_face_lh(1) = 2;
        cmn_g_face_p.dim = cmn_g_face_q.dim = cmn_g_face_l.dim = 2;
        cmn_g_face_p.m_p(1) = 1.12;
        cmn_g_face_p.m_p(2) = 1.27;
        cmn_g_face_q.m_q(1) = 0.15;
        cmn_g_face_q.m_q(2) = -0.18;
        cmn_g_face_l.m_longitude(1) = 370.0;  // one turn beyond 10 degrees
        cmn_g_face_l.m_longitude(2) = 25.0;
    }
};

TEST_F(GeometrySection, OneVoxelCornersComeFromItsFaces) {
    one_voxel();
    const MatFileWalk file = geometry_snapshot();
    ASSERT_EQ(file.problem, "");
    ASSERT_EQ(file.records.size(), 152u);
    const MatRecord& agrid = file.records.back();
    EXPECT_EQ(agrid.name, "agrid");
    EXPECT_EQ(agrid.mrows, 24);
    EXPECT_EQ(agrid.ncols, 1);
    EXPECT_EQ(agrid.end(), file.bytes.size());

    // Corner 1: low p, low q and the low-longitude face one turn beyond 10 degrees.
    EXPECT_LT(distance(magnetic_of(file, agrid, 0), magnetic_at(1.12, -0.18, 10.0)), 1e-6);
    expect_agrid_corners(file);
    expect_geometry_section(file, 10);
}

TEST_F(GeometrySection, EmptyGridHasZeroColumnsEverywhere) {
    set_mag(1);
    set_grid_axes({1.1}, {-0.1, 0.0, 0.1}, {0.0, 10.0, 20.0});  // gr_np 1: no cells at all
    const MatFileWalk file = geometry_snapshot();
    ASSERT_EQ(file.problem, "");
    ASSERT_EQ(file.records.size(), 152u);
    const MatRecord* dim = file.find("gr_stat_dim");
    ASSERT_NE(dim, nullptr);
    EXPECT_EQ(file.int32_at(*dim, 0), 0);
    EXPECT_EQ(file.int32_at(*dim, 1), 2);
    EXPECT_EQ(file.int32_at(*dim, 2), 2);
    EXPECT_EQ(file.find("gr_stat")->mrows, 0);
    EXPECT_EQ(file.find("gr_stat")->elements, 0u);
    for (const char* name : {"g_v_neighbor_pl", "g_v_scale_l", "g_fp_voxel", "g_fq_area", "g_fl_scale_l",
                             "g_v_boundary_ph", "agrid"}) {
        EXPECT_EQ(file.find(name)->ncols, 0) << name;
        EXPECT_EQ(file.find(name)->elements, 0u) << name;
    }
    expect_geometry_section(file, 10);
}

TEST_F(GeometrySection, UnitThatTakesNoByteGivesOneErrorLinePerRunOfTheSameText) {
    one_voxel();
    snap_geo();  // unit 10 is not connected: every byte is refused
    EXPECT_EQ(error_lines(), (std::vector<std::string>{error_line, " saveit_3d:Error in writing the output file.",
                                                       error_line, " snap_geo: Error in writing the output file."}));
}

class BuiltGeometrySection : public GeometrySection, public ::testing::WithParamInterface<const char*> {};

TEST_P(BuiltGeometrySection, EveryVariableHoldsItsRecord) {
    build_geometry(snapshot_config(GetParam()), BuildStep::voxels);
    ASSERT_GT(cmn_g_voxel.g_v_dimension, 0);
    const MatFileWalk file = geometry_snapshot();
    ASSERT_EQ(file.problem, "");
    expect_geometry_section(file, 10);
    expect_built_voxel_variables(file, 10);
    expect_agrid_corners(file);
}

TEST_P(BuiltGeometrySection, NeighboursAcrossALongitudeFaceShareTheirCorners) {
    build_geometry(snapshot_config(GetParam()), BuildStep::voxels);
    const MatFileWalk file = geometry_snapshot();
    const MatRecord* agrid = file.find("agrid");
    ASSERT_NE(agrid, nullptr);
    const CmnGVoxel& v = cmn_g_voxel;
    int shared = 0;
    for (int i = 1; i <= v.g_v_dimension; ++i) {
        const int low = v.g_v_neighbor_ll(i);
        if (low == null_voxel) continue;
        ++shared;
        // Corners 1-4 of the voxel are corners 5-8 of its low-longitude neighbour.
        for (std::size_t k = 0; k < 12; ++k) {
            const double here = file.float64_at(*agrid, 24 * static_cast<std::size_t>(i - 1) + k);
            const double there = file.float64_at(*agrid, 24 * static_cast<std::size_t>(low - 1) + 12 + k);
            ASSERT_NEAR(here, there, 1e-6) << "voxel " << i << " and " << low;
        }
    }
    EXPECT_GT(shared, 0);
    if (gr_grid.gr_glb) {
        EXPECT_NE(v.g_v_neighbor_ll(1), null_voxel) << "voxel 1 wraps round the circle";
    }
}

INSTANTIATE_TEST_SUITE_P(Configs, BuiltGeometrySection, ::testing::Values("full_circle", "regional_eccentric", "polar"));

}  // namespace
}  // namespace vorn::test
