// The byte output's staged file where runs get interrupted and files are odd:
// a file with no name or a hidden one, the ends of a run by a signal (as
// process 1 of a container too), one outcome per run, names that may be
// written but not replaced, FIFOs, names of the run's own files, and the line
// on standard error that names each failed operation.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <regex>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "format/free_format.hpp"
#include "run_end/end_hooks.hpp"
#include "run_end/termination_signals.hpp"
#include "support/privileges.hpp"
#include "support/snapshot_file_fixture.hpp"
#include "support/system_call_faults.hpp"
#include "units/config_file.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

const std::string older = "an older snapshot, longer than the new bytes";
const std::vector<std::string> older_only = {"master_error", "out.mat"};

// Writes a block and a half to "out.mat", as the writers do: the first block
// reaches the file.
void write_a_block_and_a_half() {
    open_byte_output(snapshot_unit, "out.mat");
    const std::string data(byte_block_size * 3 / 2, 'n');
    write_bytes_reporting(snapshot_unit, data.data(), data.size());
}

// The child's last word: whether the file was written, once unit 7 is out.
std::string outcome() {
    flush_all_units();
    return byte_output_failed() ? "failed" : "written";
}

enum class Staging { unnamed, hidden };

std::string staging_name(Staging staging) { return staging == Staging::unnamed ? "Unnamed" : "Hidden"; }

void PrintTo(Staging staging, std::ostream* out) { *out << staging_name(staging); }

// In a child: a file system that makes no file without a name, for `hidden`.
void stage(Staging staging) {
    if (staging == Staging::hidden && !refuse_unnamed_files(EOPNOTSUPP)) _exit(90);
}

// The line on standard error of a failed operation on "out.mat".
std::string failure_line(const std::string& operation, int error, const std::string& consequence = "") {
    return " out.mat: " + operation + " failed: " + strerrorname_np(error) + " (" + std::strerror(error) + ")" +
           consequence + "\n";
}

// --- 1. An interrupted run leaves nothing behind ---------------------------

using ByteOutputInterrupted = SnapshotFileTest;

TEST_F(ByteOutputInterrupted, TheStagedFileHasNoNameWhereTheFileSystemMakesOne) {
    write_file(dir_ / "out.mat", older);
    write_a_block_and_a_half();
    EXPECT_EQ(names_in_folder(), older_only);
    EXPECT_EQ(staged_file_size(getpid(), dir_), static_cast<long long>(byte_block_size));
    EXPECT_EQ(snapshot_bytes().size(), byte_block_size * 3 / 2);
    EXPECT_EQ(names_in_folder(), older_only);
}

class ByteOutputWithoutUnnamedFiles : public SnapshotFileTest, public ::testing::WithParamInterface<int> {};

TEST_P(ByteOutputWithoutUnnamedFiles, TheStagedFileHasAHiddenNameThatNoLeftoverBlocks) {
    write_file(dir_ / "out.mat", older);
    std::vector<std::string> while_written;
    const ChildRun run = run_in_child(
        [&] {
            if (!refuse_unnamed_files(GetParam())) _exit(90);
            // Hidden files of earlier runs of this process number, as every
            // run in a container is process 1.
            for (int n = 0; n < 100; ++n)
                write_file(".out.mat." + std::to_string(getpid()) + "-" + std::to_string(n), "");
            write_a_block_and_a_half();
            while_written = names_in_folder();
            close_byte_output(snapshot_unit);
        },
        [&] {
            std::string names;
            for (const std::string& name : while_written)
                if (name.find('-') == std::string::npos) names += name + "\n";
            return names + outcome();
        });
    ASSERT_TRUE(run.returned) << run.report;
    const std::regex hidden_name_and_older(R"(\.out\.mat\.[0-9a-f]{16}\nmaster_error\nout\.mat\nwritten)");
    EXPECT_TRUE(std::regex_match(run.observed, hidden_name_and_older)) << run.observed;
    EXPECT_EQ(read_file(dir_ / "out.mat").size(), byte_block_size * 3 / 2);
    EXPECT_EQ(names_in_folder().size(), older_only.size() + 100) << "a leftover was removed or a new one left";
    EXPECT_EQ(run.report, "");
}

INSTANTIATE_TEST_SUITE_P(RefusedWith, ByteOutputWithoutUnnamedFiles, ::testing::Values(EOPNOTSUPP, EISDIR, EINVAL),
                         [](const auto& info) { return std::string(strerrorname_np(info.param)); });

