// Fixed-format records: output by a format of edit descriptors.
//
// A format is a parenthesised list of A, Iw, Iw.m, Ew.d, x and quoted literal
// texts, with repeat counts before descriptors and parenthesised groups, for
// example "(A,A,9(i6,x),21(e15.8,x))".  Descriptor letters may be upper or
// lower case.  A record has no leading blank, no width limit and no line break;
// each data descriptor takes the next item; when the items are used up the
// format is processed up to its next data descriptor or its end.  An x writes
// a blank only when a later field of the same record is written.
//
//   static const Format tag_format("('FD',I5,'%  ')");
//   FixedRecord(output_unit, row_format) << tag << "agrid" << 1 << 2.5;
//
// A record into a text variable (an internal record) fills the text from its
// first position and blanks the rest; no newline is written.
//
// Fields: A writes the text as passed; Iw right-justifies with "-" before a
// negative value and fills the field with asterisks when it is too narrow,
// Iw.m pads with zeros to m digits; Ew.d writes [-]0.d1...dd, "E", the sign
// and two exponent digits (the sign and three digits, no "E", beyond 99),
// correctly rounded, right-justified, the "0" dropped when the field is one
// short, asterisks when shorter still; NaN and Infinity are written
// left-justified ("-" by the sign bit, as for a negative zero).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "units/units.hpp"

namespace vorn {

// A format, parsed once into a flat list of edit descriptors (repeat counts
// expanded).  Blanks outside quoted texts are ignored; items are separated by
// commas.  A has no width; Iw takes 1 <= w <= 255 and an optional .m <= w;
// Ew.d takes 1 <= d <= 17; a quoted text doubles its quote to contain it.
class Format {
public:
    enum class Kind : std::uint8_t { text_item, integer, real_e, skip, literal };
    struct Descriptor {
        Kind kind;
        std::uint8_t width;    // w of Iw and Ew.d
        std::uint8_t digits;   // m of Iw.m (0 when absent), d of Ew.d
        std::uint16_t literal_start;  // literal texts: position in the literal pool
        std::uint16_t literal_length;
    };
    static constexpr int max_descriptors = 128;
    static constexpr int max_literal_chars = 256;
    static constexpr int max_text_chars = 255;

    // An ill-formed format is a fault of the program: it ends the run abnormally.
    explicit Format(std::string_view text);

    int size() const { return count_; }
    const Descriptor& operator[](int i) const { return descriptors_[i]; }
    std::string_view literal(const Descriptor& d) const { return {literals_ + d.literal_start, d.literal_length}; }
    // The format as written, for messages.
    std::string_view text() const { return {text_, static_cast<std::size_t>(text_length_)}; }
    // Characters a record writes apart from its A items (skips counted as blanks).
    int fixed_length() const { return fixed_length_; }

    // The list as a record works through it: every descriptor but the skips,
    // each with the number of skips right before it, which become blanks in
    // front of its field.  Skips after the last of them are dropped, since a
    // skip yields its blank only before a later field.
    struct Step {
        Descriptor descriptor;
        std::uint8_t blanks_before;
    };
    int step_count() const { return step_count_; }
    const Step& step(int i) const { return steps_[i]; }

private:
    struct Parser;
    Descriptor descriptors_[max_descriptors];
    int count_ = 0;
    char literals_[max_literal_chars];
    int literal_used_ = 0;
    char text_[max_text_chars];
    int text_length_ = 0;
    int fixed_length_ = 0;
    Step steps_[max_descriptors];
    int step_count_ = 0;
};

// A real written once by Ew.d and kept as its text, for a value that many
// records repeat: a record takes it for an Ew.d descriptor of the same w and d
// and copies the text instead of converting the value again.
class RenderedReal {
public:
    static constexpr int max_width = 30;

    RenderedReal() = default;
    // A width outside 1..max_width is a fault of the program.
    RenderedReal(double value, int width, int digits);

    int width() const { return width_; }
    int digits() const { return digits_; }
    const char* text() const { return text_; }

private:
    char text_[max_width] = {};
    std::uint8_t width_ = 0;
    std::uint8_t digits_ = 0;
};

class FixedRecord {
public:
    FixedRecord(int unit, const Format& format);
    // On a unit object of the caller's own (benchmarks, tests).
    FixedRecord(TextUnit& unit, const Format& format);
    // An internal record: fills `text`, blanks the rest; no newline.  A record
    // longer than the text is a fault of the program.
    FixedRecord(std::span<char> text, const Format& format);
    ~FixedRecord();
    FixedRecord(const FixedRecord&) = delete;
    FixedRecord& operator=(const FixedRecord&) = delete;

    // An item beyond the last data descriptor, or one whose type its
    // descriptor does not take, is a fault of the program: the run ends
    // abnormally naming the item and the format.
    FixedRecord& operator<<(std::string_view text);
    FixedRecord& operator<<(const char* text) { return *this << std::string_view(text); }
    FixedRecord& operator<<(std::int32_t value);
    FixedRecord& operator<<(double value);
    // For an Ew.d descriptor with the w and d the text was rendered with.
    FixedRecord& operator<<(const RenderedReal& real);

private:
    // Inline, defined and used in fixed_format.cpp alone: every field of the
    // report goes through them.
    inline const Format::Step& next_data_step(Format::Kind kind, std::string_view item_kind);
    inline const Format::Step* advance_to_data_step();
    inline char* field(const Format::Step& step, std::size_t width);
    void make_room(std::size_t n);

    // Characters go straight into the unit's buffer (reserved, committed when
    // the record ends or needs more room) or into the caller's text.
    const Format& format_;
    TextUnit* unit_;  // null for an internal record
    char* start_;     // first character not yet committed
    char* cursor_;
    char* limit_;
    int next_ = 0;    // next step of the format
};

// Single fields, as the descriptors write them in the records above: the
// formatting core on its own, for its tests and benchmarks.  Each writes exactly `width` characters to `out`.
// Iw, Iw.m; min_digits 0 means Iw (at least one digit).  1 <= width <= 255.
void format_integer(std::int32_t value, int width, int min_digits, char* out);
// Ew.d; 1 <= digits <= 17.
void format_e(double value, int width, int digits, char* out);

}  // namespace vorn
