// vorn_create_geo: builds the grid of the ionospheric model in dipole magnetic
// coordinates, prints the geometry report on standard output and writes the
// snapshot "vorn_geometry.mat".  It reads "master_nml" in the working folder
// and takes no arguments.  The whole run, in its one order: the configuration
// units, the switches, the geometry built into its records, then the two
// writers that only read them, the report and the snapshot, the orderly end.
#include <cstdint>

#include "geometry/init_geometry.hpp"
#include "program_end/program_end.hpp"
#include "report/report.hpp"
#include "run_end/abnormal_end.hpp"
#include "run_end/floating_point.hpp"
#include "run_end/termination_signals.hpp"
#include "snapshot/snapshot.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"
#include "workers/parallel.hpp"

int main() {
    vorn::start_terminate_report();
    vorn::start_floating_point_mode();
    vorn::handle_termination_signals();
#ifdef VORN_TEST_WORKERS
    // Test builds only: the same run on a fixed number of worker threads.
    vorn::set_worker_count_for_testing(VORN_TEST_WORKERS);
#endif
    vorn::open_config_file();
    vorn::open_error_file();
    vorn::read_io_flags();
    vorn::rewind_config_file();

    vorn::init_geometry();

    vorn::print_geometry();
    static const std::int32_t geometry_section_only[7] = {1, 0, 0, 0, 0, 0, 0};
    vorn::init_snap_shot("geometry  ", 8, geometry_section_only);
    vorn::snap_shot("vorn_geometry.mat");

    vorn::close_unit(vorn::config_unit);
    vorn::close_unit(vorn::error_unit);
    // A snapshot that did not reach its file is no success, though the run
    // ends in order.
    if (!vorn::snap_shot_written()) vorn::fatal_stop();
    vorn::orderly_end();
}
