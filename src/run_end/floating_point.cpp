#include "run_end/floating_point.hpp"

#include <csignal>
#include <string>

#include "run_end/abnormal_end.hpp"

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

}  // namespace vorn
