// Abnormal end of the run.
//
// No open, read, rewind, close or line write of the program asks for an error
// return: a failure ends the run at once with a report on standard error, after
// standard output and every open file have been flushed.  The process then ends
// by the abort signal (nonzero status) and writes no floating-point note.
//
// Report layout (each line ends with a newline):
//   (empty line)
//   ****** <run-time system banner> ******
//   then for an I/O failure:
//    Error <n>:  <text>            or   End-of-file:  -1
//    Location:  the <STATEMENT> statement at line <l> of "<source file>"
//    Unit:  <unit>
//    File:  <file>
//    Input:  <up to 30 characters before the offending one, and the rest of the line>
//           ^                      (8 blanks, then blanks up to the offending column)
//   or for a subscript out of bounds:
//   Subscript out of range. Location:  line <l> column <c> of '<source file>'
//   Subscript number <k> has value <v> in array '<NAME>'
//   or at std::terminate (an exception that escapes, or a direct call):
//    Uncaught exception:  <type>: <what()>   (": <what()>" for a std::exception)
//    Terminated:  std::terminate called with no exception
//
// A report whose text cannot be built (memory exhausted) is replaced by a
// fixed one, written without allocating:
//   (empty line)
//   ****** <run-time system banner> ******
//    Memory exhausted:  the report of this abnormal end could not be built
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "run_end/source_location.hpp"

namespace vorn {

enum class Statement { open, read, rewind, close, write };

// The I/O statement that failed: its kind, its unit and file, and its place
// in the source.
struct IoStatement {
    Statement statement;
    int unit;
    std::string_view file;
    SourceLocation where;
};

// The I/O failure reports, all built by one routine:
// " Error <n>:  <text>" with a run-time error number and its text,
[[noreturn]] void abnormal_end_io(const IoStatement& failed, int error_number, std::string_view text);
// the same with a system error number and the system's text,
[[noreturn]] void abnormal_end_io(const IoStatement& failed, int system_error);
// " End-of-file:  -1",
[[noreturn]] void abnormal_end_at_end_of_file(const IoStatement& failed);
// and a value that cannot be read: the error line, then the " Input:  " line
// and the "^" under the offending character (0-based `column` of `line`).
[[noreturn]] void abnormal_end_in_input(const IoStatement& failed, int error_number, std::string_view text,
                                        std::string_view line, std::size_t column);

// Ends the run abnormally with the banner and the given text (one or more
// lines without their final newline), for failures that are neither I/O nor
// subscripts (a trapped floating-point exception).
[[noreturn]] void abnormal_end_message(std::string_view lines);

// Ends the run abnormally from a signal handler that may have interrupted any
// step of the run, in any thread: the banner and `line` (without its final
// newline) are written with write(2), the unfinished staged file is removed
// and the process ends with the abort status.  Nothing is flushed, allocated
// or handed over, so it is async-signal-safe.
[[noreturn]] void abnormal_end_from_signal(std::string_view line);

// The subscript report of a checked array (checked_array/checked_array.hpp).
[[noreturn]] void subscript_out_of_range(long subscript_number, long value, const char* array_name,
                                         const SourceLocation& where);

// From now on every std::terminate, in any thread, ends the run abnormally with
// the report that names its cause, in place of the C++ runtime's message.
void start_terminate_report();

// A test or fuzzing harness may observe an abnormal end.  The observer runs
// after the units have been flushed and the report written, in the frame where
// the end started (a destructor or the handler of a trapped exception alike),
// so it must neither throw nor return into the run: a harness runs the work in
// a forked child whose observer hands back what it saw and exits.  When the
// observer returns, the abort follows as without one.  An unfinished snapshot
// is removed only after the observer.
using AbnormalEndObserver = void (*)();
void set_abnormal_end_observer(AbnormalEndObserver observer);

}  // namespace vorn
