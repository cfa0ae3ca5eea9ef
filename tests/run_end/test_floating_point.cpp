// The floating-point mode: what traps, what does not, and the quiet scope,
// each in a child process.
#include <gtest/gtest.h>

#include <cfenv>
#include <csignal>
#include <cstdlib>
#include <limits>

#include "run_end/floating_point.hpp"

namespace {

using ::testing::ExitedWithCode;
using ::testing::KilledBySignal;

volatile double zero = 0.0;
volatile double largest = std::numeric_limits<double>::max();
volatile double tiny = 1e-300;
volatile double result;

TEST(FloatingPointMode, ADivisionByZeroEndsTheRunWithAReportThatNamesIt) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            result = 1.0 / zero;
            std::exit(0);
        },
        KilledBySignal(SIGABRT), "\n\\*{6} .* \\*{6}\n Floating-point exception:  division by zero\n");
}

TEST(FloatingPointMode, AnOverflowEndsTheRunWithAReportThatNamesIt) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            result = largest * 2.0;
            std::exit(0);
        },
        KilledBySignal(SIGABRT), " Floating-point exception:  overflow\n");
}

TEST(FloatingPointMode, AnInvalidOperationEndsTheRunWithAReportThatNamesIt) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            result = zero / zero;
            std::exit(0);
        },
        KilledBySignal(SIGABRT), " Floating-point exception:  invalid operation\n");
}

TEST(FloatingPointMode, UnderflowAndInexactDoNotTrap) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            result = tiny * tiny;
            result = 1.0 / 3.0;
            std::exit(std::fetestexcept(FE_UNDERFLOW) != 0 ? 0 : 2);
        },
        ExitedWithCode(0), "");
}

TEST(QuietFloatingPoint, HoldsTheTrapsOffAndRestoresFlagsAndTraps) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            result = tiny * tiny;  // underflow raised before the quiet scope
            bool overflowed;
            {
                vorn::QuietFloatingPoint quiet;
                result = largest * 2.0;
                overflowed = std::fetestexcept(FE_OVERFLOW) != 0 && std::fetestexcept(FE_UNDERFLOW) == 0;
            }
            bool restored = std::fetestexcept(FE_OVERFLOW) == 0 && std::fetestexcept(FE_UNDERFLOW) != 0 &&
                            fegetexcept() == (FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID);
            if (!overflowed || !restored) std::exit(2);
            result = 1.0 / zero;  // the traps are back
            std::exit(0);
        },
        KilledBySignal(SIGABRT), "division by zero");
}

}  // namespace
