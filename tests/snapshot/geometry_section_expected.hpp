// What the geometry section of a snapshot must hold, checked through
// invariants rather than a second copy of its table: 142 variables with
// distinct names, each shaped as the count its name's prefix stands for; every
// face variable holding the array of its name, found through the face records'
// member list; the grid variables holding the grid; the voxel variables
// agreeing with one another and with the faces they name; and the corners of
// "agrid" lying where their faces put them.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <type_traits>

#include "geometry/dipole.hpp"
#include "geometry/records.hpp"
#include "snapshot/mat_file_walk.hpp"
#include "support/geometry_setup.hpp"
#include "support/test_support.hpp"

namespace vorn::test {

inline constexpr std::size_t geometry_variables = 142;

// The shape a variable of the section must have, from the count its name's
// prefix stands for.
struct Shape {
    std::int32_t rows, columns;
};
inline Shape shape_by_name(std::string_view name) {
    const GrGrid& g = gr_grid;
    const CmnGVoxel& v = cmn_g_voxel;
    const std::int32_t pairs = name.ends_with("_voxel") ? 2 : 1;
    if (name == "d_rotate") return {3, 3};
    if (name == "gr_stat_dim") return {1, 3};
    if (name == "gr_stat") return {(g.gr_np - 1) * (g.gr_nq - 1), g.gr_nl - 1};
    if (name == "gr_p") return {1, g.gr_np};
    if (name == "gr_q") return {1, g.gr_nq};
    if (name == "gr_l") return {1, g.gr_nl};
    if (name == "agrid") return {24, v.g_v_dimension};
    if (name == "g_v_boundary_rl") return {1, v.g_v_bdry_rl_dim};
    if (name == "g_v_boundary_rh") return {1, v.g_v_bdry_rh_dim};
    if (name == "g_v_boundary_ph") return {1, v.g_v_bdry_ph_dim};
    if (name.starts_with("g_v_")) return {1, v.g_v_dimension};
    if (name.starts_with("g_fp_")) return {pairs, cmn_g_face_p.dim};
    if (name.starts_with("g_fq_")) return {pairs, cmn_g_face_q.dim};
    if (name.starts_with("g_fl_")) return {pairs, cmn_g_face_l.dim};
    return {1, 1};
}

// The section's records by name.
class Section {
public:
    Section(const MatFileWalk& file, std::size_t first) : file_(file), first_(first) {}
    const MatRecord* find(std::string_view name) const {
        for (std::size_t k = first_; k < file_.records.size(); ++k)
            if (file_.records[k].name == name) return &file_.records[k];
        return nullptr;
    }
    // Element (r, c) from 1, as a double, of a record of int32 or float64.
    double at(const MatRecord& r, int row, int column) const {
        const std::size_t k = static_cast<std::size_t>(column - 1) * static_cast<std::size_t>(r.mrows) +
                              static_cast<std::size_t>(row - 1);
        return r.precision() == 2 ? file_.int32_at(r, k) : file_.float64_at(r, k);
    }
    double at(std::string_view name, int row, int column) const { return at(*find(name), row, column); }
    double at(std::string_view name, int column) const { return at(name, 1, column); }

private:
    const MatFileWalk& file_;
    std::size_t first_;
};

// The variable name of a record's array: the array's name in lower case.
template <class A>
std::string lower_name_of(const A&) {
    std::string name = A::name();
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

// Every element of `written` against the array it comes from.
template <class A>
void expect_holds(const Section& section, const MatRecord& written, const A& array) {
    int mismatches = 0;
    for (int c = 1; c <= written.ncols; ++c)
        for (int r = 1; r <= written.mrows; ++r) {
            double record;
            if constexpr (requires { A::extent2; }) record = array(r, c);
            else record = array(c);
            if (section.at(written, r, c) != record && ++mismatches <= 3)
                ADD_FAILURE() << written.name << "(" << r << ", " << c << ") = " << section.at(written, r, c)
                              << ", record " << record;
        }
}

// The face variables: every member of the face records' member list.
template <class Face>
void expect_face_variables(const Section& section, const Face& faces) {
    int members = 0;
    for_each_face_member(faces, [&](auto, const auto& member) {
        ++members;
        const MatRecord* written = section.find(lower_name_of(member));
        ASSERT_NE(written, nullptr) << lower_name_of(member);
        using Element = std::remove_cvref_t<decltype(*member.data())>;
        EXPECT_EQ(written->precision(), (std::is_same_v<Element, std::int32_t> ? 2 : 0)) << written->name;
        expect_holds(section, *written, member);
    });
    EXPECT_EQ(members, 31);
}

// The voxel variables of a built grid agree with one another and with the
// faces they name:
// the voxel sits on its side of each face's pair with its neighbour on the
// other; its centre lies midway between its p and q faces; its widths are the
// face spacings times its scale factors and its volume their product; its
// Cartesian positions match its spherical ones.
inline void expect_built_voxel_variables(const MatFileWalk& file, std::size_t first) {
    const Section s(file, first);
    const int nv = cmn_g_voxel.g_v_dimension;
    const struct {
        const char *face, *neighbor, *pair;
        int own_side;
    } sides[] = {{"g_v_face_pl", "g_v_neighbor_pl", "g_fp_voxel", 2}, {"g_v_face_ph", "g_v_neighbor_ph", "g_fp_voxel", 1},
                 {"g_v_face_ql", "g_v_neighbor_ql", "g_fq_voxel", 2}, {"g_v_face_qh", "g_v_neighbor_qh", "g_fq_voxel", 1},
                 {"g_v_face_ll", "g_v_neighbor_ll", "g_fl_voxel", 2}, {"g_v_face_lh", "g_v_neighbor_lh", "g_fl_voxel", 1}};
    int failures = 0;
    auto expect = [&](bool holds, int i, const std::string& what) {
        if (!holds && ++failures <= 5) ADD_FAILURE() << "voxel " << i << ": " << what;
    };
    for (int i = 1; i <= nv; ++i) {
        for (const auto& side : sides) {
            const int f = static_cast<int>(s.at(side.face, i));
            expect(s.at(side.pair, side.own_side, f) == i, i, std::string(side.face) + " pair");
            expect(s.at(side.pair, 3 - side.own_side, f) == s.at(side.neighbor, i), i, side.neighbor);
        }
        for (const char* axis : {"p", "q"}) {
            const std::string kind = std::string("g_f") + axis;
            const double low = s.at(kind + "_m_" + axis, static_cast<int>(s.at(std::string("g_v_face_") + axis + "l", i)));
            const double high = s.at(kind + "_m_" + axis, static_cast<int>(s.at(std::string("g_v_face_") + axis + "h", i)));
            expect(s.at(std::string("g_v_m_") + axis, i) == (low + high) * 0.5, i, std::string("centre in ") + axis);
            expect(s.at(std::string("g_v_width_") + axis, i) == (high - low) * s.at(std::string("g_v_scale_") + axis, i),
                   i, std::string("width in ") + axis);
        }
        expect(s.at("g_v_volume", i) == s.at("g_v_width_p", i) * s.at("g_v_width_q", i) * s.at("g_v_width_l", i), i,
               "volume");
        for (const char* frame : {"g_v_m_", "g_v_g_"}) {
            const std::string f = frame;
            const double r = s.at(f + "radius", i);
            const double lat = s.at(f + "latitude", i) * std::numbers::pi / 180.0;
            const double lon = s.at(f + "longitude", i) * std::numbers::pi / 180.0;
            expect(std::fabs(s.at(f + "x", i) - r * std::cos(lat) * std::cos(lon)) < 1e-6 * r &&
                       std::fabs(s.at(f + "y", i) - r * std::cos(lat) * std::sin(lon)) < 1e-6 * r &&
                       std::fabs(s.at(f + "z", i) - r * std::sin(lat)) < 1e-6 * r,
                   i, f + "x, y, z");
        }
    }
    for (const char* list : {"g_v_boundary_rl", "g_v_boundary_rh", "g_v_boundary_ph"})
        for (int k = 1; k <= s.find(list)->ncols; ++k) expect(s.at(list, k) >= 1 && s.at(list, k) <= nv, k, list);
}

// The geometry section starting at record `first`: names, shapes, the face
// and grid variables.
inline void expect_geometry_section(const MatFileWalk& file, std::size_t first) {
    ASSERT_EQ(file.records.size(), first + geometry_variables);
    std::set<std::string> names;
    for (std::size_t k = first; k < file.records.size(); ++k) {
        const MatRecord& r = file.records[k];
        EXPECT_TRUE(names.insert(r.name).second) << r.name << " stands twice";
        EXPECT_EQ(r.imagf, 0) << r.name;
        EXPECT_FALSE(r.text()) << r.name;
        const Shape shape = shape_by_name(r.name);
        EXPECT_EQ(r.mrows, shape.rows) << r.name;
        EXPECT_EQ(r.ncols, shape.columns) << r.name;
    }
    const Section s(file, first);
    expect_face_variables(s, cmn_g_face_p);
    expect_face_variables(s, cmn_g_face_q);
    expect_face_variables(s, cmn_g_face_l);
    const GrGrid& g = gr_grid;
    expect_holds(s, *s.find("d_rotate"), d_dipole.d_rotate);
    expect_holds(s, *s.find("gr_p"), g.gr_p);
    expect_holds(s, *s.find("gr_q"), g.gr_q);
    expect_holds(s, *s.find("gr_l"), g.gr_l);
    const int cells_p = g.gr_np - 1;
    const MatRecord& status = *s.find("gr_stat");
    for (int row = 1; row <= status.mrows; ++row)
        for (int il = 1; il <= status.ncols; ++il)
            ASSERT_EQ(s.at(status, row, il), g.gr_stat((row - 1) % cells_p + 1, (row - 1) / cells_p + 1, il));
    EXPECT_EQ(s.at("gr_stat_dim", 1), cells_p);
    EXPECT_EQ(s.at("gr_stat_dim", 3), g.gr_nl - 1);
    EXPECT_EQ(s.at("gr_glb", 1), g.gr_glb ? 1 : 0);
    EXPECT_EQ(s.at("gr_polar_flag", 1), g.gr_polar_flag ? 1 : 0);
    EXPECT_EQ(s.at("max_voxel", 1), 100000);
}

// What this reader sees in records [first, first + count), for scipy to read
// the same: every variable's class and shape, and its first, middle and last
// element exactly.
inline void write_reader_view(std::ostream& out, const MatFileWalk& file, std::size_t first, std::size_t count) {
    for (std::size_t k = first; k < first + count; ++k) {
        const MatRecord& r = file.records[k];
        out << "var " << r.name << (r.precision() == 2 ? " int32 " : " float64 ") << r.mrows << " " << r.ncols
            << "\n";
        if (r.elements == 0) continue;
        for (std::size_t e : {std::size_t{0}, r.elements / 2, r.elements - 1}) {
            const double value = r.precision() == 2 ? file.int32_at(r, e) : file.float64_at(r, e);
            char text[32];
            std::snprintf(text, sizeof text, "%.17g", value);
            out << "val " << r.name << " " << e % r.mrows + 1 << " " << e / r.mrows + 1 << " " << text << " 0\n";
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
    const auto [r, lat] = pq2polar_point({p, q});
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
    const CornerFaces faces = round_corner_faces(i, (k - 1) % 4 + 1);
    return magnetic_at(cmn_g_face_p.m_p(faces.p_face), cmn_g_face_q.m_q(faces.q_face),
                       cmn_g_face_l.m_longitude(k >= 5 ? v.g_v_face_lh(i) : v.g_v_face_ll(i)));
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

}  // namespace vorn::test