class ByteOutputSignal : public SnapshotFileTest,
                         public ::testing::WithParamInterface<std::tuple<int, Staging>> {};

TEST_P(ByteOutputSignal, RemovesTheStagedFileAndEndsWith128AndItsNumber) {
    const int signal = std::get<0>(GetParam());
    const Staging staging = std::get<1>(GetParam());
    write_file(dir_ / "out.mat", older);
    const ChildRun run = run_in_child([signal, staging] {
        stage(staging);
        handle_termination_signals();
        write_a_block_and_a_half();
        raise(signal);
    });
    EXPECT_EQ(run.exit_status, 128 + signal) << "killed by " << run.signal;
    EXPECT_EQ(read_file(dir_ / "out.mat"), older);
    EXPECT_EQ(names_in_folder(), older_only);
}

INSTANTIATE_TEST_SUITE_P(Signals, ByteOutputSignal,
                         ::testing::Combine(::testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT),
                                            ::testing::Values(Staging::unnamed, Staging::hidden)),
                         [](const auto& info) {
                             return sigabbrev_np(std::get<0>(info.param)) + staging_name(std::get<1>(info.param));
                         });

TEST_F(ByteOutputInterrupted, ASignalEndsProcessOneOfAContainerToo) {
    VORN_SKIP_UNLESS(needs_namespaces());
    write_file(dir_ / "out.mat", older);
    // Process 1 of a new process namespace takes no signal's default action.
    const ChildRun run = run_in_child([] {
        exit_as_process_one([] {
            stage(Staging::hidden);
            handle_termination_signals();
            write_a_block_and_a_half();
            raise(SIGTERM);
        });
    });
    EXPECT_EQ(run.exit_status, 128 + SIGTERM);
    EXPECT_EQ(read_file(dir_ / "out.mat"), older);
    EXPECT_EQ(names_in_folder(), older_only);
}

TEST_F(ByteOutputInterrupted, ASignalIgnoredFromTheStartStaysIgnoredAsSigpipeIs) {
    const ChildRun run = run_in_child([] {
        std::signal(SIGHUP, SIG_IGN);
        handle_termination_signals();
        raise(SIGHUP);
        raise(SIGPIPE);
    });
    EXPECT_TRUE(run.returned) << "exit status " << run.exit_status << ", signal " << run.signal;
}

// --- 2. One outcome per run ------------------------------------------------

class ByteOutputOneOutcome : public SnapshotFileTest, public ::testing::WithParamInterface<Staging> {};

TEST_P(ByteOutputOneOutcome, AReportThatCannotBeWrittenLeavesTheOlderFile) {
    write_file(dir_ / "out.mat", older);
    const ChildRun run = run_in_child([] {
        // The run's own abnormal end, which removes the staged file.
        set_abnormal_end_observer(nullptr);
        stage(GetParam());
        dup2(open("/dev/full", O_WRONLY), STDOUT_FILENO);
        FreeLine(output_unit) << "the report's last line";
        write_a_block_and_a_half();
        close_byte_output(snapshot_unit);
    });
    EXPECT_EQ(run.signal, SIGABRT);
    EXPECT_NE(run.report.find(" Error 28:  No space left on device\n"), std::string::npos) << run.report;
    EXPECT_NE(run.report.find(" Unit:  6\n"), std::string::npos) << run.report;
    EXPECT_EQ(read_file(dir_ / "out.mat"), older);
    EXPECT_EQ(names_in_folder(), older_only);
}

INSTANTIATE_TEST_SUITE_P(Staged, ByteOutputOneOutcome, ::testing::Values(Staging::unnamed, Staging::hidden),
                         [](const auto& info) { return staging_name(info.param); });

using ByteOutputOwnership = SnapshotFileTest;

TEST_F(ByteOutputOwnership, TheOlderFilesOwnerGroupAndModeAreKept) {
    VORN_SKIP_UNLESS(needs_root("gives the older file another owner"));
    write_file(dir_ / "out.mat", older);
    // A change of owner clears the set-group bit: the mode is set after it.
    ASSERT_EQ(chown("out.mat", other_user, other_user), 0);
    ASSERT_EQ(chmod("out.mat", 02750), 0);
    write_a_block_and_a_half();
    close_byte_output(snapshot_unit);
    struct stat status;
    ASSERT_EQ(stat("out.mat", &status), 0);
    EXPECT_EQ(status.st_uid, other_user);
    EXPECT_EQ(status.st_gid, other_user);
    EXPECT_EQ(status.st_mode & 07777, 02750u);
    EXPECT_EQ(status.st_size, static_cast<off_t>(byte_block_size * 3 / 2));
}

