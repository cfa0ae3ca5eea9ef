// The constants whose exact digits the outputs depend on: each keeps its bits,
// and those that are not the correctly rounded value of what they stand for
// stay off by the one unit they are.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/constants.hpp"

namespace vorn {
namespace {

TEST(Constants, RatiosOfTheStepsAreOneUnitOffTheQuotients) {
    // A tidy-up that writes 1.0 / 1.04 or 1.0 / 1.1 changes the q grid.
    EXPECT_EQ(eq_ratio, std::nextafter(1.0 / 1.04, 1.0));
    EXPECT_EQ(ref_ratio, std::nextafter(1.0 / 1.1, 0.0));
    EXPECT_NE(eq_ratio, 1.0 / 1.04);
    EXPECT_NE(ref_ratio, 1.0 / 1.1);
}

TEST(Constants, ReferenceRadiusIsTheRoundedProduct) {
    EXPECT_EQ(r_ref, 1.1 * earth_radius);
    EXPECT_NE(r_ref, 7008320.0);
    EXPECT_EQ(dq_dr_ref, ((earth_radius * earth_radius) / ((r_ref * r_ref) * r_ref)) * 2.0);
}

TEST(Constants, AngleFactorsAreTheCorrectlyRoundedQuotients) {
    EXPECT_EQ(deg_to_rad, pi / 180.0);
    EXPECT_EQ(rad_to_deg, 180.0 / pi);
    EXPECT_EQ(one_third, 1.0 / 3.0);
    EXPECT_EQ(two_thirds, 2.0 / 3.0);
    EXPECT_EQ(one_twenty_eight_thirds, 128.0 / 3.0);
    // The two forms of a conversion differ for some angles, so neither may
    // replace the other in a formula.
    int differing = 0;
    for (int k = 1; k <= 1000; ++k) {
        const double degrees = 0.37 * k;
        if ((degrees * pi) / 180.0 != degrees * deg_to_rad) ++differing;
    }
    EXPECT_GT(differing, 0);
}

}  // namespace
}  // namespace vorn
