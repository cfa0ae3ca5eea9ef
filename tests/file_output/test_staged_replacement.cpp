// The snapshot's file where its name is a link, changes while the run uses
// it, or lies in a folder shared with other users; a run killed while it
// waits at its slowest step; the scratch folder of a folder that takes no
// new file.
#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <memory>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "format/free_format.hpp"
#include "support/privileges.hpp"
#include "support/snapshot_file_fixture.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> older_only = {"master_error", "out.mat"};

// The hidden names in `folder`: staged files left behind.
std::vector<std::string> hidden_names(const fs::path& folder) {
    std::vector<std::string> hidden;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().starts_with(".")) hidden.push_back(entry.path().filename());
    return hidden;
}

bool symlinks_protected() {
    std::ifstream setting("/proc/sys/fs/protected_symlinks");
    char value = '1';
    setting >> value;
    return value != '0';
}

// Writes "new" through "out.mat" in a child: "written", "failed", or the
// abnormal end's error line.
std::string write_new_through(const std::string& name = "out.mat") {
    const ChildRun run = run_in_child(
        [&] {
            if (open_byte_output(snapshot_unit, name)) write_bytes(snapshot_unit, "new", 3);
            close_byte_output(snapshot_unit);
        },
        [] { return std::string(byte_output_failed() ? "failed" : "written"); });
    if (!run.ended_abnormally) return run.observed;
    const std::size_t error = run.report.find(" Error ");
    return run.report.substr(error, run.report.find('\n', error) - error);
}

// --- Links: "out.mat" leads to the file that takes the bytes -------------

struct LinkedName {
    std::string name;
    // Sets up "out.mat" in the test's folder; returns the file it leads to.
    std::function<fs::path(const fs::path& dir)> set_up;
};

void PrintTo(const LinkedName& linked, std::ostream* out) { *out << linked.name; }

class LinkedNames : public SnapshotFileTest, public ::testing::WithParamInterface<LinkedName> {};

TEST_P(LinkedNames, TheFileTheNameLeadsToTakesTheBytesAndTheLinksStay) {
    const fs::path receiver = GetParam().set_up(dir_);
    EXPECT_EQ(write_new_through(), "written");
    EXPECT_EQ(read_file(receiver), "new");
    EXPECT_TRUE(fs::is_symlink(dir_ / "out.mat"));
    EXPECT_TRUE(hidden_names(dir_).empty());
    EXPECT_TRUE(hidden_names(receiver.parent_path()).empty());
    if (!receiver.string().starts_with(dir_.string())) fs::remove_all(receiver.parent_path());
}

INSTANTIATE_TEST_SUITE_P(
    Links, LinkedNames,
    ::testing::Values(
        LinkedName{"Relative",
                   [](const fs::path& dir) {
                       fs::create_directory(dir / "store");
                       write_file(dir / "store" / "older.mat", "an older snapshot");
                       fs::create_symlink("store/older.mat", dir / "out.mat");
                       return dir / "store" / "older.mat";
                   }},
        // A link to a link to a file that does not exist yet: the file is
        // made where the last link points, in the folder of that link.
        LinkedName{"DanglingChain",
                   [](const fs::path& dir) {
                       fs::create_directories(dir / "a" / "b");
                       fs::create_symlink("a/first", dir / "out.mat");
                       fs::create_symlink("b/new.mat", dir / "a" / "first");
                       return dir / "a" / "b" / "new.mat";
                   }},
        // Another file system: the memory file system of /dev/shm.
        LinkedName{"AcrossFileSystems", [](const fs::path& dir) {
                       const fs::path other = fs::path("/dev/shm") / ("vorn-test-" + std::to_string(getpid()));
                       fs::create_directories(other);
                       write_file(other / "older.mat", "an older snapshot");
                       fs::create_symlink(other / "older.mat", dir / "out.mat");
                       return other / "older.mat";
                   }}),
    [](const auto& info) { return info.param.name; });

TEST_F(SnapshotFileTest, AHardLinkBecomesAFileOfItsOwn) {
    fs::create_directory(dir_ / "store");
    write_file(dir_ / "store" / "older.mat", "an older snapshot");
    fs::create_hard_link(dir_ / "store" / "older.mat", dir_ / "out.mat");
    EXPECT_EQ(write_new_through(), "written");
    EXPECT_EQ(read_file(dir_ / "out.mat"), "new");
    EXPECT_EQ(read_file(dir_ / "store" / "older.mat"), "an older snapshot");
}

