// The formatting layer's hot paths: e15.8 and i5 fields, free-format reals,
// and whole report records written to a unit connected to /dev/null.
#include <benchmark/benchmark.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <fcntl.h>
#include <random>

#include "format/fixed_format.hpp"
#include "format/free_format.hpp"
#include "units/units.hpp"

namespace vorn {
namespace {

char null_unit_buffer[TextUnit::buffer_size];
TextUnit null_unit(99, ::open("/dev/null", O_WRONLY | O_CLOEXEC), "/dev/null", null_unit_buffer);

constexpr std::size_t value_count = 4096;

// Values shaped like the report's: signed, full precision, magnitudes from
// 10^-3 (normals, q) to 10^15 (volumes), coordinates near 10^6.
const std::array<double, value_count>& report_values() {
    static const auto values = [] {
        std::array<double, value_count> v{};
        std::mt19937_64 random(2024);
        std::uniform_real_distribution<double> mantissa(-1.0, 1.0);
        std::uniform_int_distribution<int> decade(-3, 15);
        for (double& x : v) x = mantissa(random) * std::pow(10.0, decade(random));
        return v;
    }();
    return values;
}

void e15_8_field(benchmark::State& state) {
    const auto& values = report_values();
    char out[15];
    std::size_t i = 0;
    for (auto _ : state) {
        format_e(values[i++ % value_count], 15, 8, out);
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(e15_8_field);

// Integers of 1 to 6 digits, as the report's i5 and i6 fields take them.
void i5_field(benchmark::State& state) {
    char out[5];
    std::int32_t i = 0;
    for (auto _ : state) {
        format_integer((i * 7919) % 100000, 5, 0, out);
        benchmark::DoNotOptimize(out);
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(i5_field);

void free_format_real_item(benchmark::State& state) {
    const auto& values = report_values();
    char out[32];
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(free_format_real(values[i++ % value_count], out));
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(free_format_real_item);

void free_line_with_real(benchmark::State& state) {
    const auto& values = report_values();
    std::size_t i = 0;
    for (auto _ : state) {
        FreeLine(null_unit) << "FD00004%  " << "p_values " << static_cast<std::int32_t>(i % 100) << values[i % value_count];
        ++i;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(free_line_with_real);

// Records of `integers` Iw fields and `reals` e15.8 fields after the tag and
// the label, as the report writes them.
void report_records(benchmark::State& state, const Format& format, std::string_view label, int integers,
                    int reals, std::size_t record_length) {
    const auto& values = report_values();
    std::size_t i = 0;
    for (auto _ : state) {
        FixedRecord record(null_unit, format);
        record << "FD00019%  " << label;
        for (int k = 0; k < integers; ++k) record << static_cast<std::int32_t>((i * 7 + k) % 100002);
        for (int k = 0; k < reals; ++k) record << values[(i + k) % value_count];
        i += 3;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(record_length + 1));
}

void voxel_records(benchmark::State& state) {
    static const Format format("(A,A,9(i6,x),21(e15.8,x))");
    report_records(state, format, "voxel ", 9, 21, 414);
}
BENCHMARK(voxel_records);

void grid_node_records(benchmark::State& state) {
    static const Format format("(A,A,3(i5,x),15(e15.8,x))");
    report_records(state, format, "grid ", 3, 15, 272);
}
BENCHMARK(grid_node_records);

// The grid-node record as the report writes it: the texts of l, p, q, r and
// mlat (six of the fifteen reals) rendered beforehand, nine reals converted.
void grid_node_records_with_rendered_reals(benchmark::State& state) {
    static const Format format("(A,A,3(i5,x),15(e15.8,x))");
    const auto& values = report_values();
    std::array<RenderedReal, 64> texts;
    for (std::size_t k = 0; k < texts.size(); ++k) texts[k] = RenderedReal(values[k], 15, 8);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::size_t t = i % (texts.size() - 4);
        FixedRecord record(null_unit, format);
        record << "FD00019%  " << "grid " << 37 << static_cast<std::int32_t>(i % 100)
               << static_cast<std::int32_t>(i % 199) << texts[t] << texts[t + 1] << texts[t + 2] << texts[t + 3] << texts[t + 4] << texts[t];
        for (int k = 0; k < 9; ++k) record << values[(i + k) % value_count];
        i += 3;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * 273);
}
BENCHMARK(grid_node_records_with_rendered_reals);

}  // namespace
}  // namespace vorn
