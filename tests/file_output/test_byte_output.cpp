// The byte output of unit 10: results, buffering in blocks, the opening
// rules and the failures found when a block is written.
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "checked_array/checked_array.hpp"
#include "run_end/end_hooks.hpp"

#include "support/privileges.hpp"
#include "support/snapshot_file_fixture.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

using ByteOutput = SnapshotFileTest;

TEST_F(ByteOutput, BytesReachTheFileInOrder) {
    open_snapshot();
    std::string expected;
    for (int k = 0; k < 300; ++k) {
        ASSERT_EQ(write_byte(snapshot_unit, static_cast<std::uint8_t>(k)), 0);
        expected += static_cast<char>(k);
    }
    ASSERT_EQ(write_bytes(snapshot_unit, "tail", 4), 0);
    ASSERT_EQ(write_bytes(snapshot_unit, nullptr, 0), 0);
    EXPECT_EQ(snapshot_bytes(), expected + "tail");
    EXPECT_FALSE(byte_output_failed());
}

TEST_F(ByteOutput, MoreThanOneBlock) {
    // Three and a half blocks, partly byte by byte across a block boundary.
    std::string data(byte_block_size * 7 / 2, '\0');
    for (std::size_t k = 0; k < data.size(); ++k) data[k] = static_cast<char>((k * 7919) >> 5);
    open_snapshot();
    const std::size_t head = byte_block_size - 3;
    ASSERT_EQ(write_bytes(snapshot_unit, data.data(), head), 0);
    for (std::size_t k = head; k < head + 10; ++k)
        ASSERT_EQ(write_byte(snapshot_unit, static_cast<std::uint8_t>(data[k])), 0);
    ASSERT_EQ(write_bytes(snapshot_unit, data.data() + head + 10, data.size() - head - 10), 0);
    EXPECT_TRUE(snapshot_bytes() == data);
    EXPECT_TRUE(error_lines().empty());
}

TEST_F(ByteOutput, RefusalCodes) {
    EXPECT_EQ(write_byte(-1, 0), byte_unit_negative);
    EXPECT_EQ(write_byte(snapshot_unit, 0), byte_unit_not_connected);
    open_snapshot();
    EXPECT_EQ(write_byte(11, 0), byte_unit_not_connected);
    EXPECT_EQ(write_bytes(11, "ab", 2), byte_unit_not_connected);
    EXPECT_TRUE(byte_output_failed());
    EXPECT_EQ(write_byte(snapshot_unit, 'x'), 0);
    EXPECT_EQ(snapshot_bytes(), "x");
    // The byte output itself writes no line for a refused byte: that is the caller's.
    EXPECT_TRUE(error_lines().empty());
}

TEST_F(ByteOutput, AnOlderLongerFileIsReplacedWhole) {
    write_file(dir_ / "vorn_geometry.mat", std::string(5000, 'o'));
    open_snapshot("vorn_geometry.mat");
    ASSERT_EQ(write_bytes(snapshot_unit, "new", 3), 0);
    EXPECT_EQ(snapshot_bytes("vorn_geometry.mat"), "new");

    // Opened again with nothing written: empty, not the old text.
    open_snapshot("vorn_geometry.mat");
    EXPECT_EQ(snapshot_bytes("vorn_geometry.mat"), "");
}

