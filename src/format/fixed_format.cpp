#include "format/fixed_format.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>

#include "format/real_digits.hpp"
#include "run_end/abnormal_end.hpp"

namespace vorn {

namespace {

// Blanks before a field: mostly none or one, so no call for those.
void blank(char*& p, int n) {
    if (n == 1) *p++ = ' ';
    else if (n > 1) {
        std::memset(p, ' ', static_cast<std::size_t>(n));
        p += n;
    }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// NaN and the infinities, left-justified in the field.
void format_not_finite(double value, int width, char* out) {
    const std::string_view text = not_finite_text(value);
    if (text.size() > static_cast<std::size_t>(width)) {
        std::memset(out, '*', static_cast<std::size_t>(width));
        return;
    }
    std::memcpy(out, text.data(), text.size());
    std::memset(out + text.size(), ' ', static_cast<std::size_t>(width) - text.size());
}

std::string describe(const Format::Descriptor& d) {
    switch (d.kind) {
        case Format::Kind::text_item: return "A";
        case Format::Kind::integer:
            return "I" + std::to_string(d.width) + (d.digits > 0 ? "." + std::to_string(d.digits) : "");
        case Format::Kind::real_e: return "E" + std::to_string(d.width) + "." + std::to_string(d.digits);
        case Format::Kind::skip: return "X";
        case Format::Kind::literal: return "a quoted text";
    }
    return "?";
}

// ---------------------------------------------------------------- fields
// Inlined into the record writer, which calls them for every number of the
// report.

[[gnu::always_inline]] inline void write_integer_field(std::int32_t value, int width, int min_digits, char* out) {
    const bool negative = value < 0;
    const std::uint32_t magnitude = negative ? 0u - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    // Too wide: more digits (Iw.m: zeros in front) than the field holds
    // beside the sign.  A 32-bit magnitude has at most 10 digits.
    const int room = width - (negative ? 1 : 0);
    if (min_digits > room ||
        (room < 10 && magnitude >= detail::integer_powers_of_ten[static_cast<std::size_t>(room)])) {
        std::memset(out, '*', static_cast<std::size_t>(width));
        return;
    }
    // Blanks over the whole field first (a field of 4 to 8, as in the
    // report, takes two overlapping 4-byte stores), then the number.
    if (width >= 4 && width <= 8) {
        std::memcpy(out, "    ", 4);
        std::memcpy(out + width - 4, "    ", 4);
    } else {
        std::memset(out, ' ', static_cast<std::size_t>(width));
    }
    // The digits from the right end of the field, two at a time, so that
    // their count is found as they are written.
    char* p = out + width;
    std::uint32_t rest = magnitude;
    for (; rest >= 100; rest /= 100) {
        p -= 2;
        std::memcpy(p, detail::digit_pairs + 2 * (rest % 100), 2);
    }
    if (rest >= 10) {
        p -= 2;
        std::memcpy(p, detail::digit_pairs + 2 * rest, 2);
    } else {
        *--p = static_cast<char>('0' + rest);
    }
    for (char* const first = out + width - min_digits; p > first;) *--p = '0';
    if (negative) p[-1] = '-';
}

// ".d1...dd"; returns the end.  Eight digits (every real of the report)
// get code of their own, without loops.
[[gnu::always_inline]] inline char* write_point_and_digits(std::uint64_t significand, int digits, char* p) {
    *p++ = '.';
    return digits == 8 ? write_digits(significand, 8, p) : write_digits(significand, digits, p);
}

// [-]0.d1...dd and the exponent part, for 0.d1...dd * 10^q.
[[gnu::always_inline]] inline void write_e_field(double value, int width, int digits, char* out) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    if (((bits >> 52) & 0x7ff) == 0x7ff) [[unlikely]] {
        format_not_finite(value, width, out);
        return;
    }
    // The sign bit decides, so a negative zero keeps its "-".
    const bool negative = (bits >> 63) != 0;
    std::uint64_t significand = 0;
    int q = 0;
    if ((bits << 1) != 0) [[likely]] {
        const DecimalSignificand s = round_to_significant_digits(value, digits);
        significand = s.significand;
        q = s.exponent + digits;
    }
    const int unsigned_length = 2 + digits + 4;  // "0." digits exponent
    char* p = out;
    if (width > unsigned_length) [[likely]] {
        // Room for a sign position: writing it as "-" or " " saves a branch
        // on the sign, which real data takes either way.
        blank(p, width - unsigned_length - 1);
        *p++ = negative ? '-' : ' ';
        *p++ = '0';
    } else {
        // Narrow fields: the "0" before the point goes first, then everything.
        const int length = (negative ? 1 : 0) + unsigned_length;
        const bool leading_zero = length <= width;
        if (length - (leading_zero ? 0 : 1) > width) {
            std::memset(out, '*', static_cast<std::size_t>(width));
            return;
        }
        if (negative) *p++ = '-';
        if (leading_zero) *p++ = '0';
    }
    write_exponent('E', q, write_point_and_digits(significand, digits, p));
}

}  // namespace

void format_integer(std::int32_t value, int width, int min_digits, char* out) {
    write_integer_field(value, width, min_digits, out);
}

void format_e(double value, int width, int digits, char* out) { write_e_field(value, width, digits, out); }

RenderedReal::RenderedReal(double value, int width, int digits)
    : width_(static_cast<std::uint8_t>(width)), digits_(static_cast<std::uint8_t>(digits)) {
    if (width < 1 || width > max_width || digits < 1 || digits > 17)
        abnormal_end_message("A rendered real takes E" + std::to_string(width) + "." + std::to_string(digits) +
                             ": the width must lie in 1.." + std::to_string(max_width) +
                             " and the digits in 1..17");
    write_e_field(value, width, digits, text_);
}

// ---------------------------------------------------------------- format

struct Format::Parser {
    Format& format;
    std::string_view text;
    std::size_t pos = 0;

