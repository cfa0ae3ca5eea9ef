// The snapshot driver: description and flags, the default file name, the
// preamble and the opening of the file.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "snapshot/snapshot_fixture.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

const std::vector<std::string> preamble_names = {"e_t_c",   "p_ut",     "p_sod",      "geo_flag",  "ph_flag",
                                                 "eq_flag", "st_flag",  "cov_flag",   "co_st_flag", "innov_flag"};

std::string trimmed(const FileName& name) {
    std::string text(name.begin(), name.end());
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// Seconds from 2000-01-01 12:00:00 to 10000-01-01 12:00:00: 20 Gregorian
// cycles of 146097 days.
constexpr double year_10000 = 20.0 * 146097.0 * 86400.0;

TEST(TimestampFilename, LabelDateAndTimeOfDayBlankPadded) {
    const FileName name = timestamp_filename("vorn_state_pql", 0.0);
    EXPECT_EQ(std::string(name.begin(), name.end()),
              "vorn_state_pql_20000101_120000.mat" + std::string(255 - 34, ' '));
    EXPECT_EQ(trimmed(timestamp_filename("vorn_state_pql", 1.0e9)), "vorn_state_pql_20310909_134640.mat");
    EXPECT_EQ(trimmed(timestamp_filename("vorn_state_pql", -1.0e9)), "vorn_state_pql_19680424_101320.mat");
    EXPECT_EQ(trimmed(timestamp_filename("vorn_state_pql", 3600.5)), "vorn_state_pql_20000101_130000.mat");
}

TEST(TimestampFilename, LabelLosesTrailingBlanksAndNuls) {
    EXPECT_EQ(trimmed(timestamp_filename(std::string_view("run  \0 ", 7), 43200.0)), "run_20000102_000000.mat");
    EXPECT_EQ(trimmed(timestamp_filename("", 0.0)), "_20000101_120000.mat");
}

TEST(TimestampFilename, YearBeyondFourDigitsIsAsterisks) {
    EXPECT_EQ(trimmed(timestamp_filename("vorn_state_pql", year_10000)), "vorn_state_pql_****0101_120000.mat");
    EXPECT_EQ(trimmed(timestamp_filename("vorn_state_pql", year_10000 - 86400.0)),
              "vorn_state_pql_99991231_120000.mat");
}

using InitSnapShot = SnapshotTest;

TEST_F(InitSnapShot, CountIsCutToTwentyCharacters) {
    const std::int32_t none[7] = {};
    init_snap_shot("abcdefghijklmnopqrstuvwxy", 25, none);
    EXPECT_EQ(cmn_snap_shot.snap_shot_spec_len, 20);
    EXPECT_EQ(std::string(cmn_snap_shot.snap_shot_spec.data(), 20), "abcdefghijklmnopqrst");

    init_snap_shot("geometry  ", 8, none);
    EXPECT_EQ(cmn_snap_shot.snap_shot_spec_len, 8);
    EXPECT_EQ(std::string(cmn_snap_shot.snap_shot_spec.data(), 20), "geometryijklmnopqrst");
}

TEST_F(InitSnapShot, CountOfZeroOrBelowIsKeptAndCopiesNothing) {
    const std::int32_t none[7] = {};
    init_snap_shot("geometry", 8, none);
    init_snap_shot("XXXXXXXX", 0, none);
    EXPECT_EQ(cmn_snap_shot.snap_shot_spec_len, 0);
    init_snap_shot("XXXXXXXX", -3, none);
    EXPECT_EQ(cmn_snap_shot.snap_shot_spec_len, -3);
    EXPECT_EQ(std::string(cmn_snap_shot.snap_shot_spec.data(), 8), "geometry");
}

TEST_F(InitSnapShot, EachArgumentSetsItsOwnFlag) {
    // Argument order geo, ph, eq, st, cov, co_st, innov.
    const std::int32_t* const fields[7] = {&cmn_snap_shot.geo_flag, &cmn_snap_shot.ph_flag,
                                           &cmn_snap_shot.eq_flag,  &cmn_snap_shot.st_flag,
                                           &cmn_snap_shot.cov_flag, &cmn_snap_shot.co_st_flag,
                                           &cmn_snap_shot.innov_flag};
    for (int k = 0; k < 7; ++k) {
        std::int32_t flags[7] = {};
        flags[k] = 1;
        init_snap_shot("x", 1, flags);
        for (int j = 0; j < 7; ++j) EXPECT_EQ(*fields[j], j == k ? 1 : 0) << "argument " << k << ", flag " << j;
    }
}

TEST_F(InitSnapShot, OnlyExactlyOneSwitchesOnAndEveryCallReplacesAllFlags) {
    const std::int32_t all[7] = {1, 1, 1, 1, 1, 1, 1};
    init_snap_shot("x", 1, all);
    const std::int32_t odd[7] = {2, -1, 1, 0, 2, -1, 1};
    init_snap_shot("x", 1, odd);
    const CmnSnapShot& s = cmn_snap_shot;
    EXPECT_EQ(s.geo_flag, 0);
    EXPECT_EQ(s.ph_flag, 0);
    EXPECT_EQ(s.eq_flag, 1);
    EXPECT_EQ(s.st_flag, 0);
    EXPECT_EQ(s.cov_flag, 0);
    EXPECT_EQ(s.co_st_flag, 0);
    EXPECT_EQ(s.innov_flag, 1);
}

using SnapShot = SnapshotTest;

TEST_F(SnapShot, WithoutInitTheFileIsThePreambleAlone) {
    const std::string out = take_snapshot("plain.mat");
    EXPECT_EQ(out, " Writing using file plain.mat\n");
    const MatFileWalk file = walk("plain.mat");
    ASSERT_EQ(file.problem, "");
    EXPECT_EQ(file.names(), preamble_names);
}

TEST_F(SnapShot, PreambleHoldsTimesAndFlags) {
    e_equation.e_t_c = 5.25;
    cmn_physics_input.pi_begin_utc = 1.0e9 - 100.0;
    cmn_physics_input.p_sod = 100.0;
    const std::int32_t flags[7] = {0, 0, 0, 0, 1, 0, 0};  // cov_flag alone selects no section
    const std::string out = take_snapshot("", flags);
    const std::string name = "vorn_state_pql_20310909_134640.mat";
    EXPECT_EQ(out, " Writing using file " + name + "\n");

    const MatFileWalk file = walk(name);
    ASSERT_EQ(file.problem, "");
    ASSERT_EQ(file.names(), preamble_names);
    const double times[3] = {5.25, 1.0e9, 100.0};
    for (int k = 0; k < 10; ++k) {
        const MatRecord& r = file.records[static_cast<std::size_t>(k)];
        EXPECT_EQ(r.type, k < 3 ? 0 : 20) << r.name;
        EXPECT_EQ(r.mrows, 1);
        EXPECT_EQ(r.ncols, 1);
        if (k < 3) EXPECT_EQ(file.float64_at(r, 0), times[k]) << r.name;
        else EXPECT_EQ(file.int32_at(r, 0), r.name == "cov_flag" ? 1 : 0) << r.name;
    }
}

TEST_F(SnapShot, PreambleListsTheFlagsInArgumentOrder) {
    // Values other than 1 call no section, so each field can carry its own mark.
    CmnSnapShot& s = cmn_snap_shot;
    s.geo_flag = 2;
    s.ph_flag = 3;
    s.eq_flag = 4;
    s.st_flag = 5;
    s.cov_flag = 6;
    s.co_st_flag = 7;
    s.innov_flag = 8;
    take_snapshot("marks.mat");
    const MatFileWalk file = walk("marks.mat");
    ASSERT_EQ(file.records.size(), 10u);
    for (int k = 0; k < 7; ++k) EXPECT_EQ(file.int32_at(file.records[static_cast<std::size_t>(3 + k)], 0), 2 + k);
}

TEST_F(SnapShot, UnusableNamesTakeTheDefault) {
    const std::string default_name = "vorn_state_pql_20000101_120000.mat";
    const std::string_view unusable[] = {"", "      ", std::string_view(" \0  \0", 5), "\tgiven.mat",
                                         std::string_view("\0given.mat", 10)};
    for (std::string_view name : unusable) {
        const std::string out = take_snapshot(name);
        EXPECT_EQ(out, " Writing using file " + default_name + "\n");
        ASSERT_TRUE(fs::exists(dir_ / default_name));
        EXPECT_EQ(walk(default_name).records.size(), 10u);
        fs::remove(dir_ / default_name);
        EXPECT_FALSE(fs::exists(dir_ / "given.mat"));
    }
}

TEST_F(SnapShot, DefaultNameOfAYearBeyond9999) {
    cmn_physics_input.pi_begin_utc = year_10000;
    take_snapshot(" ");
    EXPECT_TRUE(fs::exists(dir_ / "vorn_state_pql_****0101_120000.mat"));
}

TEST_F(SnapShot, GivenNameIsUsedWholeWithItsLeadingBlanks) {
    EXPECT_EQ(take_snapshot(" lead.mat"), " Writing using file  lead.mat\n");
    EXPECT_TRUE(fs::exists(dir_ / " lead.mat"));
    EXPECT_FALSE(fs::exists(dir_ / "lead.mat"));

    EXPECT_EQ(take_snapshot("trail.mat   "), " Writing using file trail.mat\n");
    EXPECT_TRUE(fs::exists(dir_ / "trail.mat"));

    const std::string long_name(300, 'n');
    take_snapshot(long_name);
    EXPECT_TRUE(fs::exists(dir_ / long_name.substr(0, 255)));
}

TEST_F(SnapShot, OlderLongerFileLeavesNoTrailingBytes) {
    write_file(dir_ / "old.mat", std::string(100000, 'x'));
    take_snapshot("old.mat");
    const MatFileWalk file = walk("old.mat");
    EXPECT_EQ(file.problem, "");
    ASSERT_EQ(file.records.size(), 10u);
    EXPECT_EQ(file.records.back().end(), file.bytes.size());
    EXPECT_TRUE(snap_shot_written());
}

TEST_F(SnapShot, EveryCallWritesTheWholeFileAgain) {
    cmn_physics_input.p_sod = 1.5;
    take_snapshot("again.mat");
    const std::string first = read_file(dir_ / "again.mat");
    take_snapshot("again.mat");
    EXPECT_EQ(read_file(dir_ / "again.mat"), first);
}

TEST_F(SnapShot, FileThatCannotBeWrittenReportsErrorLinesAndFailure) {
    fs::create_symlink("/dev/full", dir_ / "full.mat");
    take_snapshot("full.mat");
    EXPECT_FALSE(snap_shot_written());
    const std::vector<std::string> lines = error_lines();
    ASSERT_FALSE(lines.empty());
    for (const std::string& line : lines) EXPECT_EQ(line, error_line);

    take_snapshot("fine.mat");
    EXPECT_TRUE(snap_shot_written());
}

TEST_F(SnapShot, DirectoryOfThatNameIsAnAbnormalEndAtTheOpening) {
    fs::create_directory(dir_ / "folder.mat");
    const std::string report = abnormal_end_report([] { snap_shot("folder.mat"); });
    EXPECT_NE(report.find(" Location:  the OPEN statement at line "), std::string::npos) << report;
    EXPECT_NE(report.find("snapshot.cpp"), std::string::npos) << report;
    EXPECT_NE(report.find(" Unit:  10\n"), std::string::npos) << report;
    EXPECT_NE(report.find(" File:  folder.mat\n"), std::string::npos) << report;
}

}  // namespace
}  // namespace vorn::test