TEST_F(ByteOutput, TheReplacementKeepsTheModeOfTheOlderFile) {
    write_file(dir_ / "kept.mat", "older");
    fs::permissions(dir_ / "kept.mat", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    open_snapshot("kept.mat");
    EXPECT_EQ(snapshot_bytes("kept.mat"), "");
    EXPECT_EQ(fs::status(dir_ / "kept.mat").permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ByteOutput, OpeningAnotherFileClosesTheFirst) {
    open_snapshot("first.mat");
    ASSERT_EQ(write_bytes(snapshot_unit, "one", 3), 0);
    open_snapshot("second.mat");
    ASSERT_EQ(write_bytes(snapshot_unit, "two", 3), 0);
    EXPECT_EQ(read_file(dir_ / "first.mat"), "one");
    EXPECT_EQ(snapshot_bytes("second.mat"), "two");
}

TEST_F(ByteOutput, FlushAllUnitsWritesTheBufferToTheFileThatTakesTheNameAtClosing) {
    write_file(dir_ / "out.mat", "older");
    open_snapshot();
    ASSERT_EQ(write_bytes(snapshot_unit, "abc", 3), 0);
    flush_all_units();
    // The staged file has no name until closing.
    EXPECT_EQ(names_in_folder(), (std::vector<std::string>{"master_error", "out.mat"}));
    EXPECT_EQ(staged_file_size(getpid(), dir_), 3);
    EXPECT_EQ(read_file(dir_ / "out.mat"), "older");
    EXPECT_EQ(snapshot_bytes(), "abc");
    EXPECT_EQ(names_in_folder(), (std::vector<std::string>{"master_error", "out.mat"}));
}

TEST_F(ByteOutput, AWriteThatFailsPartWayLeavesTheOlderFileAndNoTemporary) {
    write_file(dir_ / "out.mat", "an older snapshot");
    const ChildRun run = run_in_child(
        [] {
            // The file may not grow beyond a block and a half: the second
            // block fails part-way, the third fails whole.
            const rlim_t size = byte_block_size * 3 / 2;
            const rlimit limit = {size, size};
            setrlimit(RLIMIT_FSIZE, &limit);
            std::signal(SIGXFSZ, SIG_IGN);
            open_byte_output(snapshot_unit, "out.mat");
            const std::string data(3 * byte_block_size, 'n');
            write_bytes(snapshot_unit, data.data(), data.size());
            close_byte_output(snapshot_unit);
        },
        [] {
            flush_all_units();
            return std::string(byte_output_failed() ? "failed" : "written");
        });
    EXPECT_TRUE(run.returned) << run.report;
    EXPECT_EQ(run.observed, "failed");
    EXPECT_EQ(read_file(dir_ / "out.mat"), "an older snapshot");
    EXPECT_EQ(names_in_folder(), (std::vector<std::string>{"master_error", "out.mat"}));
    EXPECT_EQ(error_lines(), std::vector<std::string>(2, error_line));
}

TEST_F(ByteOutput, AnAbnormalEndWhileWritingRemovesTheReplacement) {
    write_file(dir_ / "out.mat", "an older snapshot");
    const ChildRun run = run_in_child([] {
        set_abnormal_end_observer(nullptr);
        open_byte_output(snapshot_unit, "out.mat");
        write_bytes(snapshot_unit, "abc", 3);
        subscript_out_of_range(1, 0, "GR_L", vorn::SourceLocation::current());
    });
    EXPECT_EQ(run.signal, SIGABRT);
    EXPECT_EQ(read_file(dir_ / "out.mat"), "an older snapshot");
    EXPECT_EQ(names_in_folder(), (std::vector<std::string>{"master_error", "out.mat"}));
}

TEST_F(ByteOutput, DirectoryOrUnreachableFileEndsTheRun) {
    fs::create_directory(dir_ / "vorn_geometry.mat");
    std::string report = abnormal_end_report([] { open_byte_output(snapshot_unit, "vorn_geometry.mat"); });
    EXPECT_NE(report.find(" Location:  the OPEN statement at line "), std::string::npos) << report;
    EXPECT_NE(report.find(" Unit:  10\n File:  vorn_geometry.mat\n"), std::string::npos) << report;
    EXPECT_NE(report.find(" Error 21:  Is a directory\n"), std::string::npos) << report;

    report = abnormal_end_report([] { open_byte_output(snapshot_unit, "no_such_folder/x.mat"); });
    EXPECT_NE(report.find(" Error 2:  No such file or directory\n"), std::string::npos) << report;
    EXPECT_NE(report.find(" Unit:  10\n File:  no_such_folder/x.mat\n"), std::string::npos) << report;
}

// A file of mode 0444 that the run may read but not write, opened by a run
// that the mode holds (a forked child that is not root).
TEST_F(ByteOutput, FileThatCannotBeWrittenIsOpenedForReading) {
    write_file(dir_ / "older.mat", "older");
    fs::permissions(dir_ / "older.mat", fs::perms(0444));
    const ChildRun run = run_in_child(
        [] {
            if (!leave_root()) _exit(90);
            open_byte_output(snapshot_unit, "older.mat");
        },
        [] {
            std::string seen = write_byte(snapshot_unit, 'x') == byte_unit_read_only ? "refused;" : "taken;";
            const std::int32_t geo_flag = 1;
            saveit(snapshot_unit, &geo_flag, 1, 1, 1, "geo_flag", 8);
            close_byte_output(snapshot_unit);
            seen += byte_output_failed() ? "failed" : "written";
            flush_all_units();
            return seen;
        });
    ASSERT_TRUE(run.returned) << run.report << " exit " << run.exit_status;
    EXPECT_EQ(run.observed, "refused;failed");
    EXPECT_EQ(read_file(dir_ / "older.mat"), "older");
    // One line for the whole run of refused bytes.
    EXPECT_EQ(error_lines(), std::vector<std::string>(1, error_line));
}

TEST_F(ByteOutput, FailedBlockGivesOneLineEach) {
    fs::create_symlink("/dev/full", dir_ / "vorn_geometry.mat");
    open_snapshot("vorn_geometry.mat");
    const std::int32_t geo_flag = 1;
    saveit(snapshot_unit, &geo_flag, 1, 1, 1, "geo_flag", 8);
    EXPECT_FALSE(byte_output_failed());  // not known before the block is written
    close_byte_output(snapshot_unit);
    EXPECT_TRUE(byte_output_failed());
    EXPECT_EQ(error_lines(), std::vector<std::string>(1, error_line));

    // Two full blocks and a part: three lines, and writing went on after the first.
    open_snapshot("vorn_geometry.mat");
    EXPECT_FALSE(byte_output_failed());
    const std::string data(2 * byte_block_size + 1, 'd');
    for (std::size_t k = 0; k < data.size(); k += 4096)
        ASSERT_EQ(write_bytes(snapshot_unit, data.data() + k, std::min<std::size_t>(4096, data.size() - k)), 0);
    close_byte_output(snapshot_unit);
    EXPECT_EQ(error_lines(), std::vector<std::string>(3, error_line));
}

TEST_F(ByteOutput, AbnormalEndWritesTheBlockWithoutReporting) {
    fs::create_symlink("/dev/full", dir_ / "full.mat");
    const ChildRun run = run_in_child(
        [] {
            open_byte_output(snapshot_unit, "full.mat");
            write_bytes(snapshot_unit, "abc", 3);
            subscript_out_of_range(1, 0, "GR_L", vorn::SourceLocation::current());
        },
        [] { return std::string(byte_output_failed() ? "failed" : "written"); });
    EXPECT_TRUE(run.ended_abnormally);
    EXPECT_EQ(run.observed, "failed");
    EXPECT_TRUE(error_lines().empty());
}

}  // namespace
}  // namespace vorn::test
