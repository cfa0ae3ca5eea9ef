// Decimal digits of doubles, correctly rounded.
//
// The formatting core shared by free-format lines and fixed-format records.
// Every result is the exact binary value of the double rounded to nearest,
// a tie (exact value halfway between two results) going to the even result.
// The sign of the argument is ignored; the caller writes it.  No floating-point
// operation is made on the argument (integer arithmetic on its bits only), so
// no exception flag is raised or trapped.
//
// Fast path: a table of decade starts gives the decimal exponent exactly; the
// value times a power of ten is formed in 64.64 fixed point from a truncated
// 64-bit power-of-ten table; its error bound says when the rounding
// direction is certain.  Inside that bound (a near-tie, about one value in 10^9
// for eight digits) the digits come from std::to_chars with a precision, which
// is exact but several times slower.  The fast path is inline: the report
// calls it for every real it writes.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace vorn {

// |v| rounded to `digit_count` significant decimal digits:
// |v| ~ significand * 10^exponent, 10^(digit_count-1) <= significand < 10^digit_count.
// Preconditions: v finite and nonzero (subnormals included), 1 <= digit_count <= 17.
struct DecimalSignificand {
    std::uint64_t significand;
    int exponent;
};
inline DecimalSignificand round_to_significant_digits(double v, int digit_count);

// |v| * 10^k rounded to an integer.
// Preconditions: v finite, 1 <= |v| * 10^k < 10^18, -320 <= k <= 350.
inline std::uint64_t round_scaled(double v, int k);

// Writes `count` decimal digits of `value` (value < 10^count), with leading
// zeros, to out[0..count); returns out + count.  1 <= count <= 20.
inline char* write_digits(std::uint64_t value, int count, char* out);

// Number of decimal digits of value (1 for 0).
inline int decimal_digit_count(std::uint64_t value);

// The exponent part of a real field: `letter`, the sign and two digits, or,
// when |exponent| > 99, the sign and three digits without the letter.
// Returns the end of what it wrote.
inline char* write_exponent(char letter, int exponent, char* out);

// "NaN", "-NaN", "Infinity" or "-Infinity" for a double whose exponent field
// is all ones (the sign bit decides the "-").
inline std::string_view not_finite_text(double v);

// ---------------------------------------------------------------- inside

namespace detail {

__extension__ typedef unsigned __int128 uint128;

// 10^k ~ mantissa * 2^binary_exponent, the mantissa in [2^63, 2^64) and
// truncated, so the table never overstates a power.
struct PowerOfTen {
    std::uint64_t mantissa;
    int binary_exponent;
};
inline constexpr int min_power = -320;
inline constexpr int max_power = 350;
extern const std::array<PowerOfTen, max_power - min_power + 1> powers_of_ten;

// The bits of the smallest double not below 10^n, for every n from the
// decade of the smallest subnormal to that of the largest double: |v| >= 10^n
// exactly when the bits of |v| are not below these.
inline constexpr int min_decade = -323;
inline constexpr int max_decade = 308;
extern const std::array<std::uint64_t, max_decade - min_decade + 1> decade_starts;

inline constexpr std::array<std::uint64_t, 20> integer_powers_of_ten = [] {
    std::array<std::uint64_t, 20> p{};
    p[0] = 1;
    for (std::size_t i = 1; i < p.size(); ++i) p[i] = p[i - 1] * 10;
    return p;
}();

// |v| = mantissa * 2^exponent with the mantissa's top bit set (2^63 <= mantissa).
struct BinaryValue {
    std::uint64_t mantissa;
    int exponent;
};

inline BinaryValue decompose(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0) [[unlikely]] {  // subnormal
        const int shift = std::countl_zero(fraction);
        return {fraction << shift, -1074 - shift};
    }
    return {(fraction | (std::uint64_t{1} << 52)) << 11, biased - 1075 - 11};
}

// floor(e * log10(2)), exact for |e| <= 1650.
inline int floor_log10_pow2(int e) { return (e * 78913) >> 18; }

// An estimate x of |v| * 10^k in 64.64 fixed point, never above the exact
// value; the error bound of round_fixed_point covers its truncations.
struct FixedPoint {
    std::uint64_t integer;
    std::uint64_t fraction;  // units of 2^-64
};

// Requires 1 <= x < 2^60.  The table entry falls short by less than 2^-63
// of itself (2x units of 2^-64), the dropped low product bits by 1 unit.
inline FixedPoint scale(const BinaryValue& b, int k) {
    const PowerOfTen& p = powers_of_ten[static_cast<std::size_t>(k - min_power)];
    const uint128 product = uint128{b.mantissa} * p.mantissa;  // in [2^126, 2^128)
    const int shift = -(b.exponent + p.binary_exponent) - 64;  // 3 <= shift <= 63
    const auto high = static_cast<std::uint64_t>(product >> 64);
    const auto low = static_cast<std::uint64_t>(product);
    return {high >> shift, (high << (64 - shift)) | (low >> shift)};
}

// The exact rounding of |v| * 10^k for a near-tie, from std::to_chars.
std::uint64_t round_scaled_exactly(double v, int k, std::uint64_t integer_part);

