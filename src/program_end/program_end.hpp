// The orderly ends of the run: status 0, or 1 after a fatal stop.
//
// An orderly end flushes and closes the units, then writes the closing note on
// standard error: the raised flags (only when underflow, division by zero,
// overflow or invalid operation was raised), the enabled traps, and a line
// pointing to the floating-point documentation (run_end/floating_point.hpp
// for the mode).
//
// Either end reached in a worker thread is made by the calling thread, after
// the chunks before (workers/parallel.hpp), with the same bytes and status.
#pragma once

#include <initializer_list>

#include "format/messages.hpp"

namespace vorn {

// The normal end of the run: exit status 0.
[[noreturn]] void orderly_end();

// A fatal configuration or capacity condition: writes `lines` on standard
// output, the whole block `copies` times in a row, then ends the run like an
// orderly end, with exit status 1, since it wrote no snapshot.
[[noreturn]] void fatal_stop(std::initializer_list<MessageLine> lines = {}, int copies = 1);

}  // namespace vorn
