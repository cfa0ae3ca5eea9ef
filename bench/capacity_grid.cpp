#include "capacity_grid.hpp"

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

#include "geometry/init_geometry.hpp"
#include "geometry/records.hpp"
#include "units/config_file.hpp"
#include "units/units.hpp"

namespace vorn::bench {

namespace fs = std::filesystem;

// Builds the capacity grid from its configuration in a scratch folder.
void build_capacity_grid() {
    reset_geometry_records();
    const fs::path home = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("vorn_bench_snapshot_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::copy_file(fs::path(VORN_SOURCE_DIR) / "bench" / "capacity" / "master_nml", dir / "master_nml",
                  fs::copy_options::overwrite_existing);
    fs::current_path(dir);
    {
        OutputToNull to_null;
        open_config_file();
        init_geometry();
        close_unit(config_unit);
    }
    fs::current_path(home);
    fs::remove_all(dir);
}

OutputToNull::OutputToNull() : fd_(::open("/dev/null", O_WRONLY)) {
    text_unit(output_unit).flush();
    text_unit(output_unit).connect(fd_, "/dev/null", false);
}

OutputToNull::~OutputToNull() {
    text_unit(output_unit).flush();
    text_unit(output_unit).connect(STDOUT_FILENO, "stdout", false);
    ::close(fd_);
}

}  // namespace vorn::bench
