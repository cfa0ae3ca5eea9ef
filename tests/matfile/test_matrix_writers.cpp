// saveit, savemt and savest: byte-exact records, leading dimensions, the
// capacity check and the failed bytes of a unit that cannot take them.
#include <cmath>
#include <limits>

#include "support/snapshot_file_fixture.hpp"

namespace vorn::test {
namespace {

using MatrixWriters = SnapshotFileTest;

const std::string geo_flag_little_endian = hex(
    "14 00 00 00, 01 00 00 00, 01 00 00 00, 00 00 00 00, 09 00 00 00,"
    "67 65 6F 5F 66 6C 61 67, 00, 01 00 00 00");
const std::string geo_flag_big_endian = hex(
    "00 00 03 FC, 00 00 00 01, 00 00 00 01, 00 00 00 00, 00 00 00 09,"
    "67 65 6F 5F 66 6C 61 67, 00, 00 00 00 01");

TEST_F(MatrixWriters, ProbesAgreeWithTheHost) {
    static_assert(std::endian::native == std::endian::little, "the expected records are little-endian");
    EXPECT_TRUE(little_endian());
    EXPECT_FALSE(big_endian());
    set_byte_order_for_testing(std::endian::big);
    EXPECT_TRUE(big_endian());
    EXPECT_FALSE(little_endian());
}

TEST_F(MatrixWriters, GeoFlagIsTheThirtyThreeByteRecord) {
    open_snapshot();
    const std::int32_t geo_flag = 1;
    saveit(snapshot_unit, &geo_flag, 1, 1, 1, "geo_flag", 8);
    EXPECT_EQ(snapshot_bytes(), geo_flag_little_endian);
    EXPECT_TRUE(error_lines().empty());
    EXPECT_FALSE(byte_output_failed());
}

TEST_F(MatrixWriters, GeoFlagOnABigEndianHost) {
    set_byte_order_for_testing(std::endian::big);
    open_snapshot();
    const std::int32_t geo_flag = 1;
    saveit(snapshot_unit, &geo_flag, 1, 1, 1, "geo_flag", 8);
    EXPECT_EQ(snapshot_bytes(), geo_flag_big_endian);
}

TEST_F(MatrixWriters, RecordsFollowEachOtherWithoutPadding) {
    open_snapshot();
    const std::int32_t geo_flag = 1;
    const std::int32_t zero = 0;
    saveit(snapshot_unit, &geo_flag, 1, 1, 1, "geo_flag", 8);
    saveit(snapshot_unit, &zero, 1, 1, 1, "ph_flag", 7);
    std::string bytes = snapshot_bytes();
    ASSERT_EQ(bytes.size(), 33u + 32u);
    EXPECT_EQ(bytes.substr(0, 33), geo_flag_little_endian);
    EXPECT_EQ(bytes.substr(33), le_header(20, 1, 1, "ph_flag") + le32(0));
}

TEST_F(MatrixWriters, DRotateIsWrittenColumnByColumn) {
    double d_rotate[9];
    for (int j = 1; j <= 3; ++j)
        for (int i = 1; i <= 3; ++i) d_rotate[(j - 1) * 3 + i - 1] = 10.0 * i + j + 0.25;
    open_snapshot();
    savemt(snapshot_unit, d_rotate, 3, 3, 3, "d_rotate", 8);
    std::string expected = le_header(0, 3, 3, "d_rotate");
    for (double v : {11.25, 21.25, 31.25, 12.25, 22.25, 32.25, 13.25, 23.25, 33.25}) expected += le64(v);
    std::string bytes = snapshot_bytes();
    EXPECT_EQ(bytes.size(), 101u);
    EXPECT_EQ(bytes, expected);
}

TEST_F(MatrixWriters, DoublesKeepTheirBitPatterns) {
    const double values[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), -0.0,
                             std::numeric_limits<double>::denorm_min(), 6371200.0};
    open_snapshot();
    savemt(snapshot_unit, values, 1, 1, 6, "gr_p", 4);
    std::string expected = le_header(0, 1, 6, "gr_p");
    for (double v : values) expected += le64(v);
    EXPECT_EQ(snapshot_bytes(), expected);
}

TEST_F(MatrixWriters, LeadingDimensionSkipsTheRowsBeyondTheCount) {
    std::int32_t matrix[10];
    for (int k = 0; k < 10; ++k) matrix[k] = k + 1;
    open_snapshot();
    saveit(snapshot_unit, matrix, 5, 3, 2, "m", 1);
    EXPECT_EQ(snapshot_bytes(), le_header(20, 3, 2, "m") + le32(1) + le32(2) + le32(3) + le32(6) + le32(7) + le32(8));
}

TEST_F(MatrixWriters, NoElementsWhenRowsOrColumnsAreNotPositive) {
    const std::int32_t one = 1;
    open_snapshot();
    saveit(snapshot_unit, &one, 0, 0, 4, "a", 1);    // leading dimension 0: no check without elements
    savemt(snapshot_unit, nullptr, 1, 1, 0, "b", 1);
    saveit(snapshot_unit, &one, 1, -2, -7, "c", 1);  // carried unchanged
    EXPECT_EQ(snapshot_bytes(), le_header(20, 0, 4, "a") + le_header(0, 1, 0, "b") + le_header(20, -2, -7, "c"));
}

TEST_F(MatrixWriters, NameLengthDecidesWhatIsWritten) {
    const std::int32_t one = 1;
    open_snapshot();
    saveit(snapshot_unit, &one, 1, 1, 1, "ab cd   xyz", 8);
    saveit(snapshot_unit, &one, 1, 1, 1, "ignored", 0);
    std::string bytes = snapshot_bytes();
    EXPECT_EQ(bytes, le_header(20, 1, 1, "ab cd   ") + le32(1) + le_header(20, 1, 1, "") + le32(1));
    // namlen 1 and the NUL directly after it.
    EXPECT_EQ(bytes.substr(33 + 16, 5), le32(1) + std::string(1, '\0'));
}

TEST_F(MatrixWriters, TextOfTwoHundredFiftyFiveCharacters) {
    std::string file_name = "vorn_geometry.mat";
    file_name.resize(255, ' ');
    open_snapshot();
    savest(snapshot_unit, file_name.data(), 1, 1, 255, "file_name", 9);
    std::string bytes = snapshot_bytes();
    EXPECT_EQ(bytes, le_header(51, 1, 255, "file_name") + file_name);

    set_byte_order_for_testing(std::endian::big);
    open_snapshot("big.mat");
    savest(snapshot_unit, file_name.data(), 1, 1, 255, "file_name", 9);
    EXPECT_EQ(snapshot_bytes("big.mat").substr(0, 4), be32(1051));
}

TEST_F(MatrixWriters, BigEndianHostReversesEveryWordAndElement) {
    const double d[2] = {1.5, -2.0};
    set_byte_order_for_testing(std::endian::big);
    open_snapshot();
    savemt(snapshot_unit, d, 1, 1, 2, "xy", 2);
    std::string expected = be32(1000) + be32(1) + be32(2) + be32(0) + be32(3) + "xy" + std::string(1, '\0');
    for (double v : d) {
        std::string little = le64(v);
        expected += std::string(little.rbegin(), little.rend());
    }
    EXPECT_EQ(snapshot_bytes(), expected);
}

TEST_F(MatrixWriters, RowsBeyondTheLeadingDimensionEndTheRun) {
    std::int32_t matrix[12] = {};
    double doubles[12] = {};
    char text[12] = {};
    struct Case {
        std::function<void()> write;
        std::string report_line;
        std::string header;
    };
    const Case cases[] = {
        {[&] { saveit(snapshot_unit, matrix, 3, 4, 2, "m", 1); }, "Subscript number 1 has value 4 in array 'MATRIX'",
         le_header(20, 4, 2, "m")},
        {[&] { savemt(snapshot_unit, doubles, 5, 6, 1, "dd", 2); }, "Subscript number 1 has value 6 in array 'MATRIX'",
         le_header(0, 6, 1, "dd")},
        {[&] { savest(snapshot_unit, text, 1, 2, 3, "s", 1); }, "Subscript number 1 has value 2 in array 'STRING'",
         le_header(51, 2, 3, "s")},
    };
    for (const Case& c : cases) {
        open_snapshot();
        std::string report = abnormal_end_report(c.write);
        EXPECT_NE(report.find(c.report_line), std::string::npos) << report;
        // The header, name and NUL are in the file, no element is.
        EXPECT_EQ(snapshot_bytes(), c.header);
    }
}

TEST_F(MatrixWriters, UnconnectedUnitGivesOneLineForItsRefusedBytesAndTheRunGoesOn) {
    const std::int32_t geo_flag = 1;
    saveit(11, &geo_flag, 1, 1, 1, "geo_flag", 8);
    EXPECT_TRUE(byte_output_failed());
    EXPECT_EQ(error_lines(), std::vector<std::string>(1, error_line));

    const char text[3] = {'a', 'b', 'c'};
    savest(-10, text, 1, 1, 3, "t", 1);  // a negative unit is refused as well
    saveit(11, &geo_flag, 1, 1, 1, "geo_flag", 8);
    EXPECT_TRUE(error_lines().empty()) << "still the same run of refused bytes";

    // A unit opened afterwards takes the bytes again.
    open_snapshot();
    EXPECT_FALSE(byte_output_failed());
    saveit(snapshot_unit, &geo_flag, 1, 1, 1, "geo_flag", 8);
    EXPECT_EQ(snapshot_bytes(), geo_flag_little_endian);
    EXPECT_TRUE(error_lines().empty());
}

TEST_F(MatrixWriters, ClosedUnitRefusesEveryByte) {
    open_snapshot();
    close_byte_output(snapshot_unit);
    const double value = 2.0;
    savemt(snapshot_unit, &value, 1, 1, 1, "e_t_c", 5);
    EXPECT_EQ(error_lines(), std::vector<std::string>(1, error_line));
    EXPECT_EQ(read_file(dir_ / "out.mat"), "");
}

}  // namespace
}  // namespace vorn::test
