// Free-format lines: the real fields value by value, whole lines as written on
// standard output, and the line breaks around column 80.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>

#include "format/free_format.hpp"
#include "format/real_digits.hpp"
#include "support/captured_output.hpp"
#include "units/units.hpp"

namespace vorn {
namespace {

std::string field(double v) {
    char out[32];
    return std::string(out, free_format_real(v, out));
}

using test::written;

TEST(FreeFormatReal, FieldsOfTheTable) {
    EXPECT_EQ(field(1.5), "    1.5000000000000");
    EXPECT_EQ(field(-2.5), "   -2.5000000000000");
    EXPECT_EQ(field(0.2), "   0.20000000000000");
    EXPECT_EQ(field(0.5), "   0.50000000000000");
    EXPECT_EQ(field(10.0), "   10.0000000000000");
    EXPECT_EQ(field(123.456), "    123.45600000000");
    EXPECT_EQ(field(6371200.0), "    6371200.0000000");
    EXPECT_EQ(field(99.99999999999999), "   100.000000000000");
    EXPECT_EQ(field(1.0e14), "   100000000000000.");
    EXPECT_EQ(field(0.1), "    1.0000000000000D-01");
    EXPECT_EQ(field(1.0e-5), "    1.0000000000000D-05");
    EXPECT_EQ(field(1.0e15), "    1.0000000000000D+15");
    EXPECT_EQ(field(1.0e100), "    1.0000000000000+100");
    EXPECT_EQ(field(-1.0e-100), "   -1.0000000000000-100");
}

TEST(FreeFormatReal, TheEstimateNotTheTrueExponentChoosesTheDecimals) {
    // 10.0 is estimated one low (15 significant digits), 20.0 exactly (14).
    EXPECT_EQ(field(10.0), "   10.0000000000000");
    EXPECT_EQ(field(20.0), "    20.000000000000");
    EXPECT_EQ(field(-20.0), "   -20.000000000000");
    // 0.1 is estimated at -2 and takes the exponent form, 0.2 at -1.
    EXPECT_EQ(field(0.2), "   0.20000000000000");
    EXPECT_EQ(field(-0.1), "   -1.0000000000000D-01");
}

TEST(FreeFormatReal, ZeroNaNAndInfinity) {
    EXPECT_EQ(field(0.0), "  0.");
    EXPECT_EQ(field(-0.0), "  0.");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(field(nan), " NaN                   ");
    EXPECT_EQ(field(-nan), " -NaN                  ");
    EXPECT_EQ(field(inf), " Infinity              ");
    EXPECT_EQ(field(-inf), " -Infinity             ");
}

TEST(FreeFormatReal, ExtremesOfTheRange) {
    EXPECT_EQ(field(std::numeric_limits<double>::max()), "    1.7976931348623+308");
    EXPECT_EQ(field(std::numeric_limits<double>::min()), "    2.2250738585072-308");
    EXPECT_EQ(field(std::numeric_limits<double>::denorm_min()), "    4.9406564584125-324");
    EXPECT_EQ(field(-1.0e99), "   -1.0000000000000D+99");
    EXPECT_EQ(field(9.9999999999999e99), "    9.9999999999999D+99");
    // Rounds up into the next decade and so into the three-digit form.
    EXPECT_EQ(field(9.999999999999999e99), "    1.0000000000000+100");
}

TEST(FreeFormatReal, DecimalTiesGoToTheEvenDigit) {
    // 2^45 = 35184372088832 is estimated at 13: no decimals are left.
    EXPECT_EQ(field(35184372088832.5), "    35184372088832.");
    EXPECT_EQ(field(35184372088833.5), "    35184372088834.");
    EXPECT_EQ(field(-35184372088831.5), "   -35184372088832.");
    // 15-digit integers in the exponent form keep 14 digits.
    EXPECT_EQ(field(123456789012345.0), "    1.2345678901234D+14");
    EXPECT_EQ(field(123456789012355.0), "    1.2345678901236D+14");
    EXPECT_EQ(field(123456789012345.02), "    1.2345678901235D+14");
}

// The fixed form rounds at a decimal position: check the core against the
// exact digits of std::to_chars in fixed notation.
TEST(FreeFormatReal, RoundingAtADecimalPositionMatchesExactDigits) {
    std::mt19937_64 random(20240611);
    std::uniform_int_distribution<int> decimals_of(0, 14);
    std::uniform_real_distribution<double> mantissa_of(1.0, 10.0);
    int checked = 0;
    for (int i = 0; i < 400000; ++i) {
        const int decimals = decimals_of(random);
        // |v| * 10^decimals in [10^13, 10^15), as the fixed form has it.
        const double v = mantissa_of(random) * std::pow(10.0, 13 + (i % 2) - decimals);
        char text[64];
        const char* end = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, decimals).ptr;
        std::uint64_t expected = 0;
        for (const char* c = text; c != end; ++c)
            if (*c != '.') expected = expected * 10 + static_cast<std::uint64_t>(*c - '0');
        ASSERT_EQ(round_scaled(v, decimals), expected) << std::string_view(text, static_cast<std::size_t>(end - text));
        ++checked;
    }
    EXPECT_EQ(checked, 400000);
}

TEST(FreeLine, LinesOfTheExamples) {
    EXPECT_EQ(written([] { FreeLine(output_unit) << "gr_np = " << 40; }), " gr_np =   40\n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << "gamma=" << 1.5; }), " gamma=    1.5000000000000\n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << "Writing using file " << "vorn_geometry.mat"; }),
              " Writing using file vorn_geometry.mat\n");
    EXPECT_EQ(written([] { FreeLine{output_unit}; }), " \n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << "FD00001%  " << "gr_nl " << 73; }), " FD00001%  gr_nl   73\n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << "FD00009%  " << "no_of_p_faces  " << 1200; }),
              " FD00009%  no_of_p_faces    1200\n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << "FD00014%  " << "rlboundary " << 1 << 17; }),
              " FD00014%  rlboundary   1  17\n");
}