    [[noreturn]] void fail(std::string_view why) const {
        abnormal_end_message("Ill-formed format \"" + std::string(text) + "\": " + std::string(why) +
                             " at position " + std::to_string(pos + 1));
    }

    void skip_blanks() {
        while (pos < text.size() && text[pos] == ' ') ++pos;
    }
    bool at(char c) {
        skip_blanks();
        return pos < text.size() && text[pos] == c;
    }
    bool at_digit() {
        skip_blanks();
        return pos < text.size() && is_digit(text[pos]);
    }
    void expect(char c) {
        if (!at(c)) fail(std::string("expected '") + c + "'");
        ++pos;
    }
    // An unsigned number (blanks inside it are ignored, as everywhere).
    int number() {
        if (!at_digit()) fail("expected a number");
        int n = 0;
        while (at_digit()) {
            n = n * 10 + (text[pos++] - '0');
            if (n > 10000) fail("number too large");
        }
        return n;
    }

    void append(const Descriptor& d, int repeat) {
        for (int i = 0; i < repeat; ++i) {
            if (format.count_ == max_descriptors) fail("more than 128 edit descriptors after repeats");
            format.descriptors_[format.count_++] = d;
        }
    }

    void literal() {
        const char quote = text[pos++];
        const int start = format.literal_used_;
        for (;;) {
            if (pos >= text.size()) fail("unterminated quoted text");
            char c = text[pos++];
            if (c == quote) {
                if (pos < text.size() && text[pos] == quote) ++pos;  // doubled quote
                else break;
            }
            if (format.literal_used_ == max_literal_chars) fail("quoted texts longer than 256 characters");
            format.literals_[format.literal_used_++] = c;
        }
        Descriptor d{Kind::literal, 0, 0, static_cast<std::uint16_t>(start),
                     static_cast<std::uint16_t>(format.literal_used_ - start)};
        append(d, 1);
    }

