// The built program where its worker threads cannot all start: run by an
// unprivileged user whose process limit leaves room for none of them, or for
// one, the example completes with the bytes of a run on all processors.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "support/child_run.hpp"
#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

struct Outputs {
    RunResult run;
    std::string snapshot;
    std::string error_file;
};

// A folder with the example configuration that user 65534 may write in.
fs::path example_folder(const std::string& name) {
    const fs::path dir = scratch_dir(name);
    write_file(dir / "master_nml", example_config());
    fs::permissions(dir, fs::perms::all);
    return dir;
}

Outputs outputs_in(const fs::path& dir, const RunResult& run) {
    return {run, read_file(dir / "vorn_geometry.mat"), read_file(dir / "master_error")};
}

// Runs the program in `dir` held to `processes` processes and threads of its
// user (support/child_run.hpp).
RunResult run_with_process_limit(const fs::path& dir, rlim_t processes) {
    const fs::path out = dir / ".stdout";
    const ChildRun child = run_in_child([&] {
        // The output, the folder and the program are opened first, so that the
        // user need not reach the build tree.
        const int out_fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int program = open(VORN_PROGRAM, O_RDONLY | O_CLOEXEC);
        if (out_fd < 0 || program < 0 || dup2(out_fd, STDOUT_FILENO) < 0 || chdir(dir.c_str()) != 0 ||
            !hold_to_process_limit(processes))
            return;
        char* const no_arguments[] = {const_cast<char*>(VORN_PROGRAM), nullptr};
        fexecve(program, no_arguments, environ);
    });
    RunResult run{child.exit_status, child.signal, read_file(out), child.report};
    fs::remove(out);
    return run;
}

class WorkerLimits : public ::testing::TestWithParam<rlim_t> {};

TEST_P(WorkerLimits, AProcessLimitThatLeavesFewOrNoWorkersChangesNoOutputByte) {
    const fs::path all_dir = example_folder("worker_limits_all_" + std::to_string(GetParam()));
    const Outputs all = outputs_in(all_dir, run_program(all_dir));
    ASSERT_EQ(all.run.exit_status, 0) << all.run.err;
    const fs::path limited_dir = example_folder("worker_limits_limited_" + std::to_string(GetParam()));
    const RunResult limited_run = run_with_process_limit(limited_dir, GetParam());
    ASSERT_EQ(limited_run.exit_status, 0) << "signal " << limited_run.signal << "\n" << limited_run.err;
    const Outputs limited = outputs_in(limited_dir, limited_run);
    EXPECT_TRUE(limited.run.out == all.run.out) << "the report differs";
    EXPECT_TRUE(limited.snapshot == all.snapshot) << "the snapshot differs";
    EXPECT_EQ(limited.error_file, all.error_file);
    EXPECT_EQ(limited.run.err, all.run.err);
}

INSTANTIATE_TEST_SUITE_P(Processes, WorkerLimits, ::testing::Values(1, 2),
                         [](const ::testing::TestParamInfo<rlim_t>& info) {
                             return std::to_string(info.param) + "_processes";
                         });

}  // namespace
}  // namespace vorn::test
