#include "format/messages.hpp"

#include <type_traits>

#include "format/free_format.hpp"
#include "units/units.hpp"

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
