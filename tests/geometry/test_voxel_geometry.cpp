// Voxel and face geometry: centres on the cell sides, the equator values,
// normals, widths, areas and volumes, the full-circle face, and the warning on
// the altitude of the lower boundary voxels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "checked_array/checked_array.hpp"
#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "geometry/voxel_geometry.hpp"
#include "geometry/voxels.hpp"
#include "support/geometry_setup.hpp"
#include "units/units.hpp"

namespace vorn {
namespace {

using test::active_cell;

constexpr double re = 6371200.0;
constexpr double deg = 0.017453292519943295;

void hand_grid(int mag_type, std::initializer_list<double> p, std::initializer_list<double> q,
               std::initializer_list<double> l) {
    reset_geometry_records();
    set_mag(mag_type);
    cmn_gr_input.GR_I_GALT_LOWLIM = 1.0e9;
    test::set_grid_axes(p, q, l);
}

void all_active() {
    test::set_cells([](int, int, int) { return active_cell; });
}

struct Cell {
    int ip, iq, il;
};

std::vector<Cell> voxel_cells() {
    const GrGrid& g = gr_grid;
    std::vector<Cell> cells(cmn_g_voxel.g_v_dimension + 1);
    for (int il = 1; il <= g.gr_nl - 1; ++il)
        for (int ip = 1; ip <= g.gr_np - 1; ++ip)
            for (int iq = 1; iq <= g.gr_nq - 1; ++iq)
                if (g.gr_stat(ip, iq, il) > 0) cells[g.gr_stat(ip, iq, il)] = {ip, iq, il};
    return cells;
}

double mid(double a, double b) { return (a + b) * 0.5; }

// Geographic Cartesian position from the magnetic one, as the frame defines it.
void expect_frame_relation(double mx, double my, double mz, double gx, double gy, double gz, double tolerance,
                           bool is_direction) {
    const auto& d = d_dipole.d_rotate;
    const double shift[3] = {is_direction ? 0.0 : d_dipole.d_shift(1), is_direction ? 0.0 : d_dipole.d_shift(2),
                             is_direction ? 0.0 : d_dipole.d_shift(3)};
    const double m[3] = {mx, my, mz};
    const double g[3] = {gx, gy, gz};
    for (int i = 1; i <= 3; ++i) {
        const double expected = d(i, 1) * m[0] + d(i, 2) * m[1] + d(i, 3) * m[2] + shift[i - 1];
        EXPECT_NEAR(g[i - 1], expected, tolerance) << "component " << i;
    }
}

// Magnetic Cartesian position of a spherical one.
void expect_cartesian(double r, double lat, double lon, double x, double y, double z) {
    EXPECT_NEAR(x, r * std::cos(lat * deg) * std::cos(lon * deg), 1.0e-6);
    EXPECT_NEAR(y, r * std::cos(lat * deg) * std::sin(lon * deg), 1.0e-6);
    EXPECT_NEAR(z, r * std::sin(lat * deg), 1.0e-6);
}

// (r, lat) back to (p, q).
void expect_round_trip(double r, double lat, double p, double q) {
    const auto [p_back, q_back] = polar2pq_point({r, lat});
    EXPECT_NEAR(p_back, p, 1.0e-12 * p);
    EXPECT_NEAR(q_back, q, 1.0e-12);
}

TEST(VoxelGeometry, EquatorVoxelsAndTheirPFaces) {
    hand_grid(2, {1.05, 1.10, 1.15}, {-0.3, -0.1, 0.1, 0.3}, {10.0, 30.0});
    all_active();
    create_voxel();
    const CmnGVoxel& x = cmn_g_voxel;
    const CmnGFaceP& fp = cmn_g_face_p;
    ASSERT_EQ(x.g_v_dimension, 6);
    // The cells at iq = 2 are centred on the equator: voxels 2 and 5.
    for (int ip : {1, 2}) {
        SCOPED_TRACE(ip);
        const int v = 3 * (ip - 1) + 2;
        const double p = mid(gr_grid.gr_p(ip), gr_grid.gr_p(ip + 1));
        const double dp = gr_grid.gr_p(ip + 1) - gr_grid.gr_p(ip);
        const double r = p * re;
        ASSERT_EQ(x.g_v_m_q(v), 0.0);
        EXPECT_EQ(x.g_v_m_radius(v), r);
        EXPECT_EQ(x.g_v_m_latitude(v), 0.0);
        // On the equator the scale factors are Re, r^3 / Re^2 and r per radian.
        EXPECT_EQ(x.g_v_scale_p(v), re);
        EXPECT_DOUBLE_EQ(x.g_v_scale_q(v), r * r * r / (re * re));
        EXPECT_DOUBLE_EQ(x.g_v_scale_l(v), r * deg);
        EXPECT_DOUBLE_EQ(x.g_v_width_p(v), dp * re);
        EXPECT_DOUBLE_EQ(x.g_v_width_q(v), 0.2 * r * r * r / (re * re));
        EXPECT_DOUBLE_EQ(x.g_v_width_l(v), 20.0 * r * deg);
        EXPECT_DOUBLE_EQ(x.g_v_volume(v), dp * re * (0.2 * r * r * r / (re * re)) * (20.0 * r * deg));
        // Its p-faces lie on the equator too, with the normal pointing outwards.
        for (int f : {x.g_v_face_pl(v), x.g_v_face_ph(v)}) {
            EXPECT_EQ(fp.m_latitude(f), 0.0);
            EXPECT_EQ(fp.m_radius(f), fp.m_p(f) * re);
            EXPECT_DOUBLE_EQ(fp.nml_m_rad(f), 1.0);
            EXPECT_EQ(fp.nml_m_lat(f), 0.0);
            EXPECT_EQ(fp.nml_m_lon(f), 0.0);
        }
    }
}

TEST(VoxelGeometry, QFaceOnTheEquatorPointsNorth) {
    hand_grid(1, {1.05, 1.10}, {-0.1, 0.0, 0.1}, {10.0, 30.0});
    all_active();
    create_voxel();
    const CmnGFaceQ& fq = cmn_g_face_q;
    const int f = cmn_g_voxel.g_v_face_qh(1);
    ASSERT_EQ(f, cmn_g_voxel.g_v_face_ql(2));
    ASSERT_EQ(fq.m_q(f), 0.0);
    EXPECT_EQ(fq.m_radius(f), mid(1.05, 1.10) * re);
    EXPECT_EQ(fq.m_latitude(f), 0.0);
    // The radial component is minus zero times a positive factor.
    EXPECT_EQ(fq.nml_m_rad(f), 0.0);
    EXPECT_TRUE(std::signbit(fq.nml_m_rad(f)));
    EXPECT_EQ(fq.nml_m_lon(f), 0.0);
    EXPECT_FALSE(std::signbit(fq.nml_m_lon(f)));
    EXPECT_NEAR(fq.nml_m_lat(f), 1.0, 2.3e-16);
    // In the geographic frame (type 1) the same northward direction.
    EXPECT_NEAR(fq.nml_g_lat(f), 1.0, 1.0e-15);
    EXPECT_NEAR(fq.nml_g_rad(f), 0.0, 1.0e-15);
}

// Every voxel and face centre lies where its cell puts it; widths, areas and
// volumes are the coordinate extents times the scale factors at the centre;
// positions and normals obey the frame relation.
TEST(VoxelGeometry, CentresExtentsAndNormalsFollowTheCells) {
    hand_grid(3, {1.05, 1.10, 1.16, 1.23}, {-0.3, -0.12, -0.02, 0.05, 0.2, 0.35}, {100.0, 115.0, 131.0, 150.0});
    test::set_cells([](int ip, int iq, int il) { return (ip + iq + il) % 4 == 0 ? below_shell : active_cell; });
    create_voxel();
    const GrGrid& g = gr_grid;
    const CmnGVoxel& x = cmn_g_voxel;
    const CmnGFaceP& fp = cmn_g_face_p;
    const CmnGFaceQ& fq = cmn_g_face_q;
    const CmnGFaceL& fl = cmn_g_face_l;
    const std::vector<Cell> cells = voxel_cells();
    ASSERT_GT(x.g_v_dimension, 20);
    for (int v = 1; v <= x.g_v_dimension; ++v) {
        SCOPED_TRACE(::testing::Message() << "voxel " << v);
        const auto [ip, iq, il] = cells[v];
        const double p = mid(g.gr_p(ip), g.gr_p(ip + 1)), dp = g.gr_p(ip + 1) - g.gr_p(ip);
        const double q = mid(g.gr_q(iq), g.gr_q(iq + 1)), dq = g.gr_q(iq + 1) - g.gr_q(iq);
        const double l = mid(g.gr_l(il), g.gr_l(il + 1)), dl = g.gr_l(il + 1) - g.gr_l(il);
        EXPECT_EQ(x.g_v_m_p(v), p);
        EXPECT_EQ(x.g_v_m_q(v), q);
        EXPECT_EQ(x.g_v_m_longitude(v), l);
        EXPECT_EQ(x.g_v_width_p(v), dp * x.g_v_scale_p(v));
        EXPECT_EQ(x.g_v_width_q(v), dq * x.g_v_scale_q(v));
        EXPECT_EQ(x.g_v_width_l(v), dl * x.g_v_scale_l(v));
        EXPECT_EQ(x.g_v_volume(v), x.g_v_width_p(v) * x.g_v_width_q(v) * x.g_v_width_l(v));
        expect_round_trip(x.g_v_m_radius(v), x.g_v_m_latitude(v), p, q);
        expect_cartesian(x.g_v_m_radius(v), x.g_v_m_latitude(v), l, x.g_v_m_x(v), x.g_v_m_y(v), x.g_v_m_z(v));
        expect_frame_relation(x.g_v_m_x(v), x.g_v_m_y(v), x.g_v_m_z(v), x.g_v_g_x(v), x.g_v_g_y(v), x.g_v_g_z(v),
                              1.0e-6, false);
        EXPECT_NEAR(x.g_v_g_radius(v), std::hypot(x.g_v_g_x(v), x.g_v_g_y(v), x.g_v_g_z(v)), 1.0e-6);

        for (int f : {x.g_v_face_pl(v), x.g_v_face_ph(v)}) {
            EXPECT_EQ(fp.m_p(f), f == x.g_v_face_pl(v) ? g.gr_p(ip) : g.gr_p(ip + 1));
            EXPECT_EQ(fp.m_q(f), q);
            EXPECT_EQ(fp.m_longitude(f), l);
            EXPECT_EQ(fp.area(f), dq * dl * fp.scale_q(f) * fp.scale_l(f));
        }
        for (int f : {x.g_v_face_ql(v), x.g_v_face_qh(v)}) {
            EXPECT_EQ(fq.m_p(f), p);
            EXPECT_EQ(fq.m_q(f), f == x.g_v_face_ql(v) ? g.gr_q(iq) : g.gr_q(iq + 1));
            EXPECT_EQ(fq.m_longitude(f), l);
            EXPECT_EQ(fq.area(f), dp * dl * fq.scale_p(f) * fq.scale_l(f));
        }
        for (int f : {x.g_v_face_ll(v), x.g_v_face_lh(v)}) {
            EXPECT_EQ(fl.m_p(f), p);
            EXPECT_EQ(fl.m_q(f), q);
            EXPECT_EQ(fl.m_longitude(f), f == x.g_v_face_ll(v) ? g.gr_l(il) : g.gr_l(il + 1));
            EXPECT_EQ(fl.area(f), dp * dq * fl.scale_p(f) * fl.scale_q(f));
        }
    }

    auto check_faces = [](const auto& face, int count, const char* kind) {
        for (int f = 1; f <= count; ++f) {
            SCOPED_TRACE(::testing::Message() << kind << "-face " << f);
            expect_round_trip(face.m_radius(f), face.m_latitude(f), face.m_p(f), face.m_q(f));
            double r = face.m_radius(f), lat = face.m_latitude(f), scale_p, scale_q, scale_l;
            const double lon = face.m_longitude(f);
            const auto one = [](double& value) { return ArraySpan<double>(std::span(&value, 1), "VALUE"); };
            pql_scale({one(r), one(lat)}, {one(scale_p), one(scale_q), one(scale_l)}, 1);
            EXPECT_EQ(face.scale_p(f), scale_p);
            EXPECT_EQ(face.scale_q(f), scale_q);
            EXPECT_EQ(face.scale_l(f), scale_l);
            expect_cartesian(r, lat, lon, face.m_x(f), face.m_y(f), face.m_z(f));
            expect_frame_relation(face.m_x(f), face.m_y(f), face.m_z(f), face.g_x(f), face.g_y(f), face.g_z(f),
                                  1.0e-6, false);
            EXPECT_NEAR(std::hypot(face.nml_m_rad(f), face.nml_m_lat(f), face.nml_m_lon(f)), 1.0, 1.0e-15);
            EXPECT_NEAR(std::hypot(face.nml_g_rad(f), face.nml_g_lat(f), face.nml_g_lon(f)), 1.0, 1.0e-14);
            EXPECT_NEAR(std::hypot(face.nml_g_x(f), face.nml_g_y(f), face.nml_g_z(f)), 1.0, 1.0e-14);
            expect_frame_relation(face.nml_m_x(f), face.nml_m_y(f), face.nml_m_z(f), face.nml_g_x(f),
                                  face.nml_g_y(f), face.nml_g_z(f), 1.0e-14, true);
        }
    };
    check_faces(fp, fp.dim, "p");
    check_faces(fq, fq.dim, "q");
    check_faces(fl, fl.dim, "l");

    // The l-face normal points east wherever the face lies.
    for (int f = 1; f <= fl.dim; ++f) {
        EXPECT_EQ(fl.nml_m_rad(f), 0.0);
        EXPECT_EQ(fl.nml_m_lat(f), 0.0);
        EXPECT_EQ(fl.nml_m_lon(f), 1.0);
    }
}

TEST(VoxelGeometry, FullCircleFaceKeepsTheLongitudeOneTurnOn) {
    hand_grid(1, {1.05, 1.10}, {-0.1, 0.1}, {10.0, 190.0, 370.0});
    gr_grid.gr_glb = true;
    all_active();
    create_voxel();
    const CmnGFaceL& fl = cmn_g_face_l;
    const int wrap = cmn_g_voxel.g_v_face_ll(1);
    ASSERT_EQ(wrap, cmn_g_voxel.g_v_face_lh(2));
    EXPECT_EQ(fl.m_longitude(wrap), 370.0);
    // The geographic longitude is folded back onto the first meridian.
    EXPECT_NEAR(fl.g_longitude(wrap), 10.0, 1.0e-9);
    const double coordinate_area = (gr_grid.gr_p(2) - gr_grid.gr_p(1)) * (gr_grid.gr_q(2) - gr_grid.gr_q(1));
    EXPECT_EQ(fl.area(wrap), coordinate_area * fl.scale_p(wrap) * fl.scale_q(wrap));
}

// The warning on the lower boundary, written to unit 6.
std::string build_and_capture_warning() {
    text_unit(output_unit).flush();
    ::testing::internal::CaptureStdout();
    create_voxel();
    text_unit(output_unit).flush();
    return ::testing::internal::GetCapturedStdout();
}

const std::string warning = " Warning: alt of boundary voxel(s) too high!\n";

// In the eccentric frame, near magnetic longitude 0 the geographic radius is
// some 400 km below the magnetic one.
void low_boundary_grid() {
    hand_grid(3, {1.02, 1.05, 1.08}, {-0.2, -0.1, 0.0, 0.1, 0.2}, {-20.0, -5.0, 10.0, 25.0});
    all_active();
}

double highest_lower_boundary_radius() {
    const CmnGVoxel& x = cmn_g_voxel;
    double highest = 0.0;
    for (int i = 1; i <= x.g_v_bdry_rl_dim; ++i) highest = std::max(highest, x.g_v_g_radius(x.g_v_boundary_rl(i)));
    return highest;
}

TEST(LowerBoundaryWarning, ManyVoxelsTooHighGiveOneLine) {
    low_boundary_grid();
    cmn_gr_input.GR_I_GALT_LOWLIM = -0.5 * re;
    EXPECT_EQ(build_and_capture_warning(), warning);
    EXPECT_GT(cmn_g_voxel.g_v_bdry_rl_dim, 10);
}

TEST(LowerBoundaryWarning, ACentreExactlyAtTheLimitIsNotTooHigh) {
    low_boundary_grid();
    EXPECT_EQ(build_and_capture_warning(), "");
    const double highest = highest_lower_boundary_radius();
    double limit = highest - re;
    ASSERT_EQ(limit + re, highest);
    cmn_gr_input.GR_I_GALT_LOWLIM = limit;
    EXPECT_EQ(build_and_capture_warning(), "");
    // The geographic radius decides, not the magnetic one of the same centre.
    const CmnGVoxel& x = cmn_g_voxel;
    bool magnetic_above = false;
    for (int i = 1; i <= x.g_v_bdry_rl_dim; ++i)
        magnetic_above = magnetic_above || x.g_v_m_radius(x.g_v_boundary_rl(i)) > highest;
    EXPECT_TRUE(magnetic_above);
    // Just below, the same voxel is too high.
    while (limit + re >= highest) limit = std::nextafter(limit, -std::numeric_limits<double>::infinity());
    cmn_gr_input.GR_I_GALT_LOWLIM = limit;
    EXPECT_EQ(build_and_capture_warning(), warning);
}

TEST(LowerBoundaryWarning, NoVoxelsNoWarning) {
    low_boundary_grid();
    test::set_cells([](int, int, int) { return below_shell; });
    cmn_gr_input.GR_I_GALT_LOWLIM = -2.0 * re;
    EXPECT_EQ(build_and_capture_warning(), "");
    const CmnGVoxel& x = cmn_g_voxel;
    EXPECT_EQ(cmn_g_face_p.dim + cmn_g_face_q.dim + cmn_g_face_l.dim, 0);
    EXPECT_EQ(x.g_v_bdry_rl_dim + x.g_v_bdry_rh_dim + x.g_v_bdry_ph_dim + x.g_v_bdry_ll_dim + x.g_v_bdry_lh_dim, 0);
}

// A configured grid built as the program builds it; the standard output of
// the build, and the number of lower-boundary voxels above the limit.
struct ConfiguredBuild {
    std::string out;
    int too_high = 0;
};

ConfiguredBuild build_configured(const std::string& config) {
    text_unit(output_unit).flush();
    ::testing::internal::CaptureStdout();
    test::build_geometry(config, test::BuildStep::voxels);
    text_unit(output_unit).flush();
    ConfiguredBuild build{::testing::internal::GetCapturedStdout()};
    const CmnGVoxel& x = cmn_g_voxel;
    const double threshold = cmn_gr_input.GR_I_GALT_LOWLIM + re;
    for (int i = 1; i <= x.g_v_bdry_rl_dim; ++i) build.too_high += x.g_v_g_radius(x.g_v_boundary_rl(i)) > threshold;
    return build;
}

std::size_t count_of(const std::string& text, const std::string& line) {
    std::size_t n = 0;
    for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
    return n;
}

TEST(LowerBoundaryWarning, ConfiguredFullCircle) {
    const std::string config = test::test_config("full_circle_dipole");
    ConfiguredBuild build = build_configured(config);
    EXPECT_EQ(build.too_high, 0);
    EXPECT_EQ(count_of(build.out, warning), 0u);
    // With the limit 100 km, just above the lower boundary, many lie above it.
    const std::string limit_item = "GR_I_GALT_LOWLIM = 600.0E3";
    const std::size_t at = config.find(limit_item);
    ASSERT_NE(at, std::string::npos);
    build = build_configured(std::string(config).replace(at, limit_item.size(), "GR_I_GALT_LOWLIM = 100.0E3"));
    EXPECT_GT(build.too_high, 10);
    EXPECT_EQ(count_of(build.out, warning), 1u);
}

TEST(VoxelGeometry, ConfiguredFullCircle) {
    build_configured(test::test_config("full_circle_dipole"));
    const CmnGVoxel& x = cmn_g_voxel;
    const CmnGFaceQ& fq = cmn_g_face_q;
    const CmnGFaceL& fl = cmn_g_face_l;

    // The q-faces on the equator.
    int on_equator = 0;
    for (int f = 1; f <= fq.dim; ++f) {
        if (fq.m_q(f) != 0.0) continue;
        ++on_equator;
        SCOPED_TRACE(f);
        EXPECT_EQ(fq.m_radius(f), fq.m_p(f) * re);
        EXPECT_EQ(fq.m_latitude(f), 0.0);
        EXPECT_EQ(fq.nml_m_rad(f), 0.0);
        EXPECT_TRUE(std::signbit(fq.nml_m_rad(f)));
        EXPECT_EQ(fq.nml_m_lon(f), 0.0);
        EXPECT_NEAR(fq.nml_m_lat(f), 1.0, 2.3e-16);
    }
    EXPECT_GT(on_equator, 10);
    for (int f = 1; f <= fl.dim; ++f) {
        EXPECT_EQ(fl.nml_m_rad(f), 0.0);
        EXPECT_EQ(fl.nml_m_lat(f), 0.0);
        EXPECT_EQ(fl.nml_m_lon(f), 1.0);
    }
    for (int v = 1; v <= x.g_v_dimension; ++v) {
        EXPECT_EQ(x.g_v_volume(v), x.g_v_width_p(v) * x.g_v_width_q(v) * x.g_v_width_l(v));
        EXPECT_GT(x.g_v_volume(v), 0.0);
    }
}

}  // namespace
}  // namespace vorn
