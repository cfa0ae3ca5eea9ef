// The test of a reset: every byte of every record it covers back to zero.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace vorn::test {

// Fills every record that each_record hands its visitor with a pattern, runs
// reset, and expects every byte of them zero again.
template <class EachRecord>
void expect_reset_zeroes_all(EachRecord each_record, void (*reset)()) {
    each_record([](auto& record) { std::memset(static_cast<void*>(&record), 0x5a, sizeof record); });
    reset();
    int record = 0;
    each_record([&](const auto& r) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(&r);
        std::size_t nonzero = 0;
        for (std::size_t k = 0; k < sizeof r; ++k) nonzero += bytes[k] != 0;
        EXPECT_EQ(nonzero, 0u) << "record " << ++record;
    });
}

}  // namespace vorn::test
