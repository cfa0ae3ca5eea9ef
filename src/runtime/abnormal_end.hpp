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
#pragma once

#include <string_view>

#include "runtime/source_location.hpp"

namespace vorn {

enum class Statement { open, read, rewind, close, write };

// What an I/O failure report says.  `error_number` and `text` are unused for
// an end of file.  `input_line` and `input_column` (0-based offset of the
// offending character) are set only for a value that cannot be read.
struct IoFailure {
    Statement statement = Statement::read;
    int unit = 0;
    std::string_view file;
    bool end_of_file = false;
    int error_number = 0;
    std::string_view text;
    std::string_view input_line;
    int input_column = -1;
    SourceLocation where = SourceLocation::current();
};

[[noreturn]] void abnormal_end_io(const IoFailure& failure);

// Ends the run abnormally with the banner and the given text (one or more
// lines without their final newline), for failures that are neither I/O nor
// subscripts (a trapped floating-point exception).
[[noreturn]] void abnormal_end_message(std::string_view lines);

// A test or fuzzing harness may install a hook that runs after the report has
// been written, in place of the abort.  The hook must not return (it throws).
using AbnormalEndHook = void (*)();
void set_abnormal_end_hook(AbnormalEndHook hook);

}  // namespace vorn
