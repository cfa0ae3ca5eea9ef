#include "timeutil/len1.hpp"

namespace vorn {

std::int32_t len1(std::string_view text) {
    auto i = static_cast<std::int32_t>(text.size());
    while (i >= 1) {
        char c = text[static_cast<std::size_t>(i - 1)];
        if (c != ' ' && c != '\0') return i;
        i = i - 1;
    }
    return 0;
}

}  // namespace vorn
