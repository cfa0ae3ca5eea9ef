#include "program_end/program_end.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "run_end/abnormal_end.hpp"
#include "file_output/byte_output.hpp"
#include "workers/parallel.hpp"
#include "units/units.hpp"

namespace vorn {

namespace {

constexpr int trapped_exceptions = FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

const char* exception_name(int code) {
    switch (code) {
        case FPE_FLTDIV: return "division by zero";
        case FPE_FLTOVF: return "overflow";
        case FPE_FLTINV: return "invalid operation";
        case FPE_INTDIV: return "integer division by zero";
        case FPE_INTOVF: return "integer overflow";
        default: return "floating-point exception";
    }
}

// A trapped exception is raised synchronously by the run's own arithmetic,
// never inside the I/O layer or the allocator, so the handler may flush the
// units and build the report as any other abnormal end does; in a worker
// thread the report goes to the thread that puts out the section.  The handler
// stays in place, so a second worker trapping meanwhile waits with its own.
// A SIGFPE that another process sent may reach any thread at any step: the
// run ends at once with a fixed report.
extern "C" void on_floating_point_exception(int, siginfo_t* info, void*) {
    if (info->si_code <= 0)
        abnormal_end_from_signal(
            " Floating-point exception:  SIGFPE sent by another process; no operation of the run raised it");
    std::string lines = " Floating-point exception:  ";
    lines += exception_name(info->si_code);
    lines += "\n The run stops at the operation that raised it; no result is computed from it.";
    lines += "\n A zero step or count, or a NaN, in \"master_nml\" is the usual cause.";
    abnormal_end_message(lines);
}

// The closing note of an orderly end, on standard error.
void write_closing_note() {
    struct Flag {
        int bit;
        const char* name;
    };
    static constexpr Flag raised_order[] = {
        {FE_INEXACT, " Inexact; "},     {FE_DIVBYZERO, " Division by Zero; "}, {FE_UNDERFLOW, " Underflow; "},
        {FE_OVERFLOW, " Overflow; "},   {FE_INVALID, " Invalid Operation; "},
    };
    std::string note;
    // Inexact alone is no reason for the flags lines, but is listed with others.
    if (std::fetestexcept(FE_UNDERFLOW | FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID) != 0) {
        note += " Note: IEEE floating-point exception flags raised: \n   ";
        for (const Flag& flag : raised_order)
            if (std::fetestexcept(flag.bit) != 0) note += flag.name;
        note += '\n';
    } else {
        note += " Note:";
    }
    note += " IEEE floating-point exception traps enabled: \n";
    note += "    overflow;  division by zero;  invalid operation; \n";
    note += " See the fenv(3) manual page for the floating-point environment of this platform.\n";
    std::fputs(note.c_str(), stderr);
    std::fflush(stderr);
}

[[noreturn]] void end_run(int status) {
    flush_all_units();
    abandon_byte_output();
    close_unit(config_unit);
    close_unit(error_unit);
    write_closing_note();
    std::exit(status);
}

}  // namespace

void start_floating_point_mode() {
    std::fesetround(FE_TONEAREST);
    std::feclearexcept(FE_ALL_EXCEPT);
    struct sigaction action = {};
    action.sa_sigaction = on_floating_point_exception;
    action.sa_flags = SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    sigaction(SIGFPE, &action, nullptr);
    feenableexcept(trapped_exceptions);
}

QuietFloatingPoint::QuietFloatingPoint() { std::feholdexcept(&saved_); }

QuietFloatingPoint::~QuietFloatingPoint() { std::fesetenv(&saved_); }

void orderly_end() {
    before_end_of_run([](const void*) { orderly_end(); }, nullptr);
    end_run(EXIT_SUCCESS);
}

void fatal_stop(std::initializer_list<MessageLine> lines, int copies) {
    // In a worker, the lines stay in its frame until the calling thread has
    // written them.
    struct Stop {
        std::initializer_list<MessageLine> lines;
        int copies;
    };
    const Stop stop{lines, copies};
    before_end_of_run(
        [](const void* handed) {
            const Stop& s = *static_cast<const Stop*>(handed);
            fatal_stop(s.lines, s.copies);
        },
        &stop);
    for (int copy = 1; copy <= copies; ++copy) {
        for (const MessageLine& line : lines) write_message(line);
    }
    end_run(EXIT_FAILURE);
}

}  // namespace vorn
