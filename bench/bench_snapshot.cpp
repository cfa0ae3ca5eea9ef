// The snapshot's geometry section at the size of the capacity run: snap_geo()
// on the grid of bench/capacity/master_nml (91368 voxels), through unit 10 to
// /dev/null, in bytes per second (about 120 MB per call, "agrid" with its
// eight corners per voxel included) and voxels per second, on one worker and
// on all cores (wall time).  The grid is built anew for each run of the
// benchmark, since other benchmarks fill the records with grids of their own.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <unistd.h>

#include "capacity_grid.hpp"
#include "file_output/byte_output.hpp"
#include "geometry/records.hpp"
#include "snapshot/snap_geo.hpp"
#include "units/units.hpp"
#include "workers/parallel.hpp"

namespace {

namespace fs = std::filesystem;

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

// Argument: the number of workers (0: all cores).
void BM_snap_geo_capacity(benchmark::State& state) {
    vorn::bench::build_capacity_grid();
    vorn::set_worker_count_for_testing(static_cast<int>(state.range(0)));
    const std::int64_t bytes = section_bytes();
    vorn::open_byte_output(vorn::snapshot_unit, "/dev/null");
    for (auto _ : state) vorn::snap_geo();
    vorn::close_byte_output(vorn::snapshot_unit);
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * vorn::cmn_g_voxel.g_v_dimension);
    state.counters["voxels"] = vorn::cmn_g_voxel.g_v_dimension;
    vorn::set_worker_count_for_testing(0);
}
BENCHMARK(BM_snap_geo_capacity)->Arg(1)->Arg(0)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace
