// The ends of the run by a signal from outside, set at its start.
//
// Each catchable termination signal (SIGHUP, SIGINT, SIGQUIT, SIGTERM,
// SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU) that the run did not inherit as ignored
// removes the unfinished staged file and ends the process with status 128 +
// the signal's number, also as process 1 of a container.  SIGPIPE and SIGXFSZ
// are ignored: a write to a pipe that nobody reads, or beyond the file-size
// limit, fails (EPIPE, EFBIG) and is reported as any failed write.  The
// handlers do only what a signal handler may: they remove a name and end.
#pragma once

namespace vorn {

void handle_termination_signals();

}  // namespace vorn
