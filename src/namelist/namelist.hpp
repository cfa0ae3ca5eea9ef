// Namelist reading of the configuration file (unit 1, "master_nml").
//
// A group opens on a line whose first non-blank character (a tab counts as a
// blank) is "&" or "$" followed by the group name in any case and a character
// that cannot belong to a name (letters, digits and "_" do); every other line
// is skipped, so NML_GR_INPUTX never opens NML_GR_INPUT.  The group ends at
// "/" or at "&"/"$" where an item name or a value is expected ("&END",
// "$END"); the rest of that line is ignored.
//
// Items are NAME = values or NAME(i) = values, the name matched in any case
// and followed on its own line by the subscript.  Names and values are
// separated by blanks, tabs, commas or line ends (a line end counts as a
// blank, also between a name and its "="); "!" starts a comment that runs to
// the end of the line; r*value stands for r copies of the value.  A scalar takes
// one value; an array item takes its values from element 1, or from element i
// when written NAME(i), and elements after the last value keep theirs.  Items
// that the group does not name keep their values.
//
// Integers are 32-bit: an optional sign and decimal digits.  Reals are
// doubles: an optional sign, digits with an optional point, an optional
// exponent introduced by E, D or Q in either case, or the words Inf,
// Infinity and NaN in any case.  The conversion rounds to nearest and neither
// traps nor leaves exception flags behind: a literal beyond the double range
// gives an infinity of its sign, one below it the nearest subnormal or zero.
// A carriage return that ends a line belongs to the line end.
//
// Every failure ends the run abnormally with the READ report on unit 1
// (abnormal_end.hpp; the reader keeps no state of its own between reads):
//   End-of-file  the group is not in the file, or the file ends inside it
//   1092  a name that the group does not declare
//   1090  a character that cannot stand where a name, "(", "=" or a subscript
//         is expected (a subscript on a scalar item included)
//   1097  a subscript outside the item's elements
//   1093  more than one subscript
//   1083  a character that cannot stand in an integer value, an integer
//         outside the 32-bit range, a zero repeat count
//   1084  the same for a real value
//   1099  "too many values for NAMELIST object": more values than the item
//         has elements from its starting element onwards; nothing is stored
//         past the item
//   5002  a line longer than max_config_line_length (units.hpp), found by
//         the line reader before the line is stored
// A null value (",," or "r*" without a value, "=" without any value) and a
// character, logical or complex value are value errors (1083 or 1084) marked
// at the character where the value should be.  Value errors and 1099 add the
// " Input:  " line and the "^" marker under the offending character.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "run_end/source_location.hpp"

namespace vorn {

struct NamelistItem {
    enum class Type { integer, real };
    std::string_view name;  // upper case
    Type type;
    void* first;            // the item, or element 1 of an array item
    std::int32_t extent;    // 1 for a scalar item, the element count of an array item
};

// Reads the group (its name in upper case, as the item names) from the
// current position of unit 1; the caller rewinds the unit afterwards.
// `where` is the READ statement that the reports name.
void read_namelist(std::string_view group, std::span<const NamelistItem> items,
                   const SourceLocation& where = SourceLocation::current());

}  // namespace vorn
