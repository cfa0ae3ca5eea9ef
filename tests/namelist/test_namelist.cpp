// The namelist reader on small configuration files: syntax, values, arrays,
// and every error with its exact report.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <string>
#include <unistd.h>

#include "checked_array/checked_array.hpp"
#include "namelist/namelist.hpp"
#include "run_end/abnormal_end.hpp"
#include "run_end/floating_point.hpp"
#include "support/child_run.hpp"
#include "support/test_support.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"

namespace {

namespace fs = std::filesystem;
using vorn::NamelistItem;
using T = NamelistItem::Type;

// A record in the model's layout: scalars, a short array with a guard after
// it, and a 100-element array like the stretching knots.
struct Sample {
    std::int32_t n;
    double x;
    double a[5];
    double after_a;  // must never be written
    std::int32_t k[3];
    vorn::Array1<double, 100, "GR_CONTROL_ALT"> alt;
};
Sample sample;

const NamelistItem sample_items[] = {
    {"N", T::integer, &sample.n, 1},
    {"X", T::real, &sample.x, 1},
    {"A", T::real, sample.a, 5},
    {"K", T::integer, sample.k, 3},
    {"GR_CONTROL_ALT", T::real, sample.alt.data(), 100},
};

// The READ statement that the reports of these tests name.
const vorn::SourceLocation read_statement = vorn::SourceLocation::current();

// Runs the body in `dir` and comes back, however the body ends.
class InDirectory {
public:
    explicit InDirectory(const fs::path& dir) : saved_(fs::current_path()) { fs::current_path(dir); }
    ~InDirectory() { fs::current_path(saved_); }

private:
    fs::path saved_;
};

class NamelistTest : public ::testing::Test {
protected:
    void SetUp() override {
        sample = {};
        dir_ = vorn::test::scratch_dir(std::string("namelist_") +
                                          ::testing::UnitTest::GetInstance()->current_test_info()->name());
    }

    void write_config(std::string_view text) { vorn::test::write_file(dir_ / "master_nml", text); }

    // Reads `group` of the file written last, with the READ statement below.
    void read_config(std::string_view group = "NML_TEST") {
        InDirectory in(dir_);
        vorn::open_config_file();
        struct CloseOnExit {
            ~CloseOnExit() { vorn::close_unit(vorn::config_unit); }
        } close_on_exit;
        vorn::read_namelist(group, sample_items, read_statement);
    }

    void read(std::string_view text, std::string_view group = "NML_TEST") {
        write_config(text);
        read_config(group);
    }

    // The report of a read that must fail, from the line after the banner on.
    // The read runs in a child process; what it left in the sample comes back.
    std::string failure(std::string_view text, std::string_view group = "NML_TEST") {
        const vorn::test::ChildRun run = vorn::test::run_in_child(
            [&] { read(text, group); },
            [] { return std::string(reinterpret_cast<const char*>(&sample), sizeof sample); });
        EXPECT_TRUE(run.ended_abnormally) << "the read of\n" << text << "\nsucceeded";
        if (run.observed.size() == sizeof sample) std::memcpy(&sample, run.observed.data(), sizeof sample);
        const std::string& report = run.report;
        // An empty line and the banner line, whose wording is free, come first.
        std::size_t banner_end = report.find('\n', 1);
        if (!report.starts_with("\n****** ") || banner_end == std::string::npos ||
            !std::string_view(report).substr(0, banner_end).ends_with(" ******")) {
            ADD_FAILURE() << "no banner in\n" << report;
            return report;
        }
        return report.substr(banner_end + 1);
    }

    // The report lines that every read error shares.
    std::string error(std::string_view first_line) const {
        return std::string(first_line) + "\n Location:  the READ statement at line " + std::to_string(read_statement.line()) +
               " of \"test_namelist.cpp\"\n Unit:  1\n File:  master_nml\n";
    }

