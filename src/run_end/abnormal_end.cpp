#include "run_end/abnormal_end.hpp"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <typeinfo>
#include <unistd.h>

#include "run_end/end_hooks.hpp"
#include "run_end/write_all.hpp"

namespace vorn {

namespace {

AbnormalEndObserver abnormal_end_observer = nullptr;

constexpr std::string_view banner = "****** vorn run-time system: the run ends abnormally ******";

// The line of the fixed report, and the empty report that stands for it.
constexpr std::string_view memory_exhausted =
    " Memory exhausted:  the report of this abnormal end could not be built";
const std::string report_not_built;

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
void append_input_lines(std::string& report, std::string_view line, std::size_t column) {
    const std::size_t offending = std::min(column, line.size());
    std::size_t first = offending > 30 ? offending - 30 : 0;
    report += " Input:  ";
    for (char c : line.substr(first)) report += printable(c);
    report += '\n';
    report.append(8, ' ');
    report.append(offending - first + 1, ' ');
    report += "^\n";
}

// The report of an abnormal end that cannot, or may not, be built in memory:
// the banner and one line, written with write(2), which allocates nothing.
void write_fixed_report(std::string_view line) {
    for (const std::string_view part : {std::string_view("\n"), banner, std::string_view("\n"), line,
                                        std::string_view("\n")})
        write_all(STDERR_FILENO, part.data(), part.size());
}

[[noreturn]] void end_with_abort_status() {
    // Process 1 of a container ignores the abort signal's default action:
    // there the status is the one the signal would have given.
    if (getpid() == 1) _exit(128 + SIGABRT);
    struct sigaction default_action = {};
    default_action.sa_handler = SIG_DFL;
    sigaction(SIGABRT, &default_action, nullptr);
    std::abort();
}

[[noreturn]] void end_abnormally(const std::string& report) {
    // A worker neither flushes nor ends: the thread that puts out its section does.
    hand_over_end([](const void* handed) { end_abnormally(*static_cast<const std::string*>(handed)); }, &report);
    flush_all_units(true);
    if (report.empty()) {
        write_fixed_report(memory_exhausted);
    } else {
        std::fputs(report.c_str(), stderr);
        std::fflush(stderr);
    }
    if (abnormal_end_observer != nullptr) abnormal_end_observer();
    abandon_unfinished_output();
    end_with_abort_status();
}

// Ends the run with the report that `build` returns, or with the fixed report
// when building it fails (memory exhausted).
template <class Build>
[[noreturn]] void end_with_report(const Build& build) {
    std::string report;
    try {
        report = build();
    } catch (...) {
        end_abnormally(report_not_built);
    }
    end_abnormally(report);
}

std::string report_start() {
    std::string report = "\n";
    report += banner;
    report += '\n';
    return report;
}

// The one builder of the I/O failure reports.  `error_line` is the line
// after the banner; `input_line` is shown when `column` is set.
std::string io_report(const IoStatement& failed, const std::string& error_line, std::string_view input_line = {},
                      std::optional<std::size_t> column = std::nullopt) {
    std::string report = report_start();
    report += error_line;
    report += '\n';
    report += " Location:  the ";
    report += statement_name(failed.statement);
    report += " statement at line " + std::to_string(failed.where.line()) + " of \"";
    report += base_name(failed.where.file_name());
    report += "\"\n";
    report += " Unit:  " + std::to_string(failed.unit) + "\n";
    report += " File:  ";
    report += failed.file;
    report += '\n';
    if (column) append_input_lines(report, input_line, *column);
    return report;
}

std::string error_line(int error_number, std::string_view text) {
    return " Error " + std::to_string(error_number) + ":  " + std::string(text);
}

// The line that names what called std::terminate: the exception being
// handled, if any, with its type and, for a std::exception, its what().
std::string terminate_cause() {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (type == nullptr) return " Terminated:  std::terminate called with no exception";
    std::string line = " Uncaught exception:  ";
    int status = 0;
    const std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(type->name(), nullptr, nullptr, &status),
                                                          std::free);
    // -1: no memory for the readable name, which the report would lack.
    if (status == -1) throw std::bad_alloc();
    line += readable != nullptr ? readable.get() : type->name();
    try {
        throw;
    } catch (const std::exception& thrown) {
        line += ": ";
        line += thrown.what();
    } catch (...) {
        // Any other type carries no text: its name is the whole line.
    }
    return line;
}

[[noreturn]] void end_at_terminate() {
    // An allocation that fails where not even its std::bad_alloc can be made
    // calls std::terminate again, from within this handler: that entry, like
    // any other from within it, ends with the fixed report rather than recurse.
    // Per thread: workers that end at once each build their own report.
    thread_local bool entered = false;
    if (entered) end_abnormally(report_not_built);
    entered = true;
    end_with_report([] { return report_start() + terminate_cause() + '\n'; });
}

}  // namespace

void abnormal_end_io(const IoStatement& failed, int error_number, std::string_view text) {
    end_with_report([&] { return io_report(failed, error_line(error_number, text)); });
}

void abnormal_end_io(const IoStatement& failed, int system_error) {
    end_with_report([&] { return io_report(failed, error_line(system_error, std::strerror(system_error))); });
}

void abnormal_end_at_end_of_file(const IoStatement& failed) {
    end_with_report([&] { return io_report(failed, " End-of-file:  -1"); });
}

void abnormal_end_in_input(const IoStatement& failed, int error_number, std::string_view text,
                           std::string_view line, std::size_t column) {
    end_with_report([&] { return io_report(failed, error_line(error_number, text), line, column); });
}

void abnormal_end_message(std::string_view lines) {
    end_with_report([&] {
        std::string report = report_start();
        report += lines;
        report += '\n';
        return report;
    });
}

void subscript_out_of_range(long subscript_number, long value, const char* array_name,
                            const SourceLocation& where) {
    end_with_report([&] {
        std::string report = report_start();
        report += "Subscript out of range. Location:  line " + std::to_string(where.line()) + " column " +
                  std::to_string(where.column()) + " of '";
        report += base_name(where.file_name());
        report += "'\n";
        report += "Subscript number " + std::to_string(subscript_number) + " has value " + std::to_string(value) +
                  " in array '";
        report += array_name;
        report += "'\n";
        return report;
    });
}

void abnormal_end_from_signal(std::string_view line) {
    write_fixed_report(line);
    abandon_unfinished_output_in_signal();
    end_with_abort_status();
}

void start_terminate_report() { std::set_terminate(end_at_terminate); }

void set_abnormal_end_observer(AbnormalEndObserver observer) { abnormal_end_observer = observer; }

}  // namespace vorn