TEST(FreeLine, IntegersAndZeros) {
    EXPECT_EQ(written([] { FreeLine(output_unit) << std::numeric_limits<std::int32_t>::min(); }), "   -2147483648\n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << std::numeric_limits<std::int32_t>::max(); }), "   2147483647\n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << 0 << -7; }), "   0  -7\n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << "x" << 0.0 << -0.0; }), " x  0.  0.\n");
    EXPECT_EQ(written([] { FreeLine(output_unit) << "ab" << "" << "cd"; }), " abcd\n");
}

// A line holding `column` characters (its first blank included), then `item`.
template <class Item>
std::string line_at(int column, Item item) {
    return written([&] { FreeLine(output_unit) << std::string(column - 1, 'c') << item; });
}

std::string continued(int column, std::string_view item_text) {
    return " " + std::string(column - 1, 'c') + "\n " + std::string(item_text) + "\n";
}
std::string same_line(int column, std::string_view item_text) {
    return " " + std::string(column - 1, 'c') + std::string(item_text) + "\n";
}

TEST(FreeLine, TextBreaksWhenItWouldPassColumn80) {
    EXPECT_EQ(line_at(77, "abc"), same_line(77, "abc"));  // ends at 80
    EXPECT_EQ(line_at(76, "abc"), same_line(76, "abc"));  // ends at 79
    EXPECT_EQ(line_at(78, "abc"), continued(78, "abc"));  // would end at 81
    // The first item stays on the first line whatever its length.
    const std::string long_text(80, 't');
    EXPECT_EQ(written([&] { FreeLine(output_unit) << long_text; }), " " + long_text + "\n");
    // A later item longer than the line is not split.
    const std::string longer(100, 'u');
    EXPECT_EQ(written([&] { FreeLine(output_unit) << "a" << longer << "b"; }), " a\n " + longer + "\n b\n");
}

TEST(FreeLine, IntegerBreaksWhenItWouldPassColumn80) {
    EXPECT_EQ(line_at(73, 1234), same_line(73, "  1234"));  // ends at 79
    EXPECT_EQ(line_at(74, 1234), same_line(74, "  1234"));  // ends at 80
    EXPECT_EQ(line_at(75, 1234), continued(75, "  1234"));  // 75 + 2 + 4 = 81
    EXPECT_EQ(line_at(75, -123), continued(75, "  -123"));  // the sign counts
}

TEST(FreeLine, RealsReserveFifteenColumns) {
    EXPECT_EQ(line_at(64, 1.5), same_line(64, "    1.5000000000000"));  // 64 + 15 = 79
    const std::string at_65 = line_at(65, 1.5);                           // 65 + 15 = 80
    EXPECT_EQ(at_65, same_line(65, "    1.5000000000000"));
    EXPECT_EQ(at_65.size(), 84u + 1);  // the line ends at column 84
    EXPECT_EQ(line_at(65, 0.1).size(), 88u + 1);
    EXPECT_EQ(line_at(66, 1.5), continued(66, "    1.5000000000000"));  // 66 + 15 = 81
    EXPECT_EQ(line_at(66, 0.1), continued(66, "    1.0000000000000D-01"));
}

TEST(FreeLine, ZeroReservesFourColumns) {
    EXPECT_EQ(line_at(75, 0.0), same_line(75, "  0."));   // ends at 79
    EXPECT_EQ(line_at(76, -0.0), same_line(76, "  0."));  // ends at 80
    EXPECT_EQ(line_at(77, 0.0), continued(77, "  0."));   // would end at 81
}

TEST(FreeLine, ContinuationLinesBreakAgain) {
    // Seven reals of 19 characters: the fourth starts at column 58 and passes
    // the test (58 + 15 = 73), the fifth at 77 does not; each continuation
    // line starts at column 1 again.
    const std::string out = written([] { FreeLine(output_unit) << 1.5 << 1.5 << 1.5 << 1.5 << 1.5 << 1.5 << 1.5; });
    const std::string f = "    1.5000000000000";
    EXPECT_EQ(out, " " + f + f + f + f + "\n " + f + f + f + "\n");
}

}  // namespace
}  // namespace vorn
