// The program's two outputs, byte for byte, on a few small configurations:
// the report on standard output and "vorn_geometry.mat" are compared by length
// and FNV-1a checksum with the values recorded before the formatting, report
// and snapshot paths were tuned for speed.  Any change of a single byte fails;
// the other program tests then tell what changed.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "support/geometry_setup.hpp"
#include "support/test_support.hpp"

namespace vorn::test {
namespace {

std::uint64_t fnv1a_64(std::string_view bytes) {
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211u;
    }
    return hash;
}

TEST(OutputChecksum, Fnv1aOfKnownTexts) {
    // The published FNV-1a 64 test vectors.
    EXPECT_EQ(fnv1a_64(""), 0xcbf29ce484222325u);
    EXPECT_EQ(fnv1a_64("a"), 0xaf63dc4c8601ec8cu);
    EXPECT_EQ(fnv1a_64("foobar"), 0x85944171f73967e8u);
}

struct RecordedOutputs {
    const char* name;           // "example" or a file of tests/configs without ".nml"
    std::size_t report_length;  // standard output
    std::uint64_t report_checksum;
    std::size_t snapshot_length;  // "vorn_geometry.mat"
    std::uint64_t snapshot_checksum;
};

class OutputIdentity : public ::testing::TestWithParam<RecordedOutputs> {};

TEST_P(OutputIdentity, ReportAndSnapshotUnchanged) {
    const RecordedOutputs& recorded = GetParam();
    const std::string name = recorded.name;
    const std::filesystem::path dir = scratch_dir("output_identity_" + name);
    write_file(dir / "master_nml", name == "example" ? example_config() : test_config(name));
    const RunResult run = run_program(dir);
    ASSERT_EQ(run.exit_status, 0) << run.err;
    const std::string snapshot = read_file(dir / "vorn_geometry.mat");

    EXPECT_EQ(run.out.size(), recorded.report_length);
    EXPECT_EQ(fnv1a_64(run.out), recorded.report_checksum) << std::hex << fnv1a_64(run.out);
    EXPECT_EQ(snapshot.size(), recorded.snapshot_length);
    EXPECT_EQ(fnv1a_64(snapshot), recorded.snapshot_checksum) << std::hex << fnv1a_64(snapshot);
}

INSTANTIATE_TEST_SUITE_P(
    Configs, OutputIdentity,
    ::testing::Values(
        RecordedOutputs{"example", 13982712, 0x4a25f4f6cf90e5f2u, 6479435, 0x828afe9b4cb69e5au},
        RecordedOutputs{"polar_eccentric", 6816960, 0x87e300cac882954fu, 2988931, 0x795f6bd34f67caf4u},
        RecordedOutputs{"regional_eccentric", 3961062, 0x532bbd014b72e868u, 1859795, 0x004bcf771650eff6u}),
    [](const ::testing::TestParamInfo<RecordedOutputs>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorn::test
