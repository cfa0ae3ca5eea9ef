// Throughput of the snapshot's byte output: the MAT writers and the per-byte
// call writing doubles to /dev/null through unit 10, against one plain write
// of the same bytes.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "file_output/byte_output.hpp"
#include "matfile/matfile.hpp"
#include "units/units.hpp"

namespace {

constexpr std::int32_t doubles_per_array = 1 << 21;  // 16 MiB

const std::vector<double>& doubles() {
    static const std::vector<double> values = [] {
        std::vector<double> v(doubles_per_array);
        for (std::size_t k = 0; k < v.size(); ++k) v[k] = 6371200.0 + 0.5 * static_cast<double>(k);
        return v;
    }();
    return values;
}

void set_bytes(benchmark::State& state, std::size_t bytes_per_iteration) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes_per_iteration));
}

// One 1 x n row of doubles, as "gr_p" or a voxel array.
void BM_SavemtRow(benchmark::State& state) {
    const std::vector<double>& v = doubles();
    vorn::open_byte_output(vorn::snapshot_unit, "/dev/null");
    for (auto _ : state) vorn::savemt(vorn::snapshot_unit, v.data(), 1, 1, doubles_per_array, "agrid", 5);
    vorn::close_byte_output(vorn::snapshot_unit);
    set_bytes(state, v.size() * sizeof(double));
}
BENCHMARK(BM_SavemtRow)->Unit(benchmark::kMillisecond);

// 3 rows of a leading dimension of 4: one short column after another, the
// slowest layout (the three-dimensional writers' columns are of this kind).
void BM_SavemtShortColumns(benchmark::State& state) {
    const std::vector<double>& v = doubles();
    const std::int32_t columns = doubles_per_array / 4;
    vorn::open_byte_output(vorn::snapshot_unit, "/dev/null");
    for (auto _ : state) vorn::savemt(vorn::snapshot_unit, v.data(), 4, 3, columns, "columns", 7);
    vorn::close_byte_output(vorn::snapshot_unit);
    set_bytes(state, static_cast<std::size_t>(columns) * 3 * sizeof(double));
}
BENCHMARK(BM_SavemtShortColumns)->Unit(benchmark::kMillisecond);

// Byte by byte, as a caller streaming the elements of a savehd record.
void BM_WriteBytePerByte(benchmark::State& state) {
    const std::vector<double>& v = doubles();
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(v.data());
    const std::size_t count = v.size() * sizeof(double);
    vorn::open_byte_output(vorn::snapshot_unit, "/dev/null");
    for (auto _ : state)
        for (std::size_t k = 0; k < count; ++k)
            benchmark::DoNotOptimize(vorn::write_byte(vorn::snapshot_unit, bytes[k]));
    vorn::close_byte_output(vorn::snapshot_unit);
    set_bytes(state, count);
}
BENCHMARK(BM_WriteBytePerByte)->Unit(benchmark::kMillisecond);

// The same bytes in one write of the operating system (on /dev/null the
// system does not even read them) ...
void BM_PlainWrite(benchmark::State& state) {
    const std::vector<double>& v = doubles();
    const std::size_t count = v.size() * sizeof(double);
    int fd = ::open("/dev/null", O_WRONLY);
    for (auto _ : state) benchmark::DoNotOptimize(::write(fd, v.data(), count));
    ::close(fd);
    set_bytes(state, count);
}
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);

// ... and copied into a block buffer of the byte output's size first: the
// least that a buffered byte output can cost.
void BM_PlainCopyAndWrite(benchmark::State& state) {
    const std::vector<double>& v = doubles();
    const auto* bytes = reinterpret_cast<const char*>(v.data());
    const std::size_t count = v.size() * sizeof(double);
    static char block[vorn::byte_block_size];
    int fd = ::open("/dev/null", O_WRONLY);
    for (auto _ : state)
        for (std::size_t done = 0; done < count; done += sizeof block) {
            std::size_t n = std::min(sizeof block, count - done);
            std::memcpy(block, bytes + done, n);
            benchmark::DoNotOptimize(::write(fd, block, n));
        }
    ::close(fd);
    set_bytes(state, count);
}
BENCHMARK(BM_PlainCopyAndWrite)->Unit(benchmark::kMillisecond);

}  // namespace
