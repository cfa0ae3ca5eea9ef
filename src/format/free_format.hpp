// Free-format lines: list-directed output of texts, integers and reals.
//
// A statement begins with one blank; a text item is written unchanged; an
// integer follows two blanks; a nonzero double takes a field of 19 characters
// (fixed form, 14 or 15 significant digits) or 23 characters (exponent letter
// "D"), chosen by an estimate of its decimal exponent; zero of either sign is
// "  0.".  An item that would pass column 80 starts a new line, which begins
// with one blank; an item is never split.  The statement ends with a newline.
//
//   FreeLine(output_unit) << "gr_np = " << gr_np;      // " gr_np =   40"
//
// The statement ends when the FreeLine object is destroyed (at the end of the
// full expression for a temporary).
#pragma once

#include <cstdint>
#include <string_view>

#include "units/units.hpp"

namespace vorn {

class FreeLine {
public:
    explicit FreeLine(int unit);
    // On a unit object of the caller's own (benchmarks, tests).
    explicit FreeLine(TextUnit& unit);
    ~FreeLine();
    FreeLine(const FreeLine&) = delete;
    FreeLine& operator=(const FreeLine&) = delete;

    FreeLine& operator<<(std::string_view text);
    FreeLine& operator<<(const char* text) { return *this << std::string_view(text); }
    FreeLine& operator<<(std::int32_t value);
    FreeLine& operator<<(double value);

private:
    void break_if_needed(int width);
    TextUnit& unit_;
    int column_ = 0;
};

// The field a nonzero real takes in a free-format line (19 or 23 characters,
// or the NaN/Infinity forms padded to 23), written to `out`; returns its length.
// Zero gives "  0.".  At most 32 characters are written.
//
// The form follows the estimate e of the decimal exponent made from the
// binary exponent and the top 8 fraction bits (e is floor(log10|v|) or one
// less): -1 <= e <= 13 gives n = 14 - (e + 1) decimals (14 when e = -1) and
// always a point, even with no decimals ("100000000000000."); otherwise 14
// significant digits with "D" and a two-digit exponent, or a sign and three
// digits without the "D" beyond 99.
int free_format_real(double value, char* out);

}  // namespace vorn
