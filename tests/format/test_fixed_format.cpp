// Fixed-format records: single fields, the digit core against exact digits,
// format parsing, whole records on a unit and into texts, and program faults.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "format/fixed_format.hpp"
#include "format/real_digits.hpp"
#include "support/captured_output.hpp"
#include "units/units.hpp"

namespace vorn {
namespace {

std::string e_field(double v, int width = 15, int digits = 8) {
    std::string out(width, '?');
    format_e(v, width, digits, out.data());
    return out;
}

std::string i_field(std::int32_t v, int width, int min_digits = 0) {
    std::string out(width, '?');
    format_integer(v, width, min_digits, out.data());
    return out;
}

using test::written;

TEST(EField, ExamplesForE15_8) {
    EXPECT_EQ(e_field(12.345678), " 0.12345678E+02");
    EXPECT_EQ(e_field(-1.0), "-0.10000000E+01");
    EXPECT_EQ(e_field(6371200.0), " 0.63712000E+07");
    EXPECT_EQ(e_field(0.0), " 0.00000000E+00");
    EXPECT_EQ(e_field(1.0e-120), " 0.10000000-119");
}

TEST(EField, SignBitDecidesForZeroAndNaN) {
    EXPECT_EQ(e_field(-0.0), "-0.00000000E+00");
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(e_field(nan), "NaN            ");
    EXPECT_EQ(e_field(-nan), "-NaN           ");
    EXPECT_EQ(e_field(inf), "Infinity       ");
    EXPECT_EQ(e_field(-inf), "-Infinity      ");
    EXPECT_EQ(e_field(-inf, 9, 1), "-Infinity");
    EXPECT_EQ(e_field(-inf, 8, 1), "********");
}

TEST(EField, ExponentsBeyondTwoDigits) {
    EXPECT_EQ(e_field(9.9e98), " 0.99000000E+99");
    EXPECT_EQ(e_field(1.0e99), " 0.10000000+100");
    EXPECT_EQ(e_field(-1.0e-100), "-0.10000000E-99");
    EXPECT_EQ(e_field(-1.0e-101), "-0.10000000-100");
    EXPECT_EQ(e_field(1.0e-99), " 0.10000000E-98");
    EXPECT_EQ(e_field(std::numeric_limits<double>::max()), " 0.17976931+309");
    EXPECT_EQ(e_field(std::numeric_limits<double>::min()), " 0.22250739-307");
}

TEST(EField, Subnormals) {
    EXPECT_EQ(e_field(std::numeric_limits<double>::denorm_min()), " 0.49406565-323");
    EXPECT_EQ(e_field(-std::numeric_limits<double>::denorm_min() * 3), "-0.14821969-322");
    EXPECT_EQ(e_field(std::numeric_limits<double>::min() / 2), " 0.11125369-307");
}

TEST(EField, RoundingUpToTheNextPowerOfTen) {
    EXPECT_EQ(e_field(9.999999999e5), " 0.10000000E+07");
    EXPECT_EQ(e_field(-0.999999999), "-0.10000000E+01");
    EXPECT_EQ(e_field(9.999999996e-100), " 0.10000000E-98");
    EXPECT_EQ(e_field(0.999999994), " 0.99999999E+00");
}

TEST(EField, DecimalTiesGoToTheEvenDigit) {
    EXPECT_EQ(e_field(0.125, 9, 2), " 0.12E+00");
    EXPECT_EQ(e_field(0.375, 9, 2), " 0.38E+00");
    EXPECT_EQ(e_field(2.5, 8, 1), " 0.2E+01");
    EXPECT_EQ(e_field(3.5, 8, 1), " 0.4E+01");
    EXPECT_EQ(e_field(12345678.5), " 0.12345678E+08");
    EXPECT_EQ(e_field(12345677.5), " 0.12345678E+08");
    EXPECT_EQ(e_field(-98765432.5e1), "-0.98765432E+09");
    // Just off the tie the nearer side wins.
    EXPECT_EQ(e_field(std::nextafter(0.125, 1.0), 9, 2), " 0.13E+00");
    EXPECT_EQ(e_field(std::nextafter(0.375, 0.0), 9, 2), " 0.37E+00");
}

TEST(EField, NarrowFieldsDropTheLeadingZeroThenFillWithAsterisks) {
    EXPECT_EQ(e_field(1.0, 14, 8), "0.10000000E+01");
    EXPECT_EQ(e_field(-1.0, 14, 8), "-.10000000E+01");
    EXPECT_EQ(e_field(-1.0, 13, 8), "*************");
    EXPECT_EQ(e_field(1.0, 13, 8), ".10000000E+01");
    EXPECT_EQ(e_field(-2.5e-7, 12, 3), "  -0.250E-06");
}

TEST(IField, WidthsSignsAndAsterisks) {
    EXPECT_EQ(i_field(100000, 5), "*****");
    EXPECT_EQ(i_field(100001, 5), "*****");
    EXPECT_EQ(i_field(99999, 5), "99999");
    EXPECT_EQ(i_field(-9999, 5), "-9999");
    EXPECT_EQ(i_field(-10000, 5), "*****");
    EXPECT_EQ(i_field(100001, 8), "  100001");
    EXPECT_EQ(i_field(100001, 6), "100001");
    EXPECT_EQ(i_field(0, 5), "    0");
    EXPECT_EQ(i_field(std::numeric_limits<std::int32_t>::min(), 11), "-2147483648");
    EXPECT_EQ(i_field(std::numeric_limits<std::int32_t>::min(), 10), "**********");
}

TEST(IField, MinimumDigitsFillWithZeros) {
    EXPECT_EQ(i_field(42, 4, 4), "0042");
    EXPECT_EQ(i_field(7, 2, 2), "07");
    EXPECT_EQ(i_field(2000, 4, 4), "2000");
    EXPECT_EQ(i_field(-7, 5, 3), " -007");
    EXPECT_EQ(i_field(-7, 3, 3), "***");
    EXPECT_EQ(i_field(12345, 6, 3), " 12345");
}

TEST(IField, EveryWidthAndMinimumAgainstPrintf) {
    // printf's width and precision say the same as Iw.m, with at least one
    // digit; a text longer than the field becomes asterisks.
    std::vector<std::int32_t> values = {0, 1, -1, std::numeric_limits<std::int32_t>::max(),
                                        std::numeric_limits<std::int32_t>::min()};
    for (std::int64_t power = 10; power <= 1000000000; power *= 10)
        for (std::int64_t near : {power - 1, power, power + 1}) {
            values.push_back(static_cast<std::int32_t>(near));
            values.push_back(static_cast<std::int32_t>(-near));
        }
    for (const std::int32_t v : values)
        for (int width = 1; width <= 13; ++width)
            for (int min_digits = 0; min_digits <= width; ++min_digits) {
                char text[32];
                const int length = std::snprintf(text, sizeof text, "%*.*d", width, std::max(min_digits, 1), v);
                const std::string want = length > width ? std::string(static_cast<std::size_t>(width), '*') : text;
                ASSERT_EQ(i_field(v, width, min_digits), want) << v << " I" << width << "." << min_digits;
            }
}

// ---------------------------------------------------------------- digit core

// The significand and exponent that std::to_chars gives with a precision:
// the exact value's digits, ties to even.
DecimalSignificand exact_digits(double v, int digit_count) {
    char text[64];
    const char* end = std::to_chars(text, text + sizeof text, std::fabs(v), std::chars_format::scientific,
                                    digit_count - 1).ptr;
    DecimalSignificand r{0, 0};
    const char* c = text;
    for (; *c != 'e'; ++c)
        if (*c != '.') r.significand = r.significand * 10 + static_cast<std::uint64_t>(*c - '0');
    int exponent = 0;
    std::from_chars(c + (c[1] == '+' ? 2 : 1), end, exponent);
    r.exponent = exponent - (digit_count - 1);
    return r;
}

void expect_exact(double v, int digit_count) {
    const DecimalSignificand got = round_to_significant_digits(v, digit_count);
    const DecimalSignificand want = exact_digits(v, digit_count);
    ASSERT_EQ(got.significand, want.significand) << v << " to " << digit_count << " digits";
    ASSERT_EQ(got.exponent, want.exponent) << v << " to " << digit_count << " digits";
}

TEST(RealDigits, ReferenceRoundsTiesToEven) {
    // The reference itself must round exact ties to even.
    EXPECT_EQ(exact_digits(0.125, 2).significand, 12u);
    EXPECT_EQ(exact_digits(0.375, 2).significand, 38u);
    EXPECT_EQ(exact_digits(2.5, 1).significand, 2u);
    EXPECT_EQ(exact_digits(12345678.5, 8).significand, 12345678u);
}

TEST(RealDigits, RandomBitPatternsMatchExactDigits) {
    std::mt19937_64 random(42);
    int checked = 0;
    while (checked < 3000000) {
        const std::uint64_t bits = random() & ~(std::uint64_t{1} << 63);
        if ((bits >> 52) == 0x7ff || bits == 0) continue;
        const double v = std::bit_cast<double>(bits);
        expect_exact(v, 8);
        if (checked % 8 == 0) {
            expect_exact(v, 14);
            expect_exact(v, 15);
            expect_exact(v, 1 + checked % 17);
        }
        ++checked;
    }
}

TEST(RealDigits, TypicalReportValuesMatchExactDigits) {
    // Coordinates and sizes of the report: metres to 10^7, degrees, small p and q.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    for (int i = 0; i < 1000000; ++i) {
        const double scale = std::pow(10.0, (i % 16) - 6);
        expect_exact(uniform(random) * scale, 8);
    }
}

TEST(RealDigits, ExactTiesAndTheirNeighbours) {
    // q * 2^-j has the decimal digits of q * 5^j: a tie at one digit fewer
    // when that product ends in 5.
    int ties = 0;
    for (int j = 0; j <= 22; ++j) {
        std::uint64_t five_power = 1;
        for (int i = 0; i < j; ++i) five_power *= 5;
        for (std::uint64_t q = 1; q < 4000; q += 2) {
            const std::uint64_t digits_value = q * five_power;
            if (digits_value >= (std::uint64_t{1} << 53) || digits_value % 10 != 5) continue;
            const int digit_count = decimal_digit_count(digits_value) - 1;
            if (digit_count < 1 || digit_count > 17) continue;
            const double v = std::ldexp(static_cast<double>(q), -j);
            expect_exact(v, digit_count);
            expect_exact(std::nextafter(v, 0.0), digit_count);
            expect_exact(std::nextafter(v, 1.0e300), digit_count);
            // Scaled by a power of two it is no tie any more.
            expect_exact(std::ldexp(v, -60), digit_count);
            expect_exact(std::ldexp(v, 40), digit_count);
            ++ties;
        }
    }
    // Integer ties at eight digits: (10 n + 5) * 10^t with n of eight digits.
    std::mt19937_64 random(11);
    for (int i = 0; i < 100000; ++i) {
        const std::uint64_t n = 10000000 + random() % 90000000;
        const double v = static_cast<double>(10 * n + 5) * std::pow(10.0, static_cast<double>(i % 6));
        expect_exact(v, 8);
        expect_exact(std::nextafter(v, 0.0), 8);
        expect_exact(std::nextafter(v, 1.0e300), 8);
        ++ties;
    }
    expect_exact(1.00000005, 8);
    expect_exact(1.000000005, 9);
    expect_exact(0.000012345675, 8);
    EXPECT_GT(ties, 100000);
}

TEST(RealDigits, EveryBinaryExponentAndPowerOfTen) {
    for (int e = -1074; e <= 1023; ++e) {
        const double power_of_two = std::ldexp(1.0, e);
        for (int d : {1, 8, 14, 15, 17}) {
            expect_exact(power_of_two, d);
            if (e > -1074) expect_exact(std::nextafter(power_of_two, 0.0), d);
            if (e < 1023) expect_exact(std::nextafter(2 * power_of_two, 0.0), d);
        }
    }
    for (int p = -323; p <= 308; ++p) {
        const std::string text = "1e" + std::to_string(p);
        double power_of_ten = 0;
        std::from_chars(text.data(), text.data() + text.size(), power_of_ten);
        for (int d : {1, 8, 14, 17}) {
            expect_exact(power_of_ten, d);
            expect_exact(std::nextafter(power_of_ten, 0.0), d);
            expect_exact(std::nextafter(power_of_ten, 1.0e308), d);
        }
    }
}

// The decimal exponent of |v|'s exact value, from its first 60 digits (no
// double lies within 10^-60 of a power of ten, relatively).
int exact_decimal_exponent(double v) {
    char text[128];
    const char* end = std::to_chars(text, text + sizeof text, std::fabs(v), std::chars_format::scientific, 60).ptr;
    const char* e = std::find(static_cast<const char*>(text), end, 'e');
    int exponent = 0;
    std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
    return exponent;
}

TEST(RealDigits, DecadeStartsAreTheFirstDoublesOfEachDecade) {
    for (int n = detail::min_decade; n <= detail::max_decade; ++n) {
        const auto index = static_cast<std::size_t>(n - detail::min_decade);
        const double start = std::bit_cast<double>(detail::decade_starts[index]);
        ASSERT_EQ(exact_decimal_exponent(start), n) << "10^" << n;
        ASSERT_EQ(exact_decimal_exponent(std::nextafter(start, 0.0)), n - 1) << "10^" << n;
    }
    const auto start_bits = [](int n) {
        return detail::decade_starts[static_cast<std::size_t>(n - detail::min_decade)];
    };
    EXPECT_EQ(start_bits(0), std::bit_cast<std::uint64_t>(1.0));
    EXPECT_EQ(start_bits(22), std::bit_cast<std::uint64_t>(1.0e22));  // the last power of ten that is a double
    EXPECT_EQ(start_bits(-323), 3u);  // 3 * 2^-1074 = 1.48e-323; twice it is 9.88e-324
}

TEST(RealDigits, DigitCountsAndDigits) {
    EXPECT_EQ(decimal_digit_count(0), 1);
    std::uint64_t p = 1;
    for (int n = 1; n <= 19; ++n, p *= 10) {
        EXPECT_EQ(decimal_digit_count(p), n);
        if (p > 1) {
            EXPECT_EQ(decimal_digit_count(p - 1), n - 1);
        }
    }
    EXPECT_EQ(decimal_digit_count(std::numeric_limits<std::uint64_t>::max()), 20);
    char out[20];
    EXPECT_EQ(std::string(out, write_digits(1234567890123456789u, 19, out)), "1234567890123456789");
    EXPECT_EQ(std::string(out, write_digits(42, 9, out)), "000000042");
    EXPECT_EQ(std::string(out, write_digits(0, 1, out)), "0");
    // Every count against std::to_chars, zero-padded.
    std::mt19937_64 random(3);
    for (int i = 0; i < 2000000; ++i) {
        const int count = 1 + i % 19;
        std::uint64_t limit = 1;  // 10^count
        for (int k = 0; k < count; ++k) limit *= 10;
        const std::uint64_t value = i % 5 == 0 ? limit - 1 - i % 3 : random() % limit;
        char expected[24];
        const int length = static_cast<int>(std::to_chars(expected, expected + 24, value).ptr - expected);
        const std::string want = std::string(static_cast<std::size_t>(count - length), '0') + std::string(expected, length);
        ASSERT_EQ(std::string(out, write_digits(value, count, out)), want) << value;
    }
}

// ---------------------------------------------------------------- formats

TEST(Format, RepeatsExpandIntoAFlatList) {
    const Format f("(A,A,9(i6,x),21(e15.8,x))");
    ASSERT_EQ(f.size(), 2 + 18 + 42);
    EXPECT_EQ(f[0].kind, Format::Kind::text_item);
    EXPECT_EQ(f[2].kind, Format::Kind::integer);
    EXPECT_EQ(f[2].width, 6);
    EXPECT_EQ(f[3].kind, Format::Kind::skip);
    EXPECT_EQ(f[61].kind, Format::Kind::skip);
    EXPECT_EQ(f[60].kind, Format::Kind::real_e);
    EXPECT_EQ(f[60].width, 15);
    EXPECT_EQ(f[60].digits, 8);
    EXPECT_EQ(f.fixed_length(), 9 * 7 + 21 * 16);
    EXPECT_EQ(f.text(), "(A,A,9(i6,x),21(e15.8,x))");
}

TEST(Format, NestedGroupsCaseBlanksAndQuotes) {
    const Format f(" ( 2 ( I2 , 2('-') ) , a , \"it's\" , 'say ''hi''' , 3X ) ");
    char text[32];
    FixedRecord(std::span<char>(text), f) << 1 << 2 << "!";
    EXPECT_EQ(std::string(text, sizeof text), " 1-- 2--!it'ssay 'hi'" + std::string(11, ' '));
}

TEST(Format, IllFormedFormatsEndTheRun) {
    EXPECT_DEATH(Format("(A,B)"), "Ill-formed format \"\\(A,B\\)\": unknown edit descriptor at position 4");
    EXPECT_DEATH(Format("(i0)"), "field width outside 1..255");
    EXPECT_DEATH(Format("(e15)"), "expected '\\.'");
    EXPECT_DEATH(Format("(e15.0)"), "digits outside 1..17");
    EXPECT_DEATH(Format("(i2.3)"), "minimum digits wider than the field");
    EXPECT_DEATH(Format("('abc)"), "unterminated quoted text");
    EXPECT_DEATH(Format("(i5,)"), "unexpected end|unknown edit descriptor");
    EXPECT_DEATH(Format("(i5"), "expected '\\)'");
    EXPECT_DEATH(Format("(i5))"), "text after the closing parenthesis");
    EXPECT_DEATH(Format("(0i5)"), "repeat count 0");
    EXPECT_DEATH(Format("(2'ab')"), "repeat count before a quoted text");
    EXPECT_DEATH(Format("(A10)"), "A with a width is not supported");
    EXPECT_DEATH(Format("(200i5)"), "more than 128 edit descriptors");
}

// ---------------------------------------------------------------- records

TEST(FixedRecord, EightIntegers) {
    static const Format f("(8i8)");
    const std::string out = written([] { FixedRecord(output_unit, f) << 1 << 2 << 3 << 17 << 100001 << 18 << 5 << 6; });
    EXPECT_EQ(out, "       1       2       3      17  100001      18       5       6\n");
    EXPECT_EQ(out.size(), 64u + 1);
}

TEST(FixedRecord, ReportRecordsHaveTheirLengthsAndNoTrailingBlank) {
    static const Format voxel("(A,A,9(i6,x),21(e15.8,x))");
    static const Format face("(A,A,3(i5,x),27(e15.8,x))");
    static const Format node("(A,A,3(i5,x),15(e15.8,x))");
    static const Format corner("(A,A,1(i5,x),12(e15.8,x))");
    auto record = [](const Format& f, std::string_view label, int integers, int reals) {
        return written([&] {
            FixedRecord r(output_unit, f);
            r << "FD00019%  " << label;
            for (int i = 0; i < integers; ++i) r << (i == 1 ? 100001 : i + 1);
            for (int i = 0; i < reals; ++i) r << (i % 2 == 0 ? -6371200.0 * i : 0.5 / (i + 1));
        });
    };
    const std::string v = record(voxel, "voxel ", 9, 21);
    const std::string p = record(face, "facep ", 3, 27);
    const std::string n = record(node, "grid ", 3, 15);
    const std::string c = record(corner, "agrid", 1, 12);
    EXPECT_EQ(v.size(), 414u + 1);
    EXPECT_EQ(p.size(), 465u + 1);
    EXPECT_EQ(n.size(), 272u + 1);
    EXPECT_EQ(c.size(), 212u + 1);
    EXPECT_EQ(n.substr(0, 15 + 18), "FD00019%  grid     1 *****     3 ");
    EXPECT_EQ(v.substr(0, 16 + 14), "FD00019%  voxel      1 100001 ");
    EXPECT_EQ(n.substr(n.size() - 16), "-0.89196800E+08\n");
}

TEST(FixedRecord, SkipsBecomeBlanksOnlyBeforeALaterField) {
    static const Format f("(i3,2x,i3,x)");
    EXPECT_EQ(written([] { FixedRecord(output_unit, f) << 1 << 2; }), "  1    2\n");
    EXPECT_EQ(written([] { FixedRecord(output_unit, f) << 1; }), "  1\n");
    static const Format g("(i3,x,'|')");
    EXPECT_EQ(written([] { FixedRecord(output_unit, g) << 1; }), "  1 |\n");
}

TEST(FixedRecord, UsedUpItemsStopAtTheNextDataDescriptor) {
    static const Format f("(i3,' end',i3,' tail')");
    EXPECT_EQ(written([] { FixedRecord(output_unit, f) << 1; }), "  1 end\n");
    EXPECT_EQ(written([] { FixedRecord(output_unit, f) << 1 << 2; }), "  1 end  2 tail\n");
    EXPECT_EQ(written([] { FixedRecord{output_unit, f}; }), "\n");
    static const Format g("('head',i3)");
    EXPECT_EQ(written([] { FixedRecord{output_unit, g}; }), "head\n");
}

TEST(FixedRecord, TheLineTagIntoATextOfTen) {
    static const Format tag("('FD',I5,'%  ')");
    char text[10];
    FixedRecord(std::span<char>(text), tag) << 1;
    EXPECT_EQ(std::string(text, 10), "FD    1%  ");
    FixedRecord(std::span<char>(text), tag) << 100000;
    EXPECT_EQ(std::string(text, 10), "FD*****%  ");
}

TEST(FixedRecord, TheDefaultFileNameAndTheBlankedRest) {
    static const Format name("(a,a,I4.4,I2.2,I2.2,a,I2.2,I2.2,I2.2,a)");
    char text[40];
    std::fill(std::begin(text), std::end(text), 'x');
    FixedRecord(std::span<char>(text), name) << "vorn_state_pql" << "_" << 2000 << 1 << 1 << "_" << 12 << 0 << 5 << ".mat";
    EXPECT_EQ(std::string(text, 40), "vorn_state_pql_20000101_120005.mat      ");
    char exact[34];
    FixedRecord(std::span<char>(exact), name) << "vorn_state_pql" << "_" << 1999 << 12 << 31 << "_" << 23 << 59 << 59 << ".mat";
    EXPECT_EQ(std::string(exact, 34), "vorn_state_pql_19991231_235959.mat");
}

TEST(FixedRecord, RecordsAcrossBufferFlushesStayWhole) {
    static const Format node("(A,A,3(i5,x),15(e15.8,x))");
    constexpr int records = 6000;  // about 1.6 MB: several buffer flushes
    const std::string label(700, 'L');  // longer than the record's reservation
    const std::string out = written([&] {
        for (int i = 0; i < records; ++i) {
            FixedRecord r(output_unit, node);
            r << "FD00019%  " << (i % 1000 == 999 ? std::string_view(label) : std::string_view("grid ")) << i << 2 << 3;
            for (int k = 0; k < 15; ++k) r << 1.0 + k;
        }
    });
    std::size_t start = 0;
    int lines = 0;
    for (std::size_t end; (end = out.find('\n', start)) != std::string::npos; start = end + 1, ++lines) {
        const std::size_t expected = lines % 1000 == 999 ? 272 - 5 + 700 : 272;
        ASSERT_EQ(end - start, expected) << "line " << lines;
        ASSERT_EQ(out.compare(end - 15, 15, " 0.15000000E+02"), 0) << "line " << lines;
    }
    EXPECT_EQ(lines, records);
    EXPECT_EQ(start, out.size());
}

TEST(FixedRecord, ATextLongerThanHalfTheBufferGoesThroughWhole) {
    static const Format f("(A,x,i3,x,A)");
    const std::string huge(600000, 'h');
    const std::string out = written([&] { FixedRecord(output_unit, f) << huge << 7 << "end"; });
    EXPECT_EQ(out, huge + "   7 end\n");
}

TEST(FixedRecord, RenderedRealsWriteWhatTheirValuesWould) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double values[] = {0.0, -0.0, 1.0, -6371200.0, 0.5e-7, 12345678.5, 9.9999999949e5, 1.0e-120,
                             std::numeric_limits<double>::denorm_min(), -nan,
                             std::numeric_limits<double>::infinity()};
    for (const char* text : {"(A,2(e15.8,x),I3)", "(A,2(e12.3,x),I3)", "(A,2(e9.2,x),I3)"}) {
        const Format f(text);
        const int width = f[1].width;
        const int digits = f[1].digits;
        for (const double v : values) {
            char converted[48];
            char rendered[48];
            FixedRecord(std::span<char>(converted), f) << "at" << v << -v << 7;
            FixedRecord(std::span<char>(rendered), f)
                << "at" << RenderedReal(v, width, digits) << RenderedReal(-v, width, digits) << 7;
            EXPECT_EQ(std::string(rendered, sizeof rendered), std::string(converted, sizeof converted))
                << text << " " << v;
        }
    }
}

