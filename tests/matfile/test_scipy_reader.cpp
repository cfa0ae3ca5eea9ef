// A third-party reader of MAT-file Level 4 files (scipy.io.loadmat) reads
// every kind of record the writers produce.
#include <limits>
#include <vector>

#include "support/snapshot_file_fixture.hpp"

namespace vorn::test {
namespace {

using ThirdPartyReader = SnapshotFileTest;

TEST_F(ThirdPartyReader, ScipyReadsEveryElementKind) {
    open_snapshot("every_kind.mat");

    const std::int32_t geo_flag = 1;
    saveit(snapshot_unit, &geo_flag, 1, 1, 1, "geo_flag", 8);

    double d_rotate[9];
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i) d_rotate[(j - 1) * 3 + i - 1] = 10.0 * i + j + 0.25;
    savemt(snapshot_unit, d_rotate, 3, 3, 3, "d_rotate", 8);

    double column_major[12];
    for (int k = 0; k < 12; ++k) column_major[k] = k + 1.0;
    savemt(snapshot_unit, column_major, 4, 2, 3, "skipped_rows", 12);

    const double special[4] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), -0.0};
    savemt(snapshot_unit, special, 1, 1, 4, "special", 7);

    const std::int32_t g_fp_voxel[8] = {1, 100001, 2, 5, 3, 6, 4, 100001};
    saveit(snapshot_unit, g_fp_voxel, 2, 2, 4, "g_fp_voxel", 10);

    std::string file_name = "vorn_geometry.mat";
    file_name.resize(255, ' ');
    savest(snapshot_unit, file_name.data(), 1, 1, 255, "file_name", 9);

    std::vector<std::int32_t> gr_stat(99 * 199 * 5);
    std::vector<double> field(4 * 5 * 2);
    for (int l = 1; l <= 5; ++l)
        for (int j = 1; j <= 199; ++j)
            for (int k = 1; k <= 99; ++k) gr_stat[((l - 1) * 199 + (j - 1)) * 99 + k - 1] = 10000 * l + 100 * j + k;
    for (int l = 1; l <= 2; ++l)
        for (int j = 1; j <= 5; ++j)
            for (int k = 1; k <= 4; ++k) field[((l - 1) * 5 + (j - 1)) * 4 + k - 1] = 10000 * l + 100 * j + k + 0.5;
    saveit_3d(snapshot_unit, gr_stat.data(), 99, 199, 3, 4, 5, "gr_stat", 7);
    savemt_3d(snapshot_unit, field.data(), 4, 5, 2, 3, 2, "field", 5);

    savehd(snapshot_unit, 24, 2, "agrid", 5, 0, 0);
    for (int k = 1; k <= 48; ++k) {
        const double corner = 1000.0 * k;
        ASSERT_EQ(write_bytes(snapshot_unit, &corner, sizeof corner), 0);
    }

    savemt(snapshot_unit, nullptr, 1, 0, 5, "empty", 5);
    const std::int32_t negative[3] = {-1, -2, std::numeric_limits<std::int32_t>::min()};
    saveit(snapshot_unit, negative, 1, 1, 3, "negative", 8);
    close_byte_output(snapshot_unit);
    ASSERT_FALSE(byte_output_failed());

    RunResult result =
        run_command(dir_, {"/usr/bin/python3", VORN_SOURCE_DIR "/tests/matfile/read_with_scipy.py", "every_kind.mat"});
    EXPECT_EQ(result.exit_status, 0) << result.out << result.err;
    EXPECT_EQ(result.err, "");
}

}  // namespace
}  // namespace vorn::test
