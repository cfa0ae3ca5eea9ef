// The geometry report writer: grid-node records (format 3000) per second and
// MB/s, through print_geometry on a grid without voxels (the report is then
// almost all FD19), on one worker and on all cores (wall time), and as single
// records.  Unit 6 goes to /dev/null.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "capacity_grid.hpp"
#include "format/fixed_format.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "report/report.hpp"
#include "units/units.hpp"
#include "workers/parallel.hpp"

namespace {

// Characters of one grid-node record with its newline.
constexpr std::int64_t node_record_bytes = 273;

// A grid of nl x 100 x 199 nodes in the dipole frame, with no voxel.
void fill_grid(int nl) {
    vorn::reset_geometry_records();
    vorn::set_mag(2);
    vorn::cmn_io_flags.IO_GEOMETRY_FLAG = 1;
    vorn::GrGrid& g = vorn::gr_grid;
    g.gr_nl = nl;
    g.gr_np = 100;
    g.gr_nq = 199;
    for (int i = 1; i <= g.gr_nl; ++i) g.gr_l(i) = 360.0 * (i - 1) / (nl - 1);
    for (int i = 1; i <= g.gr_np; ++i) g.gr_p(i) = 1.02 + 0.05 * (i - 1);
    for (int i = 1; i <= g.gr_nq; ++i) g.gr_q(i) = -0.9 + 0.9 * (i - 1) / 99.0;
    vorn::cmn_g_voxel.g_v_dimension = 0;
}

// Arguments: the number of l values, the number of workers (0: all cores).
void BM_report_grid_nodes(benchmark::State& state) {
    const int nl = static_cast<int>(state.range(0));
    fill_grid(nl);
    vorn::set_worker_count_for_testing(static_cast<int>(state.range(1)));
    vorn::bench::OutputToNull to_null;
    for (auto _ : state) vorn::print_geometry();
    const std::int64_t records = std::int64_t{nl} * 100 * 199;
    state.SetItemsProcessed(state.iterations() * records);
    state.SetBytesProcessed(state.iterations() * records * node_record_bytes);
    vorn::set_worker_count_for_testing(0);
}
BENCHMARK(BM_report_grid_nodes)
    ->Args({10, 0})
    ->Args({100, 1})
    ->Args({100, 0})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void BM_format_3000_record(benchmark::State& state) {
    static const vorn::Format node_format("(A,A,3(i5,x),15(e15.8,x))");
    vorn::bench::OutputToNull to_null;
    double r = 6371200.0 * 1.37;
    for (auto _ : state) {
        r += 0.125;
        vorn::FixedRecord(vorn::output_unit, node_format)
            << "FD00019%  " << "grid " << 37 << 42 << 101 << 123.75 << 2.37 << -0.4123456789 << r << -31.234567
            << 123.75 << r * 1.0001 << -29.87654321 << 301.1234567 << -4.123e6 << 5.5e6 << -6.25e6 << 3.1e6
            << -7.9e6 << 1.2345e5;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * node_record_bytes);
}
BENCHMARK(BM_format_3000_record);

}  // namespace