TEST(FixedRecord, RenderedRealsOfAnotherFieldEndTheRun) {
    static const Format f("(e12.3,I5)");
    EXPECT_DEATH(FixedRecord(output_unit, f) << RenderedReal(1.0, 15, 8),
                 "A real rendered as E15.8 does not fit edit descriptor E12.3 of format \"\\(e12.3,I5\\)\"");
    EXPECT_DEATH(FixedRecord(output_unit, f) << 1.0 << RenderedReal(1.0, 5, 1),
                 "Output item 2 \\(a rendered real\\) does not fit edit descriptor I5");
    EXPECT_DEATH(RenderedReal(1.0, 31, 8), "A rendered real takes E31.8: the width must lie in 1..30");
}

TEST(FixedRecord, ProgramFaultsEndTheRun) {
    static const Format f("(A,A,1(i5,x),2(e15.8,x))");
    EXPECT_DEATH(FixedRecord(output_unit, f) << "tag" << "lbl" << 1 << 2.0 << 3.0 << 4.0,
                 "Output item 6 \\(a real\\) of a fixed-format record has no data edit descriptor left in format "
                 "\"\\(A,A,1\\(i5,x\\),2\\(e15.8,x\\)\\)\"");
    EXPECT_DEATH(FixedRecord(output_unit, f) << "tag" << "lbl" << 1.5,
                 "Output item 3 \\(a real\\) does not fit edit descriptor I5 of format");
    EXPECT_DEATH(FixedRecord(output_unit, f) << 7, "Output item 1 \\(an integer\\) does not fit edit descriptor A");
    EXPECT_DEATH(FixedRecord(output_unit, f) << "tag" << "lbl" << 1 << "text",
                 "Output item 4 \\(a text\\) does not fit edit descriptor E15.8");
    // Quoted texts take no item: the count is of the items alone.
    static const Format quoted("('a',I2,'b',I2,'c')");
    EXPECT_DEATH(FixedRecord(output_unit, quoted) << 1 << 2 << 3,
                 "Output item 3 \\(an integer\\) of a fixed-format record has no data edit descriptor left");
    static const Format quoted_text("('x',I2,'y',A)");
    EXPECT_DEATH(FixedRecord(output_unit, quoted_text) << 1 << 2,
                 "Output item 2 \\(an integer\\) does not fit edit descriptor A");
    static const Format tag("('FD',I5,'%  ')");
    char text[9];
    EXPECT_DEATH(FixedRecord(std::span<char>(text), tag) << 1, "Fixed-format record longer than its text of 9 characters");
}

}  // namespace
}  // namespace vorn
