// The hooks through which every end of the run reaches the parts of the run
// that hold unfinished work: the worker threads, the buffered units, the
// staged snapshot file.  Each part adds its hooks when it starts to hold such
// work; the ends (abnormal_end.hpp, termination_signals.hpp,
// program_end/program_end.hpp) call them, knowing none of those parts.
//
// Hooks run in the reverse order of their adding, as atexit handlers do: the
// part opened last is finished first (the snapshot's bytes before the report
// that names it).
#pragma once

namespace vorn {

// An end of the run, called with its context: it does not return.
using RunEnd = void (*)(const void* context);

struct EndHooks {
    // The first step of every end: in a worker thread, hands `end` to the
    // thread that ends the run and does not return; in that thread, lets the
    // workers stop and returns.
    void (*hand_over)(RunEnd end, const void* context) = nullptr;
    // Writes out what is buffered; reports nothing when `quiet` (the run
    // already ends abnormally).
    void (*flush)(bool quiet) = nullptr;
    // Gives up work that the end leaves unfinished (a staged file).
    void (*abandon)() = nullptr;
    // The same from a signal handler: async-signal-safe.
    void (*abandon_in_signal)() = nullptr;
};

inline constexpr int max_end_hooks = 4;

// Adds the hooks of one part of the run; adding the same hooks again adds
// nothing.  Called from the thread that runs the program (or from static
// initialization), before any worker starts.
void add_end_hooks(const EndHooks& hooks);

// The steps of an end, each running the hooks of that kind.
void hand_over_end(RunEnd end, const void* context);
void flush_all_units(bool quiet = false);
void abandon_unfinished_output();
void abandon_unfinished_output_in_signal();

}  // namespace vorn
