// The built program against faults of its files and of its configuration: an
// error file on a full device, a "master_nml" that is a directory or a
// dangling link, and the configurations whose arithmetic traps.  Each ends
// abnormally with its report on standard error and the abort signal, writes
// no closing note and leaves an older snapshot as it was.  (A snapshot on a
// full device, a snapshot name that is a directory and the fatal stops of the
// grid builders are tested with the snapshot and grid runs.)
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <string>
#include <sys/resource.h>

#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

const std::string closing_note = "IEEE floating-point exception traps enabled";
const std::string older_snapshot = "an older snapshot";

// The start of every abnormal-end report: an empty line and the banner, whose
// wording is free.
const std::string banner = "\n\\*{6} [^\n]+ \\*{6}\n";

// A text as a pattern that matches it literally.
std::string escaped(const std::string& text) {
    return std::regex_replace(text, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
}

// Standard error holds the report that `lines` match, after the lines that
// `before` matches, and nothing else.
void expect_report(const RunResult& run, const std::string& lines, const std::string& before = "") {
    EXPECT_EQ(run.signal, SIGABRT) << "exit status " << run.exit_status;
    EXPECT_TRUE(std::regex_search(run.err, std::regex("^" + before + banner + lines + "$")))
        << run.err;
    EXPECT_EQ(run.err.find(closing_note), std::string::npos) << run.err;
}

// The report of a failed statement (OPEN, READ) on unit 1 in the main program.
std::string unit_1_report(const std::string& statement, const std::string& error_line) {
    return escaped(error_line) + "\n Location:  the " + statement + " statement at line [0-9]+ of \"main\\.cpp\"\n"
                                 " Unit:  1\n File:  master_nml\n";
}

TEST(Faults, AnErrorFileOnAFullDeviceEndsTheRunAtTheWriteOfItsLines) {
    // The snapshot on the full device too, so that the run has error lines.
    const fs::path dir = scratch_dir("faults_error_file_full");
    write_file(dir / "master_nml", example_config());
    fs::create_symlink("/dev/full", dir / "master_error");
    fs::create_symlink("/dev/full", dir / "vorn_geometry.mat");
    const RunResult run = run_program(dir);
    const std::string reason = std::string(strerrorname_np(ENOSPC)) + " (" + std::strerror(ENOSPC) + ")";
    expect_report(run,
                  escaped(" Error " + std::to_string(ENOSPC) + ":  " + std::strerror(ENOSPC)) +
                      "\n Location:  the WRITE statement at line [0-9]+ of \"[a-z_]+\\.cpp\"\n"
                      " Unit:  7\n File:  master_error\n",
                  escaped(" vorn_geometry.mat: write failed: " + reason + "\n"));
    // Standard output was flushed before the report.
    EXPECT_TRUE(run.out.ends_with(" Writing using file vorn_geometry.mat\n")) << run.out.substr(0, 200);
}

TEST(Faults, AnErrorFileOnAFullDeviceIsNoFaultWhileTheRunWritesNoLineThere) {
    const fs::path dir = scratch_dir("faults_error_file_full_unused");
    write_file(dir / "master_nml", example_config());
    fs::create_symlink("/dev/full", dir / "master_error");
    const RunResult run = run_program(dir);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_NE(run.err.find(closing_note), std::string::npos) << run.err;
    EXPECT_TRUE(fs::is_regular_file(dir / "vorn_geometry.mat"));
}

TEST(Faults, AMasterNmlThatIsADirectoryIsError1148) {
    const fs::path dir = scratch_dir("faults_master_nml_directory");
    fs::create_directory(dir / "master_nml");
    write_file(dir / "master_nml" / "master_nml", example_config());
    const RunResult run = run_program(dir);
    expect_report(run, unit_1_report("OPEN", " Error 1148:  attempting to open a directory"));
    EXPECT_EQ(run.out, "");
    // Unit 1 is opened before unit 7.
    EXPECT_FALSE(fs::exists(dir / "master_error"));
}

TEST(Faults, AMasterNmlThatIsADanglingLinkIsError1149) {
    const fs::path dir = scratch_dir("faults_master_nml_dangling");
    fs::create_symlink("no_such_configuration", dir / "master_nml");
    const RunResult run = run_program(dir);
    expect_report(run, unit_1_report("OPEN", " Error 1149:  status is 'OLD' and the file is a dangling symbolic link"));
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(dir / "master_error"));

    // The same link once its target exists is read as the file.
    write_file(dir / "no_such_configuration", example_config());
    EXPECT_EQ(run_program(dir).exit_status, 0);
}

