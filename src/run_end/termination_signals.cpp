#include "run_end/termination_signals.hpp"

#include <csignal>
#include <unistd.h>

#include "run_end/end_hooks.hpp"

namespace vorn {

namespace {

extern "C" void end_on_termination_signal(int signal) {
    abandon_unfinished_output_in_signal();
    _exit(128 + signal);
}

}  // namespace

void handle_termination_signals() {
    static constexpr int termination_signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM,
                                                  SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU};
    struct sigaction action = {};
    action.sa_handler = end_on_termination_signal;
    sigfillset(&action.sa_mask);
    for (const int signal : termination_signals) {
        struct sigaction inherited;
        // A signal ignored from the start (nohup, a background job) stays so.
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace vorn
