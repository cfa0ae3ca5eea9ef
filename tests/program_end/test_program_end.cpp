// The two orderly ends, each in a child process.
#include <gtest/gtest.h>

#include <cfenv>
#include <cstdlib>
#include <string>

#include "program_end/program_end.hpp"
#include "run_end/floating_point.hpp"

namespace {

using ::testing::ExitedWithCode;

const std::string traps_note =
    " IEEE floating-point exception traps enabled: \n"
    "    overflow;  division by zero;  invalid operation; \n";

// The note ends with one documentation line of its own.
::testing::Matcher<const std::string&> closing_note(const std::string& lines) {
    return ::testing::MatchesRegex(lines + " [^\n]+\n");
}

volatile double tiny = 1e-300;
volatile double result;

TEST(OrderlyEnd, WritesTheThreeLineNoteAndExitsWithZero) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            result = 1.0 / 3.0;  // inexact alone is not reported
            vorn::orderly_end();
        },
        ExitedWithCode(0), closing_note(" Note:" + traps_note));
}

TEST(OrderlyEnd, ListsTheRaisedFlagsWhenAnUnderflowHappened) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            result = tiny * tiny;
            vorn::orderly_end();
        },
        ExitedWithCode(0),
        closing_note(" Note: IEEE floating-point exception flags raised: \n"
                     "    Inexact;  Underflow; \n" +
                     traps_note));
}

TEST(OrderlyEnd, AFatalStopWritesTheSameNoteAndExitsWithOne) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            vorn::fatal_stop();
        },
        ExitedWithCode(1), closing_note(" Note:" + traps_note));
}

}  // namespace
