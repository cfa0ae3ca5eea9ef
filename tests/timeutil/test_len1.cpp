// Trimmed text length: only trailing blanks and NULs are dropped.
#include <gtest/gtest.h>

#include <string>

#include "timeutil/len1.hpp"

namespace vorn {
namespace {

using namespace std::string_literals;

TEST(Len1, TrailingBlanksAndNulsAreDropped) {
    EXPECT_EQ(len1("abc     "), 3);
    EXPECT_EQ(len1("abc\0 \0"s), 3);
    EXPECT_EQ(len1("abc"), 3);
}

TEST(Len1, NothingLeft) {
    EXPECT_EQ(len1(""), 0);
    EXPECT_EQ(len1("   \0 \0"s), 0);
    EXPECT_EQ(len1(std::string(255, ' ')), 0);
}

TEST(Len1, EverythingElseCounts) {
    EXPECT_EQ(len1("  a"), 3);
    EXPECT_EQ(len1("a\t"), 2);
    EXPECT_EQ(len1("a\r  "), 2);
    EXPECT_EQ(len1("a\0b"s), 3);
    EXPECT_EQ(len1("\xff "), 1);  // bytes above 127 are characters too
}

TEST(Len1, FixedLengthFileName) {
    std::string file_name = "vorn_geometry.mat";
    file_name.resize(255, ' ');
    EXPECT_EQ(len1(file_name), 17);
}

}  // namespace
}  // namespace vorn
