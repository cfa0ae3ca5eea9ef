// The bytes of a record, for the tests of the resets: fill them with a
// pattern, and expect all of them zero again after the reset.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>

namespace vorn::testing {

template <class Record>
void scribble(Record& record) {
    std::memset(static_cast<void*>(&record), 0x5a, sizeof record);
}

template <class Record>
bool all_zero(const Record& record) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    for (std::size_t k = 0; k < sizeof record; ++k)
        if (bytes[k] != 0) return false;
    return true;
}

// Scribbles on every record that each_record hands its visitor, runs reset,
// and expects every one of them zero again.
template <class EachRecord>
void expect_reset_zeroes_all(EachRecord each_record, void (*reset)()) {
    each_record([](auto& record) { scribble(record); });
    reset();
    int record = 0;
    each_record([&](const auto& r) { EXPECT_TRUE(all_zero(r)) << "record " << ++record; });
}

}  // namespace vorn::testing
