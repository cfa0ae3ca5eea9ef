// saveit_3d, savemt_3d and savehd: the companion and main records, the
// companion name's capacity, the extents checks and the element error texts.
#include <vector>

#include "support/snapshot_file_fixture.hpp"

namespace vorn::test {
namespace {

using ThreeDimensionalWriters = SnapshotFileTest;

constexpr int ld1 = 99;
constexpr int ld2 = 199;

// A 99 x 199 x 6 array whose element (k, j, l) tells its own indices.
template <class T>
std::vector<T> indexed_array() {
    std::vector<T> a(static_cast<std::size_t>(ld1) * ld2 * 6);
    for (int l = 1; l <= 6; ++l)
        for (int j = 1; j <= ld2; ++j)
            for (int k = 1; k <= ld1; ++k)
                a[((l - 1) * static_cast<std::size_t>(ld2) + (j - 1)) * ld1 + (k - 1)] =
                    static_cast<T>(10000 * l + 100 * j + k);
    return a;
}

TEST_F(ThreeDimensionalWriters, GrStatAsCompanionAndMainRecord) {
    const std::vector<std::int32_t> gr_stat = indexed_array<std::int32_t>();
    open_snapshot();
    saveit_3d(snapshot_unit, gr_stat.data(), ld1, ld2, 3, 4, 5, "gr_stat", 7);
    std::string bytes = snapshot_bytes();
    ASSERT_EQ(bytes.size(), 44u + 268u);

    EXPECT_EQ(bytes.substr(0, 44), le_header(20, 1, 3, "gr_stat_dim") + le32(3) + le32(4) + le32(5));
    std::string expected = le_header(20, 12, 5, "gr_stat");
    for (int l = 1; l <= 5; ++l)
        for (int j = 1; j <= 4; ++j)
            for (int k = 1; k <= 3; ++k) expected += le32(10000 * l + 100 * j + k);
    EXPECT_EQ(bytes.substr(44), expected);
    // First (1,1,1), (2,1,1), (3,1,1), (1,2,1); last (3,4,5).
    EXPECT_EQ(bytes.substr(44 + 28, 16), le32(10101) + le32(10102) + le32(10103) + le32(10201));
    EXPECT_EQ(bytes.substr(bytes.size() - 4), le32(50403));
}

TEST_F(ThreeDimensionalWriters, GrStatOnABigEndianHost) {
    const std::vector<std::int32_t> gr_stat = indexed_array<std::int32_t>();
    set_byte_order_for_testing(std::endian::big);
    open_snapshot();
    saveit_3d(snapshot_unit, gr_stat.data(), ld1, ld2, 3, 4, 5, "gr_stat", 7);
    std::string bytes = snapshot_bytes();
    ASSERT_EQ(bytes.size(), 44u + 268u);
    EXPECT_EQ(bytes.substr(0, 44), be32(1020) + be32(1) + be32(3) + be32(0) + be32(12) + "gr_stat_dim" +
                                       std::string(1, '\0') + be32(3) + be32(4) + be32(5));
    EXPECT_EQ(bytes.substr(44, 28), be32(1020) + be32(12) + be32(5) + be32(0) + be32(8) + "gr_stat" +
                                        std::string(1, '\0'));
    EXPECT_EQ(bytes.substr(72, 4), be32(10101));
}

TEST_F(ThreeDimensionalWriters, SavemtThreeDimensionalKeepsAnIntegerCompanion) {
    const std::vector<double> field = indexed_array<double>();
    open_snapshot();
    savemt_3d(snapshot_unit, field.data(), ld1, ld2, 3, 4, 5, "gr_stat", 7);
    std::string bytes = snapshot_bytes();
    ASSERT_EQ(bytes.size(), 44u + 28u + 480u);
    EXPECT_EQ(bytes.substr(0, 44), le_header(20, 1, 3, "gr_stat_dim") + le32(3) + le32(4) + le32(5));
    std::string expected = le_header(0, 12, 5, "gr_stat");
    for (int l = 1; l <= 5; ++l)
        for (int j = 1; j <= 4; ++j)
            for (int k = 1; k <= 3; ++k) expected += le64(10000.0 * l + 100.0 * j + k);
    EXPECT_EQ(bytes.substr(44), expected);
}

TEST_F(ThreeDimensionalWriters, NameLengthLimits) {
    const std::int32_t one[1] = {7};
    const std::string name(80, 'n');
    open_snapshot();
    saveit_3d(snapshot_unit, one, 1, 1, 1, 1, 1, name.data(), 76);
    saveit_3d(snapshot_unit, one, 1, 1, 1, 1, 1, "", 0);
    std::string bytes = snapshot_bytes();
    const std::string n76(76, 'n');
    EXPECT_EQ(bytes, le_header(20, 1, 3, n76 + "_dim") + le32(1) + le32(1) + le32(1) + le_header(20, 1, 1, n76) +
                         le32(7) + le_header(20, 1, 3, "_dim") + le32(1) + le32(1) + le32(1) + le_header(20, 1, 1, "") +
                         le32(7));

    // Too long for the 80-character companion name, or negative: nothing is written.
    for (auto [length, value] : {std::pair{77, 81}, std::pair{80, 81}, std::pair{120, 81}, std::pair{-3, -2}}) {
        open_snapshot();
        std::string report = abnormal_end_report(
            [&] { savemt_3d(snapshot_unit, nullptr, 1, 1, 1, 1, 1, std::string(200, 'x').data(), length); });
        EXPECT_NE(report.find("Subscript number 1 has value " + std::to_string(value) + " in array 'HEADER_NAME'"),
                  std::string::npos)
            << length << "\n" << report;
        EXPECT_EQ(snapshot_bytes(), "") << length;
    }
}

TEST_F(ThreeDimensionalWriters, ExtentsThatAreNotPositiveWriteNoElements) {
    open_snapshot();
    saveit_3d(snapshot_unit, nullptr, 0, 0, 3, 0, 5, "u", 1);
    // The 64-bit product 70000 x 70000 keeps its low 32 bits.
    savemt_3d(snapshot_unit, nullptr, 1, 1, 70000, 70000, -1, "v", 1);
    EXPECT_EQ(snapshot_bytes(), le_header(20, 1, 3, "u_dim") + le32(3) + le32(0) + le32(5) + le_header(20, 0, 5, "u") +
                                    le_header(20, 1, 3, "v_dim") + le32(70000) + le32(70000) + le32(-1) +
                                    le_header(0, 605032704, -1, "v"));
}

TEST_F(ThreeDimensionalWriters, ExtentsBeyondTheArrayEndTheRunAfterBothHeaders) {
    const std::vector<std::int32_t> gr_stat = indexed_array<std::int32_t>();
    struct Case {
        int e1, e2;
        std::string report_line;
    };
    for (const Case& c : {Case{ld1 + 1, 4, "Subscript number 1 has value 100 in array 'MATRIX'"},
                          Case{3, ld2 + 1, "Subscript number 2 has value 200 in array 'MATRIX'"},
                          Case{ld1 + 1, ld2 + 1, "Subscript number 2 has value 200 in array 'MATRIX'"}}) {
        open_snapshot();
        std::string report = abnormal_end_report(
            [&] { saveit_3d(snapshot_unit, gr_stat.data(), ld1, ld2, c.e1, c.e2, 5, "gr_stat", 7); });
        EXPECT_NE(report.find(c.report_line), std::string::npos) << report;
        EXPECT_EQ(snapshot_bytes(), le_header(20, 1, 3, "gr_stat_dim") + le32(c.e1) + le32(c.e2) + le32(5) +
                                        le_header(20, c.e1 * c.e2, 5, "gr_stat"));
    }
}

TEST_F(ThreeDimensionalWriters, FailedElementBytesNameTheWriter) {
    const std::vector<std::int32_t> ints = indexed_array<std::int32_t>();
    const std::vector<double> doubles = indexed_array<double>();
    // One line for each run of refused bytes with the same text: the companion
    // record and the main header, then the main record's elements.
    const std::string saveit_3d_line = " saveit_3d:Error in writing the output file.";
    const std::string savemt_3d_line = " savemt_3d:Error in writing the output file.";
    saveit_3d(11, ints.data(), ld1, ld2, 3, 4, 5, "gr_stat", 7);
    EXPECT_EQ(error_lines(), (std::vector<std::string>{error_line, saveit_3d_line}));

    savemt_3d(11, doubles.data(), ld1, ld2, 3, 4, 5, "gr_stat", 7);
    saveit_3d(11, ints.data(), ld1, ld2, 3, 4, 5, "gr_stat", 7);
    EXPECT_EQ(error_lines(), (std::vector<std::string>{error_line, savemt_3d_line, error_line, saveit_3d_line}));
}

TEST_F(ThreeDimensionalWriters, SavehdLeavesTheRecordOpenForTheCallersElements) {
    open_snapshot();
    savehd(snapshot_unit, 24, 2, "agrid", 5, 0, 0);
    close_byte_output(snapshot_unit);
    EXPECT_EQ(read_file(dir_ / "out.mat"), le_header(0, 24, 2, "agrid"));
    EXPECT_EQ(read_file(dir_ / "out.mat").size(), 26u);

    open_snapshot();
    savehd(snapshot_unit, 24, 2, "agrid", 5, 0, 0);
    std::string expected = le_header(0, 24, 2, "agrid");
    for (int k = 1; k <= 48; ++k) {
        const double corner = 1000.0 * k;
        ASSERT_EQ(write_bytes(snapshot_unit, &corner, sizeof corner), 0);
        expected += le64(corner);
    }
    savehd(snapshot_unit, 3, 1, "next", 4, 2, 0);
    EXPECT_EQ(snapshot_bytes(), expected + le_header(20, 3, 1, "next"));
}

TEST_F(ThreeDimensionalWriters, SavehdUsesTheDigitsUnchanged) {
    set_byte_order_for_testing(std::endian::big);
    open_snapshot();
    savehd(snapshot_unit, 24, 2, "agrid", 5, 0, 0);
    savehd(snapshot_unit, 1, 1, "i", 1, 2, 0);
    savehd(snapshot_unit, 1, 1, "odd", 3, 9, 7);
    std::string bytes = snapshot_bytes();
    EXPECT_EQ(bytes.substr(0, 4), be32(1000));
    EXPECT_EQ(bytes.substr(26, 4), be32(1020));
    EXPECT_EQ(bytes.substr(26 + 22, 4), be32(1097));

    savehd(12, 24, 2, "agrid", 5, 0, 0);
    EXPECT_EQ(error_lines(), std::vector<std::string>(1, error_line));
}

}  // namespace
}  // namespace vorn::test
