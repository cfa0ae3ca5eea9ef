#include "file_output/file_notes.hpp"

#include <cstdio>
#include <cstring>
#include <string>

namespace vorn {

void tell_file(std::string_view name, std::string_view text) {
    std::string line = " ";
    line += name;
    line += ": ";
    line += text;
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

void tell_file_failure(std::string_view name, std::string_view operation, int error, std::string_view consequence) {
    const char* symbol = strerrorname_np(error);
    std::string text(operation);
    text += " failed: ";
    text += symbol != nullptr ? std::string(symbol) : "error " + std::to_string(error);
    text += " (";
    text += std::strerror(error);
    text += ")";
    text += consequence;
    tell_file(name, text);
}

}  // namespace vorn