TEST_F(SnapshotFileTest, ALoopOfLinksEndsTheRun) {
    fs::create_symlink("loop_b", dir_ / "loop_a");
    fs::create_symlink("loop_a", dir_ / "loop_b");
    EXPECT_EQ(write_new_through("loop_a"), " Error " + std::to_string(ELOOP) + ":  " + std::strerror(ELOOP));
}

// Another user's link in a sticky folder that everyone may write, to root's
// file or to where root would make one: followed only where the system's
// protection of such links is off.
TEST_F(SnapshotFileTest, ALinkPlantedByAnotherUserInAStickyFolderIsFollowedOnlyWhereTheSystemAllows) {
    VORN_SKIP_UNLESS(needs_root("plants the link as another user"));
    SharedScratch shared(true);
    fs::create_directory(dir_ / "store");
    write_file(dir_ / "store" / "precious", "root's file");
    for (const std::string leads_to : {"precious", "missing"}) {
        const fs::path planted = shared.path() / ("to_" + leads_to);
        fs::create_symlink(dir_ / "store" / leads_to, planted);
        ASSERT_EQ(lchown(planted.c_str(), other_user, other_user), 0);
        const std::string outcome = write_new_through(planted.string());
        if (symlinks_protected()) {
            EXPECT_EQ(outcome, " Error 13:  Permission denied") << leads_to;
            EXPECT_FALSE(fs::exists(dir_ / "store" / "missing"));
        } else {
            EXPECT_EQ(outcome, "written") << leads_to;
            EXPECT_EQ(read_file(dir_ / "store" / leads_to), "new");
        }
    }
}

// --- The scratch folder --------------------------------------------------

// A file mounted writable in a read-only folder, as in a container: its
// bytes are staged in the scratch folder, $TMPDIR else /tmp, then written in
// place.  `scratch` prepares the scratch folder in the child (a memory file
// system of 1 MiB, full or read-only) and says where TMPDIR points.
struct ScratchFolder {
    std::string name;
    std::function<const char*(const fs::path& dir)> scratch;
    bool written;
    std::string line;  // on standard error, after " out.mat: "; <dir> stands for the test's folder
};

void PrintTo(const ScratchFolder& folder, std::ostream* out) { *out << folder.name; }

class ScratchFolders : public SnapshotFileTest, public ::testing::WithParamInterface<ScratchFolder> {};

TEST_P(ScratchFolders, TakeTheBytesOfAFolderThatTakesNoNewFileOrAreNamedInTheFailure) {
    VORN_SKIP_UNLESS(needs_namespaces());
    const fs::path outside = dir_ / "outside";
    const fs::path folder = dir_ / "read_only";
    fs::create_directories(outside / "scratch");
    fs::create_directories(folder);
    write_file(outside / "mounted.mat", "an older snapshot");
    write_file(folder / "out.mat", "");
    const ChildRun run = run_in_child(
        [&] {
            if (!enter_namespaces() || mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) != 0 ||
                mount((outside / "mounted.mat").c_str(), (folder / "out.mat").c_str(), nullptr, MS_BIND, nullptr) != 0 ||
                chdir(folder.c_str()) != 0)
                _exit(94);
            if (const char* tmpdir = GetParam().scratch(outside / "scratch")) setenv("TMPDIR", tmpdir, 1);
            else unsetenv("TMPDIR");
            const std::string data(byte_block_size * 3 / 2, 'n');
            open_byte_output(snapshot_unit, "out.mat");
            write_bytes(snapshot_unit, data.data(), data.size());
            close_byte_output(snapshot_unit);
        },
        [] { return std::string(byte_output_failed() ? "failed" : "written"); });
    EXPECT_EQ(run.observed, GetParam().written ? "written" : "failed") << run.report;
    std::string line = GetParam().line;
    if (const std::size_t at = line.find("<dir>"); at != std::string::npos) line.replace(at, 5, outside.string());
    EXPECT_EQ(run.report, " out.mat: " + line + "\n");
    EXPECT_EQ(read_file(outside / "mounted.mat").size(), GetParam().written ? byte_block_size * 3 / 2 : 17u);
}

