// NaN operands of the run's arithmetic.
//
// Every ordered comparison with a NaN signals invalid operation, which traps
// (program_end.hpp).  Whether a comparison written in the code does so depends
// on the instruction the compiler picks (a quiet compare, or fmin and fmax,
// which drop a NaN), so a routine hands each configuration value it takes to
// raise_invalid_on_nan before its first use.  The traps and this check leave
// the run no other source of a NaN: every NaN that arithmetic can produce
// comes from a trapping operation.  Values that nothing reads are never
// checked.
#pragma once

#include <initializer_list>
#include <span>

namespace vorn {

// Raises invalid operation when one of `values` is a NaN (either sign, quiet
// or signalling); with the traps enabled that ends the run with the
// floating-point exception report.  Infinities and zeros pass.
void raise_invalid_on_nan(std::span<const double> values);
void raise_invalid_on_nan(std::initializer_list<double> values);

// Whether one of `values` is a NaN, found without signalling: for a test that
// leaves the NaN to a later raise_invalid_on_nan.
bool any_nan(std::span<const double> values);

}  // namespace vorn
