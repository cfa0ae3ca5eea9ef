// Length of a fixed-length text without its trailing blanks and NULs.
//
// Texts are padded on the right, with blanks as a rule and with NUL bytes
// where they come from a zeroed record.  Only blanks (32) and NULs (0) are
// trimmed; any other character, a tab or other control character included,
// ends the scan.  Leading blanks count.
#pragma once

#include <cstdint>
#include <string_view>

namespace vorn {

// 0 <= result <= text.size().
std::int32_t len1(std::string_view text);

}  // namespace vorn
