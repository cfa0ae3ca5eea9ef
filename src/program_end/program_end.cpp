#include "program_end/program_end.hpp"

#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "run_end/end_hooks.hpp"
#include "units/units.hpp"

namespace vorn {

namespace {

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
    abandon_unfinished_output();
    close_unit(config_unit);
    close_unit(error_unit);
    write_closing_note();
    std::exit(status);
}

}  // namespace

void orderly_end() {
    hand_over_end([](const void*) { orderly_end(); }, nullptr);
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
    hand_over_end(
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
