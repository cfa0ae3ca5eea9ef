// The built program on configurations that cannot give a grid: the example
// with one item changed, each run in a scratch folder that holds an older
// snapshot.  An axis of fewer than two values or whose values do not rise,
// and a boundary radius at or below the Earth's centre, end with a fatal stop
// (message lines, closing note, exit status 1); a NaN that the run takes ends
// it with the invalid-operation report; a NaN that nothing reads changes no
// output byte.
#include <algorithm>
#include <csignal>
#include <filesystem>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "support/geometry_setup.hpp"
#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

const std::string older_snapshot = "an older snapshot";
const std::string closing_note = "IEEE floating-point exception traps enabled";

using Items = std::vector<std::pair<std::string, std::string>>;

// `config` with each item's value replaced (the item on a line of its own,
// its comment kept); an element such as "GR_SIZE_RATIO(3)" goes on a new line
// after the line of its array, where it overrides the list.
std::string with_items(std::string config, const Items& items) {
    for (const auto& [name, value] : items) {
        const std::string array = name.substr(0, name.find('('));
        const std::size_t line = config.find("\n  " + array + " = ");
        if (line == std::string::npos) {
            ADD_FAILURE() << name << " is not in the configuration";
            continue;
        }
        const std::size_t line_end = config.find('\n', line + 1);
        if (array != name) {
            config.insert(line_end, "\n  " + name + " = " + value);
            continue;
        }
        const std::size_t value_at = config.find(" = ", line) + 3;
        const std::size_t comment = config.find(" !", value_at);
        config.replace(value_at, std::min(comment, line_end) - value_at, value);
    }
    return config;
}

struct FolderRun {
    fs::path dir;
    RunResult result;
};

FolderRun run_in_folder(const std::string& folder, const std::string& config) {
    const fs::path dir = scratch_dir("bad_config_" + folder);
    write_file(dir / "master_nml", config);
    write_file(dir / "vorn_geometry.mat", older_snapshot);
    return {dir, run_program(dir)};
}

// A fatal stop: exit status 1, the closing note, the older snapshot as it was.
void expect_fatal_stop(const FolderRun& run) {
    EXPECT_EQ(run.result.signal, 0);
    EXPECT_EQ(run.result.exit_status, 1) << run.result.err;
    EXPECT_NE(run.result.err.find(closing_note), std::string::npos) << run.result.err;
    EXPECT_EQ(read_file(run.dir / "vorn_geometry.mat"), older_snapshot);
}

// A real of a free-format line ("D" as the exponent letter).
double free_format_value(std::string field) {
    for (char& c : field)
        if (c == 'D') c = 'E';
    return std::stod(field);
}

// The lines of the along-line grid, written before its axis is checked.
const std::string stretch_lines = " gamma=.{19}(?:.{4})?\n d_chi=.{19}(?:.{4})?\n";

// ------------------------------------------------------------ broken axes

struct BrokenAxis {
    std::string name;
    Items items;
    char axis;     // 'l', 'p' or 'q'
    bool too_few;  // fewer than two values; otherwise a pair that does not rise
};

void PrintTo(const BrokenAxis& c, std::ostream* os) { *os << c.name; }

class BrokenAxisRun : public ::testing::TestWithParam<BrokenAxis> {};

