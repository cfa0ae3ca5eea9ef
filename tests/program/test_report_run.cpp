// The full geometry report of the shipped example, checked for structure:
// sections in order, one line per record, every record of its length, and
// counts that agree between the sections, the summaries and the tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <regex>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "support/test_support.hpp"

namespace vorn {
namespace {

using test::report_tag;
using test::split_lines;

std::string right_justified(long value, std::size_t width) {
    std::string digits = std::to_string(value);
    if (digits.size() > width) return std::string(width, '*');
    return std::string(width - digits.size(), ' ') + digits;
}

// Walks the report line by line.
class ReportReader {
public:
    explicit ReportReader(std::string_view out) : lines_(split_lines(out)) {
        while (at_ < lines_.size() && !lines_[at_].starts_with(" " + report_tag(1))) ++at_;
    }

    bool done() const { return at_ >= lines_.size(); }
    std::string_view next() { return done() ? std::string_view() : lines_[at_++]; }

    // A count line " <tag><label>  <n>" (the label with its trailing blanks); returns n.
    long count(int section, std::string_view label) {
        const std::string prefix = " " + report_tag(section) + std::string(label) + "  ";
        const std::string_view line = next();
        EXPECT_TRUE(line.starts_with(prefix)) << line;
        if (!line.starts_with(prefix)) return 0;
        const std::string digits(line.substr(prefix.size()));
        EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << line;
        return std::stol(digits);
    }

    // Lines " <tag><label>  i  <value>" for i = 1..n.
    void list(int section, std::string_view label, long n) {
        for (long i = 1; i <= n; ++i) {
            const std::string prefix = " " + report_tag(section) + std::string(label) + "  " + std::to_string(i) + "  ";
            const std::string_view line = next();
            ASSERT_TRUE(line.starts_with(prefix)) << "entry " << i << ": " << line;
            ASSERT_LT(line.size(), 80u) << line;
        }
    }

    // n fixed records "<tag><label><i>" of `length` characters, i in an i5 or i6 field.
    void records(int section, std::string_view label, long n, std::size_t index_width, std::size_t length) {
        for (long i = 1; i <= n; ++i) {
            const std::string prefix = report_tag(section) + std::string(label) + right_justified(i, index_width);
            const std::string_view line = next();
            ASSERT_TRUE(line.starts_with(prefix)) << "record " << i << ": " << line.substr(0, 40);
            ASSERT_EQ(line.size(), length) << "record " << i;
            ASSERT_NE(line.back(), ' ');
        }
    }

    // Grid-node records in the order l, p, q (q fastest).
    void grid_nodes(long nl, long np, long nq) {
        for (long il = 1; il <= nl; ++il)
            for (long ip = 1; ip <= np; ++ip)
                for (long iq = 1; iq <= nq; ++iq) {
                    const std::string prefix = report_tag(19) + "grid " + right_justified(il, 5) + " " +
                                               right_justified(ip, 5) + " " + right_justified(iq, 5) + " ";
                    const std::string_view line = next();
                    ASSERT_TRUE(line.starts_with(prefix)) << "node " << il << " " << ip << " " << iq << ": "
                                                          << line.substr(0, 40);
                    ASSERT_EQ(line.size(), 272u);
                }
    }

    void expect_line(std::string_view expected) { EXPECT_EQ(next(), expected); }

    // A summary line " <label>  <n>"; returns n.
    long summary(std::string_view label) {
        const std::string prefix = " " + std::string(label) + "  ";
        const std::string_view line = next();
        EXPECT_TRUE(line.starts_with(prefix)) << line;
        return line.starts_with(prefix) ? std::stol(std::string(line.substr(prefix.size()))) : -1;
    }

