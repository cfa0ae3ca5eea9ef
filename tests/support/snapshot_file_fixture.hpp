// Shared set-up of the MAT-file and byte-output tests: each test runs in its
// own scratch folder with unit 7 on that folder's "master_error", and reads
// back what reached the files.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "file_output/byte_output.hpp"
#include "matfile/matfile.hpp"
#include "support/child_run.hpp"
#include "support/test_support.hpp"
#include "units/units.hpp"

namespace vorn::test {

// Bytes from a text of hexadecimal pairs, blanks and commas ignored.
inline std::string hex(std::string_view pairs) {
    std::string bytes;
    int high = -1;
    for (char c : pairs) {
        int digit = (c >= '0' && c <= '9') ? c - '0' : (c >= 'A' && c <= 'F') ? c - 'A' + 10 : -1;
        if (digit < 0) continue;
        if (high < 0) {
            high = digit;
        } else {
            bytes += static_cast<char>(high * 16 + digit);
            high = -1;
        }
    }
    return bytes;
}

// A 32-bit word, lowest byte first, built by arithmetic rather than by memory.
inline std::string le32(std::int64_t value) {
    auto u = static_cast<std::uint32_t>(value);
    std::string bytes;
    for (int k = 0; k < 4; ++k) bytes += static_cast<char>((u >> (8 * k)) & 0xFF);
    return bytes;
}

inline std::string be32(std::int64_t value) {
    std::string bytes = le32(value);
    return std::string(bytes.rbegin(), bytes.rend());
}

inline std::string le64(double value) {
    auto u = std::bit_cast<std::uint64_t>(value);
    std::string bytes;
    for (int k = 0; k < 8; ++k) bytes += static_cast<char>((u >> (8 * k)) & 0xFF);
    return bytes;
}

// The header words, name and NUL of a little-endian record.
inline std::string le_header(std::int32_t type, std::int32_t rows, std::int32_t columns, std::string_view name) {
    return le32(type) + le32(rows) + le32(columns) + le32(0) + le32(static_cast<std::int64_t>(name.size()) + 1) +
           std::string(name) + std::string(1, '\0');
}

inline const std::string error_line = " Error in writing the output file.";

class SnapshotFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        static const std::filesystem::path home = std::filesystem::current_path();
        home_ = home;
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = scratch_dir(std::string(info->test_suite_name()) + "." + info->name());
        // Searchable by a child that leaves root (support/privileges), whatever the umask.
        std::filesystem::permissions(dir_, std::filesystem::perms(0755));
        std::filesystem::current_path(dir_);
        open_error_file();
    }

    void TearDown() override {
        close_byte_output(snapshot_unit);
        close_unit(error_unit);
        set_byte_order_for_testing(std::endian::native);
        std::filesystem::current_path(home_);
    }

    void open_snapshot(const std::string& name = "out.mat") { open_byte_output(snapshot_unit, name); }

    // Closes unit 10 and returns what its file holds.
    std::string snapshot_bytes(const std::string& name = "out.mat") {
        close_byte_output(snapshot_unit);
        return read_file(dir_ / name);
    }

    // Closes unit 7 and returns its lines; unit 7 starts again on an empty file.
    std::vector<std::string> error_lines() {
        close_unit(error_unit);
        std::vector<std::string> lines = split_lines(read_file(dir_ / "master_error"));
        std::filesystem::remove(dir_ / "master_error");
        open_error_file();
        return lines;
    }

    // The names in the test's folder, sorted.
    std::vector<std::string> names_in_folder() const { return names_in(dir_); }

    std::filesystem::path dir_;

private:
    std::filesystem::path home_;
};

// Runs `action`, which must end the run abnormally, in a child process and
// returns the report written on standard error.  What the child wrote to its
// files before the end is there for the caller to read.
inline std::string abnormal_end_report(const std::function<void()>& action) {
    const ChildRun run = run_in_child(action);
    EXPECT_TRUE(run.ended_abnormally) << "the run went on, or the child died by signal " << run.signal;
    return run.report;
}

}  // namespace vorn::test
