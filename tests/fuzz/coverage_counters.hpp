// The inline 8-bit coverage counters of the fuzzing build, which libFuzzer
// reads after each input.  The section bounds are declared in a source file
// of their own, built without coverage: declared beside the compiler's own
// references to them, they would hide the counters from libFuzzer.
#pragma once

#include <cstdint>
#include <span>

namespace vorn::fuzzing {

std::span<std::uint8_t> coverage_counters();

}  // namespace vorn::fuzzing
