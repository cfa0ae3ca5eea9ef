#include "matfile/matfile.hpp"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <string_view>

#include "checked_array/checked_array.hpp"
#include "file_output/byte_output.hpp"
#include "run_end/source_location.hpp"

namespace vorn {

namespace {

// The order in which values are stored: the host's own, unless a test asks
// for the other one.
std::endian byte_order = std::endian::native;

// Copies `value` into `out` as this host stores it in memory.
template <class T>
void store(T value, unsigned char* out) {
    std::memcpy(out, &value, sizeof value);
    if (byte_order != std::endian::native) std::reverse(out, out + sizeof value);
}

// Reads a value from memory as this host stores it.
template <class T>
T load(const unsigned char* in) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, in, sizeof bytes);
    if (byte_order != std::endian::native) std::reverse(bytes, bytes + sizeof bytes);
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// Stores `pattern` in a 4-byte buffer and compares it, read as a 32-bit
// integer, with 1.
bool stores_one_as(const unsigned char (&pattern)[4]) {
    static unsigned char buffer[4];
    std::memcpy(buffer, pattern, sizeof buffer);
    return load<std::int32_t>(buffer) == 1;
}

// `count` elements in host order.
template <class T>
void put_elements(std::int32_t unit, const T* elements, std::size_t count, std::string_view error_text) {
    if (byte_order == std::endian::native) {
        write_bytes_reporting(unit, elements, count * sizeof(T), error_text);
        return;
    }
    for (std::size_t k = 0; k < count; ++k) {
        unsigned char bytes[sizeof(T)];
        store(elements[k], bytes);
        write_bytes_reporting(unit, bytes, sizeof bytes, error_text);
    }
}

// Precision digit P and type digit T of each element kind.
template <class T>
struct ElementKind;
template <>
struct ElementKind<std::int32_t> {
    static constexpr std::int32_t precision = 2;
    static constexpr std::int32_t type = 0;
};
template <>
struct ElementKind<double> {
    static constexpr std::int32_t precision = 0;
    static constexpr std::int32_t type = 0;
};
template <>
struct ElementKind<char> {
    static constexpr std::int32_t precision = 5;
    static constexpr std::int32_t type = 1;
};

// The header words, the name and the NUL of one record.  M comes from the
// probes anew for every record.
void put_header(std::int32_t unit, std::int32_t precision, std::int32_t type, std::int32_t rows,
                std::int32_t columns, const char* name, std::int32_t name_length) {
    std::int32_t m = 0;
    if (big_endian()) m = 1;
    if (little_endian()) m = 0;
    const std::int32_t o = 0;
    const std::int32_t imagf = 0;
    const std::int32_t words[5] = {1000 * m + 100 * o + 10 * precision + type, rows, columns, imagf,
                                   name_length + 1};
    unsigned char bytes[sizeof words];
    for (std::size_t k = 0; k < 5; ++k) store(words[k], bytes + 4 * k);
    write_bytes_reporting(unit, bytes, sizeof bytes, write_error_text);
    if (name_length > 0) write_bytes_reporting(unit, name, static_cast<std::size_t>(name_length), write_error_text);
    const unsigned char nul = 0;
    write_bytes_reporting(unit, &nul, 1, write_error_text);
}

// The caller's array as the writers see it: the first extents are the
// caller's leading dimensions, the last extent is the caller's guarantee.
template <class T, ArrayName Name>
struct AssumedSizeArray {
    const T* elements;

    // An extent beyond the leading dimension: its first index past it is
    // the one out of range.
    static void check_extent(long subscript_number, std::int32_t extent, std::int32_t leading,
                             const SourceLocation& where = SourceLocation::current()) {
        if (extent > leading) subscript_out_of_range(subscript_number, leading + 1L, Name.text, where);
    }
};

template <class T, ArrayName Name>
void save_matrix(std::int32_t unit, const T* matrix, std::int32_t ld, std::int32_t rows, std::int32_t columns,
                 const char* name, std::int32_t name_length) {
    const AssumedSizeArray<T, Name> array{matrix};
    put_header(unit, ElementKind<T>::precision, ElementKind<T>::type, rows, columns, name, name_length);
    if (rows <= 0 || columns <= 0) return;
    array.check_extent(1, rows, ld);
    // Columns without skipped rows between them go out in one piece.
    if (rows == ld) {
        put_elements(unit, array.elements, static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns),
                     write_error_text);
        return;
    }
    for (std::int32_t j = 1; j <= columns; ++j)
        put_elements(unit, array.elements + static_cast<std::ptrdiff_t>(j - 1) * ld, static_cast<std::size_t>(rows),
                     write_error_text);
}

