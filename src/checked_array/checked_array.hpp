// Checked 1-based arrays of fixed capacity.
//
// Every array of the model is declared with its upper-case name, its element
// type and its extents; indices run from 1 to the extent, column-major, as the
// model's arrays always have.  An index outside the declared bounds ends the
// run abnormally with the subscript report (array name, subscript number and
// value, source position of the access), so no call site needs checks of its
// own.  The storage is a plain C array: an array in static storage starts
// zeroed and the record that holds it keeps its declared layout.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <span>
#include <type_traits>

#include "run_end/abnormal_end.hpp"

namespace vorn {

// Zeroes a record in place, as static storage starts it (the records are too
// large for a zeroed temporary).
template <class Record>
void zero_record(Record& record) {
    static_assert(std::is_trivially_copyable_v<Record>);
    std::memset(static_cast<void*>(&record), 0, sizeof record);
}

// The upper-case name an array carries into the subscript report.
template <std::size_t N>
struct ArrayName {
    char text[N] = {};
    constexpr ArrayName() = default;
    constexpr ArrayName(const char (&name)[N]) { std::copy_n(name, N, text); }
};

// The name First followed by Second, for arrays whose names share a prefix.
template <ArrayName First, ArrayName Second>
inline constexpr auto joined_name = [] {
    constexpr std::size_t first_length = sizeof First.text - 1;
    ArrayName<first_length + sizeof Second.text> name;
    std::copy_n(First.text, first_length, name.text);
    std::copy_n(Second.text, sizeof Second.text, name.text + first_length);
    return name;
}();

namespace detail {
inline void check_subscript(long number, long value, long extent, const char* name,
                            const SourceLocation& where) {
    if (value < 1 || value > extent) [[unlikely]]
        subscript_out_of_range(number, value, name, where);
}
}  // namespace detail

// One-dimensional array a(1..N).
template <class T, int N, ArrayName Name>
struct Array1 {
    static constexpr int extent = N;
    static constexpr auto array_name = Name;
    T elements[N];

    T& operator()(int i, const SourceLocation& where = SourceLocation::current()) {
        detail::check_subscript(1, i, N, Name.text, where);
        return elements[i - 1];
    }
    const T& operator()(int i, const SourceLocation& where = SourceLocation::current()) const {
        detail::check_subscript(1, i, N, Name.text, where);
        return elements[i - 1];
    }
    // First element, for routines that take a whole array with the count last.
    T* data() { return elements; }
    const T* data() const { return elements; }
    static constexpr const char* name() { return Name.text; }
};

// The elements of one checked array seen through their element type alone, so
// that arrays of different names fit one table or one bundle of arguments.  It
// keeps the array's extent and name: indexing is checked as on the array.
template <class T>
class ArraySpan {
public:
    template <int N, ArrayName Name>
    ArraySpan(Array1<std::remove_const_t<T>, N, Name>& array) : elements_(array.elements), name_(Name.text) {}
    template <int N, ArrayName Name>
        requires std::is_const_v<T>
    ArraySpan(const Array1<std::remove_const_t<T>, N, Name>& array) : elements_(array.elements), name_(Name.text) {}
    // Storage that is no checked array (a single value, a work array), under
    // the name the subscript report gives it.
    ArraySpan(std::span<T> elements, const char* name) : elements_(elements), name_(name) {}

    T& operator()(int i, const SourceLocation& where = SourceLocation::current()) const {
        detail::check_subscript(1, i, extent(), name_, where);
        return elements_[static_cast<std::size_t>(i - 1)];
    }
    // Elements 1 .. n for a routine that walks them itself, none for n <= 0.  A
    // count beyond the extent ends the run with the subscript report for n.
    std::span<T> first(long n, const SourceLocation& where = SourceLocation::current()) const {
        if (n <= 0) return {};
        detail::check_subscript(1, n, extent(), name_, where);
        return elements_.first(static_cast<std::size_t>(n));
    }
    // Elements offset + 1 .. extent as an array of their own (its element 1 is
    // element offset + 1 here), for work split in parts; 0 <= offset <= extent.
    ArraySpan tail(long offset) const { return {elements_.subspan(static_cast<std::size_t>(offset)), name_}; }
    long extent() const { return static_cast<long>(elements_.size()); }
    const char* name() const { return name_; }

private:
    std::span<T> elements_;
    const char* name_;
};

// Two-dimensional array a(1..N1, 1..N2), column-major.
template <class T, int N1, int N2, ArrayName Name>
struct Array2 {
    static constexpr auto array_name = Name;
    static constexpr int extent1 = N1;
    static constexpr int extent2 = N2;
    T elements[N1 * N2];

    T& operator()(int i, int j, const SourceLocation& where = SourceLocation::current()) {
        detail::check_subscript(1, i, N1, Name.text, where);
        detail::check_subscript(2, j, N2, Name.text, where);
        return elements[(i - 1) + static_cast<std::ptrdiff_t>(N1) * (j - 1)];
    }
    const T& operator()(int i, int j, const SourceLocation& where = SourceLocation::current()) const {
        detail::check_subscript(1, i, N1, Name.text, where);
        detail::check_subscript(2, j, N2, Name.text, where);
        return elements[(i - 1) + static_cast<std::ptrdiff_t>(N1) * (j - 1)];
    }
    T* data() { return elements; }
    const T* data() const { return elements; }
    static constexpr const char* name() { return Name.text; }
};

// Three-dimensional array a(1..N1, 1..N2, 1..N3), column-major.
template <class T, int N1, int N2, int N3, ArrayName Name>
struct Array3 {
    static constexpr auto array_name = Name;
    static constexpr int extent1 = N1;
    static constexpr int extent2 = N2;
    static constexpr int extent3 = N3;
    T elements[static_cast<std::size_t>(N1) * N2 * N3];

    T& operator()(int i, int j, int k, const SourceLocation& where = SourceLocation::current()) {
        return elements[offset(i, j, k, where)];
    }
    const T& operator()(int i, int j, int k,
                        const SourceLocation& where = SourceLocation::current()) const {
        return elements[offset(i, j, k, where)];
    }
    T* data() { return elements; }
    const T* data() const { return elements; }
    static constexpr const char* name() { return Name.text; }

private:
    static std::ptrdiff_t offset(int i, int j, int k, const SourceLocation& where) {
        detail::check_subscript(1, i, N1, Name.text, where);
        detail::check_subscript(2, j, N2, Name.text, where);
        detail::check_subscript(3, k, N3, Name.text, where);
        return (i - 1) + static_cast<std::ptrdiff_t>(N1) * ((j - 1) + static_cast<std::ptrdiff_t>(N2) * (k - 1));
    }
};

}  // namespace vorn
