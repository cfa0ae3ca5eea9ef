// The built program replacing "vorn_geometry.mat": whole or not at all.  A
// write that fails part-way, a run paused while another one writes in the
// same folder, a run ended by a signal, a name that is a link to a file or to
// a device, an older snapshot that may not be written, and one that may be
// written but not replaced.  An older snapshot survives every failure byte for byte, no
// staged file is left behind, and a failure writes a handful of lines on
// "master_error".
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "support/geometry_setup.hpp"
#include "support/privileges.hpp"
#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

const std::string write_error_line = " Error in writing the output file.";

const std::vector<std::string> run_files = {"master_error", "master_nml", "vorn_geometry.mat"};

// The snapshot that `config` gives, from a run of its own.
std::string snapshot_of(const std::string& config, const std::string& name) {
    const fs::path dir = scratch_dir("snapshot_replace_reference_" + name);
    write_file(dir / "master_nml", config);
    const RunResult run = run_program(dir);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    return read_file(dir / "vorn_geometry.mat");
}

// Starts `program` in `dir`, its output in `out_dir`, after `prepare` has
// set up the child's limits, privileges or mounts.
pid_t start_program(const fs::path& dir, const fs::path& out_dir, const std::function<void()>& prepare = {},
                    const fs::path& program = VORN_PROGRAM) {
    const int out = open((out_dir / "run.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int err = open((out_dir / "run.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const pid_t pid = start_in(dir, out, err, [&] {
        if (prepare) prepare();
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
    });
    close(out);
    close(err);
    return pid;
}

// Waits until the run `pid` has a staged file with bytes in `dir`; false
// when it ended first.
bool staged_bytes_written(pid_t pid, const fs::path& dir) {
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0)
        if (staged_file_size(pid, dir) > 0) return true;
    return false;
}

int exit_status_of(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// No file of the run may grow beyond 3 MB, so that the write of the
// snapshot fails part-way; the report, which would fail first, goes to a
// device, which the limit does not hold.
TEST(SnapshotReplace, AWriteThatFailsPartWayLeavesTheOlderSnapshotAndNoTemporary) {
    const fs::path dir = scratch_dir("snapshot_replace_full_disk");
    const fs::path work = dir / "work";
    fs::create_directory(work);
    const std::string older = snapshot_of(test_config("single_longitude_geographic"), "older");
    write_file(work / "vorn_geometry.mat", older);
    write_file(work / "master_nml", example_config());
    const int status = exit_status_of(start_program(work, dir, [] {
        const rlimit limit = {3 << 20, 3 << 20};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0 || dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO) < 0) _exit(124);
        std::signal(SIGXFSZ, SIG_IGN);
    }));

    EXPECT_EQ(status, 1) << read_file(dir / "run.err");
    EXPECT_TRUE(read_file(work / "vorn_geometry.mat") == older) << "the older snapshot changed";
    EXPECT_EQ(names_in(work), run_files);
    EXPECT_TRUE(read_file(dir / "run.err").starts_with(" vorn_geometry.mat: write failed: EFBIG (File too large)\n"))
        << read_file(dir / "run.err");
    const std::vector<std::string> errors = split_lines(read_file(work / "master_error"));
    ASSERT_FALSE(errors.empty());
    EXPECT_LE(errors.size(), 4u);
    for (const std::string& line : errors) EXPECT_EQ(line, write_error_line);
}

TEST(SnapshotReplace, ARunPausedWhileAnotherOneWritesEndsWithItsOwnWholeFile) {
    const std::string first_config = example_config();
    const std::string second_config = test_config("single_longitude_geographic");
    const std::string first = snapshot_of(first_config, "first");
    const std::string second = snapshot_of(second_config, "second");
    const fs::path dir = scratch_dir("snapshot_replace_two_runs");
    const fs::path out = dir / "output";
    const fs::path work = dir / "work";
    fs::create_directory(out);
    fs::create_directory(work);

    // The first run is stopped once its first block has reached its staged
    // file; a run that ends before that is tried again.
    bool paused = false;
    for (int attempt = 0; attempt < 5 && !paused; ++attempt) {
        fs::remove(work / "vorn_geometry.mat");
        write_file(work / "master_nml", first_config);
        const pid_t run = start_program(work, out);
        paused = staged_bytes_written(run, work) && kill(run, SIGSTOP) == 0;
        if (!paused) continue;

        write_file(work / "master_nml", second_config);
        const RunResult second_run = run_program(work);
        EXPECT_EQ(second_run.exit_status, 0) << second_run.err;
        EXPECT_TRUE(read_file(work / "vorn_geometry.mat") == second) << "not the second run's snapshot";

        kill(run, SIGCONT);
        EXPECT_EQ(exit_status_of(run), 0) << read_file(out / "run.err");
        EXPECT_TRUE(read_file(work / "vorn_geometry.mat") == first) << "not the first run's snapshot";
        EXPECT_EQ(names_in(work), run_files);
    }
    EXPECT_TRUE(paused) << "the first run always ended before it could be paused";
}

TEST(SnapshotReplace, ANameThatLinksToADeviceIsWrittenDirectly) {
    const fs::path dir = scratch_dir("snapshot_replace_device");
    fs::create_symlink("/dev/null", dir / "vorn_geometry.mat");
    write_file(dir / "master_nml", test_config("single_longitude_geographic"));

    const RunResult run = run_program(dir);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(fs::read_symlink(dir / "vorn_geometry.mat"), "/dev/null");
    EXPECT_EQ(names_in(dir), run_files);
    EXPECT_EQ(read_file(dir / "master_error"), "");
}