// The run is a third user's, who may not set owners.
TEST_F(ByteOutputOwnership, AnOwnerThatMayNotBeSetIsTheRunsWithTheOlderMode) {
    VORN_SKIP_UNLESS(needs_root("gives the older file another owner"));
    write_file(dir_ / "out.mat", older);
    ASSERT_EQ(chown("out.mat", other_user, other_user), 0);
    ASSERT_EQ(chmod("out.mat", 0646), 0);
    ASSERT_EQ(chmod(".", 0777), 0);
    const ChildRun run = run_in_child(
        [] {
            if (!become_user(third_user)) _exit(91);
            write_a_block_and_a_half();
            close_byte_output(snapshot_unit);
        },
        outcome);
    EXPECT_EQ(run.observed, "written") << run.report;
    struct stat status;
    ASSERT_EQ(stat("out.mat", &status), 0);
    EXPECT_EQ(status.st_uid, third_user);
    EXPECT_EQ(status.st_mode & 07777, 0646u);
    EXPECT_EQ(names_in_folder(), older_only);
}

// --- 3. Names that cannot be replaced, and names that are not files ---------

using ByteOutputNames = SnapshotFileTest;

TEST_F(ByteOutputNames, AMountedFileIsWrittenInPlaceAndCutToLength) {
    VORN_SKIP_UNLESS(needs_namespaces());
    write_file(dir_ / "mounted.mat", older + older);
    write_file(dir_ / "out.mat", "");
    const ChildRun run = run_in_child([] {
        if (!enter_namespaces() || mount("mounted.mat", "out.mat", nullptr, MS_BIND, nullptr) != 0) _exit(94);
        open_byte_output(snapshot_unit, "out.mat");
        write_bytes(snapshot_unit, "new", 3);
        close_byte_output(snapshot_unit);
    });
    EXPECT_TRUE(run.returned);
    EXPECT_EQ(run.report, failure_line("rename", EBUSY, "; the file is written in place"));
    EXPECT_EQ(read_file(dir_ / "mounted.mat"), "new");
    EXPECT_EQ(names_in_folder(), (std::vector<std::string>{"master_error", "mounted.mat", "out.mat"}));
    EXPECT_TRUE(error_lines().empty());
}

// A folder that takes no new file (mode 0555, for a run that is not root)
// around a file that may be written: the bytes are staged outside the
// folder, then written into the file.
TEST_F(ByteOutputNames, AFolderThatTakesNoNewFileGetsTheFileWrittenInPlace) {
    write_file(dir_ / "out.mat", older + older);
    ASSERT_EQ(chmod("out.mat", 0666), 0);
    ASSERT_EQ(chmod(".", 0555), 0);
    const ChildRun run = run_in_child(
        [] {
            if (!leave_root()) _exit(91);
            open_byte_output(snapshot_unit, "out.mat");
            write_bytes(snapshot_unit, "new", 3);
            close_byte_output(snapshot_unit);
        },
        outcome);
    ASSERT_EQ(chmod(".", 0777), 0);
    EXPECT_EQ(run.observed, "written") << run.report;
    EXPECT_EQ(run.report, " out.mat: the folder takes no new file; the file is written in place\n");
    EXPECT_EQ(read_file(dir_ / "out.mat"), "new");
    EXPECT_EQ(names_in_folder(), older_only);
}

// A failed operation: how it is brought about in the child, and its line.
struct FailedOperation {
    std::string name;
    std::function<void()> bring_about;
    std::string line;
};

void PrintTo(const FailedOperation& operation, std::ostream* out) { *out << operation.name; }

class ByteOutputFailure : public SnapshotFileTest, public ::testing::WithParamInterface<FailedOperation> {};

TEST_P(ByteOutputFailure, IsNamedWithItsReasonAndLeavesTheOlderFile) {
    write_file(dir_ / "out.mat", older);
    const ChildRun run = run_in_child(
        [] {
            GetParam().bring_about();
            write_a_block_and_a_half();
            close_byte_output(snapshot_unit);
        },
        outcome);
    EXPECT_EQ(run.observed, "failed");
    EXPECT_EQ(run.report, GetParam().line);
    EXPECT_EQ(read_file(dir_ / "out.mat"), older);
    EXPECT_EQ(names_in_folder(), older_only);
    EXPECT_EQ(error_lines(), std::vector<std::string>{error_line});
}

