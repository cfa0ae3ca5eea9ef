// The reads of "master_nml" that the program makes, with the checks of what
// must never happen, shared by the fuzzer (namelist_fuzzer.cpp) and the
// replays of its findings (tests/namelist/test_namelist_replays.cpp).
//
// The file in the working directory is opened on unit 1 and the three groups
// are read through the program's own item tables: NML_IO_FLAGS, rewind,
// NML_GR_INPUT, rewind, NML_GR_P_TRANS (init_p_trans, which also rewinds and
// builds the knot tables).  The first two reads run with the traps on, as in
// the program.  The reads run in a forked child (support/child_run.hpp), so an
// abnormal end (a bad value, a missing group, a knot count beyond the tables)
// is an expected outcome wherever it starts, and a crash is told apart from it.
#pragma once

#include <cfenv>
#include <cstdint>
#include <cstring>
#include <string>

#include "../support/child_run.hpp"
#include "geometry/init_geometry.hpp"
#include "geometry/records.hpp"
#include "geometry/stretching.hpp"
#include "run_end/abnormal_end.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"

namespace vorn::config_reads {

struct Outcome {
    bool ended_abnormally = false;
    // Neither an abnormal end nor the end of the reads: a crash, whose report
    // is in `report`.
    bool crashed = false;
    std::string report;
    // Faults: the reads left an exception flag of the closing note raised,
    // or stored past an item (into the knot tables above GR_N_CONTROL).
    bool flags_left = false;
    bool stored_past_items = false;
};

// The flags that an orderly end lists in its closing note.
inline constexpr int counted_flags = FE_UNDERFLOW | FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID;

// A NaN with a payload that no computation produces: marks the elements of the
// knot tables that nothing may write.
inline constexpr std::uint64_t untouched_bits = 0x7ff4c0ffee0dd00dULL;

inline void mark_knot_tables() {
    CmnGrPTrans& t = cmn_gr_p_trans;
    for (double* table : {t.GR_P_KNOTS.data(), t.GR_S_KNOTS.data(), t.GR_DP_DS.data()})
        for (int k = 0; k < max_knots; ++k) std::memcpy(&table[k], &untouched_bits, sizeof(double));
}

// The knot tables are built for elements 1 to GR_N_CONTROL only (element 1 of
// GR_S_KNOTS always); an element above that changed was written by a read
// past GR_SIZE_RATIO.
inline bool knot_tables_untouched_above_count() {
    const CmnGrPTrans& t = cmn_gr_p_trans;
    const int first = t.GR_N_CONTROL < 1 ? 1 : t.GR_N_CONTROL;
    for (const double* table : {t.GR_P_KNOTS.data(), t.GR_S_KNOTS.data(), t.GR_DP_DS.data()})
        for (int k = first; k < max_knots; ++k)
            if (std::memcmp(&table[k], &untouched_bits, sizeof(double)) != 0) return false;
    return true;
}

// The two reads that the program makes with the traps on.
inline void read_trapped_groups() {
    std::feclearexcept(FE_ALL_EXCEPT);
    feenableexcept(FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID);
    read_io_flags();
    rewind_config_file();
    read_gr_input();
    rewind_config_file();
    fedisableexcept(FE_ALL_EXCEPT);
}

// The counted flags as the trapped reads left them, once they are over.
inline int flags_after_reads = -1;

// Reads the three groups from "master_nml" in the working directory into
// records that start zeroed, as the run's do; in the child.
inline void read_groups_here() {
    cmn_io_flags = {};
    cmn_gr_input = {};
    cmn_gr_p_trans = {};
    mark_knot_tables();
    flags_after_reads = -1;
    open_config_file();
    read_trapped_groups();
    flags_after_reads = std::fetestexcept(counted_flags);
    // The knot tables are arithmetic on whatever was read, where the program
    // traps on a zero or a NaN: no concern of the reader.
    init_p_trans();
}

// What the child saw at its end: "F" for flags left by the reads, "S" for a
// store past an item, then a newline.
inline std::string faults_seen() {
    const int flags = flags_after_reads >= 0 ? flags_after_reads : std::fetestexcept(counted_flags);
    std::string faults;
    if (flags != 0) faults += 'F';
    if (!knot_tables_untouched_above_count()) faults += 'S';
    return faults + '\n';
}

inline Outcome outcome_of(const test::ChildRun& run) {
    Outcome outcome;
    outcome.ended_abnormally = run.ended_abnormally;
    outcome.crashed = !run.ended_abnormally && !run.returned;
    outcome.report = run.report;
    const std::string faults = run.observed.substr(0, run.observed.find('\n'));
    outcome.flags_left = faults.find('F') != std::string::npos;
    outcome.stored_past_items = faults.find('S') != std::string::npos;
    return outcome;
}

inline Outcome read_config_groups() { return outcome_of(test::run_in_child(read_groups_here, faults_seen)); }

}  // namespace vorn::config_reads
