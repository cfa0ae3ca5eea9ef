#include "runtime/messages.hpp"

#include <type_traits>

#include "runtime/free_format.hpp"
#include "runtime/units.hpp"

namespace vorn {

void write_message(const MessageLine& line) {
    FreeLine message(output_unit);
    message << line.text;
    std::visit(
        [&message](auto value) {
            if constexpr (!std::is_same_v<decltype(value), std::monostate>) message << value;
        },
        line.value);
}

}  // namespace vorn
