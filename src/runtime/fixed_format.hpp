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
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "runtime/units.hpp"

namespace vorn {

// A format, parsed once into a flat list of edit descriptors.
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

    // An ill-formed format is a fault of the program: it ends the run abnormally.
    explicit Format(std::string_view text);

    int size() const { return count_; }
    const Descriptor& operator[](int i) const { return descriptors_[i]; }
    std::string_view literal(const Descriptor& d) const { return {literals_ + d.literal_start, d.literal_length}; }

private:
    Descriptor descriptors_[max_descriptors];
    int count_ = 0;
    char literals_[max_literal_chars];
    int literal_used_ = 0;
};

class FixedRecord {
public:
    FixedRecord(int unit, const Format& format);
    FixedRecord(std::span<char> text, const Format& format);
    ~FixedRecord();
    FixedRecord(const FixedRecord&) = delete;
    FixedRecord& operator=(const FixedRecord&) = delete;

    FixedRecord& operator<<(std::string_view text);
    FixedRecord& operator<<(const char* text) { return *this << std::string_view(text); }
    FixedRecord& operator<<(std::int32_t value);
    FixedRecord& operator<<(double value);

private:
    // implementation-defined state
    struct State;
};

// Single fields, as the descriptors write them (used by the records above and
// by tests).  Each writes exactly `width` characters to `out`.
void format_integer(std::int32_t value, int width, int min_digits, char* out);  // Iw, Iw.m
void format_e(double value, int width, int digits, char* out);                  // Ew.d

}  // namespace vorn