    fs::path dir_;
};

// --- Groups and the search for them -----------------------------------------

TEST_F(NamelistTest, ReadsScalarsAndArraysInAnyCaseWithCommentsAndSeparators) {
    read("free text before the group\n"
         "&nml_test ! the group under test\n"
         "  n = -12, x=2.5\n"
         "\tA = 1.0 2.0,\t3.0   ! three of five\n"
         "  k=\n"
         "    7\n"
         "    8 , 9\n"
         "  Gr_Control_Alt(2) = 200.0 /\n");
    EXPECT_EQ(sample.n, -12);
    EXPECT_EQ(sample.x, 2.5);
    EXPECT_EQ(sample.a[0], 1.0);
    EXPECT_EQ(sample.a[1], 2.0);
    EXPECT_EQ(sample.a[2], 3.0);
    EXPECT_EQ(sample.a[3], 0.0);
    EXPECT_EQ(sample.k[0], 7);
    EXPECT_EQ(sample.k[1], 8);
    EXPECT_EQ(sample.k[2], 9);
    EXPECT_EQ(sample.alt(1), 0.0);
    EXPECT_EQ(sample.alt(2), 200.0);
    EXPECT_EQ(sample.alt(3), 0.0);
}

TEST_F(NamelistTest, ALineEndBetweenANameAndItsEqualsSignIsABlank) {
    read("&NML_TEST N\n = 3\n X ! the next line holds the sign\n\n =\n 2.5\n A(2)\n= 7.0 8.0\n K\r\n= 4 /\n");
    EXPECT_EQ(sample.n, 3);
    EXPECT_EQ(sample.x, 2.5);
    EXPECT_EQ(sample.a[1], 7.0);
    EXPECT_EQ(sample.a[2], 8.0);
    EXPECT_EQ(sample.k[0], 4);
    // After values, a word alone on its line is the next name only when the
    // group declares it.
    const std::string real = error(" Error 1084:  unexpected character in real value");
    EXPECT_EQ(failure("&NML_TEST A = 1.0\n B\n = 2 /\n"), real + " Input:   B\n          ^\n");
}

TEST_F(NamelistTest, ItemsThatTheGroupDoesNotNameKeepTheirValues) {
    sample.n = 41;
    sample.x = -3.0;
    sample.k[2] = 5;
    read("&NML_TEST K = 1 2 /\n");
    EXPECT_EQ(sample.n, 41);
    EXPECT_EQ(sample.x, -3.0);
    EXPECT_EQ(sample.k[0], 1);
    EXPECT_EQ(sample.k[1], 2);
    EXPECT_EQ(sample.k[2], 5);
}

TEST_F(NamelistTest, AGroupWithNoItemsChangesNothing) {
    sample.x = 7.0;
    read("&NML_TEST\n/\n");
    EXPECT_EQ(sample.x, 7.0);
    read("&NML_TEST/\n");
    EXPECT_EQ(sample.x, 7.0);
    read("&NML_TEST &END\n");
    EXPECT_EQ(sample.x, 7.0);
}

TEST_F(NamelistTest, SkipsOtherGroupsAndNamesThatOnlyBeginWithTheGroupName) {
    read("&NML_TESTX N = 1 /\n"
         "&NML_TEST_2 N = 2 /\n"
         "&OTHER\n N = 3\n/\n"
         "& NML_TEST N = 4 /\n"
         "x &NML_TEST N = 5 /\n"
         "&NML_TEST N = 6 /\n");
    EXPECT_EQ(sample.n, 6);
}

TEST_F(NamelistTest, OnlyTheFirstOccurrenceOfAGroupCounts) {
    read("&NML_TEST N = 1 /\n&NML_TEST N = 2 X = 1.0 /\n");
    EXPECT_EQ(sample.n, 1);
    EXPECT_EQ(sample.x, 0.0);
}

TEST_F(NamelistTest, OpensAfterLeadingBlanksAndTabsWithEitherStartCharacter) {
    read(" \t $nml_test n = 3 $end\n");
    EXPECT_EQ(sample.n, 3);
    read("\t&NML_TEST,N=4,X=1.0,&end\n");
    EXPECT_EQ(sample.n, 4);
    EXPECT_EQ(sample.x, 1.0);
    read("&NML_TEST!comment\nN = 8 /\n");
    EXPECT_EQ(sample.n, 8);
}

TEST_F(NamelistTest, TheRestOfTheEndLineAndWhatFollowsAreIgnored) {
    read("&NML_TEST N = 1 / N = 2 garbage (\nN = 3\n");
    EXPECT_EQ(sample.n, 1);
    read("&NML_TEST N = 1 &END X = oops\n");
    EXPECT_EQ(sample.x, 0.0);
    read("&NML_TEST N = 5/");  // no final newline
    EXPECT_EQ(sample.n, 5);
}

TEST_F(NamelistTest, ACarriageReturnBeforeTheNewlineBelongsToTheLineEnd) {
    read("&NML_TEST\r\n N = 12\r\n X = 1.5\r\n/\r\n");
    EXPECT_EQ(sample.n, 12);
    EXPECT_EQ(sample.x, 1.5);
}

// --- Arrays and repeats -------------------------------------------------------

TEST_F(NamelistTest, AListWithoutSubscriptKeepsTheElementsAfterItsLastValue) {
    const double defaults[] = {100.0, 500.0, 1000.0, 1500.0, 2000.0};
    for (int i = 1; i <= 5; ++i) sample.alt(i) = defaults[i - 1];
    read("&NML_TEST GR_CONTROL_ALT = 200.0, 400.0 /\n");
    EXPECT_EQ(sample.alt(1), 200.0);
    EXPECT_EQ(sample.alt(2), 400.0);
    EXPECT_EQ(sample.alt(3), 1000.0);
    EXPECT_EQ(sample.alt(4), 1500.0);
    EXPECT_EQ(sample.alt(5), 2000.0);
    EXPECT_EQ(sample.alt(6), 0.0);
}

TEST_F(NamelistTest, ASubscriptChangesElementsFromItOnwards) {
    const double defaults[] = {100.0, 500.0, 1000.0, 1500.0, 2000.0};
    for (int i = 1; i <= 5; ++i) sample.alt(i) = defaults[i - 1];
    read("&NML_TEST GR_CONTROL_ALT(3) = 800.0 /\n");
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(sample.alt(i), i == 3 ? 800.0 : defaults[i - 1]) << i;
    read("&NML_TEST A ( +4 ) = 4.0 5.0 A(1)=1.0 /\n");
    EXPECT_EQ(sample.a[0], 1.0);
    EXPECT_EQ(sample.a[2], 0.0);
    EXPECT_EQ(sample.a[3], 4.0);
    EXPECT_EQ(sample.a[4], 5.0);
}

TEST_F(NamelistTest, ARepeatCountStandsForCopiesOfTheValue) {
    read("&NML_TEST GR_CONTROL_ALT = 5*1.0 /\n");
    for (int i = 1; i <= 5; ++i) EXPECT_EQ(sample.alt(i), 1.0) << i;
    EXPECT_EQ(sample.alt(6), 0.0);
    read("&NML_TEST K = 2*-3 4, A(2) = 3*2.5e1 N = 1*6 /\n");
    EXPECT_EQ(sample.k[0], -3);
    EXPECT_EQ(sample.k[1], -3);
    EXPECT_EQ(sample.k[2], 4);
    EXPECT_EQ(sample.a[0], 0.0);
    EXPECT_EQ(sample.a[1], 25.0);
    EXPECT_EQ(sample.a[3], 25.0);
    EXPECT_EQ(sample.a[4], 0.0);
    EXPECT_EQ(sample.n, 6);
    read("&NML_TEST GR_CONTROL_ALT = 100*7.0 /\n");
    EXPECT_EQ(sample.alt(100), 7.0);
}

TEST_F(NamelistTest, ATrailingCommaBeforeTheNextItemOrTheEndIsASeparator) {
    read("&NML_TEST\n N = 1,\n A = 1.0, 2.0,\n/\n");
    EXPECT_EQ(sample.n, 1);
    EXPECT_EQ(sample.a[1], 2.0);
}

// --- Values -------------------------------------------------------------------

TEST_F(NamelistTest, IntegersCoverTheWhole32BitRange) {
    read("&NML_TEST K = -2147483648 +2147483647 007 /\n");
    EXPECT_EQ(sample.k[0], std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(sample.k[1], std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(sample.k[2], 7);
}

TEST_F(NamelistTest, RealsTakeEveryExponentLetterInEitherCase) {
    read("&NML_TEST A = 1.5E2 1.5e+2 15D1 1500d-1 .15Q3 /\n");
    for (int i = 0; i < 5; ++i) EXPECT_EQ(sample.a[i], 150.0) << i;
    read("&NML_TEST A = -2. +.5 3 1q0 0.1 /\n");
    EXPECT_EQ(sample.a[0], -2.0);
    EXPECT_EQ(sample.a[1], 0.5);
    EXPECT_EQ(sample.a[2], 3.0);
    EXPECT_EQ(sample.a[3], 1.0);
    EXPECT_EQ(sample.a[4], 0.1);
}

TEST_F(NamelistTest, RealsAreCorrectlyRoundedUpToTheLimitsOfTheRange) {
    read("&NML_TEST A = 1.7976931348623157e308 2.2250738585072014e-308 4.9e-324 "
         "0.30000000000000004 -0.0 /\n");
    EXPECT_EQ(sample.a[0], std::numeric_limits<double>::max());
    EXPECT_EQ(sample.a[1], std::numeric_limits<double>::min());
    EXPECT_EQ(sample.a[2], std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(sample.a[3], 0.1 + 0.2);
    EXPECT_EQ(sample.a[4], 0.0);
    EXPECT_TRUE(std::signbit(sample.a[4]));
}

TEST_F(NamelistTest, LiteralsBeyondTheRangeGiveInfinityOrZeroOfTheirSign) {
    read("&NML_TEST A = 1e999 -1D400 1.8e308 1e-400 -2.4e-324 /\n");
    EXPECT_EQ(sample.a[0], std::numeric_limits<double>::infinity());
    EXPECT_EQ(sample.a[1], -std::numeric_limits<double>::infinity());
    EXPECT_EQ(sample.a[2], std::numeric_limits<double>::infinity());
    EXPECT_EQ(sample.a[3], 0.0);
    EXPECT_FALSE(std::signbit(sample.a[3]));
    EXPECT_EQ(sample.a[4], 0.0);
    EXPECT_TRUE(std::signbit(sample.a[4]));
}

TEST_F(NamelistTest, TheWordsInfInfinityAndNanInAnyCaseWithSign) {
    read("&NML_TEST A = Inf -INFINITY +infinity nan -NaN /\n");
    EXPECT_EQ(sample.a[0], std::numeric_limits<double>::infinity());
    EXPECT_EQ(sample.a[1], -std::numeric_limits<double>::infinity());
    EXPECT_EQ(sample.a[2], std::numeric_limits<double>::infinity());
    EXPECT_TRUE(std::isnan(sample.a[3]));
    EXPECT_FALSE(std::signbit(sample.a[3]));
    EXPECT_TRUE(std::isnan(sample.a[4]));
    EXPECT_TRUE(std::signbit(sample.a[4]));
    read("&NML_TEST X = inf/\n");
    EXPECT_EQ(sample.x, std::numeric_limits<double>::infinity());
}

TEST_F(NamelistTest, ReadingLeavesNoFloatingPointFlagsBehind) {
    write_config("&NML_TEST A = 1e999 1e-320 0.1 1e-400 /\n");
    std::feclearexcept(FE_ALL_EXCEPT);
    read_config();
    EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0);
}

TEST_F(NamelistTest, ReadingWithTheTrapsOnDoesNotTrap) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            read("&NML_TEST A = 1e999 1e-320 -1e400 0.1 /\n");
            bool as_expected = std::isinf(sample.a[0]) && sample.a[1] > 0.0 && std::isinf(sample.a[2]) &&
                               sample.a[3] == 0.1;
            std::exit(as_expected ? 0 : 2);
        },
        ::testing::ExitedWithCode(0), "");
}

