// What the geometry section of a snapshot must hold, read from the geometry
// records: the 142 variables in the order of the file with their MAT types,
// shapes and elements, and the corners of "agrid" checked against the faces
// they come from.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <numbers>
#include <string>
#include <type_traits>
#include <vector>

#include "geometry/dipole.hpp"
#include "geometry/records.hpp"
#include "snapshot/mat_file_walk.hpp"
#include "support/test_support.hpp"

namespace vorn::testing {

// A variable as the section must write it: MAT type, shape and element (r, c).
struct Expected {
    std::string name;
    std::int32_t type;  // 0 float64, 20 int32
    std::int32_t rows;
    std::int32_t columns;
    std::function<double(int r, int c)> element;  // empty: checked elsewhere
};

template <class A>
constexpr std::int32_t type_of() {
    using T = std::remove_cvref_t<decltype(*std::declval<const A&>().data())>;
    return std::is_same_v<T, std::int32_t> ? 20 : 0;
}

template <class A>
Expected row_of(std::string name, const A& a, std::int32_t count) {
    return {std::move(name), type_of<A>(), 1, count, [&a](int, int c) { return static_cast<double>(a(c)); }};
}

template <class A>
Expected pairs_of(std::string name, const A& a, std::int32_t count) {
    return {std::move(name), 20, 2, count, [&a](int r, int c) { return static_cast<double>(a(r, c)); }};
}

inline Expected flag_of(std::string name, const bool& flag) {
    return {std::move(name), 20, 1, 1, [&flag](int, int) { return flag ? 1.0 : 0.0; }};
}

#define FACE_VARIABLES(f, pre)                                           \
    pairs_of(#pre "_voxel", f.pre##_voxel, f.pre##_dim),                 \
        row_of(#pre "_m_p", f.pre##_m_p, f.pre##_dim),                   \
        row_of(#pre "_m_q", f.pre##_m_q, f.pre##_dim),                   \
        row_of(#pre "_m_radius", f.pre##_m_radius, f.pre##_dim),         \
        row_of(#pre "_m_latitude", f.pre##_m_latitude, f.pre##_dim),     \
        row_of(#pre "_m_longitude", f.pre##_m_longitude, f.pre##_dim),   \
        row_of(#pre "_m_x", f.pre##_m_x, f.pre##_dim),                   \
        row_of(#pre "_m_y", f.pre##_m_y, f.pre##_dim),                   \
        row_of(#pre "_m_z", f.pre##_m_z, f.pre##_dim),                   \
        row_of(#pre "_g_radius", f.pre##_g_radius, f.pre##_dim),         \
        row_of(#pre "_g_latitude", f.pre##_g_latitude, f.pre##_dim),     \
        row_of(#pre "_g_longitude", f.pre##_g_longitude, f.pre##_dim),   \
        row_of(#pre "_g_x", f.pre##_g_x, f.pre##_dim),                   \
        row_of(#pre "_g_y", f.pre##_g_y, f.pre##_dim),                   \
        row_of(#pre "_g_z", f.pre##_g_z, f.pre##_dim),                   \
        row_of(#pre "_nml_g_rad", f.pre##_nml_g_rad, f.pre##_dim),       \
        row_of(#pre "_nml_g_lat", f.pre##_nml_g_lat, f.pre##_dim),       \
        row_of(#pre "_nml_g_lon", f.pre##_nml_g_lon, f.pre##_dim),       \
        row_of(#pre "_nml_g_x", f.pre##_nml_g_x, f.pre##_dim),           \
        row_of(#pre "_nml_g_y", f.pre##_nml_g_y, f.pre##_dim),           \
        row_of(#pre "_nml_g_z", f.pre##_nml_g_z, f.pre##_dim),           \
        row_of(#pre "_nml_m_rad", f.pre##_nml_m_rad, f.pre##_dim),       \
        row_of(#pre "_nml_m_lat", f.pre##_nml_m_lat, f.pre##_dim),       \
        row_of(#pre "_nml_m_lon", f.pre##_nml_m_lon, f.pre##_dim),       \
        row_of(#pre "_nml_m_x", f.pre##_nml_m_x, f.pre##_dim),           \
        row_of(#pre "_nml_m_y", f.pre##_nml_m_y, f.pre##_dim),           \
        row_of(#pre "_nml_m_z", f.pre##_nml_m_z, f.pre##_dim),           \
        row_of(#pre "_area", f.pre##_area, f.pre##_dim),                 \
        row_of(#pre "_scale_p", f.pre##_scale_p, f.pre##_dim),           \
        row_of(#pre "_scale_q", f.pre##_scale_q, f.pre##_dim),           \
        row_of(#pre "_scale_l", f.pre##_scale_l, f.pre##_dim)

// The 142 variables of the section, in the order of the file.
inline std::vector<Expected> geometry_section() {
    static const std::int32_t capacity = 100000;
    const GrGrid& g = gr_grid;
    const CmnGVoxel& v = cmn_g_voxel;
    const int nv = v.g_v_dimension;
    const int cells_p = g.gr_np - 1;
    return {
        {"d_rotate", 0, 3, 3, [](int r, int c) { return d_dipole.d_rotate(r, c); }},
        row_of("gr_p", g.gr_p, g.gr_np),
        row_of("gr_q", g.gr_q, g.gr_nq),
        row_of("gr_l", g.gr_l, g.gr_nl),
        {"gr_midlat_pmax", 0, 1, 1, [](int, int) { return 0.0; }},
        {"gr_stat_dim", 20, 1, 3,
         [](int, int c) { return c == 1 ? gr_grid.gr_np - 1.0 : c == 2 ? gr_grid.gr_nq - 1.0 : gr_grid.gr_nl - 1.0; }},
        {"gr_stat", 20, (g.gr_np - 1) * (g.gr_nq - 1), g.gr_nl - 1,
         [cells_p](int r, int c) {
             return static_cast<double>(gr_grid.gr_stat((r - 1) % cells_p + 1, (r - 1) / cells_p + 1, c));
         }},
        flag_of("gr_glb", g.gr_glb),
        flag_of("gr_2d", g.gr_2d),
        flag_of("gr_reg", g.gr_reg),
        flag_of("gr_polar_flag", g.gr_polar_flag),
        row_of("g_v_neighbor_pl", v.g_v_neighbor_pl, nv),
        row_of("g_v_neighbor_ph", v.g_v_neighbor_ph, nv),
        row_of("g_v_neighbor_ql", v.g_v_neighbor_ql, nv),
        row_of("g_v_neighbor_qh", v.g_v_neighbor_qh, nv),
        row_of("g_v_neighbor_ll", v.g_v_neighbor_ll, nv),
        row_of("g_v_neighbor_lh", v.g_v_neighbor_lh, nv),
        row_of("g_v_face_pl", v.g_v_face_pl, nv),
        row_of("g_v_face_ph", v.g_v_face_ph, nv),
        row_of("g_v_face_ql", v.g_v_face_ql, nv),
        row_of("g_v_face_qh", v.g_v_face_qh, nv),
        row_of("g_v_face_ll", v.g_v_face_ll, nv),
        row_of("g_v_face_lh", v.g_v_face_lh, nv),
        row_of("g_v_m_p", v.g_v_m_p, nv),
        row_of("g_v_m_q", v.g_v_m_q, nv),
        row_of("g_v_m_radius", v.g_v_m_radius, nv),
        row_of("g_v_m_latitude", v.g_v_m_latitude, nv),
        row_of("g_v_m_longitude", v.g_v_m_longitude, nv),
        row_of("g_v_m_x", v.g_v_m_x, nv),
        row_of("g_v_m_y", v.g_v_m_y, nv),
        row_of("g_v_m_z", v.g_v_m_z, nv),
        row_of("g_v_g_radius", v.g_v_g_radius, nv),
        row_of("g_v_g_latitude", v.g_v_g_latitude, nv),
        row_of("g_v_g_longitude", v.g_v_g_longitude, nv),
        row_of("g_v_g_x", v.g_v_g_x, nv),
        row_of("g_v_g_y", v.g_v_g_y, nv),
        row_of("g_v_g_z", v.g_v_g_z, nv),
        row_of("g_v_width_p", v.g_v_width_p, nv),
        row_of("g_v_width_q", v.g_v_width_q, nv),
        row_of("g_v_width_l", v.g_v_width_l, nv),
        row_of("g_v_volume", v.g_v_volume, nv),
        row_of("g_v_scale_p", v.g_v_scale_p, nv),
        row_of("g_v_scale_q", v.g_v_scale_q, nv),
        row_of("g_v_scale_l", v.g_v_scale_l, nv),
        FACE_VARIABLES(cmn_g_face_p, g_fp),
        FACE_VARIABLES(cmn_g_face_q, g_fq),
        FACE_VARIABLES(cmn_g_face_l, g_fl),
        row_of("g_v_boundary_rl", v.g_v_boundary_rl, v.g_v_bdry_rl_dim),
        row_of("g_v_boundary_rh", v.g_v_boundary_rh, v.g_v_bdry_rh_dim),
        row_of("g_v_boundary_ph", v.g_v_boundary_ph, v.g_v_bdry_ph_dim),
        {"max_voxel", 20, 1, 1, [](int, int) { return static_cast<double>(capacity); }},
        {"agrid", 0, 24, nv, {}},
    };
}

#undef FACE_VARIABLES

// Compares the geometry records of a snapshot file, element by element.
inline void expect_geometry_section(const MatFileWalk& file, std::size_t first) {
    const std::vector<Expected> expected = geometry_section();
    ASSERT_EQ(expected.size(), 142u);
    ASSERT_EQ(file.records.size(), first + expected.size());
    for (std::size_t k = 0; k < expected.size(); ++k) {
        const Expected& e = expected[k];
        const MatRecord& r = file.records[first + k];
        ASSERT_EQ(r.name, e.name) << "variable " << first + k + 1;
        EXPECT_EQ(r.type, e.type) << e.name;
        EXPECT_EQ(r.mrows, e.rows) << e.name;
        EXPECT_EQ(r.ncols, e.columns) << e.name;
        EXPECT_EQ(r.imagf, 0) << e.name;
        if (!e.element || r.mrows != e.rows || r.ncols != e.columns) continue;
        int mismatches = 0;
        for (int c = 1; c <= e.columns; ++c)
            for (int row = 1; row <= e.rows; ++row) {
                const std::size_t at = static_cast<std::size_t>(c - 1) * static_cast<std::size_t>(e.rows) +
                                       static_cast<std::size_t>(row - 1);
                const double written = e.type == 20 ? file.int32_at(r, at) : file.float64_at(r, at);
                if (written != e.element(row, c) && ++mismatches <= 3)
                    ADD_FAILURE() << e.name << "(" << row << ", " << c << ") = " << written << ", record "
                                  << e.element(row, c);
            }
    }
}

// The magnetic Cartesian position of a geographic Cartesian point, by
// inverting the frame: m = d_rotate^T (g - d_shift).
struct Point {
    double x, y, z;
};
inline Point magnetic_of(const MatFileWalk& file, const MatRecord& agrid, std::size_t at) {
    const double d[3] = {file.float64_at(agrid, at) - d_dipole.d_shift(1),
                         file.float64_at(agrid, at + 1) - d_dipole.d_shift(2),
                         file.float64_at(agrid, at + 2) - d_dipole.d_shift(3)};
    double m[3];
    for (int i = 1; i <= 3; ++i)
        m[i - 1] = d_dipole.d_rotate(1, i) * d[0] + d_dipole.d_rotate(2, i) * d[1] + d_dipole.d_rotate(3, i) * d[2];
    return {m[0], m[1], m[2]};
}

// The magnetic Cartesian position of dipole coordinates p, q and a longitude.
inline Point magnetic_at(double p, double q, double longitude) {
    double r, lat;
    pq2polar(&p, &q, &r, &lat, 1);
    const double to_rad = std::numbers::pi / 180.0;
    return {r * std::cos(lat * to_rad) * std::cos(longitude * to_rad),
            r * std::cos(lat * to_rad) * std::sin(longitude * to_rad), r * std::sin(lat * to_rad)};
}

inline double distance(const Point& a, const Point& b) {
    return std::sqrt((a.x - b.x) * (a.x - b.x) + (a.y - b.y) * (a.y - b.y) + (a.z - b.z) * (a.z - b.z));
}

// Corner k (1 to 8) of voxel i at the p, q and longitude of the bounding faces
// that the corner table names, in magnetic Cartesian coordinates: corners 1-4
// on the low-longitude face, 5-8 on the high one, each round low p low q,
// high p low q, high p high q, low p high q.
inline Point corner_from_faces(int i, int k) {
    const CmnGVoxel& v = cmn_g_voxel;
    const bool high_p = k == 2 || k == 3 || k == 6 || k == 7;
    const bool high_q = k == 3 || k == 4 || k == 7 || k == 8;
    const bool high_l = k >= 5;
    return magnetic_at(cmn_g_face_p.g_fp_m_p(high_p ? v.g_v_face_ph(i) : v.g_v_face_pl(i)),
                       cmn_g_face_q.g_fq_m_q(high_q ? v.g_v_face_qh(i) : v.g_v_face_ql(i)),
                       cmn_g_face_l.g_fl_m_longitude(high_l ? v.g_v_face_lh(i) : v.g_v_face_ll(i)));
}

// Geographic Cartesian position of a magnetic one: g = d_rotate m + d_shift.
inline Point geographic_of(const Point& m) {
    const DDipole& d = d_dipole;
    return {d.d_rotate(1, 1) * m.x + d.d_rotate(1, 2) * m.y + d.d_rotate(1, 3) * m.z + d.d_shift(1),
            d.d_rotate(2, 1) * m.x + d.d_rotate(2, 2) * m.y + d.d_rotate(2, 3) * m.z + d.d_shift(2),
            d.d_rotate(3, 1) * m.x + d.d_rotate(3, 2) * m.y + d.d_rotate(3, 3) * m.z + d.d_shift(3)};
}

// Every corner of "agrid" lies where its faces put it.
inline void expect_agrid_corners(const MatFileWalk& file) {
    const MatRecord* agrid = file.find("agrid");
    ASSERT_NE(agrid, nullptr);
    ASSERT_EQ(agrid->ncols, cmn_g_voxel.g_v_dimension);
    int failures = 0;
    for (int i = 1; i <= cmn_g_voxel.g_v_dimension; ++i)
        for (int k = 1; k <= 8; ++k) {
            const Point expected = corner_from_faces(i, k);
            const Point written =
                magnetic_of(file, *agrid, 24 * static_cast<std::size_t>(i - 1) + 3 * static_cast<std::size_t>(k - 1));
            // Positions of some 10^7 m; 1 mm is far below the spacing of the grid.
            if (distance(expected, written) > 1e-3 && ++failures <= 5)
                ADD_FAILURE() << "voxel " << i << " corner " << k << " is " << distance(expected, written)
                              << " m away from its faces' point";
        }
}

// The text of tests/snapshot/configs/<name>.nml.
inline std::string snapshot_config(std::string_view name) {
    return read_file(std::filesystem::path(VORN_SOURCE_DIR) / "tests" / "snapshot" / "configs" /
                     (std::string(name) + ".nml"));
}

}  // namespace vorn::testing
