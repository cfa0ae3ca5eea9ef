// The built program reading an item whose "=" stands on the line after its
// name: the line end reads as a blank, and the run is the example's own.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

TEST(ConfigLineEnd, ALineEndBetweenAnItemsNameAndItsEqualsSignIsABlank) {
    const fs::path reference_dir = scratch_dir("config_line_end_reference");
    write_file(reference_dir / "master_nml", example_config());
    const RunResult reference = run_program(reference_dir);
    ASSERT_EQ(reference.exit_status, 0);

    std::string config = example_config();
    const std::string item = "GR_I_GALT_4HLP = 300.0E3";
    const std::size_t at = config.find(item);
    ASSERT_NE(at, std::string::npos);
    config.replace(at, item.size(), "GR_I_GALT_4HLP\n  = 300000.0");
    const fs::path dir = scratch_dir("config_line_end");
    write_file(dir / "master_nml", config);

    const RunResult run = run_program(dir);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_TRUE(run.out == reference.out);
    EXPECT_TRUE(read_file(dir / "vorn_geometry.mat") == read_file(reference_dir / "vorn_geometry.mat"));
}

}  // namespace
}  // namespace vorn::test