// --- Errors ----------------------------------------------------------------

TEST_F(NamelistTest, AMissingGroupOrAFileEndingInsideItIsAnEndOfFile) {
    const std::string end_of_file = error(" End-of-file:  -1");
    EXPECT_EQ(failure(""), end_of_file);
    EXPECT_EQ(failure("&NML_TESTING N = 1 /\n&OTHER /\n"), end_of_file);
    EXPECT_EQ(failure("&NML_TEST N = 1\n X = 2.0\n"), end_of_file);
    EXPECT_EQ(failure("&NML_TEST N =\n"), end_of_file);
    EXPECT_EQ(failure("&NML_TEST A(2) = 1.0,\n"), end_of_file);
}

TEST_F(NamelistTest, ANameThatTheGroupDoesNotDeclareIsError1092) {
    const std::string unknown = error(" Error 1092:  variable not in NAMELIST group");
    EXPECT_EQ(failure("&NML_TEST NN = 1 /\n"), unknown);
    EXPECT_EQ(failure("&NML_TEST N = 1 X_ = 2.0 /\n"), unknown);
    EXPECT_EQ(failure("&NML_TEST GR_CONTROL = 1.0 /\n"), unknown);
}

TEST_F(NamelistTest, ACharacterThatCannotStandInAnItemIsError1090) {
    const std::string item = error(" Error 1090:  unexpected character in NAMELIST item");
    EXPECT_EQ(failure("&NML_TEST 1N = 1 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST _N = 1 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST N : 1 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST=1 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST N(1) = 1 /\n"), item);  // a scalar has no subscript
    EXPECT_EQ(failure("&NML_TEST A() = 1.0 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST A(x) = 1.0 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST A(1:2) = 1.0 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST A(2 = 1.0 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST A(2) 1.0 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST N\n 1 /\n"), item);
    EXPECT_EQ(failure("&NML_TEST N\n(1) = 1 /\n"), item);
}

