// The floating-point mode of the run.
//
// The run computes in IEEE double precision, rounding to nearest, with
// division by zero, overflow and invalid operation trapping from the start of
// the process; underflow and inexact do not trap.  A trapped exception ends the
// run abnormally with a report that names it (no result is computed from the
// infinity or NaN); in a worker thread the report is made by the calling
// thread (workers/parallel.hpp).
#pragma once

#include <cfenv>

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

}  // namespace vorn