// The memory of a run, limited so that a read that grows without bound fails
// at once rather than taking the machine's memory: its address space, or in a
// build with the address sanitizer (which reserves terabytes of address space)
// the size of one allocation.
void limit_memory() {
#if defined(__SANITIZE_ADDRESS__)
    const char* options = std::getenv("ASAN_OPTIONS");
    setenv("ASAN_OPTIONS", (std::string(options ? options : "") + ":max_allocation_size_mb=256").c_str(), 1);
#else
    const rlimit address_space{512 << 20, 512 << 20};
    setrlimit(RLIMIT_AS, &address_space);
#endif
}

TEST(Faults, AMasterNmlWithoutLineEndsIsRefusedAtItsFirstLineInBoundedMemory) {
    const fs::path dir = scratch_dir("faults_master_nml_dev_zero");
    fs::create_symlink("/dev/zero", dir / "master_nml");
    const RunResult run = run_command(dir, {VORN_PROGRAM}, limit_memory);
    expect_report(run, unit_1_report("READ", " Error 5002:  line longer than 1048576 characters"));
    EXPECT_EQ(run.out, "");
}

// A configuration whose arithmetic meets a trapping exception: the example
// with one item's text replaced.
struct TrappingCase {
    std::string name;
    std::string item;       // the item's text in the example
    std::string replaced;   // its text in this run
    std::string exception;  // as the report names it
    bool after_grid_lines;  // the trap comes after the gamma and d_chi lines
};

void PrintTo(const TrappingCase& c, std::ostream* os) { *os << c.name; }

class TrappedException : public ::testing::TestWithParam<TrappingCase> {};

TEST_P(TrappedException, EndsTheRunWithAReportThatNamesIt) {
    const TrappingCase& c = GetParam();
    std::string config = example_config();
    const std::size_t at = config.find(c.item);
    ASSERT_NE(at, std::string::npos) << c.item;
    config.replace(at, c.item.size(), c.replaced);
    const fs::path dir = scratch_dir("faults_trap_" + c.name);
    write_file(dir / "master_nml", config);
    write_file(dir / "vorn_geometry.mat", older_snapshot);

    const RunResult run = run_program(dir);
    expect_report(run, escaped(" Floating-point exception:  " + c.exception + "\n") + "( [^\n]+\n)*");
    EXPECT_EQ(read_file(dir / "vorn_geometry.mat"), older_snapshot);
    EXPECT_EQ(run.out.find("Writing using file"), std::string::npos);
    // What the run wrote before the trap reached standard output.
    EXPECT_EQ(run.out.starts_with(" gamma="), c.after_grid_lines) << run.out.substr(0, 200);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, TrappedException,
    ::testing::Values(
        // The longitude step divides the range.
        TrappingCase{"zero_longitude_step", "GR_I_DMLON = 24.0", "GR_I_DMLON = 0.0", "division by zero", false},
        // One knot: the s range of the knot tables is 0, and 0 / 0 normalises it.
        TrappingCase{"single_knot", "GR_N_CONTROL = 5", "GR_N_CONTROL = 1", "invalid operation", false},
        // The first comparison with the NaN.
        TrappingCase{"nan_longitude_step", "GR_I_DMLON = 24.0", "GR_I_DMLON = NaN", "invalid operation", false},
        // The cut-off is first compared in the cell status, after the grid lines.
        TrappingCase{"nan_cutoff", "GR_I_GALT_HICUTOFF = 2000.0E3", "GR_I_GALT_HICUTOFF = -nan",
                     "invalid operation", true}),
    [](const ::testing::TestParamInfo<TrappingCase>& info) { return info.param.name; });

}  // namespace
}  // namespace vorn::test
