#include "format/free_format.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#include "format/real_digits.hpp"

namespace vorn {

namespace {

constexpr int line_width = 80;
constexpr int fixed_field_width = 19;
constexpr int exponent_field_width = 23;
// The break test of a nonzero real reserves this many columns, whichever
// field it then fills.
constexpr int real_break_width = 15;

constexpr std::string_view zero_field = "  0.";

// Right-justifies text[0..length) in a field of `width`; returns the width.
int right_justify(char* out, int length, int width) {
    std::memmove(out + (width - length), out, length);
    std::memset(out, ' ', width - length);
    return width;
}

}  // namespace

int free_format_real(double value, char* out) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0x7ff) {  // one blank, the text, blanks up to the field's end
        const std::string_view text = not_finite_text(value);
        out[0] = ' ';
        std::memcpy(out + 1, text.data(), text.size());
        std::memset(out + 1 + text.size(), ' ', exponent_field_width - 1 - text.size());
        return exponent_field_width;
    }
    if ((bits << 1) == 0) {
        std::memcpy(out, zero_field.data(), zero_field.size());
        return static_cast<int>(zero_field.size());
    }
    const int top_fraction_bits = static_cast<int>((bits >> 44) & 0xff);
    const std::int32_t estimate = (1233 * (256 * (biased - 1023) + top_fraction_bits)) >> 20;
    char* p = out;
    if (negative) *p++ = '-';
    if (estimate >= -1 && estimate <= 13) {
        const int integer_digits = estimate + 1;
        const int decimals = integer_digits > 0 ? 14 - integer_digits : 14;
        // All digits of the rounded value, a "0" before the point at least,
        // then the point moved in.
        const std::uint64_t scaled = round_scaled(value, decimals);
        const int digits = std::max(decimal_digit_count(scaled), decimals + 1);
        write_digits(scaled, digits, p);
        p += digits - decimals;
        std::memmove(p + 1, p, static_cast<std::size_t>(decimals));
        *p = '.';
        p += decimals + 1;
        return right_justify(out, static_cast<int>(p - out), fixed_field_width);
    }
    const DecimalSignificand s = round_to_significant_digits(value, 14);
    const int exponent = s.exponent + 13;
    // d1 "." d2...d14: the digits one place on, then d1 moved before the point.
    write_digits(s.significand, 14, p + 1);
    p[0] = p[1];
    p[1] = '.';
    p = write_exponent('D', exponent, p + 15);
    return right_justify(out, static_cast<int>(p - out), exponent_field_width);
}

FreeLine::FreeLine(int unit) : FreeLine(text_unit(unit)) {}

FreeLine::FreeLine(TextUnit& unit) : unit_(unit) {
    unit_.put(' ');
    column_ = 1;
}

FreeLine::~FreeLine() {
    if (column_ > 0) unit_.put('\n');
}

// An item that would pass the line width goes on a new line, unless the line
// holds nothing but its first blank.
void FreeLine::break_if_needed(int width) {
    if (column_ + width > line_width && column_ > 1) {
        unit_.put(std::string_view("\n "));
        column_ = 1;
    }
}

FreeLine& FreeLine::operator<<(std::string_view text) {
    break_if_needed(static_cast<int>(text.size()));
    unit_.put(text);
    column_ += static_cast<int>(text.size());
    return *this;
}

FreeLine& FreeLine::operator<<(std::int32_t value) {
    const bool negative = value < 0;
    const std::uint32_t magnitude = negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    const int digits = decimal_digit_count(magnitude);
    const int length = 2 + (negative ? 1 : 0) + digits;
    break_if_needed(length);
    char* p = unit_.reserve(length);
    p[0] = p[1] = ' ';
    if (negative) p[2] = '-';
    write_digits(magnitude, digits, p + length - digits);
    unit_.commit(length);
    column_ += length;
    return *this;
}

FreeLine& FreeLine::operator<<(double value) {
    const bool zero = (std::bit_cast<std::uint64_t>(value) << 1) == 0;
    break_if_needed(zero ? static_cast<int>(zero_field.size()) : real_break_width);
    const int length = free_format_real(value, unit_.reserve(32));
    unit_.commit(length);
    column_ += length;
    return *this;
}

}  // namespace vorn