    // One table: title, header, one row per voxel in cell order, blank line.
    void table(char d, long voxels) {
        const std::string side_l = std::string("_") + d + "l", side_h = std::string("_") + d + "h";
        expect_line(std::string(" ") + d + " faces and neighbors:");
        expect_line("      il      ip      iq   Voxel  Ngh" + side_l + "  Ngh" + side_h + "  Face" + side_l +
                    "  Face" + side_h);
        long il = 0, ip = 0, iq = 0;
        for (long i = 1; i <= voxels; ++i) {
            const std::string_view row = next();
            ASSERT_EQ(row.size(), 64u) << row;
            ASSERT_EQ(row.substr(24, 8), right_justified(i, 8)) << "voxel numbers follow the cells: " << row;
            long cell[3];
            for (int k = 0; k < 3; ++k) cell[k] = std::stol(std::string(row.substr(8 * k, 8)));
            ASSERT_TRUE(std::tie(cell[0], cell[1], cell[2]) > std::tie(il, ip, iq)) << row;
            il = cell[0], ip = cell[1], iq = cell[2];
        }
        expect_line(" ");
    }

private:
    std::vector<std::string> lines_;
    std::size_t at_ = 0;
};

// The shipped example with the full report switched on.
std::string full_report_config() {
    std::string config = test::example_config();
    const std::regex flag("(IO_GEOMETRY_FLAG\\s*=\\s*)[-+]?[0-9]+", std::regex::icase);
    // "$01" is the item and its "=", then the value 1.
    if (std::regex_search(config, flag)) return std::regex_replace(config, flag, "$011");
    ADD_FAILURE() << "the example names no IO_GEOMETRY_FLAG";
    return config;
}

TEST(ReportRun, ExampleReportStructure) {
    const auto dir = test::scratch_dir("ExampleReportStructure");
    test::write_file(dir / "master_nml", full_report_config());
    const test::RunResult run = test::run_program(dir);
    ASSERT_EQ(run.exit_status, 0) << run.err;

    ReportReader report(run.out);
    ASSERT_FALSE(report.done()) << "no FD1 line";
    const long nl = report.count(1, "gr_nl ");
    report.list(2, "l_values ", nl);
    const long np = report.count(3, "gr_np ");
    report.list(4, "p_values ", np);
    const long nq = report.count(5, "gr_nq ");
    report.list(6, "q_values ", nq);
    const long voxels = report.count(7, "no_of_voxels ");
    report.records(8, "voxel ", voxels, 6, 414);
    const long p_faces = report.count(9, "no_of_p_faces  ");
    report.records(10, "facep ", p_faces, 5, 465);
    const long q_faces = report.count(11, "no_of_q_faces ");
    report.records(12, "faceq ", q_faces, 5, 465);
    const long rl = report.count(13, "g_v_bdry_rl_dim ");
    report.list(14, "rlboundary ", rl);
    const long rh = report.count(15, "g_v_bdry_rh_dim ");
    report.list(16, "rhboundary ", rh);
    const long ph = report.count(17, "g_v_bdry_ph_dim ");
    report.list(18, "phboundary ", ph);
    report.grid_nodes(nl, np, nq);
    report.records(20, "agrid", voxels, 5, 212);
    EXPECT_GT(voxels, 0);

    report.expect_line(" Summaries:");
    EXPECT_EQ(report.summary("gr_np = "), np);
    EXPECT_EQ(report.summary("gr_nq = "), nq);
    EXPECT_EQ(report.summary("gr_nl = "), nl);
    EXPECT_EQ(report.summary("gr_np x gr_nq = "), np * nq);
    EXPECT_EQ(report.summary("gr_np x gr_nq x gr_nl = "), np * nq * nl);
    EXPECT_EQ(report.summary("g_v_dimension = "), voxels);
    report.expect_line(" ");
    EXPECT_EQ(report.summary("g_v_bdry_rl_dim = "), rl);
    EXPECT_EQ(report.summary("g_v_bdry_rh_dim = "), rh);
    EXPECT_EQ(report.summary("g_v_bdry_ph_dim = "), ph);
    EXPECT_GE(report.summary("g_v_bdry_ll_dim = "), 0);
    EXPECT_GE(report.summary("g_v_bdry_lh_dim = "), 0);
    report.expect_line(" ");
    EXPECT_EQ(report.summary("g_fp_dim = "), p_faces);
    EXPECT_EQ(report.summary("g_fq_dim = "), q_faces);
    EXPECT_GT(report.summary("g_fl_dim = "), 0);
    report.expect_line(" ");
    for (char d : {'l', 'p', 'q'}) report.table(d, voxels);

    // Nothing after the report carries a tag.
    while (!report.done()) EXPECT_EQ(report.next().find("FD000"), std::string_view::npos);
}

}  // namespace
}  // namespace vorn