inline std::uint64_t round_fixed_point(const FixedPoint& x, double v, int k) {
    constexpr std::uint64_t half = std::uint64_t{1} << 63;
    // The exact fraction lies in [fraction, fraction + bound) in units of
    // 2^-64: at most 2x + 5 after scale, with room to spare.  Above half the
    // difference wraps round and exceeds any bound.
    const std::uint64_t bound = 3 * x.integer + 16;
    if (half - x.fraction <= bound) [[unlikely]]
        return round_scaled_exactly(v, k, x.integer);
    // Random data rounds either way equally often: no branch on it.
    return x.integer + (x.fraction >> 63);
}

inline constexpr char digit_pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

// Eight digits of n < 10^8 without divisions, all in one 64-bit word: the
// halves n / 10^4 and n % 10^4 go into 32-bit lanes, each lane splits into
// two 16-bit lanes of n / 100 and n % 100, and each of those into two bytes
// of tens and units (divisions by constants as multiply and shift, exact in
// these ranges; checked for every n below 10^8).  The first digit ends up
// in the lowest byte.
[[gnu::always_inline]] inline void write_8_digits(std::uint32_t n, char* out) {
    const std::uint64_t lanes_4 = (n / 10000) | (std::uint64_t{n % 10000} << 32);
    const std::uint64_t hundreds = ((lanes_4 * 10486) >> 20) & ((std::uint64_t{0x7f} << 32) | 0x7f);
    const std::uint64_t lanes_2 = ((lanes_4 - 100 * hundreds) << 16) + hundreds;
    const std::uint64_t tens = ((lanes_2 * 103) >> 10) & ((std::uint64_t{0xf} << 48) | (std::uint64_t{0xf} << 32) |
                                                          (std::uint64_t{0xf} << 16) | 0xf);
    const std::uint64_t lanes_1 = tens + ((lanes_2 - 10 * tens) << 8);
    std::uint64_t text = lanes_1 + 0x3030303030303030;  // '0' in every byte
    if constexpr (std::endian::native == std::endian::big) text = __builtin_bswap64(text);
    std::memcpy(out, &text, 8);
}

}  // namespace detail

[[gnu::always_inline]] inline DecimalSignificand round_to_significant_digits(double v, int digit_count) {
    using namespace detail;
    const BinaryValue b = decompose(v);
    // 10^p <= |v| < 10^(p+1) with p = p0 or p0 + 1; the start of decade
    // p0 + 1 decides, compared on the bits (positive doubles order as their
    // bits), so |v| * 10^k lies in [10^(digit_count-1), 10^digit_count).
    const int p0 = floor_log10_pow2(b.exponent + 63);
    const std::uint64_t magnitude_bits = std::bit_cast<std::uint64_t>(v) & ~(std::uint64_t{1} << 63);
    const int p = p0 + (magnitude_bits >= decade_starts[static_cast<std::size_t>(p0 + 1 - min_decade)] ? 1 : 0);
    int k = digit_count - 1 - p;
    std::uint64_t significand = round_fixed_point(scale(b, k), v, k);
    const std::uint64_t limit = integer_powers_of_ten[static_cast<std::size_t>(digit_count)];
    if (significand == limit) [[unlikely]] {  // rounded up to the next power of ten
        significand = integer_powers_of_ten[static_cast<std::size_t>(digit_count - 1)];
        --k;
    }
    return {significand, -k};
}

inline std::uint64_t round_scaled(double v, int k) {
    return detail::round_fixed_point(detail::scale(detail::decompose(v), k), v, k);
}

[[gnu::always_inline]] inline char* write_digits(std::uint64_t value, int count, char* out) {
    char* const end = out + count;
    char* p = end;
    for (; count > 8; count -= 8, value /= 100000000) {
        p -= 8;
        detail::write_8_digits(static_cast<std::uint32_t>(value % 100000000), p);
    }
    auto rest = static_cast<std::uint32_t>(value);
    if (count == 8) {
        detail::write_8_digits(rest, out);
        return end;
    }
    for (; count >= 2; count -= 2, rest /= 100) {
        p -= 2;
        std::memcpy(p, detail::digit_pairs + 2 * (rest % 100), 2);
    }
    if (count == 1) *--p = static_cast<char>('0' + rest);
    return end;
}

inline int decimal_digit_count(std::uint64_t value) {
    // floor(log10) estimated from the bit width, then corrected; value | 1
    // changes no comparison except that 0 counts one digit.
    const int t = (std::bit_width(value | 1) * 1233) >> 12;
    return t + 1 - ((value | 1) < detail::integer_powers_of_ten[static_cast<std::size_t>(t)] ? 1 : 0);
}

[[gnu::always_inline]] inline char* write_exponent(char letter, int exponent, char* out) {
    const int magnitude = exponent < 0 ? -exponent : exponent;
    const bool three_digits = magnitude > 99;
    if (!three_digits) *out++ = letter;
    *out++ = exponent < 0 ? '-' : '+';
    const auto digits = static_cast<std::uint64_t>(magnitude);
    return three_digits ? write_digits(digits, 3, out) : write_digits(digits, 2, out);
}

inline std::string_view not_finite_text(double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    const bool negative = (bits >> 63) != 0;
    const bool nan = (bits & ((std::uint64_t{1} << 52) - 1)) != 0;
    return nan ? (negative ? "-NaN" : "NaN") : (negative ? "-Infinity" : "Infinity");
}

}  // namespace vorn
