// vorn_create_geo: builds the grid of the ionospheric model in dipole magnetic
// coordinates, prints the geometry report on standard output and writes the
// snapshot "vorn_geometry.mat".  Reads "master_nml" from the working
// directory; takes no arguments.
#include "geometry/init_geometry.hpp"
#include "geometry/records.hpp"
#include "runtime/namelist.hpp"
#include "runtime/program_end.hpp"
#include "runtime/units.hpp"

namespace {

void read_io_flags() {
    using vorn::NamelistItem;
    using T = NamelistItem::Type;
    vorn::CmnIoFlags& f = vorn::cmn_io_flags;
    const NamelistItem items[] = {
        {"IO_GEOMETRY_FLAG", T::integer, &f.IO_GEOMETRY_FLAG, 1},
        {"IO_PHYSICS_FLAG", T::integer, &f.IO_PHYSICS_FLAG, 1},
        {"IO_STATE_FLAG", T::integer, &f.IO_STATE_FLAG, 1},
        {"IO_EQUATION_FLAG", T::integer, &f.IO_EQUATION_FLAG, 1},
        {"IO_OPTIMIZE_FLAG", T::integer, &f.IO_OPTIMIZE_FLAG, 1},
        {"IO_OSSEDATA_FLAG", T::integer, &f.IO_OSSEDATA_FLAG, 1},
        {"IO_EXBDRIFT_FLAG", T::integer, &f.IO_EXBDRIFT_FLAG, 1},
        {"IO_APROD_FLAG", T::integer, &f.IO_APROD_FLAG, 1},
        {"IO_COVARIANCE_FLAG", T::integer, &f.IO_COVARIANCE_FLAG, 1},
        {"IO_WRITE_INITIAL_FLAG", T::integer, &f.IO_WRITE_INITIAL_FLAG, 1},
    };
    vorn::read_namelist("NML_IO_FLAGS", items);
}

}  // namespace

int main() {
    vorn::start_floating_point_mode();
    vorn::open_config_file();
    vorn::open_error_file();
    read_io_flags();
    vorn::rewind_config_file();
    vorn::init_geometry();
    vorn::close_unit(vorn::config_unit);
    vorn::close_unit(vorn::error_unit);
    vorn::orderly_end();
}