const char* tmpdir_at(const fs::path& scratch) {
    static std::string path;
    path = scratch.string();
    return path.c_str();
}

const char* small_disk(const fs::path& scratch, unsigned long flags) {
    if (mount("tmpfs", scratch.c_str(), "tmpfs", flags, "size=1m") != 0) _exit(95);
    return tmpdir_at(scratch);
}

INSTANTIATE_TEST_SUITE_P(
    Tmpdir, ScratchFolders,
    ::testing::Values(
        ScratchFolder{"Unset", [](const fs::path&) -> const char* { return nullptr; }, true,
                      "the folder takes no new file; the file is written in place"},
        ScratchFolder{"WithRoom", tmpdir_at, true, "the folder takes no new file; the file is written in place"},
        ScratchFolder{"Full", [](const fs::path& scratch) { return small_disk(scratch, 0); }, false,
                      "write in the scratch folder <dir>/scratch (TMPDIR) failed: ENOSPC (No space left on device)"},
        ScratchFolder{"ReadOnly", [](const fs::path& scratch) { return small_disk(scratch, MS_RDONLY); }, false,
                      "open in the scratch folder <dir>/scratch (TMPDIR) failed: EROFS (Read-only file system); "
                      "the file's own folder takes no new file"}),
    [](const auto& info) { return info.param.name; });

// --- The name changes while the run uses it ------------------------------

TEST_F(SnapshotFileTest, ANameThatLeadsElsewhereWhenTheFileIsCompleteIsNotReplaced) {
    write_file(dir_ / "out.mat", "an older snapshot");
    write_file(dir_ / "another.mat", "another file");
    const ChildRun run = run_in_child(
        [] {
            open_byte_output(snapshot_unit, "out.mat");
            write_bytes(snapshot_unit, "new", 3);
            std::filesystem::rename("another.mat", "out.mat");
            close_byte_output(snapshot_unit);
        },
        [] { return std::string(byte_output_failed() ? "failed" : "written"); });
    EXPECT_EQ(run.observed, "failed");
    EXPECT_EQ(run.report, " out.mat: not written: it no longer leads to the file that the run looked up\n");
    EXPECT_EQ(read_file(dir_ / "out.mat"), "another file");
    EXPECT_EQ(names_in_folder(), older_only);
}

// Root's run in a sticky folder where another user keeps exchanging their
// own file with a link to root's file: root's file never changes owner or
// mode, nor its bytes where the system protects such links.
TEST(StagedReplacementRace, AnotherUserExchangingTheNameNeverGetsRootsFile) {
    VORN_SKIP_UNLESS(needs_root("another user exchanges the name"));
    const SharedScratch store;
    const SharedScratch shared(true);
    const fs::path precious = store.path() / "precious";
    write_file(precious, "root's file");
    fs::permissions(precious, fs::perms(0644));
    fs::permissions(store.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read |
                                      fs::perms::group_exec | fs::perms::others_exec);
    // Another user's file under the name, and their link to root's file.
    const fs::path name = shared.path() / "vorn_geometry.mat";
    write_file(name, "mine");
    fs::permissions(name, fs::perms(0666));
    fs::create_symlink(precious, shared.path() / "swap");
    ASSERT_EQ(lchown(name.c_str(), other_user, other_user), 0);
    ASSERT_EQ(lchown((shared.path() / "swap").c_str(), other_user, other_user), 0);
    const pid_t exchanger = fork();
    if (exchanger == 0) {
        if (!become_user(other_user) || chdir(shared.path().c_str()) != 0) _exit(90);
        // The two names are exchanged for ever; where a run replaced the
        // link, it is made again.
        for (;;) {
            syscall(SYS_renameat2, AT_FDCWD, "vorn_geometry.mat", AT_FDCWD, "swap", RENAME_EXCHANGE);
            struct stat first, second;
            if ((lstat("vorn_geometry.mat", &first) == 0 && S_ISLNK(first.st_mode)) ||
                (lstat("swap", &second) == 0 && S_ISLNK(second.st_mode)))
                continue;
            unlink("swap");
            symlink(precious.c_str(), "swap");
        }
    }
    // Killed however the test ends, so that a failed assertion leaves no
    // exchanger behind.
    const std::unique_ptr<const pid_t, void (*)(const pid_t*)> stop_exchanger(&exchanger, [](const pid_t* pid) {
        kill(*pid, SIGKILL);
        waitpid(*pid, nullptr, 0);
    });
    const bool bytes_protected = symlinks_protected();
    for (int run = 0; run < 300 && !HasFailure(); ++run) {
        run_in_child([&] {
            if (chdir(shared.path().c_str()) != 0) _exit(91);
            open_error_file();
            if (open_byte_output(snapshot_unit, "vorn_geometry.mat")) write_bytes(snapshot_unit, "new", 3);
            close_byte_output(snapshot_unit);
        });
        struct stat status;
        ASSERT_EQ(stat(precious.c_str(), &status), 0);
        EXPECT_EQ(status.st_uid, 0u) << "run " << run;
        EXPECT_EQ(status.st_mode & 07777, 0644u) << "run " << run;
        if (bytes_protected) {
            EXPECT_EQ(read_file(precious), "root's file") << "run " << run;
        }
    }
}

