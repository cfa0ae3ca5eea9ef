// The built program in a scratch folder: the opening of its files, the reads
// of the configuration groups and the ends of the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "support/test_support.hpp"

namespace {

namespace fs = std::filesystem;
using vorn::test::read_file;
using vorn::test::RunResult;
using vorn::test::run_program;
using vorn::test::scratch_dir;
using vorn::test::write_file;

// Standard error of an abnormal end with its free parts replaced: the banner
// line by "<banner>", the source line of the location by "<l>".
std::string report_of(const RunResult& run) {
    std::string report;
    std::size_t start = 0;
    for (int n = 0; start < run.err.size(); ++n) {
        std::size_t end = run.err.find('\n', start);
        if (end == std::string::npos) break;
        std::string line = run.err.substr(start, end - start);
        start = end + 1;
        if (n == 1 && line.starts_with("****** ") && line.ends_with(" ******")) line = "<banner>";
        constexpr std::string_view at_line = " statement at line ";
        std::size_t digits = line.find(at_line);
        if (line.starts_with(" Location:  the ") && digits != std::string::npos) {
            digits += at_line.size();
            line.replace(digits, line.find_first_not_of("0123456789", digits) - digits, "<l>");
        }
        report += line + "\n";
    }
    return report;
}

// The report of a failed statement on unit 1 at `location`.
std::string unit_1_report(std::string_view error_line, std::string_view location,
                          std::string_view input_lines = {}) {
    return "\n<banner>\n" + std::string(error_line) + "\n Location:  the " + std::string(location) +
           "\n Unit:  1\n File:  master_nml\n" + std::string(input_lines);
}

void expect_abnormal_end(const RunResult& run, const std::string& report) {
    EXPECT_EQ(run.signal, SIGABRT);
    EXPECT_EQ(report_of(run), report) << run.err;
}

// The first group, for runs that must stop at the read of the second.
const std::string io_flags = "&NML_IO_FLAGS IO_GEOMETRY_FLAG = 1 /\n";
const std::string read_in_init_geometry = "READ statement at line <l> of \"init_geometry.cpp\"";

TEST(RunOrder, WithoutMasterNmlTheOpeningFailsWith1018AndNoErrorFileIsCreated) {
    fs::path dir = scratch_dir("run_no_master_nml");
    RunResult run = run_program(dir);
    expect_abnormal_end(run, unit_1_report(" Error 1018:  can't find 'old' file",
                                           "OPEN statement at line <l> of \"main.cpp\""));
    EXPECT_EQ(run.out, "");
    EXPECT_FALSE(fs::exists(dir / "master_error"));
}

TEST(RunOrder, AnEmptyFileEndsAtTheReadOfNmlIoFlags) {
    fs::path dir = scratch_dir("run_empty_master_nml");
    write_file(dir / "master_nml", "");
    RunResult run = run_program(dir);
    expect_abnormal_end(run, unit_1_report(" End-of-file:  -1", "READ statement at line <l> of \"main.cpp\""));
    EXPECT_EQ(run.out, "");
    EXPECT_TRUE(fs::exists(dir / "master_error"));
    EXPECT_EQ(read_file(dir / "master_error"), "");
}

TEST(RunOrder, AFileWithoutNmlGrInputEndsAtItsReadInInitGeometry) {
    fs::path dir = scratch_dir("run_without_gr_input");
    write_file(dir / "master_nml", io_flags + "&NML_GR_INPUTX GR_I_DMLON = 5.0 /\n");
    expect_abnormal_end(run_program(dir), unit_1_report(" End-of-file:  -1", read_in_init_geometry));
}

TEST(RunOrder, AMisspelledItemEndsTheRunWithError1092) {
    fs::path dir = scratch_dir("run_misspelled_item");
    write_file(dir / "master_nml", io_flags + "&NML_GR_INPUT\n GR_I_DMLOM = 5.0\n/\n");
    expect_abnormal_end(run_program(dir), unit_1_report(" Error 1092:  variable not in NAMELIST group",
                                                        read_in_init_geometry));
}

TEST(RunOrder, ABadRealEndsTheRunWithError1084AndMarksTheCharacter) {
    fs::path dir = scratch_dir("run_bad_real");
    write_file(dir / "master_nml", io_flags + "&NML_GR_INPUT\n  GR_I_DMLON = 5.0x\n/\n");
    expect_abnormal_end(run_program(dir), unit_1_report(" Error 1084:  unexpected character in real value",
                                                        read_in_init_geometry,
                                                        " Input:    GR_I_DMLON = 5.0x\n"
                                                        "                           ^\n"));
}

// --- Complete runs on the shipped example -----------------------------------

// The lines of `config` from the one that opens `group` to the one that ends it.
std::string group_text(const std::string& config, std::string_view group) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < config.size()) {
        std::size_t end = config.find('\n', start);
        if (end == std::string::npos) end = config.size();
        lines.push_back(config.substr(start, end - start));
        start = end + 1;
    }
    auto opens_group = [&](std::string_view line) {
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || (line[first] != '&' && line[first] != '$')) return false;
        std::string_view rest = line.substr(first + 1);
        if (rest.size() < group.size()) return false;
        for (std::size_t i = 0; i < group.size(); ++i)
            if (std::toupper(static_cast<unsigned char>(rest[i])) != group[i]) return false;
        return rest.size() == group.size() ||
               !(std::isalnum(static_cast<unsigned char>(rest[group.size()])) || rest[group.size()] == '_');
    };
    std::string text;
    bool inside = false;
    for (const std::string& line : lines) {
        if (!inside && !opens_group(line)) continue;
        inside = true;
        text += line + "\n";
        std::string_view code = std::string_view(line).substr(0, line.find('!'));
        if (code.find('/') != std::string_view::npos) return text;
    }
    ADD_FAILURE() << "no complete group " << group << " in the example";
    return text;
}

