// The install rule: `cmake --install` puts the program in the prefix's bin/,
// and the installed program, run in a folder of its own, writes the same
// report and snapshot as the built one.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

TEST(Install, InstalledProgramRunsFromThePrefixBin) {
    const fs::path prefix = scratch_dir("install_prefix");
    const RunResult install = run_command(prefix, {VORN_CMAKE, "--install", VORN_BINARY_DIR, "--prefix", prefix});
    ASSERT_EQ(install.exit_status, 0) << install.out << install.err;
    const fs::path installed = prefix / "bin" / "vorn_create_geo";
    ASSERT_TRUE(fs::is_regular_file(installed)) << install.out;
    EXPECT_NE(fs::status(installed).permissions() & fs::perms::owner_exec, fs::perms::none);

    const fs::path installed_run = scratch_dir("install_run");
    const fs::path built_run = scratch_dir("install_built_run");
    write_file(installed_run / "master_nml", example_config());
    write_file(built_run / "master_nml", example_config());
    const RunResult from_prefix = run_command(installed_run, {installed});
    const RunResult built = run_program(built_run);
    ASSERT_EQ(from_prefix.exit_status, 0) << from_prefix.err;
    EXPECT_EQ(from_prefix.out, built.out);
    EXPECT_EQ(read_file(installed_run / "vorn_geometry.mat"), read_file(built_run / "vorn_geometry.mat"));
}

}  // namespace
}  // namespace vorn::test
