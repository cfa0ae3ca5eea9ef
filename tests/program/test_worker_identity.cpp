// The outputs do not depend on the number of worker threads: the program on
// all of the machine's cores, on one worker and on three gives the same report,
// snapshot, error file and closing note, byte for byte, on the example and on
// every test configuration.  The sections that are formatted in chunks (grid
// nodes, corners, voxels, faces, the snapshot's corners) span many chunks in
// the example's report.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/geometry_setup.hpp"
#include "support/test_support.hpp"

namespace vorn::test {
namespace {

struct Outputs {
    RunResult run;
    std::string snapshot;
    std::string error_file;
};

Outputs outputs_of(const std::string& config, const std::string& name, const char* program) {
    const std::filesystem::path dir = scratch_dir(name);
    write_file(dir / "master_nml", config);
    write_file(dir / "master_error", "");
    Outputs outputs{run_command(dir, {program}), {}, {}};
    outputs.snapshot = read_file(dir / "vorn_geometry.mat");
    outputs.error_file = read_file(dir / "master_error");
    return outputs;
}

class WorkerIdentity : public ::testing::TestWithParam<const char*> {};

TEST_P(WorkerIdentity, OneWorkerThreeAndAllCoresWriteTheSameBytes) {
    const std::string name = GetParam();
    const std::string config = name == "example" ? example_config() : test_config(name);
    const Outputs all = outputs_of(config, "workers_all_" + name, VORN_PROGRAM);
    ASSERT_EQ(all.run.exit_status, 0) << all.run.err;
    ASSERT_GT(all.run.out.size(), 1000u);
    for (const char* program : {VORN_PROGRAM_WORKERS_1, VORN_PROGRAM_WORKERS_3}) {
        SCOPED_TRACE(program);
        const Outputs fixed = outputs_of(config, "workers_fixed_" + name, program);
        EXPECT_EQ(fixed.run.exit_status, 0);
        EXPECT_TRUE(fixed.run.out == all.run.out) << "the report differs";
        EXPECT_TRUE(fixed.snapshot == all.snapshot) << "the snapshot differs";
        EXPECT_EQ(fixed.error_file, all.error_file);
        EXPECT_EQ(fixed.run.err, all.run.err);
    }
}

INSTANTIATE_TEST_SUITE_P(Configs, WorkerIdentity,
                         ::testing::Values("example", "full_circle_dipole", "polar_dipole", "polar_eccentric",
                                           "regional_eccentric", "regional_geographic",
                                           "single_longitude_geographic"));

}  // namespace
}  // namespace vorn::test
