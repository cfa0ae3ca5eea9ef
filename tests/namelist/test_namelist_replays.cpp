// Replays of the fuzzer's seed corpus (tests/fuzz/corpus) and of the shipped
// configurations through the reads that the fuzzer makes (fuzz/config_reads.hpp),
// in the normal and the sanitizer builds: each file is read in full or ends
// abnormally as listed, never leaves an exception flag raised and never stores
// past an item.  A file added to the corpus must be listed here.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "fuzz/config_reads.hpp"
#include "support/test_support.hpp"

namespace {

namespace fs = std::filesystem;
using vorn::config_reads::Outcome;

// Whether each file of the seed corpus ends the reads abnormally.
const std::map<std::string, bool> corpus_ends_abnormally = {
    {"bad_integer", true},
    {"bad_item_character", true},
    {"bad_real", true},
    {"bad_subscripts", true},
    {"comments_and_limits", false},
    {"crlf_tabs_infinity_nan_no_final_newline", false},
    {"group_without_end", true},
    // GR_N_CONTROL above the knot capacity: the subscript report of the tables.
    {"knot_count_beyond_capacity", true},
    // No knots: the tables' s range is taken from element 0.
    {"last_elements_without_knots", true},
    {"logical_complex_character", true},
    {"null_values", true},
    {"reverse_order_and_forms", false},
    {"single_knot", false},
    {"too_many_values", true},
    {"unknown_name", true},
};

class CorpusReplay : public ::testing::Test {
protected:
    void SetUp() override {
        // A folder of each test's own: ctest runs the tests side by side.
        dir_ = vorn::test::scratch_dir(std::string("namelist_replays_") +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
        home_ = fs::current_path();
    }
    void TearDown() override { fs::current_path(home_); }

    // The reads of `file` copied to "master_nml"; no read may crash.
    Outcome replay(const fs::path& file) {
        fs::copy_file(file, dir_ / "master_nml", fs::copy_options::overwrite_existing);
        fs::current_path(dir_);
        const Outcome outcome = vorn::config_reads::read_config_groups();
        fs::current_path(home_);
        EXPECT_FALSE(outcome.crashed) << file << "\n" << outcome.report;
        return outcome;
    }

    fs::path dir_;
    fs::path home_;
};

std::vector<fs::path> files_in(const fs::path& folder) {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(folder))
        if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

TEST_F(CorpusReplay, EachSeedEndsAsListedWithoutFlagsOrStoresPastItems) {
    const std::vector<fs::path> files = files_in(fs::path(VORN_SOURCE_DIR) / "tests" / "fuzz" / "corpus");
    ASSERT_EQ(files.size(), corpus_ends_abnormally.size());
    for (const fs::path& file : files) {
        const std::string name = file.filename().string();
        const auto expected = corpus_ends_abnormally.find(name);
        ASSERT_NE(expected, corpus_ends_abnormally.end()) << name << " is not listed";
        const Outcome outcome = replay(file);
        EXPECT_EQ(outcome.ended_abnormally, expected->second) << name;
        EXPECT_FALSE(outcome.flags_left) << name;
        EXPECT_FALSE(outcome.stored_past_items) << name;
    }
}

TEST_F(CorpusReplay, TheShippedConfigurationsAreReadInFull) {
    std::vector<fs::path> files = files_in(fs::path(VORN_SOURCE_DIR) / "tests" / "configs");
    files.push_back(fs::path(VORN_SOURCE_DIR) / "examples" / "master_nml");
    for (const fs::path& file : files) {
        const Outcome outcome = replay(file);
        EXPECT_FALSE(outcome.ended_abnormally) << file;
        EXPECT_FALSE(outcome.flags_left) << file;
        EXPECT_FALSE(outcome.stored_past_items) << file;
    }
}

}  // namespace