TEST_F(NamelistTest, ASubscriptOutsideTheElementsIsError1097) {
    const std::string bounds = error(" Error 1097:  subscript out of bounds in NAMELIST object name");
    EXPECT_EQ(failure("&NML_TEST A(0) = 1.0 /\n"), bounds);
    EXPECT_EQ(failure("&NML_TEST A(6) = 1.0 /\n"), bounds);
    EXPECT_EQ(failure("&NML_TEST A(-1) = 1.0 /\n"), bounds);
    EXPECT_EQ(failure("&NML_TEST GR_CONTROL_ALT(101) = 1.0 /\n"), bounds);
    EXPECT_EQ(failure("&NML_TEST A(99999999999999999999) = 1.0 /\n"), bounds);
    read("&NML_TEST GR_CONTROL_ALT(100) = 9.0 /\n");
    EXPECT_EQ(sample.alt(100), 9.0);
}

TEST_F(NamelistTest, MoreThanOneSubscriptIsError1093) {
    const std::string subscripts = error(" Error 1093:  too many subscripts in NAMELIST object name");
    EXPECT_EQ(failure("&NML_TEST A(1 , 2) = 1.0 /\n"), subscripts);
}

TEST_F(NamelistTest, ABadIntegerIsError1083MarkedUnderTheOffendingCharacter) {
    const std::string integer = error(" Error 1083:  unexpected character in integer value");
    EXPECT_EQ(failure("&NML_TEST N = 1.5 /\n"), integer + " Input:  &NML_TEST N = 1.5 /\n"
                                                          "                        ^\n");
    // An integer is marked at the digit that takes it out of the 32-bit range.
    EXPECT_EQ(failure("&NML_TEST\n N = 2147483648\n/\n"), integer + " Input:   N = 2147483648\n"
                                                                    "                       ^\n");
    EXPECT_EQ(failure("&NML_TEST K = 1 -2147483649 /\n"), integer + " Input:  &NML_TEST K = 1 -2147483649 /\n"
                                                                    "                                   ^\n");
    EXPECT_EQ(failure("&NML_TEST N = 1e3/\n"), integer + " Input:  &NML_TEST N = 1e3/\n"
                                                         "                        ^\n");
    EXPECT_EQ(failure("&NML_TEST N = -/\n"), integer + " Input:  &NML_TEST N = -/\n"
                                                       "                        ^\n");
}

