#include "snapshot/snapshot.hpp"

#include <algorithm>

#include "file_output/byte_output.hpp"
#include "format/fixed_format.hpp"
#include "format/free_format.hpp"
#include "snapshot/mat_variables.hpp"
#include "snapshot/model_sections.hpp"
#include "snapshot/model_state.hpp"
#include "snapshot/snap_geo.hpp"
#include "timeutil/julian.hpp"
#include "timeutil/len1.hpp"
#include "units/units.hpp"

namespace vorn {

CmnSnapShot cmn_snap_shot;

void reset_snap_shot_record() { zero_record(cmn_snap_shot); }

namespace {

bool last_snapshot_written = false;

// Whether a given name replaces the default: its first character that is not
// a blank, within its length without trailing blanks and NULs, lies above the
// blank.
bool names_a_file(std::string_view filename) {
    const std::string_view used = filename.substr(0, static_cast<std::size_t>(len1(filename)));
    const std::size_t first = used.find_first_not_of(' ');
    return first != std::string_view::npos && static_cast<unsigned char>(used[first]) > ' ';
}

std::string_view without_trailing_blanks(std::string_view text) {
    const std::size_t last = text.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string_view() : text.substr(0, last + 1);
}

}  // namespace

void init_snap_shot(std::string_view user_spec, std::int32_t count, std::span<const std::int32_t, 7> flags) {
    CmnSnapShot& s = cmn_snap_shot;
    s.snap_shot_spec_len = std::min(count, snap_shot_spec_capacity);
    for (int k = 1; k <= s.snap_shot_spec_len && k <= static_cast<int>(user_spec.size()); ++k)
        s.snap_shot_spec(k) = user_spec[static_cast<std::size_t>(k - 1)];

    // Only exactly 1 switches a section on (2 or -1 leave it off).
    auto on = [](std::int32_t flag) -> std::int32_t { return flag == 1 ? 1 : 0; };
    s.geo_flag = on(flags[0]);
    s.ph_flag = on(flags[1]);
    s.eq_flag = on(flags[2]);
    s.st_flag = on(flags[3]);
    s.cov_flag = on(flags[4]);
    s.co_st_flag = on(flags[5]);
    s.innov_flag = on(flags[6]);
}

void snap_shot(std::string_view filename) {
    static double utc;
    static FileName file_name;

    utc = cmn_physics_input.p_sod + cmn_physics_input.pi_begin_utc;
    file_name = timestamp_filename("vorn_state_pql", utc);
    if (names_a_file(filename)) {
        file_name.fill(' ');
        std::copy_n(filename.begin(), std::min(filename.size(), file_name.size()), file_name.begin());
    }
    const std::string_view name_text(file_name.data(), file_name.size());
    FreeLine(output_unit) << "Writing using file "
                          << name_text.substr(0, static_cast<std::size_t>(len1(name_text)));

    // A name that leads to a file the run holds is refused: nothing is written.
    if (!open_byte_output(snapshot_unit, without_trailing_blanks(name_text))) {
        last_snapshot_written = false;
        return;
    }

    const CmnSnapShot& s = cmn_snap_shot;
    const MatVariable preamble[] = {
        scalar("e_t_c", e_equation.e_t_c),
        scalar("p_ut", utc),
        scalar("p_sod", cmn_physics_input.p_sod),
        scalar("geo_flag", s.geo_flag),
        scalar("ph_flag", s.ph_flag),
        scalar("eq_flag", s.eq_flag),
        scalar("st_flag", s.st_flag),
        scalar("cov_flag", s.cov_flag),
        scalar("co_st_flag", s.co_st_flag),
        scalar("innov_flag", s.innov_flag),
    };
    write_variables(preamble);

    if (s.geo_flag == 1) snap_geo();
    if (s.ph_flag == 1) snap_ph();
    if (s.eq_flag == 1) snap_eq();
    if (s.st_flag == 1) snap_st();
    if (s.co_st_flag == 1) snap_co_st();
    if (s.innov_flag == 1) snap_innov();

    close_byte_output(snapshot_unit);
    last_snapshot_written = !byte_output_failed();
}

bool snap_shot_written() { return last_snapshot_written; }

FileName timestamp_filename(std::string_view label, double utc) {
    static const Format name_format("(a,a,I4.4,I2.2,I2.2,a,I2.2,I2.2,I2.2,a)");
    std::int32_t year, month, day, hour, minute, second;
    double fraction;
    seccal(utc, year, month, day, hour, minute, second, fraction);

    FileName name;
    FixedRecord(std::span<char>(name), name_format)
        << label.substr(0, static_cast<std::size_t>(len1(label))) << "_" << year << month << day << "_" << hour
        << minute << second << ".mat";
    return name;
}

}  // namespace vorn
