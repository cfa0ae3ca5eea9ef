// Snapshot driver: writes one MAT-file Level 4 snapshot of the global records.
//
// A snapshot file is a preamble of ten 1 x 1 variables
//   "e_t_c", "p_ut" (the snapshot time), "p_sod"           float64
//   "geo_flag", "ph_flag", "eq_flag", "st_flag", "cov_flag",
//   "co_st_flag", "innov_flag"                              int32
// followed by the sections whose flags are 1, in the order geometry, physics,
// equation, state, costate, innovation (cov_flag selects no section).
// Times are seconds since the reference epoch (julian.hpp); the snapshot time
// is p_sod + pi_begin_utc.
//
// Without a usable name the file is called
// "vorn_state_pql_YYYYMMDD_HHMMSS.mat" after the snapshot time.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "checked_array/checked_array.hpp"

namespace vorn {

inline constexpr int snap_shot_spec_capacity = 20;
inline constexpr int file_name_length = 255;

// A text of fixed length 255, blank-padded.
using FileName = std::array<char, file_name_length>;

// What the next snapshot holds.  Flags are 0 or 1, stored in the order geo,
// eq, ph, st, cov, co_st, innov.
struct CmnSnapShot {
    Array1<char, snap_shot_spec_capacity, "SNAP_SHOT_SPEC"> snap_shot_spec;  // description
    std::int32_t snap_shot_spec_len;
    std::int32_t geo_flag;
    std::int32_t eq_flag;
    std::int32_t ph_flag;
    std::int32_t st_flag;
    std::int32_t cov_flag;
    std::int32_t co_st_flag;
    std::int32_t innov_flag;
};

extern CmnSnapShot cmn_snap_shot;

// Zeroes cmn_snap_shot, as the run starts it.
void reset_snap_shot_record();

// Records the first `count` characters of `user_spec` (at most 20; a count of
// 0 or below is kept and copies nothing) and the section flags, given in the
// order geo, ph, eq, st, cov, co_st, innov; a flag is set only by exactly 1.
void init_snap_shot(std::string_view user_spec, std::int32_t count, std::span<const std::int32_t, 7> flags);

// Writes the snapshot file.  `filename` is used whole (leading blanks kept,
// cut to 255 characters) when its first character that is not a blank lies
// above the blank; otherwise (empty, blanks and NULs, a control character
// first) the default name is used.  Prints " Writing using file <name>" on
// standard output, opens unit 10, writes the preamble and the sections, and
// closes the unit.  An older file of that name gives way only to a complete
// snapshot (byte_output.hpp); a name that leads to a file the run holds is
// refused and nothing is written.
void snap_shot(std::string_view filename);

// True when every byte of the last snapshot reached its file, which then
// holds it under its name.
bool snap_shot_written();

// label (without trailing blanks), "_", YYYYMMDD, "_", HHMMSS, ".mat" for the
// time utc; a year outside 0 .. 9999 is written as "****".  Blank-padded.
FileName timestamp_filename(std::string_view label, double utc);

}  // namespace vorn
