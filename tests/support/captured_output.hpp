// What a piece of code writes on standard output (unit 6), for tests.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "units/units.hpp"

namespace vorn::test {

// Runs `write` and returns what it put on unit 6; the unit's buffer is flushed
// before and after so that only those characters are captured.
template <class Statements>
std::string written(Statements write) {
    text_unit(output_unit).flush();
    ::testing::internal::CaptureStdout();
    write();
    text_unit(output_unit).flush();
    return ::testing::internal::GetCapturedStdout();
}

}  // namespace vorn::test
