// Whole runs of the program on the shipped example and the test
// configurations (each magnetic frame, regional, full circle, polar, one
// longitude): the gamma and d_chi lines, the axes and the voxel count of the
// report; and the runs that a grid limit stops, with their exact message
// lines, exit status 1 and an older snapshot left as it was.
#include <algorithm>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/test_support.hpp"

namespace vorn {
namespace {

namespace fs = std::filesystem;

constexpr double re = 6371200.0;

std::string test_config(const std::string& name) {
    return test::read_file(fs::path(VORN_SOURCE_DIR) / "tests" / "configs" / (name + ".nml"));
}

// The configuration with the value of each named item replaced (one item
// per line, as the shipped files write them).
std::string with_items(std::string text, const std::map<std::string, std::string>& items) {
    for (const auto& [name, value] : items) {
        std::smatch item;
        const bool found = std::regex_search(text, item, std::regex("\n *" + name + " = ([^ !\n]*)"));
        EXPECT_TRUE(found) << name;
        if (found) text.replace(item.position(1), item.length(1), value);
    }
    return text;
}

struct FolderRun {
    fs::path dir;
    test::RunResult result;
};

FolderRun run_in(const std::string& folder, const std::string& config) {
    const fs::path dir = test::scratch_dir("grid_runs_" + folder);
    test::write_file(dir / "master_nml", config);
    return {dir, test::run_program(dir)};
}

// The values of the tagged lines whose tag and label start `prefix`, in order.
std::vector<double> tagged_values(const std::string& out, const std::string& prefix) {
    std::vector<double> values;
    std::size_t at = 0;
    while ((at = out.find("\n " + prefix, at)) != std::string::npos) {
        const std::size_t end = out.find('\n', at + 1);
        std::string line = out.substr(at + 1, end - at - 1);
        std::replace(line.begin(), line.end(), 'D', 'E');
        values.push_back(std::stod(line.substr(line.find_last_of(' ', line.find_last_not_of(' ')) + 1)));
        at = end;
    }
    return values;
}

int tagged_count(const std::string& out, const std::string& prefix) {
    const std::vector<double> v = tagged_values(out, prefix);
    EXPECT_EQ(v.size(), 1u) << prefix;
    return v.empty() ? -1 : static_cast<int>(v.front());
}

struct CompleteRun {
    std::string name;     // a file of tests/configs, or "example"
    int nl;               // the l count the range and step ask for
    double l_first;
    double l_last;
    double p_first;       // the lowest line; 0 where the frame shifts it
};

void PrintTo(const CompleteRun& run, std::ostream* os) { *os << run.name; }

class GridRun : public ::testing::TestWithParam<CompleteRun> {};

TEST_P(GridRun, PrintsTheStretchLinesAndReachesTheVoxelCount) {
    const CompleteRun& expected = GetParam();
    const std::string config = expected.name == "example" ? test::example_config() : test_config(expected.name);
    const FolderRun run = run_in(expected.name, config);
    ASSERT_EQ(run.result.exit_status, 0) << run.result.err;
    EXPECT_TRUE(fs::exists(run.dir / "vorn_geometry.mat"));
    const std::string& out = run.result.out;

    // The two lines of the along-line grid come first.
    EXPECT_TRUE(std::regex_search(out, std::regex("^ gamma=.{19}(.{4})?\n d_chi=.{19}(.{4})?\n FD00001%  gr_nl ")))
        << out.substr(0, 200);

    const std::vector<double> l = tagged_values(out, "FD00002%  l_values ");
    ASSERT_EQ(tagged_count(out, "FD00001%  gr_nl "), expected.nl);
    ASSERT_EQ(l.size(), static_cast<std::size_t>(expected.nl));
    EXPECT_NEAR(l.front(), expected.l_first, 1.0e-12);
    EXPECT_NEAR(l.back(), expected.l_last, 1.0e-12);
    for (std::size_t i = 1; i < l.size(); ++i) EXPECT_GT(l[i], l[i - 1]);

    const std::vector<double> p = tagged_values(out, "FD00004%  p_values ");
    ASSERT_EQ(static_cast<int>(p.size()), tagged_count(out, "FD00003%  gr_np "));
    ASSERT_GE(p.size(), 2u);
    ASSERT_LE(p.size(), 100u);
    for (std::size_t i = 1; i < p.size(); ++i) EXPECT_GT(p[i], p[i - 1]);
    if (expected.p_first > 0.0) {
        EXPECT_NEAR(p.front(), expected.p_first, 1.0e-12);
    }

    // The q axis is odd-sized and antisymmetric about an exact zero.
    const std::vector<double> q = tagged_values(out, "FD00006%  q_values ");
    ASSERT_EQ(static_cast<int>(q.size()), tagged_count(out, "FD00005%  gr_nq "));
    ASSERT_EQ(q.size() % 2, 1u);
    EXPECT_NE(out.find(" FD00006%  q_values   " + std::to_string((q.size() + 1) / 2) + "  0.\n"), std::string::npos);
    for (std::size_t k = 0; k < q.size(); ++k) EXPECT_EQ(q[k], -q[q.size() - 1 - k]) << k;

    // The voxel count, its records and its summary line agree.
    const int voxels = tagged_count(out, "FD00007%  no_of_voxels ");
    EXPECT_GT(voxels, 0);
    EXPECT_LE(voxels, 100000);
    std::size_t records = 0;
    for (std::size_t at = 0; (at = out.find("\nFD00008%  voxel ", at)) != std::string::npos; ++at) ++records;
    EXPECT_EQ(records, static_cast<std::size_t>(voxels));
    EXPECT_NE(out.find("\n g_v_dimension =   " + std::to_string(voxels) + "\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, GridRun,
    ::testing::Values(
        // Full circle of 16 cells of 22.5 degrees in the centred dipole.
        CompleteRun{"example", 17, 0.0, 360.0, 0.0},
        // 30..90 in steps of 10; the geographic frame puts the lowest line at
        // (100 km + Re) / Re.
        CompleteRun{"regional_geographic", 7, 30.0, 90.0, (100.0e3 + re) / re},
        // Full circle, step 40: 10 cells of 36 degrees.
        CompleteRun{"full_circle_dipole", 11, 0.0, 360.0, 0.0},
        // 200..280 in steps of 20, eccentric frame.
        CompleteRun{"regional_eccentric", 5, 200.0, 280.0, 0.0},
        // Full circle, step 45: 8 cells; polar.
        CompleteRun{"polar_dipole", 9, 0.0, 360.0, 0.0},
        // 360 down to 0, step 60: 6 cells; polar, eccentric.
        CompleteRun{"polar_eccentric", 7, 0.0, 360.0, 0.0},
        // One longitude: 100 -+ 0.005.
        CompleteRun{"single_longitude_geographic", 2, 99.995, 100.005, (90.0e3 + re) / re}),
    [](const ::testing::TestParamInfo<CompleteRun>& info) { return info.param.name; });

// A run of the example with some items replaced, which a grid limit stops:
// exit status 1, the message lines alone on standard output, and an older
// snapshot in the folder left as it was.
std::string stopped_run(const std::string& folder, const std::map<std::string, std::string>& items) {
    const fs::path dir = test::scratch_dir("grid_stops_" + folder);
    test::write_file(dir / "master_nml", with_items(test::example_config(), items));
    test::write_file(dir / "vorn_geometry.mat", "older snapshot");
    const test::RunResult run = test::run_program(dir);
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_TRUE(test::read_file(dir / "vorn_geometry.mat") == "older snapshot");
    return run.out;
}

const std::string stretch_lines = " gamma=.{19}(?:.{4})?\n d_chi=.{19}(?:.{4})?\n";

// Matches `out` against `pattern` and returns the first group, a count.
int stop_count(const std::string& out, const std::string& pattern) {
    std::smatch match;
    EXPECT_TRUE(std::regex_match(out, match, std::regex(pattern))) << out.substr(0, 600);
    return match.size() > 1 ? std::stoi(match[1].str()) : -1;
}

TEST(GridStops, FieldLineCountAboveOneHundred) {
    const std::string out = stopped_run("p_size", {{"GR_I_DGALT_EQALT600", "5.0E3"}});
    const std::string error = " Error in init_geometry: p grid size too large\n";
    EXPECT_GT(stop_count(out, error + " gr_np=  (\\d+)\n" + error + " gr_np=  \\1\n"), 100);
}

TEST(GridStops, HighLatitudeLinesBeyondOneHundred) {
    const std::string out = stopped_run("global_p_size", {{"GR_I_DMLAT_HLALT300", "0.2"}});
    const std::string error = " Error in init_geometry: p grid size too large\n";
    EXPECT_GT(stop_count(out, error + " global_np=  (\\d+)\n" + error + " global_np=  \\1\n"), 100);
}

TEST(GridStops, BoundaryLineTooSteepAtTheHighLatitudeAltitude) {
    // 51.2 km from the centre the line of 89.5 degrees stands at 89.96.
    const std::string out = stopped_run("latitude", {{"GR_I_MLAT_HLBDRY", "89.5"}, {"GR_I_GALT_4HLP", "-6.32E6"}});
    const std::string block =
        " Magnetic latitude exceeds the allowed limit.\n"
        " Please give a smaller value for\n"
        "             the high-latitude boundary.\n"
        " Program stopped.\n";
    EXPECT_TRUE(out == block + block) << out.substr(0, 600);
}

TEST(GridStops, HighLatitudeAltitudeBeyondTheBoundaryLine) {
    // The line of 70 degrees at 1000 km reaches about 10 Re; 4HLP asks for 11.
    const std::string out = stopped_run("intersection", {{"GR_I_MLAT_HLBDRY", "70.0"}, {"GR_I_GALT_4HLP", "63.712E6"}});
    EXPECT_TRUE(out == " p_r_intersect: Non intersection exists!\n") << out.substr(0, 600);
}

TEST(GridStops, AlongLineCountAboveTwoHundred) {
    const std::string out = stopped_run("q_size", {{"GR_I_DGALT_MLALT600", "10.0E3"}});
    const std::string error = " Error in init_geometry: q grid size too large\n";
    EXPECT_GT(stop_count(out, stretch_lines + error + " gr_nq=  (\\d+)\n gr_nq=  \\1\n"), 200);
}

TEST(GridStops, HighLatitudeStretchBeyondTwoHundred) {
    // A short mid-latitude part (low transition, wide equatorial step) and a
    // long stretch up to 88 degrees in steps of 16.5 km.
    const std::string out = stopped_run("global_q_size", {{"GR_I_GLAT_MLTRANS", "30.0"},
                                                          {"GR_I_MLAT_HLBDRY", "88.0"},
                                                          {"GR_I_DMLAT_EQALT300", "30.0"},
                                                          {"GR_I_DGALT_MLALT600", "16.5E3"}});
    const std::string error = " Error in init_geometry: q grid size too large\n";
    EXPECT_GT(stop_count(out, stretch_lines + error + " global_nq=  (\\d+)\n"), 200);
}

TEST(GridStops, MoreThanOneHundredThousandVoxels) {
    const std::string out = stopped_run("voxels", {{"GR_I_DMLON", "8.0"},
                                                   {"GR_I_DMLAT_EQALT300", "1.0"},
                                                   {"GR_I_DGALT_EQALT600", "50.0E3"},
                                                   {"GR_I_DGALT_MLALT600", "50.0E3"}});
    EXPECT_TRUE(std::regex_match(out, std::regex(stretch_lines + " Too many voxels required.\n"))) << out.substr(0, 600);
}

}  // namespace
}  // namespace vorn
