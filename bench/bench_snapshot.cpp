// The snapshot's geometry section at the size of the capacity run: snap_geo()
// on the grid of bench/capacity/master_nml (91368 voxels), through unit 10 to
// /dev/null, in bytes per second (about 120 MB per call, "agrid" with its
// eight corners per voxel included) and voxels per second.  The grid is built
// anew for each run of the benchmark, since other benchmarks fill the records
// with grids of their own; its report (the first seven sections only) goes to
// /dev/null.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "geometry/init_geometry.hpp"
#include "geometry/records.hpp"
#include "runtime/byte_output.hpp"
#include "runtime/units.hpp"
#include "snapshot/snap_geo.hpp"

namespace {

namespace fs = std::filesystem;

// Builds the capacity grid from its configuration in a scratch folder.
void build_capacity_grid() {
    using namespace vorn;
    reset_geometry_records();
    const fs::path home = fs::current_path();
    const fs::path dir = fs::temp_directory_path() / ("vorn_bench_snapshot_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    fs::copy_file(fs::path(VORN_SOURCE_DIR) / "bench" / "capacity" / "master_nml", dir / "master_nml",
                  fs::copy_options::overwrite_existing);
    fs::current_path(dir);
    const int null_fd = ::open("/dev/null", O_WRONLY);
    text_unit(output_unit).flush();
    text_unit(output_unit).connect(null_fd, "/dev/null", false);
    open_config_file();
    init_geometry();
    close_unit(config_unit);
    text_unit(output_unit).flush();
    text_unit(output_unit).connect(STDOUT_FILENO, "stdout", false);
    ::close(null_fd);
    fs::current_path(home);
    fs::remove_all(dir);
}

// Bytes that snap_geo appends, counted from the file it writes.
std::int64_t section_bytes() {
    const fs::path file = fs::temp_directory_path() / ("vorn_bench_section_" + std::to_string(::getpid()));
    vorn::open_byte_output(vorn::snapshot_unit, file.string());
    vorn::snap_geo();
    vorn::close_byte_output(vorn::snapshot_unit);
    const auto bytes = static_cast<std::int64_t>(fs::file_size(file));
    fs::remove(file);
    return bytes;
}

void BM_snap_geo_capacity(benchmark::State& state) {
    build_capacity_grid();
    const std::int64_t bytes = section_bytes();
    vorn::open_byte_output(vorn::snapshot_unit, "/dev/null");
    for (auto _ : state) vorn::snap_geo();
    vorn::close_byte_output(vorn::snapshot_unit);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * vorn::cmn_g_voxel.g_v_dimension);
    state.counters["voxels"] = vorn::cmn_g_voxel.g_v_dimension;
}
BENCHMARK(BM_snap_geo_capacity)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
