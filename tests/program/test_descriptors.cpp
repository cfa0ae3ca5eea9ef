// The built program started with standard streams closed: no file of the run
// takes descriptor 0, 1 or 2, so "master_error" never receives the report or
// the closing note, and a closed standard output still ends the run with the
// report of the failed write on unit 6.
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

fs::path example_folder(const std::string& name) {
    const fs::path dir = scratch_dir("descriptors_" + name);
    write_file(dir / "master_nml", example_config());
    return dir;
}

TEST(StandardDescriptors, ClosedInputAndOutputEndTheRunAtTheFirstWriteOnUnit6) {
    const fs::path dir = example_folder("input_and_output_closed");
    const RunResult run = run_command(dir, {VORN_PROGRAM}, [] {
        close(STDIN_FILENO);
        close(STDOUT_FILENO);
    });
    EXPECT_EQ(run.signal, SIGABRT) << "exit status " << run.exit_status;
    EXPECT_NE(run.err.find(" Error 9:  Bad file descriptor\n Location:  the WRITE statement at line "),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find(" Unit:  6\n File:  stdout\n"), std::string::npos) << run.err;
    EXPECT_EQ(read_file(dir / "master_error"), "");
    EXPECT_FALSE(fs::exists(dir / "vorn_geometry.mat"));
}

TEST(StandardDescriptors, ClosedInputAndErrorLeaveTheRunAsItIs) {
    const RunResult reference = run_program(example_folder("reference"));
    ASSERT_EQ(reference.exit_status, 0);
    const fs::path dir = example_folder("input_and_error_closed");
    const RunResult run = run_command(dir, {VORN_PROGRAM}, [] {
        close(STDIN_FILENO);
        close(STDERR_FILENO);
    });
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_TRUE(run.out == reference.out);
    // The closing note went to the closed standard error, not to the file.
    EXPECT_EQ(read_file(dir / "master_error"), "");
    EXPECT_TRUE(read_file(dir / "vorn_geometry.mat") == read_file(dir.parent_path() / "descriptors_reference" /
                                                                  "vorn_geometry.mat"));
}

}  // namespace
}  // namespace vorn::test
