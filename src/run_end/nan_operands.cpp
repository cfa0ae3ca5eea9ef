#include "run_end/nan_operands.hpp"

#include <algorithm>
#include <cfenv>
#include <cmath>

namespace vorn {

bool any_nan(std::span<const double> values) {
    // std::isnan classifies without signalling.
    return std::ranges::any_of(values, [](double value) { return std::isnan(value); });
}

void raise_invalid_on_nan(std::span<const double> values) {
    // feraiseexcept raises the exception by an operation of its own, so an
    // enabled trap fires.
    if (any_nan(values)) std::feraiseexcept(FE_INVALID);
}

void raise_invalid_on_nan(std::initializer_list<double> values) {
    raise_invalid_on_nan(std::span<const double>(values.begin(), values.size()));
}

}  // namespace vorn
