// Floating-point mode and the ends of the run.
//
// The run computes in IEEE double precision, rounding to nearest, with
// division by zero, overflow and invalid operation trapping from the start of
// the process; underflow and inexact do not trap.  A trapped exception ends the
// run abnormally with a report that names it (no result is computed from the
// infinity or NaN).
//
// An orderly end flushes and closes the units, then writes the closing note on
// standard error: the raised flags (only when underflow, division by zero,
// overflow or invalid operation was raised), the enabled traps, and a line
// pointing to the floating-point documentation.
//
// Either end reached in a worker thread is made by the calling thread, after
// the chunks before (workers/parallel.hpp), with the same bytes and status.
#pragma once

#include <cfenv>
#include <initializer_list>

#include "format/messages.hpp"

namespace vorn {

// Sets the trapping mode and the report of a trapped exception.
void start_floating_point_mode();

// Holds the traps off for its lifetime and restores the exception flags and
// traps afterwards, for work that may legitimately meet an infinity (reading
// a literal).
class QuietFloatingPoint {
public:
    QuietFloatingPoint();
    ~QuietFloatingPoint();
    QuietFloatingPoint(const QuietFloatingPoint&) = delete;
    QuietFloatingPoint& operator=(const QuietFloatingPoint&) = delete;

private:
    std::fenv_t saved_;
};

// The normal end of the run: exit status 0.
[[noreturn]] void orderly_end();

// A fatal configuration or capacity condition: writes `lines` on standard
// output, the whole block `copies` times in a row, then ends the run like an
// orderly end, with exit status 1, since it wrote no snapshot.
[[noreturn]] void fatal_stop(std::initializer_list<MessageLine> lines = {}, int copies = 1);

}  // namespace vorn
