#include "format/real_digits.hpp"

#include <charconv>

namespace vorn::detail {

namespace {

// Just enough of an unsigned big integer (32-bit words, least significant
// first) to build the table at compile time.
struct BigInteger {
    static constexpr int words = 40;
    std::uint32_t w[words]{};

    constexpr int bit_length() const {
        for (int i = words - 1; i >= 0; --i)
            if (w[i] != 0) return i * 32 + std::bit_width(w[i]);
        return 0;
    }
    constexpr bool bit(int i) const { return i >= 0 && ((w[i / 32] >> (i % 32)) & 1u) != 0; }
    // The 64 bits that start at the top bit.
    constexpr std::uint64_t top_64_bits() const {
        std::uint64_t r = 0;
        for (int i = bit_length() - 1, n = 0; n < 64; --i, ++n) r = (r << 1) | (bit(i) ? 1u : 0u);
        return r;
    }
    constexpr void multiply_by_10() {
        std::uint64_t carry = 0;
        for (auto& word : w) {
            std::uint64_t t = std::uint64_t{word} * 10 + carry;
            word = static_cast<std::uint32_t>(t);
            carry = t >> 32;
        }
    }
    constexpr void divide_by_10() {
        std::uint64_t remainder = 0;
        for (int i = words - 1; i >= 0; --i) {
            std::uint64_t t = (remainder << 32) | w[i];
            w[i] = static_cast<std::uint32_t>(t / 10);
            remainder = t % 10;
        }
    }
};

// 10^k = (n + f) * 2^-scale with 0 <= f < 1, for k = lowest .. highest,
// handed to visit(k, n, scale, above) with above true when f > 0.  For k >= 0,
// n = 10^k exactly (scale 0, f = 0); for k < 0, n = floor(2^1248 / 10^-k) by
// repeated exact division, which keeps at least 175 significant bits for
// k >= -323, and f > 0 since 10^-k never divides a power of two.
template <class Visit>
constexpr void for_each_power_of_ten(int lowest, int highest, Visit visit) {
    BigInteger exact;
    exact.w[0] = 1;
    for (int k = 0; k <= highest; ++k) {
        visit(k, exact, 0, false);
        exact.multiply_by_10();
    }
    constexpr int scale_bits = 1248;
    BigInteger reciprocal;
    reciprocal.w[scale_bits / 32] = 1u << (scale_bits % 32);
    for (int k = -1; k >= lowest; --k) {
        reciprocal.divide_by_10();
        visit(k, reciprocal, scale_bits, true);
    }
}

// The top 64 bits of n are 10^k truncated.
constexpr std::array<PowerOfTen, max_power - min_power + 1> build_powers_of_ten() {
    std::array<PowerOfTen, max_power - min_power + 1> table{};
    for_each_power_of_ten(min_power, max_power, [&](int k, const BigInteger& n, int scale, bool) {
        table[k - min_power] = {n.top_64_bits(), n.bit_length() - 64 - scale};
    });
    return table;
}

// The bits of the smallest double not below x = (n + f) * 2^-scale, where
// f = 0 when `above` is false and 0 < f < 1 otherwise.  The last mantissa
// bit is worth 2^e: 53 significant bits, or 2^-1074 among the subnormals.
constexpr std::uint64_t smallest_double_at_least(const BigInteger& n, int scale, bool above) {
    constexpr std::uint64_t hidden_bit = std::uint64_t{1} << 52;
    int e = n.bit_length() - 53 - scale;
    if (e < -1074) e = -1074;
    const int shift = e + scale;  // bits of n below the last mantissa bit
    std::uint64_t m = 0;
    bool rest = above;
    // Bits below 0 read as zeros, which scales a short n up to 53 bits.
    for (int i = n.bit_length() - 1; i >= shift; --i) m = (m << 1) | (n.bit(i) ? 1u : 0u);
    for (int i = 0; i < shift && !rest; ++i) rest = n.bit(i);
    if (rest) ++m;
    if (m == 2 * hidden_bit) {
        m = hidden_bit;
        ++e;
    }
    if (m < hidden_bit) return m;  // subnormal
    return (static_cast<std::uint64_t>(e + 1075) << 52) | (m - hidden_bit);
}

constexpr std::array<std::uint64_t, max_decade - min_decade + 1> build_decade_starts() {
    std::array<std::uint64_t, max_decade - min_decade + 1> table{};
    for_each_power_of_ten(min_decade, max_decade, [&](int k, const BigInteger& n, int scale, bool above) {
        table[k - min_decade] = smallest_double_at_least(n, scale, above);
    });
    return table;
}

}  // namespace

constinit const std::array<PowerOfTen, max_power - min_power + 1> powers_of_ten = build_powers_of_ten();
constinit const std::array<std::uint64_t, max_decade - min_decade + 1> decade_starts = build_decade_starts();

// Exact rounding of |v| * 10^k when the fixed-point estimate is too close to
// a tie: the digits that std::to_chars gives with a precision are those of the
// exact value, ties to even.  The estimate has the integer part of the exact
// product (the tie lies above it, nearer than 0.5), so it fixes the number of
// significant digits to ask for.
std::uint64_t round_scaled_exactly(double v, int k, std::uint64_t integer_part) {
    const int digits = decimal_digit_count(integer_part);
    const double magnitude = std::bit_cast<double>(std::bit_cast<std::uint64_t>(v) & ~(std::uint64_t{1} << 63));
    char text[48];
    const auto end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, digits - 1).ptr;
    std::uint64_t significand = 0;
    const char* c = text;
    for (; *c != 'e'; ++c)
        if (*c != '.') significand = significand * 10 + static_cast<std::uint64_t>(*c - '0');
    int exponent = 0;
    std::from_chars(c + (c[1] == '+' ? 2 : 1), end, exponent);
    // |v| * 10^k = significand * 10^(exponent - digits + 1 + k); the power is
    // 1 when the rounding carried into a new digit (9.99..e -> 1.00..e+1).
    return exponent - digits + 1 + k == 1 ? significand * 10 : significand;
}

}  // namespace vorn::detail