TEST_F(NamelistTest, ABadRealIsError1084MarkedUnderTheOffendingCharacter) {
    const std::string real = error(" Error 1084:  unexpected character in real value");
    EXPECT_EQ(failure("&NML_TEST X = 1.0x /\n"), real + " Input:  &NML_TEST X = 1.0x /\n"
                                                        "                          ^\n");
    EXPECT_EQ(failure("&NML_TEST X = 1.0e /\n"), real + " Input:  &NML_TEST X = 1.0e /\n"
                                                        "                           ^\n");
    EXPECT_EQ(failure("&NML_TEST X = 1.0+5 /\n"), real + " Input:  &NML_TEST X = 1.0+5 /\n"
                                                         "                          ^\n");
    EXPECT_EQ(failure("&NML_TEST X = . /\n"), real + " Input:  &NML_TEST X = . /\n"
                                                     "                        ^\n");
    EXPECT_EQ(failure("&NML_TEST X = 1.2.3 /\n"), real + " Input:  &NML_TEST X = 1.2.3 /\n"
                                                         "                          ^\n");
    EXPECT_EQ(failure("&NML_TEST X = Infinit /\n"), real + " Input:  &NML_TEST X = Infinit /\n"
                                                           "                              ^\n");
    EXPECT_EQ(failure("&NML_TEST X = NaNs /\n"), real + " Input:  &NML_TEST X = NaNs /\n"
                                                        "                          ^\n");
}

