// The geometry report on small hand-filled grids.
//
// Each report is written by a child process with its standard output and
// error captured: the child starts with the section counter at 0 (no test
// advances it in this process) and may end abnormally without ending the
// test program.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "report/report.hpp"
#include "support/geometry_setup.hpp"
#include "support/test_support.hpp"
#include "units/units.hpp"

namespace vorn {
namespace {

using test::report_tag;
using test::split_lines;

constexpr double re = 6371200.0;

using ChildResult = test::RunResult;

template <class Body>
ChildResult run_isolated(Body body) {
    text_unit(output_unit).flush();
    return test::run_in(test::scratch_dir(::testing::UnitTest::GetInstance()->current_test_info()->name()), [&] {
        body();
        text_unit(output_unit).flush();
        _exit(0);
    });
}

ChildResult report() { return run_isolated([] { print_geometry(); }); }


// The section number of a tagged line (free-format lines start with a blank), or 0.
int section_of(std::string_view line) {
    if (!line.empty() && line[0] == ' ') line.remove_prefix(1);
    if (line.size() < 10 || line.substr(0, 2) != "FD" || line.substr(7, 3) != "%  ") return 0;
    return std::atoi(std::string(line.substr(2, 5)).c_str());
}

std::vector<std::string> lines_of_section(const std::vector<std::string>& lines, int section) {
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (section_of(line) == section) found.push_back(line);
    return found;
}

// The e15.8 fields of a fixed record, each followed by one skip.
std::vector<double> reals_of(const std::string& line, std::size_t first, int count) {
    std::vector<double> values;
    for (int k = 0; k < count; ++k) values.push_back(std::strtod(line.substr(first + 16 * k, 15).c_str(), nullptr));
    return values;
}

int int_field(const std::string& line, std::size_t first, std::size_t width) {
    return std::atoi(line.substr(first, width).c_str());
}

// Axes l = 0, 10, 20, ...; p = 1.5, 2.0, ...; q evenly from -0.5 to 0.5 (nq odd)
// or 0.1, 0.2, ... (nq even); every cell below the shell.
void fill_axes(int nl, int np, int nq) {
    GrGrid& g = gr_grid;
    g.gr_nl = nl;
    g.gr_np = np;
    g.gr_nq = nq;
    for (int i = 1; i <= nl; ++i) g.gr_l(i) = 10.0 * (i - 1);
    for (int i = 1; i <= np; ++i) g.gr_p(i) = 1.0 + 0.5 * i;
    for (int i = 1; i <= nq; ++i) g.gr_q(i) = nq % 2 == 1 ? -0.5 + (i - 1) * (1.0 / (nq - 1)) : 0.1 * i;
    for (int il = 1; il < nl; ++il)
        for (int ip = 1; ip < np; ++ip)
            for (int iq = 1; iq < nq; ++iq) g.gr_stat(ip, iq, il) = below_shell;
}

// Voxel v whose bounding faces are p-faces ip, ip + 1 and q-faces iq, iq + 1
// (face k lies at gr_p(k) and gr_q(k)).
void set_voxel(int v, int ip, int iq, double m_longitude) {
    CmnGVoxel& x = cmn_g_voxel;
    x.g_v_face_pl(v) = ip;
    x.g_v_face_ph(v) = ip + 1;
    x.g_v_face_ql(v) = iq;
    x.g_v_face_qh(v) = iq + 1;
    x.g_v_m_longitude(v) = m_longitude;
}

void fill_faces_at_axes() {
    CmnGFaceP& fp = cmn_g_face_p;
    CmnGFaceQ& fq = cmn_g_face_q;
    fp.dim = gr_grid.gr_np;
    fq.dim = gr_grid.gr_nq;
    for (int k = 1; k <= fp.dim; ++k) fp.m_p(k) = gr_grid.gr_p(k);
    for (int k = 1; k <= fq.dim; ++k) fq.m_q(k) = gr_grid.gr_q(k);
}

// 3 x 3 x 3 grid nodes, 8 cells, 6 voxels; geographic frame.
void fill_small_grid() {
    reset_geometry_records();
    set_mag(1);
    cmn_io_flags.IO_GEOMETRY_FLAG = 1;
    fill_axes(3, 3, 3);
    GrGrid& g = gr_grid;
    CmnGVoxel& v = cmn_g_voxel;
    const int status[2][2][2] = {{{1, 2}, {below_shell, 3}}, {{4, 5}, {6, above_shell}}};  // [il][ip][iq]
    for (int il = 1; il <= 2; ++il)
        for (int ip = 1; ip <= 2; ++ip)
            for (int iq = 1; iq <= 2; ++iq) {
                const int n = status[il - 1][ip - 1][iq - 1];
                g.gr_stat(ip, iq, il) = n;
                if (n > 0) set_voxel(n, ip, iq, (g.gr_l(il) + g.gr_l(il + 1)) / 2.0);
            }
    v.g_v_dimension = 6;
    fill_faces_at_axes();
    for (int k = 1; k <= 3; ++k) {
        cmn_g_face_p.voxel(1, k) = k;
        cmn_g_face_p.voxel(2, k) = k + 1;
        cmn_g_face_q.voxel(1, k) = k;
        cmn_g_face_q.voxel(2, k) = k + 2;
    }
    cmn_g_face_l.dim = 4;
    v.g_v_bdry_rl_dim = 2;
    v.g_v_boundary_rl(1) = 17;
    v.g_v_boundary_rl(2) = 4;
    v.g_v_bdry_rh_dim = 0;
    v.g_v_bdry_ph_dim = 1;
    v.g_v_boundary_ph(1) = 3;
    v.g_v_bdry_ll_dim = 2;
    v.g_v_bdry_lh_dim = 1;
}

class Report : public ::testing::Test {
protected:
    void SetUp() override { fill_small_grid(); }
};

TEST_F(Report, SectionTagsLabelsAndLineCounts) {
    const ChildResult run = report();
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const std::vector<std::string> lines = split_lines(run.out);
    struct Section {
        std::string_view label;
        bool free_format;
        std::size_t lines;
    };
    const Section sections[20] = {
        {"gr_nl ", true, 1},          {"l_values ", true, 3},        {"gr_np ", true, 1},
        {"p_values ", true, 3},       {"gr_nq ", true, 1},           {"q_values ", true, 3},
        {"no_of_voxels ", true, 1},   {"voxel ", false, 6},          {"no_of_p_faces  ", true, 1},
        {"facep ", false, 3},         {"no_of_q_faces ", true, 1},   {"faceq ", false, 3},
        {"g_v_bdry_rl_dim ", true, 1}, {"rlboundary ", true, 2},     {"g_v_bdry_rh_dim ", true, 1},
        {"rhboundary ", true, 0},     {"g_v_bdry_ph_dim ", true, 1}, {"phboundary ", true, 1},
        {"grid ", false, 27},         {"agrid", false, 6},
    };
    std::size_t next = 0;
    for (int s = 1; s <= 20; ++s) {
        const Section& section = sections[s - 1];
        const std::string start = (section.free_format ? " " : "") + report_tag(s) + std::string(section.label);
        for (std::size_t k = 0; k < section.lines; ++k, ++next) {
            ASSERT_LT(next, lines.size());
            EXPECT_EQ(lines[next].substr(0, start.size()), start) << "section " << s << " line " << k + 1;
        }
    }
    EXPECT_EQ(lines.at(next), " Summaries:");
    for (std::size_t k = next; k < lines.size(); ++k) EXPECT_EQ(section_of(lines[k]), 0) << lines[k];
}

TEST_F(Report, CountAndListLines) {
    const ChildResult run = report();
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const std::vector<std::string> lines = split_lines(run.out);
    const std::vector<std::string> head(lines.begin(), lines.begin() + 13);
    const std::vector<std::string> expected = {
        " FD00001%  gr_nl   3",
        " FD00002%  l_values   1  0.",
        " FD00002%  l_values   2   10.0000000000000",
        " FD00002%  l_values   3    20.000000000000",
        " FD00003%  gr_np   3",
        " FD00004%  p_values   1    1.5000000000000",
        " FD00004%  p_values   2    2.0000000000000",
        " FD00004%  p_values   3    2.5000000000000",
        " FD00005%  gr_nq   3",
        " FD00006%  q_values   1  -0.50000000000000",
        " FD00006%  q_values   2  0.",
        " FD00006%  q_values   3   0.50000000000000",
        " FD00007%  no_of_voxels   6",
    };
    EXPECT_EQ(head, expected);
    EXPECT_EQ(lines_of_section(lines, 14),
              (std::vector<std::string>{" FD00014%  rlboundary   1  17", " FD00014%  rlboundary   2  4"}));
    EXPECT_EQ(lines_of_section(lines, 18), std::vector<std::string>{" FD00018%  phboundary   1  3"});
}

TEST_F(Report, EmptySectionUsesUpItsTag) {
    const std::vector<std::string> lines = split_lines(report().out);
    std::size_t rh = 0;
    while (rh < lines.size() && section_of(lines[rh]) != 15) ++rh;
    ASSERT_LT(rh + 1, lines.size());
    EXPECT_EQ(lines[rh], " FD00015%  g_v_bdry_rh_dim   0");
    EXPECT_EQ(lines[rh + 1], " FD00017%  g_v_bdry_ph_dim   1");
}

TEST_F(Report, FaceCountLabelsKeepTheirTrailingBlanks) {
    cmn_g_face_p.dim = 1200;
    cmn_g_face_q.dim = 35;
    const std::vector<std::string> lines = split_lines(report().out);
    EXPECT_EQ(lines_of_section(lines, 9), std::vector<std::string>{" FD00009%  no_of_p_faces    1200"});
    EXPECT_EQ(lines_of_section(lines, 11), std::vector<std::string>{" FD00011%  no_of_q_faces   35"});
    EXPECT_EQ(lines_of_section(lines, 10).size(), 1200u);
    EXPECT_EQ(lines_of_section(lines, 12).size(), 35u);
}

TEST_F(Report, GateGivesTheFirstSevenSectionsOnly) {
    const std::string full = report().out;
    const std::vector<std::string> full_lines = split_lines(full);
    std::string first_seven;
    for (const std::string& line : full_lines)
        if (int s = section_of(line); s >= 1 && s <= 7) first_seven += line + "\n";
    ASSERT_EQ(split_lines(first_seven).size(), 13u);
    EXPECT_EQ(full.substr(0, first_seven.size()), first_seven);
    for (int flag : {0, 2, -1}) {
        cmn_io_flags.IO_GEOMETRY_FLAG = flag;
        const ChildResult run = report();
        EXPECT_EQ(run.exit_status, 0);
        EXPECT_EQ(run.out, first_seven) << "IO_GEOMETRY_FLAG " << flag;
    }
}

TEST_F(Report, RecordsHaveTheirDocumentedLengths) {
    const std::vector<std::string> lines = split_lines(report().out);
    const std::pair<int, std::size_t> lengths[] = {{8, 414}, {10, 465}, {12, 465}, {19, 272}, {20, 212}};
    for (const auto& [section, length] : lengths) {
        const std::vector<std::string> records = lines_of_section(lines, section);
        ASSERT_FALSE(records.empty()) << section;
        for (const std::string& record : records) {
            EXPECT_EQ(record.size(), length) << record;
            EXPECT_NE(record.back(), ' ');
        }
    }
}

// Each real of the voxel record with its e15.8 field, in record order.
struct RealField {
    double value;
    const char* field;
};
constexpr RealField voxel_reals[21] = {
    {12.345678, " 0.12345678E+02"}, {-1.0, "-0.10000000E+01"},      {6371200.0, " 0.63712000E+07"},
    {0.0, " 0.00000000E+00"},       {5.0, " 0.50000000E+01"},       {1.0e-120, " 0.10000000-119"},
    {0.5, " 0.50000000E+00"},       {-0.25, "-0.25000000E+00"},     {100.0, " 0.10000000E+03"},
    {1.0e100, " 0.10000000+101"},   {123456789.0, " 0.12345679E+09"}, {0.001, " 0.10000000E-02"},
    {-6371200.0, "-0.63712000E+07"}, {2.0, " 0.20000000E+01"},      {3.0, " 0.30000000E+01"},
    {45.0, " 0.45000000E+02"},      {-90.0, "-0.90000000E+02"},     {1.0e-5, " 0.10000000E-04"},
    {7.0e6, " 0.70000000E+07"},     {99999999.0, " 0.99999999E+08"}, {1.0, " 0.10000000E+01"},
};

TEST_F(Report, VoxelRecordFieldsInOrder) {
    CmnGVoxel& v = cmn_g_voxel;
    v.g_v_neighbor_pl(1) = 100001;
    v.g_v_neighbor_ph(1) = 2;
    v.g_v_neighbor_ql(1) = 3;
    v.g_v_neighbor_qh(1) = 4;
    v.g_v_neighbor_ll(1) = 77;  // l neighbours and faces are not in the record
    v.g_v_face_ll(1) = 88;
    double* reals[21] = {
        &v.g_v_m_p(1),     &v.g_v_m_q(1),      &v.g_v_m_radius(1),   &v.g_v_m_latitude(1), &v.g_v_m_longitude(1),
        &v.g_v_m_x(1),     &v.g_v_m_y(1),      &v.g_v_m_z(1),        &v.g_v_g_radius(1),   &v.g_v_g_latitude(1),
        &v.g_v_g_longitude(1), &v.g_v_g_x(1),  &v.g_v_g_y(1),        &v.g_v_g_z(1),        &v.g_v_width_p(1),
        &v.g_v_width_q(1), &v.g_v_width_l(1),  &v.g_v_volume(1),     &v.g_v_scale_p(1),    &v.g_v_scale_q(1),
        &v.g_v_scale_l(1),
    };
    std::string expected = "FD00008%  voxel      1 100001      2      3      4      1      2      1      2";
    for (int k = 0; k < 21; ++k) {
        *reals[k] = voxel_reals[k].value;
        expected += std::string(" ") + voxel_reals[k].field;
    }
    const std::vector<std::string> voxels = lines_of_section(split_lines(report().out), 8);
    ASSERT_EQ(voxels.size(), 6u);
    EXPECT_EQ(voxels[0], expected);
    for (int i = 2; i <= 6; ++i) EXPECT_EQ(int_field(voxels[i - 1], 16, 6), i);
}

// The 27 reals of face k in the order of its report record.
template <class Face>
std::array<double*, 27> report_reals(Face& f, int k) {
    return {&f.m_p(k),       &f.m_q(k),         &f.m_radius(k),    &f.m_latitude(k), &f.m_longitude(k),
            &f.m_x(k),       &f.m_y(k),         &f.m_z(k),         &f.nml_m_rad(k),  &f.nml_m_lat(k),
            &f.nml_m_lon(k), &f.nml_m_x(k),     &f.nml_m_y(k),     &f.nml_m_z(k),    &f.g_radius(k),
            &f.g_latitude(k), &f.g_longitude(k), &f.g_x(k),        &f.g_y(k),        &f.g_z(k),
            &f.nml_g_rad(k), &f.nml_g_lat(k),   &f.nml_g_lon(k),   &f.nml_g_x(k),    &f.nml_g_y(k),
            &f.nml_g_z(k),   &f.area(k)};
}

TEST_F(Report, FaceRecordFieldsInOrder) {
    CmnGFaceP& fp = cmn_g_face_p;
    CmnGFaceQ& fq = cmn_g_face_q;
    fp.voxel(1, 2) = 100001;
    fp.voxel(2, 2) = 99999;
    fp.scale_p(2) = 5.0;  // scale factors are not in the record
    const std::array<double*, 27> p_reals = report_reals(fp, 2);
    const std::array<double*, 27> q_reals = report_reals(fq, 3);
    for (int k = 0; k < 27; ++k) {
        *p_reals[k] = 1.25 * (k + 1);
        *q_reals[k] = -1000.0 * (k + 1);
    }
    const std::vector<std::string> lines = split_lines(report().out);
    const std::vector<std::string> p_faces = lines_of_section(lines, 10);
    const std::vector<std::string> q_faces = lines_of_section(lines, 12);
    ASSERT_EQ(p_faces.size(), 3u);
    ASSERT_EQ(q_faces.size(), 3u);
    EXPECT_EQ(p_faces[0].substr(0, 34), "FD00010%  facep     1     1     2 ");
    EXPECT_EQ(p_faces[1].substr(0, 34), "FD00010%  facep     2 ***** 99999 ");
    EXPECT_EQ(q_faces[2].substr(0, 34), "FD00012%  faceq     3     3     5 ");
    const std::vector<double> p_values = reals_of(p_faces[1], 34, 27);
    const std::vector<double> q_values = reals_of(q_faces[2], 34, 27);
    for (int k = 0; k < 27; ++k) {
        EXPECT_EQ(p_values[k], 1.25 * (k + 1)) << "p-face field " << k + 1;
        EXPECT_EQ(q_values[k], -1000.0 * (k + 1)) << "q-face field " << k + 1;
    }
}

TEST_F(Report, GridNodesCoverTheFullGridInOrder) {
    const std::vector<std::string> nodes = lines_of_section(split_lines(report().out), 19);
    ASSERT_EQ(nodes.size(), 27u);
    // Node (1, 1, 2) lies on the magnetic equator at longitude 0: r = p Re exactly.
    const char* zero = " 0.00000000E+00";
    const char* radius = " 0.95568000E+07";
    const char* equator_node[15] = {zero,   " 0.15000000E+01", zero, radius, zero, zero,   radius, zero,
                                    zero,   radius,            zero, zero,   radius, zero, zero};
    std::string expected = "FD00019%  grid     1     1     2";
    for (const char* field : equator_node) expected += std::string(" ") + field;
    EXPECT_EQ(nodes[1], expected);
    for (int k = 0; k < 27; ++k) {
        const std::string& node = nodes[k];
        const int il = k / 9 + 1, ip = k / 3 % 3 + 1, iq = k % 3 + 1;
        EXPECT_EQ(int_field(node, 15, 5), il);
        EXPECT_EQ(int_field(node, 21, 5), ip);
        EXPECT_EQ(int_field(node, 27, 5), iq);
        const std::vector<double> f = reals_of(node, 33, 15);
        const double l = gr_grid.gr_l(il), p = gr_grid.gr_p(ip), q = gr_grid.gr_q(iq);
        EXPECT_NEAR(f[0], l, 1e-7 * std::abs(l));
        EXPECT_NEAR(f[1], p, 1e-8 * p);
        EXPECT_NEAR(f[2], q, 1e-8);
        EXPECT_EQ(f[5], f[0]);
        // (r, mlat) is the point (p, q) of the dipole field.
        const double r = f[3], lat = f[4] * deg_to_rad;
        EXPECT_NEAR(r / (re * std::cos(lat) * std::cos(lat)), p, 1e-6 * p) << node;
        EXPECT_NEAR(re * re * std::sin(lat) / (r * r), q, 1e-6) << node;
        // Magnetic Cartesian (mx, my, mz) at (r, mlat, l).
        const double mx = f[9], my = f[10], mz = f[11];
        EXPECT_NEAR(std::sqrt(mx * mx + my * my + mz * mz), r, 1e-7 * r);
        EXPECT_NEAR(mz, r * std::sin(lat), 1e-7 * r);
        EXPECT_NEAR(std::atan2(my, mx) * rad_to_deg, l, 1e-6);
        // The geographic frame of type 1 is the magnetic frame.
        EXPECT_NEAR(f[6], r, 1e-7 * r);
        EXPECT_NEAR(f[7], f[4], 1e-6);
        EXPECT_NEAR(f[8], l, 1e-6);
        EXPECT_EQ(f[12], mx);
        EXPECT_EQ(f[13], my);
        EXPECT_EQ(f[14], mz);
    }
}

TEST_F(Report, GridNodesInTheDipoleFrame) {
    set_mag(2);
    const std::vector<std::string> nodes = lines_of_section(split_lines(report().out), 19);
    ASSERT_EQ(nodes.size(), 27u);
    for (const std::string& node : nodes) {
        const std::vector<double> f = reals_of(node, 33, 15);
        const double m[3] = {f[9], f[10], f[11]};
        const double r = f[3];
        EXPECT_NEAR(f[6], r, 1e-7 * r);  // a rotation keeps the radius
        double g[3];
        for (int row = 0; row < 3; ++row) {
            g[row] = 0.0;
            for (int col = 0; col < 3; ++col) g[row] += d_dipole.d_rotate(row + 1, col + 1) * m[col];
            EXPECT_NEAR(f[12 + row], g[row], 2e-7 * r) << node;
        }
        EXPECT_NEAR(std::asin(g[2] / r) * rad_to_deg, f[7], 1e-5);
        const double glon = std::atan2(g[1], g[0]) * rad_to_deg;
        EXPECT_NEAR(glon < 0.0 ? glon + 360.0 : glon, f[8], 1e-5);
    }
}

TEST_F(Report, VoxelCornersAtTheVoxelsOwnLongitude) {
    // Voxel 5 lies in cell (1, 2, 2), between the l-faces at 10 and 20 degrees;
    // its own longitude is not their mid-point.
    cmn_g_voxel.g_v_m_longitude(5) = 13.0;
    const std::vector<std::string> corners = lines_of_section(split_lines(report().out), 20);
    ASSERT_EQ(corners.size(), 6u);
    for (int i = 1; i <= 6; ++i) EXPECT_EQ(corners[i - 1].substr(0, 20), report_tag(20) + "agrid" + "    " + char('0' + i));
    const std::vector<double> a = reals_of(corners[4], 21, 12);
    const double p[4] = {1.5, 2.0, 2.0, 1.5};   // low p, high p, high p, low p
    const double q[4] = {0.0, 0.0, 0.5, 0.5};   // low q, low q, high q, high q
    for (int k = 0; k < 4; ++k) {
        const double x = a[3 * k], y = a[3 * k + 1], z = a[3 * k + 2];
        const double r = std::sqrt(x * x + y * y + z * z);
        const double lat = std::asin(z / r);
        EXPECT_NEAR(std::atan2(y, x) * rad_to_deg, 13.0, 1e-6) << "corner " << k + 1;
        EXPECT_NEAR(r / (re * std::cos(lat) * std::cos(lat)), p[k], 1e-6) << "corner " << k + 1;
        EXPECT_NEAR(re * re * std::sin(lat) / (r * r), q[k], 1e-6) << "corner " << k + 1;
    }
    // A corner on the equator at the voxel's longitude: radius p Re.
    EXPECT_NEAR(a[0], 1.5 * re * std::cos(13.0 * deg_to_rad), 1.0);
    EXPECT_EQ(a[2], 0.0);
}

TEST_F(Report, SummaryLines) {
    reset_geometry_records();
    cmn_io_flags.IO_GEOMETRY_FLAG = 1;
    set_mag(1);
    fill_axes(2, 40, 101);
    CmnGVoxel& v = cmn_g_voxel;
    v.g_v_bdry_rl_dim = 11;
    v.g_v_bdry_rh_dim = 12;
    v.g_v_bdry_ph_dim = 0;
    v.g_v_bdry_ll_dim = 14;
    v.g_v_bdry_lh_dim = 15;
    cmn_g_face_p.dim = 0;
    cmn_g_face_q.dim = 0;
    cmn_g_face_l.dim = 123456;
    for (int k = 1; k <= 15; ++k) v.g_v_boundary_rl(k) = v.g_v_boundary_rh(k) = 1;
    const std::vector<std::string> lines = split_lines(report().out);
    std::size_t first = 0;
    while (first < lines.size() && lines[first] != " Summaries:") ++first;
    ASSERT_LE(first + 18, lines.size());
    const std::vector<std::string> summaries(lines.begin() + first, lines.begin() + first + 18);
    const std::vector<std::string> expected = {
        " Summaries:",
        " gr_np =   40",
        " gr_nq =   101",
        " gr_nl =   2",
        " gr_np x gr_nq =   4040",
        " gr_np x gr_nq x gr_nl =   8080",
        " g_v_dimension =   0",
        " ",
        " g_v_bdry_rl_dim =   11",
        " g_v_bdry_rh_dim =   12",
        " g_v_bdry_ph_dim =   0",
        " g_v_bdry_ll_dim =   14",
        " g_v_bdry_lh_dim =   15",
        " ",
        " g_fp_dim =   0",
        " g_fq_dim =   0",
        " g_fl_dim =   123456",
        " ",
    };
    EXPECT_EQ(summaries, expected);
    EXPECT_EQ(lines_of_section(lines, 19).size(), 8080u);
    EXPECT_EQ(lines[first - 1].substr(0, 10), report_tag(19)) << "no voxel: FD20 has no lines";
}

TEST_F(Report, TablesWithoutRows) {
    reset_geometry_records();
    cmn_io_flags.IO_GEOMETRY_FLAG = 1;
    set_mag(1);
    fill_axes(1, 3, 3);  // one longitude: no cells
    const std::string tail =
        " l faces and neighbors:\n"
        "      il      ip      iq   Voxel  Ngh_ll  Ngh_lh  Face_ll  Face_lh\n"
        " \n"
        " p faces and neighbors:\n"
        "      il      ip      iq   Voxel  Ngh_pl  Ngh_ph  Face_pl  Face_ph\n"
        " \n"
        " q faces and neighbors:\n"
        "      il      ip      iq   Voxel  Ngh_ql  Ngh_qh  Face_ql  Face_qh\n"
        " \n";
    const std::string out = report().out;
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
    EXPECT_NE(out.find(" FD00007%  no_of_voxels   0\n"), std::string::npos);
    EXPECT_NE(out.find("\n g_v_dimension =   0\n"), std::string::npos);
}

TEST_F(Report, TableRowsForOccupiedCellsOnly) {
    reset_geometry_records();
    cmn_io_flags.IO_GEOMETRY_FLAG = 1;
    set_mag(1);
    fill_axes(2, 3, 5);
    CmnGVoxel& v = cmn_g_voxel;
    v.g_v_dimension = 18;
    for (int i = 1; i <= 18; ++i) set_voxel(i, 1, 1, 5.0);
    fill_faces_at_axes();
    gr_grid.gr_stat(2, 3, 1) = 17;
    gr_grid.gr_stat(1, 1, 1) = above_shell;
    v.g_v_neighbor_ll(17) = 100001;
    v.g_v_neighbor_lh(17) = 18;
    v.g_v_face_ll(17) = 5;
    v.g_v_face_lh(17) = 6;
    v.g_v_neighbor_pl(17) = 7;
    v.g_v_neighbor_ph(17) = 8;
    v.g_v_neighbor_ql(17) = 16;
    v.g_v_neighbor_qh(17) = 100001;
    set_voxel(17, 2, 3, 5.0);
    const std::string tail =
        " l faces and neighbors:\n"
        "      il      ip      iq   Voxel  Ngh_ll  Ngh_lh  Face_ll  Face_lh\n"
        "       1       2       3      17  100001      18       5       6\n"
        " \n"
        " p faces and neighbors:\n"
        "      il      ip      iq   Voxel  Ngh_pl  Ngh_ph  Face_pl  Face_ph\n"
        "       1       2       3      17       7       8       2       3\n"
        " \n"
        " q faces and neighbors:\n"
        "      il      ip      iq   Voxel  Ngh_ql  Ngh_qh  Face_ql  Face_qh\n"
        "       1       2       3      17      16  100001       3       4\n"
        " \n";
    const std::string out = report().out;
    ASSERT_GE(out.size(), tail.size());
    EXPECT_EQ(out.substr(out.size() - tail.size()), tail);
}

TEST_F(Report, SecondReportGoesOnWithTheTagCount) {
    cmn_io_flags.IO_GEOMETRY_FLAG = 0;
    const std::vector<std::string> lines = split_lines(run_isolated([] {
                                                           print_geometry();
                                                           print_geometry();
                                                       }).out);
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(lines[13], " FD00008%  gr_nl   3");
    EXPECT_EQ(lines[25], " FD00014%  no_of_voxels   6");
}

TEST(SectionTag, CountsUpWithLeadingZerosAndOverflowsToAsterisks) {
    const std::string out = run_isolated([] {
                                char field_id[field_id_length + 1] = "xxxxxxxxxx";
                                for (int n = 1; n <= 100000; ++n) {
                                    get_io_fd(std::span<char, field_id_length>(field_id, field_id_length));
                                    if (n <= 2 || n == 10 || n == 99999 || n == 100000) {
                                        field_id[field_id_length] = '\n';
                                        (void)!::write(STDOUT_FILENO, field_id, field_id_length + 1);
                                    }
                                }
                            }).out;
    EXPECT_EQ(out, "FD00001%  \nFD00002%  \nFD00010%  \nFD99999%  \nFD*****%  \n");
}

TEST_F(Report, CapacityBoundsEndTheRunBeforeTheSectionsFirstLine) {
    struct Case {
        const char* what;
        void (*change)();
        const char* report;       // the subscript report's second line
        const char* last_line;    // the last line on standard output
    };
    const Case cases[] = {
        {"gr_nl", [] { gr_grid.gr_nl = 101; }, "Subscript number 1 has value 101 in array 'GR_L'",
         " FD00001%  gr_nl   101"},
        {"gr_nq", [] { gr_grid.gr_nq = 201; }, "Subscript number 1 has value 201 in array 'GR_Q'",
         " FD00005%  gr_nq   201"},
        {"g_v_dimension", [] { cmn_g_voxel.g_v_dimension = 100002; },
         "Subscript number 1 has value 100002 in array 'G_V_NEIGHBOR_PL'", " FD00007%  no_of_voxels   100002"},
        {"g_fp_dim", [] { cmn_g_face_p.dim = 110001; },
         "Subscript number 2 has value 110001 in array 'G_FP_VOXEL'", " FD00009%  no_of_p_faces    110001"},
        {"g_fq_dim", [] { cmn_g_face_q.dim = 110001; },
         "Subscript number 2 has value 110001 in array 'G_FQ_VOXEL'", " FD00011%  no_of_q_faces   110001"},
        {"g_v_bdry_ph_dim", [] { cmn_g_voxel.g_v_bdry_ph_dim = 100001; },
         "Subscript number 1 has value 100001 in array 'G_V_BOUNDARY_PH'", " FD00017%  g_v_bdry_ph_dim   100001"},
    };
    for (const Case& c : cases) {
        fill_small_grid();
        c.change();
        const ChildResult run = report();
        EXPECT_EQ(run.signal, SIGABRT) << c.what;
        EXPECT_NE(run.err.find(c.report), std::string::npos) << c.what << ": " << run.err;
        const std::vector<std::string> lines = split_lines(run.out);
        ASSERT_FALSE(lines.empty()) << c.what;
        EXPECT_EQ(lines.back(), c.last_line) << c.what;
    }
}

TEST_F(Report, CornerFaceNumbersAreChecked) {
    cmn_g_voxel.g_v_face_ph(2) = 110001;
    ChildResult run = report();
    EXPECT_EQ(run.signal, SIGABRT);
    EXPECT_NE(run.err.find("Subscript number 1 has value 110001 in array 'G_FP_M_P'"), std::string::npos) << run.err;
    EXPECT_EQ(split_lines(run.out).back().substr(0, 20), "FD00020%  agrid    1");

    fill_small_grid();
    cmn_g_voxel.g_v_face_qh(1) = 0;
    run = report();
    EXPECT_NE(run.err.find("Subscript number 1 has value 0 in array 'G_FQ_M_Q'"), std::string::npos) << run.err;
    EXPECT_EQ(split_lines(run.out).back().substr(0, 10), report_tag(19));
}

// The line of `text` that starts with `prefix`, or "".
std::string line_starting(const std::string& text, const std::string& prefix) {
    const std::size_t at = text.find("\n" + prefix);
    if (at == std::string::npos) return {};
    return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

TEST_F(Report, SixDigitNumbersInFiveDigitFields) {
    CmnGVoxel& v = cmn_g_voxel;
    v.g_v_dimension = 100000;
    for (int i = 7; i <= 100000; ++i) set_voxel(i, 1, 1, 5.0);
    v.g_v_neighbor_ph(100000) = 100001;
    cmn_g_face_q.dim = 100000;
    const ChildResult run = report();
    ASSERT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(line_starting(run.out, "FD00008%  voxel 100000").substr(0, 36), "FD00008%  voxel 100000      0 100001");
    EXPECT_EQ(line_starting(run.out, "FD00012%  faceq 99999").size(), 465u);
    EXPECT_EQ(line_starting(run.out, "FD00012%  faceq *****").size(), 465u);
    EXPECT_EQ(line_starting(run.out, "FD00020%  agrid99999").size(), 212u);
    EXPECT_EQ(line_starting(run.out, "FD00020%  agrid*****").size(), 212u);
}


// A polar grid built as the program builds it: every corner record lies at its
// voxel's longitude on the (p, q) of its bounding faces, and each table lists
// every voxel once, at its own cell.
TEST(BuiltGridReport, CornersAndTablesFollowTheRecords) {
    test::build_geometry(test::test_config("polar_dipole"), test::BuildStep::voxels);
    cmn_io_flags.IO_GEOMETRY_FLAG = 1;
    const CmnGVoxel& v = cmn_g_voxel;
    const int voxels = v.g_v_dimension;
    ASSERT_GT(voxels, 0);
    const ChildResult run = report();
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const std::vector<std::string> lines = split_lines(run.out);
    ASSERT_EQ(lines_of_section(lines, 8).size(), static_cast<std::size_t>(voxels));
    const std::vector<std::string> corners = lines_of_section(lines, 20);
    ASSERT_EQ(corners.size(), static_cast<std::size_t>(voxels));
    for (int i = 1; i <= voxels; ++i) {
        const std::vector<double> a = reals_of(corners[i - 1], 21, 12);
        // Near the pole p and the longitude are ill-conditioned in the printed
        // coordinates: compare positions instead, with the dipole root as oracle.
        for (int k = 0; k < 4; ++k) {
            const test::CornerFaces faces = test::round_corner_faces(i, k + 1);
            const double p = cmn_g_face_p.m_p(faces.p_face);
            const double q = cmn_g_face_q.m_q(faces.q_face);
            const auto [r, lat_deg] = pq2polar_point({p, q});
            const double lon = v.g_v_m_longitude(i) * deg_to_rad;
            const double lat = lat_deg * deg_to_rad;
            const double expected[3] = {r * std::cos(lat) * std::cos(lon), r * std::cos(lat) * std::sin(lon),
                                        r * std::sin(lat)};
            for (int c = 0; c < 3; ++c)
                ASSERT_NEAR(a[3 * k + c], expected[c], 1e-7 * r) << "voxel " << i << " corner " << k + 1;
        }
    }
    std::size_t at = 0;
    for (const char* title : {" l faces and neighbors:", " p faces and neighbors:", " q faces and neighbors:"}) {
        while (at < lines.size() && lines[at] != title) ++at;
        ASSERT_LT(at + 2 + voxels, lines.size()) << title;
        for (int i = 1; i <= voxels; ++i) {
            const std::string& row = lines[at + 1 + i];
            ASSERT_EQ(row.size(), 64u) << row;
            const int il = int_field(row, 0, 8), ip = int_field(row, 8, 8), iq = int_field(row, 16, 8);
            ASSERT_EQ(int_field(row, 24, 8), i) << row;
            ASSERT_EQ(gr_grid.gr_stat(ip, iq, il), i) << row;
        }
        EXPECT_EQ(lines[at + 2 + voxels], " ") << title;
    }
}

}  // namespace
}  // namespace vorn