void refuse(long call, int error) {
    if (!refuse_system_call(call, error)) _exit(95);
}

INSTANTIATE_TEST_SUITE_P(
    Operations, ByteOutputFailure,
    ::testing::Values(
        FailedOperation{"OpenForWriting",
                        [] {
                            chmod("out.mat", 0444);
                            if (!leave_root()) _exit(91);
                        },
                        failure_line("open for writing", EACCES)},
        FailedOperation{"Fsync", [] { refuse(SYS_fsync, EIO); }, failure_line("fsync", EIO)},
        FailedOperation{"Linkat", [] { refuse(SYS_linkat, ENOSPC); }, failure_line("linkat", ENOSPC)},
        FailedOperation{"Rename", [] { refuse(rename_system_call, EXDEV); }, failure_line("rename", EXDEV)},
        FailedOperation{"HiddenRename",
                        [] {
                            stage(Staging::hidden);
                            refuse(rename_system_call, EIO);
                        },
                        failure_line("rename", EIO)}),
    [](const auto& info) { return info.param.name; });

TEST_F(ByteOutputNames, AFifoWhoseReaderQuitsMakesTheWritesFail) {
    ASSERT_EQ(mkfifo("out.mat", 0644), 0);
    const pid_t reader = fork();
    if (reader == 0) {
        char first[100];
        const int fd = open("out.mat", O_RDONLY);
        _exit(fd >= 0 && read(fd, first, sizeof first) > 0 ? 0 : 1);
    }
    const ChildRun run = run_in_child(
        [] {
            handle_termination_signals();
            // A writer that is its own reader would wait for ever: the alarm ends it.
            alarm(60);
            const std::string data(byte_block_size * 2, 'f');
            open_byte_output(snapshot_unit, "out.mat");
            write_bytes(snapshot_unit, data.data(), data.size());
            close_byte_output(snapshot_unit);
        },
        outcome);
    int status = 0;
    waitpid(reader, &status, 0);
    EXPECT_EQ(run.observed, "failed") << "killed by " << run.signal;
    EXPECT_EQ(run.report, failure_line("write", EPIPE));
    EXPECT_FALSE(error_lines().empty());
}

TEST_F(ByteOutputNames, ANameThatLeadsToAFileOfTheRunIsRefused) {
    write_file(dir_ / "master_nml", "&NML_IO_FLAGS /\n");
    write_file(dir_ / "report.txt", "the report\n");
    write_file(dir_ / "input.txt", "the input\n");
    struct Held {
        std::string file;
        std::string name;
    };
    for (const Held& held : {Held{"master_error", "master_error"}, Held{"master_nml", "master_nml"},
                             Held{"/dev/stdout", "standard output"}, Held{"/dev/stdin", "standard input"}}) {
        fs::remove(dir_ / "out.mat");
        fs::create_symlink(held.file, dir_ / "out.mat");
        const ChildRun run = run_in_child(
            [] {
                dup2(open("report.txt", O_WRONLY | O_APPEND), STDOUT_FILENO);
                dup2(open("input.txt", O_RDONLY), STDIN_FILENO);
                open_config_file();
                const bool connected = open_byte_output(snapshot_unit, "out.mat");
                write_bytes(snapshot_unit, "new", 3);
                close_byte_output(snapshot_unit);
                if (connected) _exit(96);
            },
            outcome);
        EXPECT_EQ(run.observed, "failed") << held.file << ": exit status " << run.exit_status;
        EXPECT_EQ(run.report, " out.mat: not written: it leads to " + held.name + ", a file that the run holds\n");
        EXPECT_EQ(read_file(dir_ / "master_nml"), "&NML_IO_FLAGS /\n");
        EXPECT_EQ(read_file(dir_ / "report.txt"), "the report\n");
        EXPECT_EQ(read_file(dir_ / "input.txt"), "the input\n");
        EXPECT_TRUE(error_lines().empty());
    }

    // A device holds nothing to spoil: /dev/null as standard input and as the file.
    fs::remove(dir_ / "out.mat");
    fs::create_symlink("/dev/null", dir_ / "out.mat");
    const ChildRun run = run_in_child([] {
        dup2(open("/dev/null", O_RDONLY), STDIN_FILENO);
        if (!open_byte_output(snapshot_unit, "out.mat")) _exit(97);
    });
    EXPECT_TRUE(run.returned) << run.report;
}

}  // namespace
}  // namespace vorn::test