// The companion record "<name>_dim" and the main record of a
// three-dimensional array; `header_name` is the writer's own.
template <class T>
void save_3d(Array1<char, 80, "HEADER_NAME">& header_name, std::int32_t unit, const T* matrix, std::int32_t ld1,
             std::int32_t ld2, std::int32_t e1, std::int32_t e2, std::int32_t e3, const char* name,
             std::int32_t name_length, std::string_view element_error) {
    const AssumedSizeArray<T, "MATRIX"> array{matrix};
    // Every position is tested before it is stored, so a name too long for
    // the companion name ends the run before the first byte.
    for (std::int32_t k = 1; k <= name_length; ++k) {
        char& position = header_name(k);
        position = name[k - 1];
    }
    for (std::int32_t k = 0; k < 4; ++k) header_name(name_length + 1 + k) = "_dim"[k];

    const std::int32_t extents[3] = {e1, e2, e3};
    put_header(unit, ElementKind<std::int32_t>::precision, ElementKind<std::int32_t>::type, 1, 3,
               header_name.data(), name_length + 4);
    put_elements(unit, extents, std::size(extents), write_error_text);

    // Formed in 64 bits; the record holds its low 32 bits.
    const auto rows = static_cast<std::int32_t>(static_cast<std::int64_t>(e1) * e2);
    put_header(unit, ElementKind<T>::precision, ElementKind<T>::type, rows, e3, name, name_length);
    if (e1 <= 0 || e2 <= 0 || e3 <= 0) return;
    array.check_extent(2, e2, ld2);
    array.check_extent(1, e1, ld1);
    for (std::int32_t l = 1; l <= e3; ++l)
        for (std::int32_t j = 1; j <= e2; ++j) {
            std::ptrdiff_t first = (static_cast<std::ptrdiff_t>(l - 1) * ld2 + (j - 1)) * ld1;
            put_elements(unit, array.elements + first, static_cast<std::size_t>(e1), element_error);
        }
}

}  // namespace

bool big_endian() { return stores_one_as({0x00, 0x00, 0x00, 0x01}); }
bool little_endian() { return stores_one_as({0x01, 0x00, 0x00, 0x00}); }

void saveit(std::int32_t unit, const std::int32_t* matrix, std::int32_t ld, std::int32_t rows,
            std::int32_t columns, const char* name, std::int32_t name_length) {
    save_matrix<std::int32_t, "MATRIX">(unit, matrix, ld, rows, columns, name, name_length);
}

void savemt(std::int32_t unit, const double* matrix, std::int32_t ld, std::int32_t rows,
            std::int32_t columns, const char* name, std::int32_t name_length) {
    save_matrix<double, "MATRIX">(unit, matrix, ld, rows, columns, name, name_length);
}

void savest(std::int32_t unit, const char* matrix, std::int32_t ld, std::int32_t rows,
            std::int32_t columns, const char* name, std::int32_t name_length) {
    save_matrix<char, "STRING">(unit, matrix, ld, rows, columns, name, name_length);
}

void saveit_3d(std::int32_t unit, const std::int32_t* matrix, std::int32_t ld1, std::int32_t ld2,
               std::int32_t e1, std::int32_t e2, std::int32_t e3, const char* name,
               std::int32_t name_length) {
    static Array1<char, 80, "HEADER_NAME"> header_name;
    save_3d(header_name, unit, matrix, ld1, ld2, e1, e2, e3, name, name_length,
            "saveit_3d:Error in writing the output file.");
}

void savemt_3d(std::int32_t unit, const double* matrix, std::int32_t ld1, std::int32_t ld2,
               std::int32_t e1, std::int32_t e2, std::int32_t e3, const char* name,
               std::int32_t name_length) {
    static Array1<char, 80, "HEADER_NAME"> header_name;
    save_3d(header_name, unit, matrix, ld1, ld2, e1, e2, e3, name, name_length,
            "savemt_3d:Error in writing the output file.");
}

void savehd(std::int32_t unit, std::int32_t rows, std::int32_t columns, const char* name,
            std::int32_t name_length, std::int32_t precision, std::int32_t type) {
    put_header(unit, precision, type, rows, columns, name, name_length);
}

void set_byte_order_for_testing(std::endian order) { byte_order = order; }

}  // namespace vorn
