#include "runtime/abnormal_end.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "runtime/checked_array.hpp"
#include "runtime/units.hpp"

namespace vorn {

namespace {

AbnormalEndHook abnormal_end_hook = nullptr;

constexpr std::string_view banner = "****** vorn run-time system: the run ends abnormally ******";

std::string_view statement_name(Statement statement) {
    switch (statement) {
        case Statement::open: return "OPEN";
        case Statement::read: return "READ";
        case Statement::rewind: return "REWIND";
        case Statement::close: return "CLOSE";
        case Statement::write: return "WRITE";
    }
    return "I/O";
}

std::string_view base_name(const char* path) {
    std::string_view p(path);
    std::size_t slash = p.find_last_of('/');
    return slash == std::string_view::npos ? p : p.substr(slash + 1);
}

char printable(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return (u >= 32 && u < 127) ? c : '?';
}

// The " Input:  " line and the marker line under the offending character.
void append_input_lines(std::string& report, std::string_view line, int column) {
    std::size_t offending = static_cast<std::size_t>(column);
    if (offending > line.size()) offending = line.size();
    std::size_t first = offending > 30 ? offending - 30 : 0;
    report += " Input:  ";
    for (char c : line.substr(first)) report += printable(c);
    report += '\n';
    report.append(8, ' ');
    report.append(offending - first + 1, ' ');
    report += "^\n";
}

[[noreturn]] void end_abnormally(const std::string& report) {
    flush_all_units(true);
    std::fputs(report.c_str(), stderr);
    std::fflush(stderr);
    if (abnormal_end_hook != nullptr) abnormal_end_hook();
    std::signal(SIGABRT, SIG_DFL);
    std::abort();
}

std::string report_start() {
    std::string report = "\n";
    report += banner;
    report += '\n';
    return report;
}

}  // namespace

void abnormal_end_io(const IoFailure& failure) {
    std::string report = report_start();
    if (failure.end_of_file) {
        report += " End-of-file:  -1\n";
    } else {
        report += " Error " + std::to_string(failure.error_number) + ":  ";
        report += failure.text;
        report += '\n';
    }
    report += " Location:  the ";
    report += statement_name(failure.statement);
    report += " statement at line " + std::to_string(failure.where.line()) + " of \"";
    report += base_name(failure.where.file_name());
    report += "\"\n";
    report += " Unit:  " + std::to_string(failure.unit) + "\n";
    report += " File:  ";
    report += failure.file;
    report += '\n';
    if (failure.input_column >= 0) append_input_lines(report, failure.input_line, failure.input_column);
    end_abnormally(report);
}

void abnormal_end_message(std::string_view lines) {
    std::string report = report_start();
    report += lines;
    report += '\n';
    end_abnormally(report);
}

void subscript_out_of_range(long subscript_number, long value, const char* array_name,
                            const SourceLocation& where) {
    std::string report = report_start();
    report += "Subscript out of range. Location:  line " + std::to_string(where.line()) + " column " +
              std::to_string(where.column()) + " of '";
    report += base_name(where.file_name());
    report += "'\n";
    report += "Subscript number " + std::to_string(subscript_number) + " has value " + std::to_string(value) +
              " in array '";
    report += array_name;
    report += "'\n";
    end_abnormally(report);
}

void set_abnormal_end_hook(AbnormalEndHook hook) { abnormal_end_hook = hook; }

}  // namespace vorn