// --- Killed while it waits -----------------------------------------------

// Runs `work` in a child whose standard stream `stream` is a pipe that is
// full and that nobody reads, waits until the child waits in a write there,
// looks at the folder, then kills the child.  Returns the names it saw.
std::vector<std::string> names_while_stalled(int stream, const std::function<void()>& work,
                                             const std::function<std::vector<std::string>()>& names) {
    int stalled[2];
    if (pipe(stalled) != 0) return {"no pipe"};
    fcntl(stalled[1], F_SETFL, O_NONBLOCK);
    const std::string block(4096, 'r');
    while (write(stalled[1], block.data(), block.size()) > 0) {
    }
    fcntl(stalled[1], F_SETFL, 0);
    const pid_t child = fork();
    if (child == 0) {
        dup2(stalled[1], stream);
        work();
        _exit(0);
    }
    // The child waits in write(2) once /proc shows that call.
    const std::string waiting = std::to_string(SYS_write) + " ";
    std::string call;
    for (int look = 0; look < 1000 && !call.starts_with(waiting); ++look) {
        usleep(10000);
        std::ifstream in("/proc/" + std::to_string(child) + "/syscall");
        std::getline(in, call);
    }
    std::vector<std::string> seen = names();
    if (!call.starts_with(waiting)) seen.push_back("(the child never waited)");
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(stalled[0]);
    close(stalled[1]);
    return seen;
}

TEST_F(SnapshotFileTest, AKillWhileTheReportWaitsForItsReaderLeavesNoFileBehind) {
    write_file(dir_ / "out.mat", "an older snapshot");
    const std::vector<std::string> seen = names_while_stalled(
        STDOUT_FILENO,
        [] {
            open_byte_output(snapshot_unit, "out.mat");
            write_bytes(snapshot_unit, "new", 3);
            FreeLine(output_unit) << "the report's last line";
            close_byte_output(snapshot_unit);
        },
        [this] { return names_in_folder(); });
    EXPECT_EQ(seen, older_only);
    EXPECT_EQ(names_in_folder(), older_only);
    EXPECT_EQ(read_file(dir_ / "out.mat"), "an older snapshot");
}

// A file mounted on the name is written in place: the staged file's hidden
// name is gone before the line that says so, and the copy comes from its
// descriptor.
TEST_F(SnapshotFileTest, AKillBeforeTheCopyInPlaceLeavesNoFileBehind) {
    VORN_SKIP_UNLESS(needs_namespaces());
    write_file(dir_ / "mounted.mat", "an older snapshot");
    write_file(dir_ / "out.mat", "");
    const std::vector<std::string> seen = names_while_stalled(
        STDERR_FILENO,
        [] {
            if (!enter_namespaces() || mount("mounted.mat", "out.mat", nullptr, MS_BIND, nullptr) != 0) _exit(94);
            open_byte_output(snapshot_unit, "out.mat");
            write_bytes(snapshot_unit, "new", 3);
            close_byte_output(snapshot_unit);
        },
        [this] { return names_in_folder(); });
    const std::vector<std::string> files = {"master_error", "mounted.mat", "out.mat"};
    EXPECT_EQ(seen, files);
    EXPECT_EQ(names_in_folder(), files);
}

}  // namespace
}  // namespace vorn::test
