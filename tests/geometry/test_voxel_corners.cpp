// The corners of a voxel: each round at the (p, q) of the bounding faces that
// the corner order names, at the voxel's own longitude or at those of its l
// faces, converted element by element as a single point would be.
#include <gtest/gtest.h>

#include <utility>

#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "geometry/voxel_geometry.hpp"
#include "support/geometry_setup.hpp"

namespace vorn {
namespace {

VoxelCorners corners;

// Corner j of `corners` is the single point (p, q, longitude) converted alone.
void expect_corner(int v, int j, int k, double longitude) {
    const test::CornerFaces faces = test::round_corner_faces(v, k);
    const PolarPoint polar = pq2polar_point({cmn_g_face_p.m_p(faces.p_face), cmn_g_face_q.m_q(faces.q_face)});
    Point m{polar.radius, polar.latitude, longitude, 0.0, 0.0, 0.0};
    Point g;
    mag2geo_point(m, g);
    const Point got_m{corners.m_radius(j), corners.m_latitude(j), corners.m_longitude(j),
                      corners.m_x(j),      corners.m_y(j),        corners.m_z(j)};
    const Point got_g{corners.g_radius(j), corners.g_latitude(j), corners.g_longitude(j),
                      corners.g_x(j),      corners.g_y(j),        corners.g_z(j)};
    for (const auto& [got, want] : {std::pair{got_m, m}, std::pair{got_g, g}}) {
        EXPECT_EQ(got.radius, want.radius) << "voxel " << v << " corner " << j;
        EXPECT_EQ(got.latitude, want.latitude) << "voxel " << v << " corner " << j;
        EXPECT_EQ(got.longitude, want.longitude) << "voxel " << v << " corner " << j;
        EXPECT_EQ(got.x, want.x) << "voxel " << v << " corner " << j;
        EXPECT_EQ(got.y, want.y) << "voxel " << v << " corner " << j;
        EXPECT_EQ(got.z, want.z) << "voxel " << v << " corner " << j;
    }
}

class VoxelCornersOfABuiltGrid : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override { test::build_geometry(test::test_config(GetParam()), test::BuildStep::voxels); }
};

TEST_P(VoxelCornersOfABuiltGrid, BoundingLongitudesGiveTwoRoundsAtTheLFaces) {
    const CmnGVoxel& x = cmn_g_voxel;
    ASSERT_GT(x.g_v_dimension, 0);
    for (int v = 1; v <= x.g_v_dimension; v += 7) {
        voxel_corners(v, CornerRounds::bounding_longitudes, corners);
        ASSERT_EQ(corners.count, 8);
        for (int k = 1; k <= 4; ++k) {
            expect_corner(v, k, k, cmn_g_face_l.m_longitude(x.g_v_face_ll(v)));
            expect_corner(v, k + 4, k, cmn_g_face_l.m_longitude(x.g_v_face_lh(v)));
        }
    }
}

TEST_P(VoxelCornersOfABuiltGrid, CentreLongitudeGivesOneRoundAtTheVoxel) {
    const CmnGVoxel& x = cmn_g_voxel;
    for (int v = 1; v <= x.g_v_dimension; v += 7) {
        voxel_corners(v, CornerRounds::centre_longitude, corners);
        ASSERT_EQ(corners.count, 4);
        for (int k = 1; k <= 4; ++k) expect_corner(v, k, k, x.g_v_m_longitude(v));
    }
}

INSTANTIATE_TEST_SUITE_P(Configs, VoxelCornersOfABuiltGrid, ::testing::Values("polar_dipole", "regional_eccentric"));

}  // namespace
}  // namespace vorn