    void item() {
        const bool counted = at_digit();
        const int repeat = counted ? number() : 1;
        if (repeat == 0) fail("repeat count 0");
        skip_blanks();
        if (pos >= text.size()) fail("unexpected end");
        const char c = upper(text[pos]);
        if (c == '(') {
            ++pos;
            const int first = format.count_;
            list();
            expect(')');
            const int last = format.count_;
            for (int r = 1; r < repeat; ++r)
                for (int i = first; i < last; ++i) append(format.descriptors_[i], 1);
            return;
        }
        if (c == '\'' || c == '"') {
            if (counted) fail("repeat count before a quoted text");
            literal();
            return;
        }
        ++pos;
        Descriptor d{Kind::skip, 0, 0, 0, 0};
        switch (c) {
            case 'A':
                if (at_digit()) fail("A with a width is not supported");
                d.kind = Kind::text_item;
                break;
            case 'I': {
                d.kind = Kind::integer;
                const int w = number();
                if (w < 1 || w > 255) fail("field width outside 1..255");
                d.width = static_cast<std::uint8_t>(w);
                if (at('.')) {
                    ++pos;
                    const int m = number();
                    if (m > w) fail("minimum digits wider than the field");
                    d.digits = static_cast<std::uint8_t>(m);
                }
                break;
            }
            case 'E': {
                d.kind = Kind::real_e;
                const int w = number();
                if (w < 1 || w > 255) fail("field width outside 1..255");
                expect('.');
                const int digits = number();
                if (digits < 1 || digits > 17) fail("digits outside 1..17");
                d.width = static_cast<std::uint8_t>(w);
                d.digits = static_cast<std::uint8_t>(digits);
                break;
            }
            case 'X': break;
            default: --pos; fail("unknown edit descriptor");
        }
        append(d, repeat);
    }

    // Items separated by commas, up to (not including) the closing ")".
    void list() {
        if (at(')')) return;
        for (;;) {
            item();
            if (!at(',')) return;
            ++pos;
        }
    }

