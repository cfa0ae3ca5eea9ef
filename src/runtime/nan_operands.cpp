#include "runtime/nan_operands.hpp"

#include <cfenv>
#include <cmath>

namespace vorn {

void raise_invalid_on_nan(std::initializer_list<double> values) {
    // std::isnan classifies without signalling; feraiseexcept raises the
    // exception by an operation of its own, so an enabled trap fires.
    for (const double value : values)
        if (std::isnan(value)) std::feraiseexcept(FE_INVALID);
}

}  // namespace vorn
