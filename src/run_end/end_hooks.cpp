#include "run_end/end_hooks.hpp"

#include <cstdlib>

namespace vorn {

namespace {

// Constant-initialized, so that a part may add its hooks during static
// initialization, whatever the order of the translation units.
constinit EndHooks end_hooks[max_end_hooks] = {};
constinit int end_hook_count = 0;

bool same_hooks(const EndHooks& a, const EndHooks& b) {
    return a.hand_over == b.hand_over && a.flush == b.flush && a.abandon == b.abandon &&
           a.abandon_in_signal == b.abandon_in_signal;
}

// Calls `step` of each part, the latest added first.
template <class Step>
void for_each_part(Step step) {
    for (int i = end_hook_count - 1; i >= 0; --i) step(end_hooks[i]);
}

}  // namespace

void add_end_hooks(const EndHooks& hooks) {
    for (int i = 0; i < end_hook_count; ++i)
        if (same_hooks(end_hooks[i], hooks)) return;
    // The parts of the run are fixed in number: one more is a fault of the program.
    if (end_hook_count == max_end_hooks) std::abort();
    end_hooks[end_hook_count++] = hooks;
}

void hand_over_end(RunEnd end, const void* context) {
    for_each_part([&](const EndHooks& part) {
        if (part.hand_over != nullptr) part.hand_over(end, context);
    });
}

void flush_all_units(bool quiet) {
    for_each_part([&](const EndHooks& part) {
        if (part.flush != nullptr) part.flush(quiet);
    });
}

void abandon_unfinished_output() {
    for_each_part([](const EndHooks& part) {
        if (part.abandon != nullptr) part.abandon();
    });
}

void abandon_unfinished_output_in_signal() {
    for_each_part([](const EndHooks& part) {
        if (part.abandon_in_signal != nullptr) part.abandon_in_signal();
    });
}

}  // namespace vorn
