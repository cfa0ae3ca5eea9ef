// The whole program writing "vorn_geometry.mat": the file read back record by
// record and with scipy against the records of the same configuration, and
// the files that cannot be written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "geometry/records.hpp"
#include "snapshot/geometry_section_expected.hpp"
#include "snapshot/mat_file_walk.hpp"
#include "support/geometry_setup.hpp"
#include "support/test_support.hpp"

namespace vorn::test {
namespace {

namespace fs = std::filesystem;

const std::string writing_line = " Writing using file vorn_geometry.mat\n";

bool ends_with(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// The configurations of the end-to-end runs: the shipped example, this
// area's own and those of tests/configs.
std::vector<std::string> run_configs() {
    std::vector<std::string> shared;
    const fs::path folder = fs::path(VORN_SOURCE_DIR) / "tests" / "configs";
    if (fs::is_directory(folder))
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".nml") shared.push_back("configs/" + entry.path().stem().string());
    std::sort(shared.begin(), shared.end());
    std::vector<std::string> names = {"example", "full_circle", "regional_eccentric", "polar"};
    names.insert(names.end(), shared.begin(), shared.end());
    return names;
}

std::string config_text(const std::string& name) {
    if (name == "example") return example_config();
    if (name.starts_with("configs/")) return test_config(name.substr(8));
    return snapshot_config(name);
}

std::string test_name(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

std::string printed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// What check_snapshot.py compares: every variable's class and shape, and of
// each the first, a middle and the last element, exactly, as this reader sees
// them; two columns of "agrid" from the faces, to 1 mm.
void write_expectations(const fs::path& path, const MatFileWalk& file) {
    std::ofstream out(path);
    const std::vector<std::string> preamble = {"e_t_c",   "p_ut",     "p_sod",    "geo_flag",   "ph_flag",
                                               "eq_flag", "st_flag", "cov_flag", "co_st_flag", "innov_flag"};
    for (std::size_t k = 0; k < preamble.size(); ++k) {
        out << "var " << preamble[k] << (k < 3 ? " float64" : " int32") << " 1 1\n";
        out << "val " << preamble[k] << " 1 1 " << (preamble[k] == "geo_flag" ? 1 : 0) << " 0\n";
    }
    write_reader_view(out, file, preamble.size(), geometry_variables);
    for (int voxel : {1, cmn_g_voxel.g_v_dimension})
        for (int k = 1; k <= 8; ++k) {
            const Point g = geographic_of(corner_from_faces(voxel, k));
            const double xyz[3] = {g.x, g.y, g.z};
            for (int c = 0; c < 3; ++c)
                out << "val agrid " << 3 * (k - 1) + c + 1 << " " << voxel << " " << printed(xyz[c]) << " 1e-3\n";
        }
}

class SnapshotRun : public ::testing::TestWithParam<std::string> {
protected:
    // Runs the program on the configuration in a scratch folder of its own and
    // builds the same records in this process. False when the configuration
    // stops the run, which must then leave no snapshot behind.
    bool run_and_build(const std::string& purpose) {
        const std::string config = config_text(GetParam());
        dir_ = scratch_dir(purpose + "_" + test_name({GetParam(), 0}));
        write_file(dir_ / "master_nml", config);
        run_ = run_program(dir_);
        if (run_.exit_status != 0) {
            EXPECT_FALSE(fs::exists(dir_ / "vorn_geometry.mat")) << "exit status " << run_.exit_status;
            EXPECT_FALSE(ends_with(run_.out, writing_line));
            return false;
        }
        // Built inside the run's own folder so that parallel tests do not
        // share a scratch folder.
        const fs::path home = fs::current_path();
        fs::current_path(dir_);
        build_geometry(config, BuildStep::voxels);
        fs::current_path(home);
        return true;
    }
    fs::path dir_;
    RunResult run_;
};

TEST_P(SnapshotRun, FileHoldsTheGeometryOfTheRun) {
    if (!run_and_build("snapshot_run")) return;
    EXPECT_TRUE(ends_with(run_.out, writing_line));
    EXPECT_EQ(read_file(dir_ / "master_error"), "");
    const MatFileWalk file = walk_mat_file(read_file(dir_ / "vorn_geometry.mat"));
    ASSERT_EQ(file.problem, "");
    ASSERT_EQ(file.records.size(), 152u);
    expect_geometry_section(file, 10);
    expect_built_voxel_variables(file, 10);
    expect_agrid_corners(file);
}

// The same file as scipy.io.loadmat reads it, on its own so that a failing
// reader names itself and leaves the program's own checks standing.
TEST_P(SnapshotRun, ScipyReadsTheGeometryOfTheRun) {
    if (!run_and_build("snapshot_scipy")) return;
    const MatFileWalk file = walk_mat_file(read_file(dir_ / "vorn_geometry.mat"));
    ASSERT_EQ(file.problem, "");
    write_file(dir_ / "report.txt", run_.out);
    write_expectations(dir_ / "expected.txt", file);
    const RunResult scipy = run_command(dir_, {"/usr/bin/python3", VORN_SOURCE_DIR "/tests/snapshot/check_snapshot.py",
                                                   "vorn_geometry.mat", "expected.txt", "report.txt"});
    EXPECT_EQ(scipy.exit_status, 0) << scipy.out << scipy.err;
}

INSTANTIATE_TEST_SUITE_P(Configs, SnapshotRun, ::testing::ValuesIn(run_configs()), test_name);

class SnapshotFile : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = scratch_dir(std::string("snapshot_file_") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        write_file(dir_ / "master_nml", snapshot_config("regional_eccentric"));
    }
    fs::path dir_;
};

TEST_F(SnapshotFile, OlderLongerFileLeavesNoTrailingBytes) {
    const RunResult fresh = run_program(dir_);
    ASSERT_EQ(fresh.exit_status, 0);
    const std::string written = read_file(dir_ / "vorn_geometry.mat");
    write_file(dir_ / "vorn_geometry.mat", std::string(3 * written.size(), 'x'));

    const RunResult again = run_program(dir_);
    ASSERT_EQ(again.exit_status, 0);
    EXPECT_EQ(read_file(dir_ / "vorn_geometry.mat"), written);
}

TEST_F(SnapshotFile, FileThatCannotBeWrittenEndsWithStatusOne) {
    fs::create_symlink("/dev/full", dir_ / "vorn_geometry.mat");
    // Old text of the error file, longer than what this run writes there, is
    // gone once the first error line is written.
    write_file(dir_ / "master_error", std::string(200000, 'o') + "\nold line\n");
    const RunResult run = run_program(dir_);
    EXPECT_EQ(run.signal, 0);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_TRUE(ends_with(run.out, writing_line));
    // The orderly end still writes its note.
    EXPECT_NE(run.err.find("IEEE floating-point exception traps enabled"), std::string::npos) << run.err;
    const std::string errors = read_file(dir_ / "master_error");
    ASSERT_FALSE(errors.empty());
    ASSERT_TRUE(ends_with(errors, "\n"));
    std::size_t start = 0;
    while (start < errors.size()) {
        const std::size_t end = errors.find('\n', start);
        ASSERT_EQ(errors.substr(start, end - start), " Error in writing the output file.");
        start = end + 1;
    }
}

TEST_F(SnapshotFile, DirectoryOfThatNameIsAnAbnormalEnd) {
    fs::create_directory(dir_ / "vorn_geometry.mat");
    const RunResult run = run_program(dir_);
    EXPECT_EQ(run.signal, SIGABRT);
    EXPECT_TRUE(ends_with(run.out, writing_line));
    EXPECT_NE(run.err.find(" Location:  the OPEN statement at line "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" Unit:  10\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find(" File:  vorn_geometry.mat\n"), std::string::npos) << run.err;
}

TEST_F(SnapshotFile, FatalConfigurationStopLeavesAnExistingFileUntouched) {
    // A radial step this fine asks for more p lines than the grid holds.
    std::string config = snapshot_config("regional_eccentric");
    const std::string step = "GR_I_DGALT_EQALT600 = 100000.0";
    config.replace(config.find(step), step.size(), "GR_I_DGALT_EQALT600 = 1000.0");
    write_file(dir_ / "master_nml", config);
    write_file(dir_ / "vorn_geometry.mat", "an older snapshot");

    const RunResult run = run_program(dir_);
    EXPECT_EQ(run.exit_status, 1);
    EXPECT_NE(run.out.find(" Error in init_geometry: p grid size too large"), std::string::npos) << run.out;
    EXPECT_EQ(run.out.find("Writing using file"), std::string::npos);
    EXPECT_EQ(read_file(dir_ / "vorn_geometry.mat"), "an older snapshot");
}

}  // namespace
}  // namespace vorn::test
