// Snapshot sections as tables of MAT variables.
//
// A section is a fixed list of variables, each written by one writer call on
// the snapshot file (unit 10), straight from the record that holds it.  An
// array's variable bears the array's own name in lower case; a single value
// is named where it is written.  A section builds its list as a table, one
// entry per variable in the order of the file, and hands it to
// write_variables:
//
//   const MatVariable variables[] = {
//       matrix(d_dipole.d_rotate, 3, 3),               // "d_rotate": savemt, ld 3
//       row(gr_grid.gr_p, gr_grid.gr_np),              // "gr_p": 1 x gr_np, ld 1
//       scalar("gr_glb", gr_grid.gr_glb),              // flag as 0/1 int32
//       cube(gr_grid.gr_stat, np - 1, nq - 1, nl - 1), // "gr_stat": saveit_3d
//   };
//   write_variables(variables);
//
// The writer follows from the element type: int32 elements go through saveit
// (saveit_3d), doubles through savemt (savemt_3d), characters through savest;
// a one-byte flag is written as the int32 1 or 0 and a single-precision value
// as the double it widens to exactly.  Leading dimensions are the declared
// extents of the array.  The entries point into the records; the counts are
// taken when the table is built, so a table is built right before it is
// written.  A count beyond the declared extent of the written index ends the
// run with the subscript report at the table entry.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

#include "run_end/source_location.hpp"

namespace vorn {

struct MatVariable {
    enum class Writer : std::uint8_t { int32, float64, text, int32_3d, float64_3d, flag, widened };

    std::string_view name;  // written with its own length
    Writer writer;
    const void* data;      // element (1, 1, 1)
    std::int32_t ld1 = 1;  // leading dimensions
    std::int32_t ld2 = 1;
    std::int32_t extent1 = 1;  // rows, or the first of three extents
    std::int32_t extent2 = 1;  // columns, or the second extent
    std::int32_t extent3 = 1;  // third extent
};

namespace detail {
template <class T>
constexpr MatVariable::Writer matrix_writer() {
    if constexpr (std::is_same_v<T, std::int32_t>) return MatVariable::Writer::int32;
    else if constexpr (std::is_same_v<T, double>) return MatVariable::Writer::float64;
    else {
        static_assert(std::is_same_v<T, char>, "MAT variables hold int32, double or text elements");
        return MatVariable::Writer::text;
    }
}
template <class T>
constexpr MatVariable::Writer cube_writer() {
    if constexpr (std::is_same_v<T, std::int32_t>) return MatVariable::Writer::int32_3d;
    else {
        static_assert(std::is_same_v<T, double>, "three-dimensional MAT variables hold int32 or double");
        return MatVariable::Writer::float64_3d;
    }
}
template <class A>
using element_of = std::remove_cvref_t<decltype(*std::declval<const A&>().data())>;
}  // namespace detail

// 1 x 1 variables: int32, double, a one-byte flag (1 when set, else 0) and a
// single (widened to double).  The value must outlive the table.
inline MatVariable scalar(std::string_view name, const std::int32_t& value) {
    return {name, MatVariable::Writer::int32, &value};
}
inline MatVariable scalar(std::string_view name, const double& value) {
    return {name, MatVariable::Writer::float64, &value};
}
inline MatVariable scalar(std::string_view name, const bool& flag) {
    return {name, MatVariable::Writer::flag, &flag};
}
inline MatVariable scalar(std::string_view name, const float& value) {
    return {name, MatVariable::Writer::widened, &value};
}
template <class T>
MatVariable scalar(std::string_view name, const T&& value) = delete;  // would point at a temporary

// The variables of a record's arrays bear the arrays' names in lower case.
template <class A>
inline constexpr auto lower_case_name = [] {
    auto name = A::array_name;
    for (char& c : name.text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}();
template <class A>
constexpr std::string_view variable_name() {
    return {lower_case_name<A>.text, sizeof lower_case_name<A>.text - 1};
}

// Elements 1 .. count of a one-dimensional array as a 1 x count variable.
template <class A>
MatVariable row(const A& array, std::int32_t count, const SourceLocation& where = SourceLocation::current()) {
    if (count > 0) (void)array(count, where);
    return {variable_name<A>(), detail::matrix_writer<detail::element_of<A>>(), array.data(), 1, 1, 1, count};
}

// rows x columns of a two-dimensional array, its first extent as the leading
// dimension (the writer tests rows against it).
template <class A>
MatVariable matrix(const A& array, std::int32_t rows, std::int32_t columns,
                   const SourceLocation& where = SourceLocation::current()) {
    if (rows > 0 && columns > 0) (void)array(1, columns, where);
    return {variable_name<A>(), detail::matrix_writer<detail::element_of<A>>(), array.data(), A::extent1, 1, rows,
            columns};
}

// e1 x e2 x e3 of a three-dimensional array: the variables "<name>_dim" and
// "<name>" (the writer tests e1 and e2 against the first two extents).
template <class A>
MatVariable cube(const A& array, std::int32_t e1, std::int32_t e2, std::int32_t e3,
                 const SourceLocation& where = SourceLocation::current()) {
    if (e1 > 0 && e2 > 0 && e3 > 0) (void)array(1, 1, e3, where);
    return {variable_name<A>(), detail::cube_writer<detail::element_of<A>>(), array.data(), A::extent1, A::extent2,
            e1, e2, e3};
}

// Appends one variable, or the variables in order, to the snapshot file, one
// writer call each.
void write_variable(const MatVariable& variable);
void write_variables(std::span<const MatVariable> variables);

}  // namespace vorn
