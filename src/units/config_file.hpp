// Unit 1: the configuration file "master_nml" in the working directory, text,
// read only, line by line in blocks, from the start again after a rewind.
// Every failure ends the run abnormally naming the statement, unit 1 and the
// file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "run_end/source_location.hpp"

namespace vorn {

inline constexpr int config_unit = 1;
inline constexpr std::string_view config_file_name = "master_nml";

// Opens unit 1 on "master_nml" with status old: error 1018 when the name does
// not exist, 1148 for a directory, 1149 for a dangling link; any other refusal
// (a working folder that may not be searched) is the system's error.
void open_config_file(const SourceLocation& where = SourceLocation::current());

// The longest line that unit 1 reads: 1 MiB before its newline, far above any
// line of a configuration.  A longer line ends the run abnormally (error 5002),
// so that a file without line ends (/dev/zero) is read in bounded memory.
inline constexpr std::size_t max_config_line_length = std::size_t{1} << 20;

// Reads the next line of unit 1 without its newline.  Returns false at the end
// of the file.  `where` is the READ statement that a failure report names.
bool read_config_line(std::string& line, const SourceLocation& where = SourceLocation::current());
void rewind_config_file(const SourceLocation& where = SourceLocation::current());

// Closes unit 1 (close_unit(config_unit) in units.hpp).
void close_config_file(const SourceLocation& where = SourceLocation::current());

// The descriptor of unit 1, or -1 while it is closed.
int config_file_descriptor();

}  // namespace vorn
