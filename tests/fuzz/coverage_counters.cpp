#include "coverage_counters.hpp"

extern "C" std::uint8_t __start___sancov_cntrs[] __attribute__((weak, visibility("hidden")));
extern "C" std::uint8_t __stop___sancov_cntrs[] __attribute__((weak, visibility("hidden")));

namespace vorn::fuzzing {

std::span<std::uint8_t> coverage_counters() {
    if (__start___sancov_cntrs == nullptr) return {};
    return {__start___sancov_cntrs, __stop___sancov_cntrs};
}

}  // namespace vorn::fuzzing
