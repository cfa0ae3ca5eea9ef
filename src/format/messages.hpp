// The run's message lines on standard output (unit 6): the notes and warnings
// of the build steps and the blocks of a fatal stop.  The steps say what to
// write; this is where it is written, in the free-format line rules: one
// blank, the text unchanged, then the integer or real that follows it when
// the line has one.  Written from the thread that runs the program.
#pragma once

#include <cstdint>
#include <string_view>
#include <variant>

namespace vorn {

struct MessageLine {
    std::string_view text;
    std::variant<std::monostate, std::int32_t, double> value = {};
};

void write_message(const MessageLine& line);

}  // namespace vorn