TEST_P(BrokenAxisRun, EndsWithAFatalStopThatNamesTheAxisAndTheValuesAtFault) {
    const BrokenAxis& c = GetParam();
    const FolderRun run = run_in_folder(c.name, with_items(example_config(), c.items));
    expect_fatal_stop(run);

    // Only the q axis is checked after the stretch lines of its builder.
    const std::string before = c.axis == 'q' ? stretch_lines : "";
    const std::string a(1, c.axis);
    std::smatch m;
    if (c.too_few) {
        ASSERT_TRUE(std::regex_match(run.result.out, m,
                                     std::regex(before + " Error in init_geometry: " + a +
                                                " grid has fewer than two values\n gr_n" + a + "=  (-?\\d+)\n")))
            << run.result.out.substr(0, 600);
        EXPECT_LT(std::stoi(m[1].str()), 2);
    } else {
        ASSERT_TRUE(std::regex_match(run.result.out, m,
                                     std::regex(before + " Error in init_geometry: " + a +
                                                " grid values do not increase\n i=  (\\d+)\n gr_" + a +
                                                "\\(i\\)= +(\\S+)\n gr_" + a + "\\(i\\+1\\)= +(\\S+)\n")))
            << run.result.out.substr(0, 600);
        EXPECT_GE(std::stoi(m[1].str()), 1);
        EXPECT_LE(free_format_value(m[3].str()), free_format_value(m[2].str()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Example, BrokenAxisRun,
    ::testing::Values(
        // A negative high-latitude step takes lines away: gr_np -4, then -18882.
        BrokenAxis{"high_latitude_step_minus_one", {{"GR_I_DMLAT_HLALT300", "-1.0"}}, 'p', true},
        BrokenAxis{"high_latitude_step_minus_one_thousandth", {{"GR_I_DMLAT_HLALT300", "-0.001"}}, 'p', true},
        // A negative d_chi: the q axis runs up and back down.
        BrokenAxis{"equatorial_step_230_degrees", {{"GR_I_DMLAT_EQALT300", "230."}}, 'q', false},
        // A negative size ratio turns the stretched p axis back.
        BrokenAxis{"size_ratio_list_with_a_negative_knot",
                   {{"GR_SIZE_RATIO", "1.0, 1.0, 2.0, -1.0, 10.0"}}, 'p', false},
        BrokenAxis{"size_ratio_3_negative", {{"GR_SIZE_RATIO(3)", "-0.5"}}, 'p', false},
        // Longitudes that all print alike: 22.5 is lost beside 1.0E18.
        BrokenAxis{"low_longitude_minus_1e18", {{"GR_I_MLON_LOW", "-1.0E18"}}, 'l', false},
        // A wide equatorial step, one step along the lines and no
        // high-latitude lines: the q axis is the single value q_max.
        BrokenAxis{"single_along_line_value",
                   {{"GR_I_DMLAT_EQALT300", "80.0"}, {"GR_I_DGALT_MLALT600", "1.0E8"}, {"GR_I_MLAT_HLBDRY", "40.0"}},
                   'q', true}),
    [](const ::testing::TestParamInfo<BrokenAxis>& info) { return info.param.name; });

// ------------------------------------------------ boundary below the centre

TEST(BoundaryBelowTheCentre, EndsWithAFatalStopThatNamesTheBoundary) {
    // -Re puts the probes at radius 0; below it they would be negative, which
    // the transforms take for a Cartesian input.  The boundary is checked
    // before NML_GR_P_TRANS is read, so a fault of that group (a bad real, a
    // knot count the tables cannot hold, a single knot) does not hide it.
    const std::string boundary = "GR_I_GALT_HIBDRY";
    const std::vector<std::pair<std::string, Items>> cases = {
        {"-7.0E6", {{boundary, "-7.0E6"}}},
        {"-6371200.0", {{boundary, "-6371200.0"}}},
        {"bad_knot_altitude", {{boundary, "-7.0E6"}, {"GR_CONTROL_ALT", "100.0x"}}},
        {"no_knots", {{boundary, "-7.0E6"}, {"GR_N_CONTROL", "0"}}},
        {"single_knot", {{boundary, "-7.0E6"}, {"GR_N_CONTROL", "1"}}},
        {"101_knots", {{boundary, "-7.0E6"}, {"GR_N_CONTROL", "101"}}},
    };
    for (const auto& [name, items] : cases) {
        SCOPED_TRACE(name);
        const FolderRun run = run_in_folder("high_boundary_" + name, with_items(example_config(), items));
        expect_fatal_stop(run);
        std::smatch m;
        ASSERT_TRUE(std::regex_match(run.result.out, m,
                                     std::regex(" Error in init_geometry: GR_I_GALT_HIBDRY lies at or below the "
                                                "Earth's centre\n GR_I_GALT_HIBDRY= +(\\S+)\n")))
            << run.result.out.substr(0, 600);
        EXPECT_EQ(free_format_value(m[1].str()), std::stod(items.front().second));
    }
}

// ----------------------------------------------------------- NaN operands

class NanItemRun : public ::testing::TestWithParam<std::string> {};

TEST_P(NanItemRun, EndsWithTheInvalidOperationReport) {
    const std::string& item = GetParam();
    const FolderRun run = run_in_folder("nan_" + item, with_items(example_config(), {{item, "NaN"}}));
    EXPECT_EQ(run.result.signal, SIGABRT) << "exit status " << run.result.exit_status;
    EXPECT_NE(run.result.err.find("\n Floating-point exception:  invalid operation\n"), std::string::npos)
        << run.result.err;
    EXPECT_EQ(run.result.err.find(closing_note), std::string::npos);
    EXPECT_EQ(run.result.out.find("Writing using file"), std::string::npos);
    EXPECT_EQ(read_file(run.dir / "vorn_geometry.mat"), older_snapshot);
}

// Every real item that the example's run reads, and every knot it uses.
INSTANTIATE_TEST_SUITE_P(
    Example, NanItemRun,
    ::testing::Values("GR_I_MLON_LOW", "GR_I_MLON_HIGH", "GR_I_DMLON", "GR_I_MLAT_HLBDRY", "GR_I_GLAT_MLTRANS",
                      "GR_I_DMLAT_EQALT300", "GR_I_DMLAT_HLALT300", "GR_I_GALT_4HLP", "GR_I_GALT_LOWBDRY",
                      "GR_I_GALT_LOWLIM", "GR_I_GALT_HIBDRY", "GR_I_GALT_HICUTOFF", "GR_I_DGALT_EQALT600",
                      "GR_I_DGALT_MLALT600", "GR_CONTROL_ALT(1)", "GR_CONTROL_ALT(2)", "GR_CONTROL_ALT(3)",
                      "GR_CONTROL_ALT(4)", "GR_CONTROL_ALT(5)", "GR_SIZE_RATIO(1)", "GR_SIZE_RATIO(2)",
                      "GR_SIZE_RATIO(3)", "GR_SIZE_RATIO(4)", "GR_SIZE_RATIO(5)"),
    [](const ::testing::TestParamInfo<std::string>& info) {
        std::string name = info.param;
        std::erase_if(name, [](char c) { return c == '(' || c == ')'; });
        return name;
    });

struct UnreadNan {
    std::string name;
    std::string config;  // a file of tests/configs, or "example"
    Items setting;                        // the configuration of both runs
    std::vector<std::string> nan_items;  // set to NaN in the second run
};

void PrintTo(const UnreadNan& c, std::ostream* os) { *os << c.name; }

class UnreadNanRun : public ::testing::TestWithParam<UnreadNan> {};

TEST_P(UnreadNanRun, ChangesNoOutputByte) {
    const UnreadNan& c = GetParam();
    const std::string base = with_items(c.config == "example" ? example_config() : test_config(c.config), c.setting);
    Items nans;
    for (const std::string& item : c.nan_items) nans.emplace_back(item, "NaN");
    const FolderRun plain = run_in_folder("unread_" + c.name + "_plain", base);
    const FolderRun with_nan = run_in_folder("unread_" + c.name + "_nan", with_items(base, nans));
    ASSERT_EQ(plain.result.exit_status, 0) << plain.result.err;
    EXPECT_EQ(with_nan.result.exit_status, 0) << with_nan.result.err;
    EXPECT_TRUE(with_nan.result.out == plain.result.out);
    EXPECT_TRUE(with_nan.result.err == plain.result.err) << with_nan.result.err;
    EXPECT_TRUE(read_file(with_nan.dir / "vorn_geometry.mat") == read_file(plain.dir / "vorn_geometry.mat"));
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, UnreadNanRun,
    ::testing::Values(
        UnreadNan{"bulge_latitude", "example", {}, {"GR_I_BULGE_MAX_LAT"}},
        // Five knots are used; the sixth is read from the file and ignored.
        UnreadNan{"knot_beyond_the_count", "example", {}, {"GR_CONTROL_ALT(6)", "GR_SIZE_RATIO(6)"}},
        // One longitude needs no step.
        UnreadNan{"longitude_step_of_one_longitude", "single_longitude_geographic", {}, {"GR_I_DMLON"}},
        // A boundary below the transition adds no high-latitude lines.
        UnreadNan{"high_latitude_step_without_those_lines", "example", {{"GR_I_MLAT_HLBDRY", "40.0"}},
                  {"GR_I_DMLAT_HLALT300"}}),
    [](const ::testing::TestParamInfo<UnreadNan>& info) { return info.param.name; });

}  // namespace
}  // namespace vorn::test