TEST(RunOrder, AnOrderlyEndWritesTheThreeLineNoteAndExitsWithZero) {
    fs::path dir = scratch_dir("run_orderly_end");
    write_file(dir / "master_nml", vorn::test::example_config());
    RunResult run = run_program(dir);
    EXPECT_EQ(run.exit_status, 0);
    EXPECT_EQ(run.signal, 0);
    // The three lines of the note; the last one, the pointer to the
    // documentation, has its own wording.
    const std::string traps = " Note: IEEE floating-point exception traps enabled: \n"
                              "    overflow;  division by zero;  invalid operation; \n";
    EXPECT_TRUE(run.err.starts_with(traps)) << run.err;
    std::string_view documentation = std::string_view(run.err).substr(std::min(traps.size(), run.err.size()));
    EXPECT_TRUE(documentation.size() > 2 && documentation.starts_with(" ") && documentation.ends_with("\n") &&
                documentation.find('\n') == documentation.size() - 1)
        << run.err;
    // Nothing follows the snapshot driver's line.
    ASSERT_GE(run.out.size(), 2u);
    std::size_t last_line = run.out.rfind('\n', run.out.size() - 2);
    EXPECT_EQ(run.out.substr(last_line + 1), " Writing using file vorn_geometry.mat\n");
    EXPECT_TRUE(fs::exists(dir / "vorn_geometry.mat"));
    EXPECT_EQ(read_file(dir / "master_error"), "");
}

TEST(RunOrder, GroupsInReverseOrderAreReadTheSame) {
    const std::string config = vorn::test::example_config();
    fs::path in_order = scratch_dir("run_groups_in_order");
    fs::path reversed = scratch_dir("run_groups_reversed");
    write_file(in_order / "master_nml", config);
    write_file(reversed / "master_nml", "Groups in reverse order, between free text.\n" +
                                            group_text(config, "NML_GR_P_TRANS") + "\n" +
                                            group_text(config, "NML_GR_INPUT") + "text between groups\n" +
                                            group_text(config, "NML_IO_FLAGS"));
    RunResult first = run_program(in_order);
    RunResult second = run_program(reversed);
    ASSERT_EQ(first.exit_status, 0) << first.err;
    EXPECT_EQ(second.exit_status, 0) << second.err;
    EXPECT_EQ(second.err, first.err);
    EXPECT_TRUE(second.out == first.out) << "the reports differ";
    EXPECT_TRUE(read_file(reversed / "vorn_geometry.mat") == read_file(in_order / "vorn_geometry.mat"))
        << "the snapshots differ";
}

TEST(RunOrder, AnExistingMasterErrorKeepsItsTextWhenTheRunWritesNothingThere) {
    fs::path dir = scratch_dir("run_keeps_master_error");
    write_file(dir / "master_nml", vorn::test::example_config());
    const std::string old_text = "error lines of an earlier run\nthat must stay\n";
    write_file(dir / "master_error", old_text);
    RunResult run = run_program(dir);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(read_file(dir / "master_error"), old_text);
}

}  // namespace
