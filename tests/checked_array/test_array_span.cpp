// Views of checked arrays: the same elements, the same subscript check under
// the array's name; names joined at compile time.
#include <gtest/gtest.h>

#include <span>
#include <string>

#include "checked_array/checked_array.hpp"

namespace vorn {
namespace {

Array1<double, 4, "VALUES"> values;

TEST(ArraySpan, IndexesTheArraysOwnElements) {
    for (int i = 1; i <= 4; ++i) values(i) = 10.0 * i;
    const ArraySpan<double> view = values;
    EXPECT_EQ(view.extent(), 4);
    EXPECT_STREQ(view.name(), "VALUES");
    EXPECT_EQ(&view(3), &values(3));
    view(2) = -1.0;
    EXPECT_EQ(values(2), -1.0);
    const ArraySpan<const double> read_only = values;
    EXPECT_EQ(read_only(4), 40.0);
}

TEST(ArraySpan, FirstGivesTheLeadingElementsOrNone) {
    const ArraySpan<double> view = values;
    EXPECT_EQ(view.first(3).data(), &values(1));
    EXPECT_EQ(view.first(3).size(), 3u);
    EXPECT_EQ(view.first(4).size(), 4u);
    EXPECT_TRUE(view.first(0).empty());
    EXPECT_TRUE(view.first(-2).empty());
}

TEST(ArraySpanDeathTest, OutOfRangeNamesTheArray) {
    const ArraySpan<double> view = values;
    EXPECT_DEATH(view(5), "Subscript number 1 has value 5 in array 'VALUES'");
    EXPECT_DEATH(view(0), "Subscript number 1 has value 0 in array 'VALUES'");
    EXPECT_DEATH((void)view.first(5), "Subscript number 1 has value 5 in array 'VALUES'");
    double single = 0.0;
    const ArraySpan<double> one(std::span<double>(&single, 1), "SINGLE");
    EXPECT_DEATH((void)one.first(2), "has value 2 in array 'SINGLE'");
}

TEST(JoinedName, PrefixAndMemberMakeOneName) {
    constexpr auto name = joined_name<"G_FP", "_NML_G_RAD">;
    EXPECT_EQ(std::string(name.text), "G_FP_NML_G_RAD");
    EXPECT_EQ(sizeof name.text, sizeof "G_FP_NML_G_RAD");
    EXPECT_STREQ((Array1<int, 2, joined_name<"A", "B">>::name()), "AB");
}

}  // namespace
}  // namespace vorn
