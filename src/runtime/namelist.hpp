// Namelist reading of the configuration file (unit 1, "master_nml").
//
// A group opens on a line whose first non-blank character (a tab counts as a
// blank) is "&" or "$" followed by the group name in any case and a character
// that cannot belong to a name; it ends at "/" or at "&"/"$" where an item name
// is expected ("&END", "$END").  Items are NAME = values, separated by blanks,
// commas or line ends; "!" starts a comment; r*value repeats a value; an array
// item takes a list from element 1, or from element i when written NAME(i).
// Integers are 32-bit; reals are doubles with E, D or Q exponents and the words
// Inf, Infinity and NaN.  Items that the group does not name keep their values.
//
// Every failure ends the run abnormally with the READ report on unit 1.
#pragma once

#include <cstdint>
#include <source_location>
#include <span>
#include <string_view>

namespace vorn {

struct NamelistItem {
    enum class Type { integer, real };
    std::string_view name;  // upper case
    Type type;
    void* first;            // the item, or element 1 of an array item
    std::int32_t extent;    // 1 for a scalar item, the element count of an array item
};

// Reads the group from the current position of unit 1 (the caller rewinds it).
void read_namelist(std::string_view group, std::span<const NamelistItem> items,
                   const std::source_location& where = std::source_location::current());

}  // namespace vorn
