// I/O units of the run.
//
//   unit 1   "master_nml"    the configuration, text, read only, must exist
//   unit 6   standard output the report and the messages
//   unit 7   "master_error"  error lines of the snapshot writers; created when
//                            absent, an existing file keeps its text until the
//                            first line is written, which cuts it at its start
//   unit 10  snapshot file   byte output (byte_output.hpp)
//
// File names are relative to the working directory (descriptors.hpp for the
// descriptors they take).  Units 6 and 7 are text units (text_unit.hpp) in
// static buffers, unit 1 is read by config_file.hpp.  Every end of the run
// flushes units 6 and 7 through its end hooks (run_end/end_hooks.hpp).
#pragma once

#include <string_view>
#include <sys/types.h>

#include "run_end/source_location.hpp"
#include "units/config_file.hpp"
#include "units/text_unit.hpp"

namespace vorn {

inline constexpr int output_unit = 6;
inline constexpr int error_unit = 7;
inline constexpr int snapshot_unit = 10;

inline constexpr std::string_view error_file_name = "master_error";

// The text output unit of that number (6 or 7).  Any other number, or unit 7
// before it is opened, ends the run abnormally (WRITE on an unconnected unit).
TextUnit& text_unit(int unit, const SourceLocation& where = SourceLocation::current());

// Opens unit 7 on "master_error": created when absent, old text kept until the
// first line is written.
void open_error_file(const SourceLocation& where = SourceLocation::current());

// Closes unit 1, 6 or 7, keeping its file.
void close_unit(int unit, const SourceLocation& where = SourceLocation::current());

// Which of the files the run holds (its standard streams, unit 1 and unit 7)
// is the file of that device and inode number: "standard input", "standard
// output", "standard error", "master_nml" or "master_error"; empty for none.
std::string_view run_file_named_by(dev_t device, ino_t inode);

}  // namespace vorn
