// The lines on standard error about the snapshot's file: each names the file
// as the run was given it, then what happened to it.
//   " <name>: <text>"
//   " <name>: <operation> failed: <EERRNO> (<system text>)<consequence>"
// They go out at once, unbuffered, so that they stand before anything that
// a later failure writes.
#pragma once

#include <string_view>

namespace vorn {

void tell_file(std::string_view name, std::string_view text);

void tell_file_failure(std::string_view name, std::string_view operation, int error,
                       std::string_view consequence = {});

}  // namespace vorn