    void parse() {
        if (text.size() > static_cast<std::size_t>(max_text_chars)) fail("longer than 255 characters");
        expect('(');
        list();
        expect(')');
        skip_blanks();
        if (pos != text.size()) fail("text after the closing parenthesis");
    }
};

Format::Format(std::string_view text) {
    Parser{*this, text}.parse();
    std::memcpy(text_, text.data(), text.size());
    text_length_ = static_cast<int>(text.size());
    int skips = 0;
    for (int i = 0; i < count_; ++i) {
        const Descriptor& d = descriptors_[i];
        fixed_length_ += d.kind == Kind::skip ? 1 : d.kind == Kind::literal ? d.literal_length : d.width;
        if (d.kind == Kind::skip) {
            ++skips;
            continue;
        }
        steps_[step_count_++] = {d, static_cast<std::uint8_t>(skips)};
        skips = 0;
    }
}

// ---------------------------------------------------------------- records

namespace {

// An item beyond the last data descriptor (d null) or of the wrong type.
// Items are counted here, not as they come: the steps before `step` are
// texts and data descriptors, and each data descriptor took one item.
[[noreturn]] [[gnu::cold]] void item_fault(int step, std::string_view item_kind, const Format::Descriptor* d,
                                           const Format& format) {
    int item = 1;
    for (int i = 0; i < step; ++i)
        if (format.step(i).descriptor.kind != Format::Kind::literal) ++item;
    const std::string start = "Output item " + std::to_string(item) + " (" + std::string(item_kind) + ")";
    const std::string quoted = "format \"" + std::string(format.text()) + "\"";
    if (d == nullptr)
        abnormal_end_message(start + " of a fixed-format record has no data edit descriptor left in " + quoted);
    abnormal_end_message(start + " does not fit edit descriptor " + describe(*d) + " of " + quoted);
}

}  // namespace

FixedRecord::FixedRecord(int unit, const Format& format) : FixedRecord(text_unit(unit), format) {}

FixedRecord::FixedRecord(TextUnit& unit, const Format& format) : format_(format), unit_(&unit) {
    // Room for every field, the newline and the usual short A items (a line
    // tag and a label), so a record of the report is one reservation.
    constexpr std::size_t text_allowance = 64;
    const std::size_t room = static_cast<std::size_t>(format.fixed_length()) + 1 + text_allowance;
    start_ = cursor_ = unit.reserve(room);
    limit_ = start_ + room;
}

FixedRecord::FixedRecord(std::span<char> text, const Format& format)
    : format_(format), unit_(nullptr), start_(text.data()), cursor_(text.data()), limit_(text.data() + text.size()) {}

FixedRecord::~FixedRecord() {
    // Up to the next data descriptor: trailing quoted texts are written, the
    // blanks of trailing skips are not.
    advance_to_data_step();
    if (unit_ == nullptr) {
        std::memset(cursor_, ' ', limit_ - cursor_);
        return;
    }
    if (cursor_ == limit_) make_room(1);
    *cursor_++ = '\n';
    unit_->commit(cursor_ - start_);
}

// Room for `width` characters after the blanks of the skips before the step,
// which are written now that a field follows them.
char* FixedRecord::field(const Format::Step& step, std::size_t width) {
    const int blanks = step.blanks_before;
    const std::size_t n = static_cast<std::size_t>(blanks) + width;
    if (static_cast<std::size_t>(limit_ - cursor_) < n) [[unlikely]]
        make_room(n);
    // A local cursor: the characters stored through it could alias cursor_.
    char* p = cursor_;
    blank(p, blanks);
    cursor_ = p + width;
    return p;
}

// Writes the quoted texts up to the next data descriptor; null at the end of
// the format.
const Format::Step* FixedRecord::advance_to_data_step() {
    for (; next_ < format_.step_count(); ++next_) {
        const Format::Step& step = format_.step(next_);
        if (step.descriptor.kind != Format::Kind::literal) return &step;
        const std::string_view text = format_.literal(step.descriptor);
        std::memcpy(field(step, text.size()), text.data(), text.size());
    }
    return nullptr;
}

const Format::Step& FixedRecord::next_data_step(Format::Kind kind, std::string_view item_kind) {
    const Format::Step* step = advance_to_data_step();
    if (step == nullptr || step->descriptor.kind != kind) [[unlikely]]
        item_fault(next_, item_kind, step == nullptr ? nullptr : &step->descriptor, format_);
    ++next_;
    return *step;
}

void FixedRecord::make_room(std::size_t n) {
    if (unit_ == nullptr)
        abnormal_end_message("Fixed-format record longer than its text of " + std::to_string(limit_ - start_) +
                             " characters, format \"" + std::string(format_.text()) + "\"");
    unit_->commit(cursor_ - start_);
    const std::size_t room = n + static_cast<std::size_t>(format_.fixed_length()) + 1;
    start_ = cursor_ = unit_->reserve(room);
    limit_ = start_ + room;
}

FixedRecord& FixedRecord::operator<<(std::string_view text) {
    const Format::Step& step = next_data_step(Format::Kind::text_item, "a text");
    // A text too long for one reservation goes out through the unit itself.
    if (unit_ != nullptr && text.size() > TextUnit::buffer_size / 2) {
        field(step, 0);
        unit_->commit(cursor_ - start_);
        unit_->put(text);
        start_ = cursor_ = limit_ = unit_->reserve(0);
        return *this;
    }
    std::memcpy(field(step, text.size()), text.data(), text.size());
    return *this;
}

FixedRecord& FixedRecord::operator<<(std::int32_t value) {
    const Format::Step& step = next_data_step(Format::Kind::integer, "an integer");
    const Format::Descriptor& d = step.descriptor;
    write_integer_field(value, d.width, d.digits, field(step, d.width));
    return *this;
}

FixedRecord& FixedRecord::operator<<(double value) {
    const Format::Step& step = next_data_step(Format::Kind::real_e, "a real");
    const Format::Descriptor& d = step.descriptor;
    write_e_field(value, d.width, d.digits, field(step, d.width));
    return *this;
}

FixedRecord& FixedRecord::operator<<(const RenderedReal& real) {
    const Format::Step& step = next_data_step(Format::Kind::real_e, "a rendered real");
    const Format::Descriptor& d = step.descriptor;
    if (d.width != real.width() || d.digits != real.digits()) [[unlikely]]
        abnormal_end_message("A real rendered as E" + std::to_string(real.width()) + "." +
                             std::to_string(real.digits()) + " does not fit edit descriptor " + describe(d) +
                             " of format \"" + std::string(format_.text()) + "\"");
    std::memcpy(field(step, d.width), real.text(), d.width);
    return *this;
}

}  // namespace vorn
