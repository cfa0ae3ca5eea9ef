// Work that may end the run abnormally, run in a forked child of the calling
// process.  The end may start in any frame (a destructor, the handler of a
// trapped floating-point exception): nothing unwinds, the child's observer of
// the abnormal end hands back what it saw and exits, and the caller goes on
// with its own state as it was before the fork.  Used by the tests and by the
// fuzzing harness of the configuration reader.
#pragma once

#include <cerrno>
#include <cstdio>
#include <functional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

#include "run_end/abnormal_end.hpp"
#include "run_end/end_hooks.hpp"
#include "units/units.hpp"

namespace vorn::test {

struct ChildRun {
    bool ended_abnormally = false;  // the run's abnormal end was reached
    bool returned = false;          // the work returned
    int signal = 0;                 // otherwise: the signal that killed the child, if any
    int exit_status = -1;           // or the status it exited with (an end of the run's own)
    std::string report;             // what the child wrote on standard error
    std::string observed;           // what `observe` said at the child's end
};

namespace child_run_detail {

inline constexpr int ended_abnormally_status = 70;
inline constexpr int returned_status = 71;

inline const std::function<std::string()>* observe = nullptr;
inline std::FILE* observed_file = nullptr;

[[noreturn]] inline void finish(int status) {
    if (observe != nullptr && *observe) {
        const std::string text = (*observe)();
        std::fwrite(text.data(), 1, text.size(), observed_file);
        std::fflush(observed_file);
    }
    _exit(status);
}

inline void on_abnormal_end() { finish(ended_abnormally_status); }

inline std::string contents(std::FILE* file) {
    std::string text;
    std::rewind(file);
    char block[4096];
    for (std::size_t n; (n = std::fread(block, 1, sizeof block, file)) > 0;) text.append(block, n);
    std::fclose(file);
    return text;
}

}  // namespace child_run_detail

// Runs `work` in a forked child with its standard error captured.  `observe`
// runs in the child at its end (right after an abnormal end's report, or after
// `work` returned) and its text comes back in `observed`.  The units are
// flushed before the fork, so that the child repeats nothing of the caller's.
inline ChildRun run_in_child(const std::function<void()>& work,
                             const std::function<std::string()>& observe = {}) {
    namespace detail = child_run_detail;
    flush_all_units();
    std::fflush(stdout);
    std::fflush(stderr);
    std::FILE* report = std::tmpfile();
    std::FILE* observed = std::tmpfile();
    ChildRun run;
    if (report == nullptr || observed == nullptr) {
        run.report = "no temporary file for the child's output";
        return run;
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(fileno(report), STDERR_FILENO);
        detail::observe = &observe;
        detail::observed_file = observed;
        set_abnormal_end_observer(detail::on_abnormal_end);
        work();
        detail::finish(detail::returned_status);
    }
    int status = 0;
    while (child > 0 && waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    run.ended_abnormally = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == detail::ended_abnormally_status;
    run.returned = child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == detail::returned_status;
    run.signal = child > 0 && WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    run.exit_status = child > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.report = detail::contents(report);
    run.observed = detail::contents(observed);
    return run;
}

}  // namespace vorn::test
