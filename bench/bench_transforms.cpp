// Point transforms over 100000 points: mag2geo_pts, pq2polar and p_trans in
// both directions.  The counter "per_point" is the time per point.
#include <benchmark/benchmark.h>

#include "geometry/dipole.hpp"
#include "geometry/frame.hpp"
#include "geometry/records.hpp"
#include "geometry/stretching.hpp"

namespace {

using namespace vorn;

constexpr int points = 100000;

struct Arrays {
    double mrad[points], mlat[points], mlon[points], mx[points], my[points], mz[points];
    double grad[points], glat[points], glon[points], gx[points], gy[points], gz[points];
};
Arrays arrays;

// Evenly spread values from `low` to `high`.
void spread(double* values, double low, double high) {
    for (int k = 0; k < points; ++k) values[k] = low + (high - low) * k / (points - 1);
}

void report_per_point(benchmark::State& state) {
    state.counters["per_point"] =
        benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_mag2geo_pts(benchmark::State& state) {
    set_mag(3);
    Arrays& a = arrays;
    spread(a.mrad, 6471200.0, 9000000.0);
    spread(a.mlat, -85.0, 85.0);
    spread(a.mlon, -180.0, 540.0);
    for (auto _ : state) {
        mag2geo_pts({{a.mrad, "MRAD"}, {a.mlat, "MLAT"}, {a.mlon, "MLON"}, {a.mx, "MX"}, {a.my, "MY"}, {a.mz, "MZ"}},
                    {{a.grad, "GRAD"}, {a.glat, "GLAT"}, {a.glon, "GLON"}, {a.gx, "GX"}, {a.gy, "GY"}, {a.gz, "GZ"}},
                    points);
        benchmark::ClobberMemory();
    }
    report_per_point(state);
}
BENCHMARK(BM_mag2geo_pts);

void BM_pq2polar(benchmark::State& state) {
    Arrays& a = arrays;
    spread(a.mx, 1.01, 4.0);    // p
    spread(a.my, -0.99, 0.99);  // q
    for (auto _ : state) {
        pq2polar({{a.mx, "P"}, {a.my, "Q"}}, {{a.mrad, "MRAD"}, {a.mlat, "MLAT"}}, points);
        benchmark::ClobberMemory();
    }
    report_per_point(state);
}
BENCHMARK(BM_pq2polar);

void default_knots() {
    CmnGrPTrans& t = cmn_gr_p_trans;
    t = {};
    t.GR_N_CONTROL = 5;
    const double alt_km[] = {100.0, 500.0, 1000.0, 1500.0, 2000.0};
    const double ratio[] = {1.0, 1.0, 2.0, 5.0, 10.0};
    for (int k = 1; k <= 5; ++k) {
        t.GR_CONTROL_ALT(k) = alt_km[k - 1];
        t.GR_SIZE_RATIO(k) = ratio[k - 1];
    }
    build_p_trans_tables();
}

void BM_p_trans_s_to_p(benchmark::State& state) {
    default_knots();
    Arrays& a = arrays;
    spread(a.mx, -0.05, 1.05);
    for (auto _ : state) {
        p_trans({a.mx, "S"}, {a.my, "P"}, 1, points);
        benchmark::ClobberMemory();
    }
    report_per_point(state);
}
BENCHMARK(BM_p_trans_s_to_p);

void BM_p_trans_p_to_s(benchmark::State& state) {
    default_knots();
    Arrays& a = arrays;
    spread(a.my, 1.01, 1.35);
    for (auto _ : state) {
        p_trans({a.mx, "S"}, {a.my, "P"}, -1, points);
        benchmark::ClobberMemory();
    }
    report_per_point(state);
}
BENCHMARK(BM_p_trans_p_to_s);

}  // namespace