// An older snapshot that no run may write, root's neither: a file of the
// kernel that refuses every writer.
TEST(SnapshotReplace, AnOlderSnapshotThatMayNotBeWrittenIsAFailureWithAFewErrorLines) {
    const fs::path dir = scratch_dir("snapshot_replace_read_only");
    const fs::path older = "/sys/kernel/notes";
    fs::create_symlink(older, dir / "vorn_geometry.mat");
    const std::string older_bytes = read_file(older);
    write_file(dir / "master_nml", example_config());

    const RunResult run = run_program(dir);
    EXPECT_EQ(run.exit_status, 1) << run.err;
    EXPECT_TRUE(read_file(older) == older_bytes);
    EXPECT_EQ(names_in(dir), run_files);
    // One line for each run of refused bytes with the same text, not one per byte.
    EXPECT_EQ(split_lines(read_file(dir / "master_error")),
              (std::vector<std::string>{write_error_line, " saveit_3d:Error in writing the output file.",
                                        write_error_line, " snap_geo: Error in writing the output file."}));
}

const std::string older_snapshot = "an older snapshot";

// The run's own handler of the termination signals: the staged file goes
// with the run (the signals and kinds of staged file: tests/runtime).
TEST(SnapshotReplace, ASignalWhileTheSnapshotIsWrittenLeavesNothingBehind) {
    const fs::path dir = scratch_dir("snapshot_replace_signal");
    const fs::path work = dir / "work";
    fs::create_directory(work);
    // The run is stopped once its first block has reached its staged file,
    // then asked to end; a run that ends before that is tried again.
    bool paused = false;
    for (int attempt = 0; attempt < 5 && !paused; ++attempt) {
        write_file(work / "vorn_geometry.mat", older_snapshot);
        write_file(work / "master_nml", example_config());
        const pid_t run = start_program(work, dir);
        paused = staged_bytes_written(run, work) && kill(run, SIGSTOP) == 0;
        if (!paused) {
            exit_status_of(run);
            continue;
        }
        kill(run, SIGTERM);
        kill(run, SIGCONT);
        EXPECT_EQ(exit_status_of(run), 128 + SIGTERM) << read_file(dir / "run.err");
        EXPECT_EQ(read_file(work / "vorn_geometry.mat"), older_snapshot);
        EXPECT_EQ(names_in(work), run_files);
    }
    EXPECT_TRUE(paused) << "the run always ended before it could be paused";
}

// A file mounted on the name (rename: EBUSY), or one in a sticky folder
// (rename: EPERM).  Root's runs are a third user's on another user's file,
// from a copy of the program that every user may reach.
struct UnreplaceableName {
    std::string name;
    fs::perms folder;
    bool mounted;
    std::string reason;
};

void PrintTo(const UnreplaceableName& name, std::ostream* out) { *out << name.name; }

class SnapshotInPlace : public ::testing::TestWithParam<UnreplaceableName> {};

TEST_P(SnapshotInPlace, ANameThatMayBeWrittenButNotReplacedIsWrittenInPlace) {
    const UnreplaceableName& name = GetParam();
    VORN_SKIP_UNLESS(name.mounted ? needs_namespaces() : needs_root("gives the older snapshot another owner"));
    const bool root = geteuid() == 0;
    const uid_t owner = root ? other_user : geteuid();
    const std::string config = test_config("single_longitude_geographic");
    const std::string snapshot = snapshot_of(config, "in_place_" + name.name);
    const fs::path dir = scratch_dir("snapshot_replace_in_place_" + name.name);
    const SharedScratch shared;
    const fs::path program = shared.path() / "vorn_create_geo";
    fs::copy_file(VORN_PROGRAM, program);
    fs::permissions(program, fs::perms(0755));
    const fs::path work = shared.path() / "work";
    fs::create_directory(work);
    fs::permissions(work, name.folder);
    write_file(work / "master_nml", config);
    fs::permissions(work / "master_nml", fs::perms(0644));
    const fs::path older = work / (name.mounted ? "mounted.mat" : "vorn_geometry.mat");
    write_file(older, older_snapshot + std::string(snapshot.size(), 'o'));
    ASSERT_EQ(chown(older.c_str(), owner, owner), 0);
    fs::permissions(older, fs::perms(0666));
    if (name.mounted) write_file(work / "vorn_geometry.mat", "");

    const pid_t run = start_program(
        work, dir,
        [&] {
            if ((name.mounted && (!enter_namespaces() || mount("mounted.mat", "vorn_geometry.mat", nullptr,
                                                               MS_BIND, nullptr) != 0)) ||
                (root && !become_user(third_user)))
                _exit(124);
        },
        program);
    EXPECT_EQ(exit_status_of(run), 0) << read_file(dir / "run.err");
    EXPECT_TRUE(read_file(older) == snapshot) << "not the new snapshot, cut to its length";
    EXPECT_EQ(fs::status(older).permissions() & fs::perms::all, fs::perms(0666));
    struct stat status;
    ASSERT_EQ(stat(older.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, owner);
    EXPECT_TRUE(read_file(dir / "run.err").starts_with(" vorn_geometry.mat: rename failed: " + name.reason +
                                                       "; the file is written in place\n"))
        << read_file(dir / "run.err");
    EXPECT_EQ(read_file(work / "master_error"), "");
    std::vector<std::string> files = run_files;
    if (name.mounted) files.insert(files.begin() + 2, "mounted.mat");
    EXPECT_EQ(names_in(work), files);
}

INSTANTIATE_TEST_SUITE_P(
    Names, SnapshotInPlace,
    ::testing::Values(UnreplaceableName{"Mounted", fs::perms::all, true, "EBUSY (Device or resource busy)"},
                      UnreplaceableName{"Sticky", fs::perms::all | fs::perms::sticky_bit, false,
                                        "EPERM (Operation not permitted)"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace vorn::test
