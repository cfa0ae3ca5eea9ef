// The phases of the capacity run (bench/capacity/master_nml) that run on all
// cores: the cell status, the voxels with their metric pass, and the full
// report (IO_GEOMETRY_FLAG 1, about 600 MB to /dev/null); each on one worker
// and on all cores (wall time).  Also the cost of one section of work spread
// over the workers, without work.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "capacity_grid.hpp"
#include "geometry/cell_status.hpp"
#include "geometry/records.hpp"
#include "geometry/voxels.hpp"
#include "report/report.hpp"
#include "workers/parallel.hpp"

namespace {

// The workers of a benchmark: its argument, 0 for all cores.
class Workers {
public:
    explicit Workers(const benchmark::State& state) {
        vorn::set_worker_count_for_testing(static_cast<int>(state.range(0)));
    }
    ~Workers() { vorn::set_worker_count_for_testing(0); }
    Workers(const Workers&) = delete;
    Workers& operator=(const Workers&) = delete;
};

void BM_set_status_capacity(benchmark::State& state) {
    vorn::bench::build_capacity_grid();
    const Workers workers(state);
    for (auto _ : state) vorn::set_status();
    const vorn::GrGrid& g = vorn::gr_grid;
    state.SetItemsProcessed(state.iterations() * (g.gr_np - 1) * (g.gr_nq - 1) * (g.gr_nl - 1));
}
BENCHMARK(BM_set_status_capacity)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_create_voxel_capacity(benchmark::State& state) {
    vorn::bench::build_capacity_grid();
    const Workers workers(state);
    for (auto _ : state) vorn::create_voxel();
    state.SetItemsProcessed(state.iterations() * vorn::cmn_g_voxel.g_v_dimension);
}
BENCHMARK(BM_create_voxel_capacity)->Arg(1)->Arg(0)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_full_report_capacity(benchmark::State& state) {
    vorn::bench::build_capacity_grid();
    vorn::cmn_io_flags.IO_GEOMETRY_FLAG = 1;
    const Workers workers(state);
    vorn::bench::OutputToNull to_null;
    for (auto _ : state) vorn::print_geometry();
    state.SetItemsProcessed(state.iterations() * vorn::cmn_g_voxel.g_v_dimension);
}
BENCHMARK(BM_full_report_capacity)->Arg(1)->Arg(0)->Iterations(3)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_empty_section(benchmark::State& state) {
    const Workers workers(state);
    for (auto _ : state) vorn::parallel_for(64, [](std::int32_t) {});
}
BENCHMARK(BM_empty_section)->Arg(0)->UseRealTime()->Unit(benchmark::kMicrosecond);

}  // namespace