TEST_F(NamelistTest, TheInputLineShowsThirtyCharactersBeforeTheOffendingOne) {
    const std::string real = error(" Error 1084:  unexpected character in real value");
    EXPECT_EQ(failure("&NML_TEST\n   A = 1.0 2.0 3.0 4.0        5.0#    !\n/\n"), real + " Input:  A = 1.0 2.0 3.0 4.0        5.0#    !\n"
                                                                                         "                                       ^\n");
    // Unprintable characters are shown as "?".
    EXPECT_EQ(failure(std::string("&NML_TEST X = 1\x01 /\n")), real + " Input:  &NML_TEST X = 1? /\n"
                                                                      "                        ^\n");
}

TEST_F(NamelistTest, NullValuesAreValueErrors) {
    const std::string integer = error(" Error 1083:  unexpected character in integer value");
    const std::string real = error(" Error 1084:  unexpected character in real value");
    EXPECT_EQ(failure("&NML_TEST K = 1,,2 /\n"), integer + " Input:  &NML_TEST K = 1,,2 /\n"
                                                           "                         ^\n");
    EXPECT_EQ(failure("&NML_TEST K = 1,\n , 2 /\n"), integer + " Input:   , 2 /\n"
                                                               "          ^\n");
    EXPECT_EQ(failure("&NML_TEST N = , /\n"), integer + " Input:  &NML_TEST N = , /\n"
                                                        "                       ^\n");
    EXPECT_EQ(failure("&NML_TEST X = /\n"), real + " Input:  &NML_TEST X = /\n"
                                                   "                       ^\n");
    EXPECT_EQ(failure("&NML_TEST A = 2* /\n"), real + " Input:  &NML_TEST A = 2* /\n"
                                                      "                         ^\n");
    EXPECT_EQ(failure("&NML_TEST A = 2*\n"), real + " Input:  &NML_TEST A = 2*\n"
                                                    "                         ^\n");
    // A zero repeat count stands for no value either.
    EXPECT_EQ(failure("&NML_TEST A = 0*1.0 /\n"), real + " Input:  &NML_TEST A = 0*1.0 /\n"
                                                         "                       ^\n");
    EXPECT_EQ(failure("&NML_TEST N =\n X = 1.0 /\n"), integer + " Input:   X = 1.0 /\n"
                                                                "          ^\n");
}

TEST_F(NamelistTest, CharacterLogicalAndComplexValuesAreValueErrors) {
    const std::string integer = error(" Error 1083:  unexpected character in integer value");
    const std::string real = error(" Error 1084:  unexpected character in real value");
    EXPECT_EQ(failure("&NML_TEST N = 'one' /\n"), integer + " Input:  &NML_TEST N = 'one' /\n"
                                                            "                       ^\n");
    EXPECT_EQ(failure("&NML_TEST N = T /\n"), integer + " Input:  &NML_TEST N = T /\n"
                                                        "                       ^\n");
    EXPECT_EQ(failure("&NML_TEST X = .true. /\n"), real + " Input:  &NML_TEST X = .true. /\n"
                                                          "                        ^\n");
    EXPECT_EQ(failure("&NML_TEST X = (1.0, 2.0) /\n"), real + " Input:  &NML_TEST X = (1.0, 2.0) /\n"
                                                              "                       ^\n");
    EXPECT_EQ(failure("&NML_TEST A = 1.0 \"two\" /\n"), real + " Input:  &NML_TEST A = 1.0 \"two\" /\n"
                                                               "                           ^\n");
    // A word after a value that no "=" follows is a value, not a name.
    EXPECT_EQ(failure("&NML_TEST A = 1.0 F /\n"), real + " Input:  &NML_TEST A = 1.0 F /\n"
                                                         "                           ^\n");
}

TEST_F(NamelistTest, MoreValuesThanElementsIsError1099AndNothingIsStoredPastTheItem) {
    const std::string too_many = error(" Error 1099:  too many values for NAMELIST object");
    sample.after_a = 42.0;
    EXPECT_EQ(failure("&NML_TEST A = 1 2 3 4 5 6 /\n"), too_many + " Input:  &NML_TEST A = 1 2 3 4 5 6 /\n"
                                                                   "                                 ^\n");
    EXPECT_EQ(failure("&NML_TEST A(4) = 3*1.0 /\n"), too_many + " Input:  &NML_TEST A(4) = 3*1.0 /\n"
                                                                "                          ^\n");
    EXPECT_EQ(failure("&NML_TEST A = 99999999999999999999*1.0 /\n"), too_many + " Input:  &NML_TEST A = 99999999999999999999*1.0 /\n"
                                                                                "                       ^\n");
    EXPECT_EQ(failure("&NML_TEST X = 1.0, 2.0 /\n"), too_many + " Input:  &NML_TEST X = 1.0, 2.0 /\n"
                                                                "                            ^\n");
    EXPECT_EQ(failure("&NML_TEST GR_CONTROL_ALT(100) = 1.0 2.0 /\n"), too_many + " Input:  EST GR_CONTROL_ALT(100) = 1.0 2.0 /\n"
                                                                                 "                                       ^\n");
    EXPECT_EQ(sample.after_a, 42.0);
    EXPECT_EQ(sample.k[0], 0);
}

// --- Line length -------------------------------------------------------------

// A line of `length` characters that sets N to 3 (blanks after the value),
// then `after` on the following lines.
std::string line_of_length(std::size_t length, std::string_view after) {
    std::string text = "&NML_TEST N = 3";
    text.resize(length, ' ');
    return text + std::string(after);
}

class ConfigLineLength : public NamelistTest {};

TEST_F(ConfigLineLength, ALineUpToTheBoundIsRead) {
    read(line_of_length(vorn::max_config_line_length, "\n X = 2.5 /\n"));
    EXPECT_EQ(sample.n, 3);
    EXPECT_EQ(sample.x, 2.5);
    // Its carriage return belongs to the line end.
    read(line_of_length(vorn::max_config_line_length - 1, "\r\n/\n"));
    EXPECT_EQ(sample.n, 3);
}

TEST_F(ConfigLineLength, ALongerLineIsError5002AndNothingOfItIsRead) {
    const std::string too_long = error(" Error 5002:  line longer than 1048576 characters");
    EXPECT_EQ(failure(line_of_length(vorn::max_config_line_length + 1, "\n/\n")), too_long);
    EXPECT_EQ(sample.n, 0);
    // Without a newline up to the end of the file.
    EXPECT_EQ(failure(line_of_length(vorn::max_config_line_length + 1, "")), too_long);
    // In the lines that the search for the group skips too.
    EXPECT_EQ(failure(std::string(vorn::max_config_line_length + 1, '!') + "\n&NML_TEST N = 3 /\n"), too_long);
}

TEST_F(NamelistTest, WithoutAnObserverAReadErrorAborts) {
    EXPECT_EXIT(
        {
            read("&NML_TEST N = 1 Y = 2 /\n");
        },
        ::testing::KilledBySignal(SIGABRT),
        "Error 1092:  variable not in NAMELIST group\n Location:  the READ statement at line [0-9]+ of "
        "\"test_namelist.cpp\"\n Unit:  1\n File:  master_nml\n$");
}

}  // namespace
