// The NaN check of configuration values: which values raise invalid
// operation, and that with the run's traps the raise ends the run with the
// floating-point exception report.
#include <gtest/gtest.h>

#include <cfenv>
#include <csignal>
#include <cstdlib>
#include <limits>

#include "run_end/floating_point.hpp"
#include "run_end/nan_operands.hpp"

namespace {

using limits = std::numeric_limits<double>;

// Whether raise_invalid_on_nan({value}) raised invalid operation (the traps
// of this test process are off).
bool raises_invalid(double value) {
    std::feclearexcept(FE_ALL_EXCEPT);
    vorn::raise_invalid_on_nan({1.0, value, 2.0});
    return std::fetestexcept(FE_INVALID) != 0;
}

TEST(NanOperands, EveryKindOfNaNRaisesInvalidOperation) {
    EXPECT_TRUE(raises_invalid(limits::quiet_NaN()));
    EXPECT_TRUE(raises_invalid(-limits::quiet_NaN()));
    EXPECT_TRUE(raises_invalid(limits::signaling_NaN()));
}

TEST(NanOperands, NumbersAndInfinitiesRaiseNothing) {
    for (const double value : {0.0, -0.0, 1.0e-300, limits::denorm_min(), -6.371e6, limits::max(), limits::infinity(),
                               -limits::infinity()}) {
        EXPECT_FALSE(raises_invalid(value)) << value;
        EXPECT_EQ(std::fetestexcept(FE_ALL_EXCEPT), 0) << value;
    }
}

TEST(NanOperandsDeathTest, WithTheRunsTrapsANaNEndsTheRunWithTheInvalidOperationReport) {
    EXPECT_EXIT(
        {
            vorn::start_floating_point_mode();
            vorn::raise_invalid_on_nan({90.0e3, limits::infinity()});
            vorn::raise_invalid_on_nan({limits::quiet_NaN()});
            std::exit(0);
        },
        ::testing::KilledBySignal(SIGABRT), "\n Floating-point exception:  invalid operation\n");
}

}  // namespace
