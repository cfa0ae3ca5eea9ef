// MAT-file Level 4 writers.
//
// A file is a bare sequence of records, with no file header, padding or end
// marker.  A record is five 32-bit header words
//   type   = 1000 M + 100 O + 10 P + T      mrows   ncols   imagf = 0   namlen
// then namlen - 1 name bytes, a NUL and mrows x ncols elements column-major.
// M is 1 on a big-endian host and 0 otherwise, O is 0, P is the element
// (0 double, 2 int32, 5 byte) and T the class (0 numeric, 1 text); every header
// word and numeric element is written in the host's byte order, so M tells a
// reader which order was used.  Doubles keep their bit pattern (NaN, infinities
// and -0.0 included).
//
// The writers append to a unit that the caller has opened for byte output
// (byte_output.hpp), in this program unit 10.  Arrays are 1-based and
// column-major: element (i, j) of a matrix with leading dimension ld is
// matrix[(j - 1) * ld + i - 1].  The name is passed with its length, which is
// what is written (trailing blanks inside the length included); the caller
// guarantees that the text holds that many characters.  The writers return
// nothing: refused bytes give a line on unit 7 (" Error in writing the output
// file.", or the writer's own text for the elements of a three-dimensional
// array), one for a run of refused bytes with the same text
// (write_bytes_reporting), and writing goes on with the next byte.
//
//   saveit(snapshot_unit, &geo_flag, 1, 1, 1, "geo_flag", 8);   // 33 bytes
#pragma once

#include <bit>
#include <cstdint>

namespace vorn {

// Host byte-order probes: true when a 32-bit 1 is stored as 00 00 00 01
// (big_endian) or as 01 00 00 00 (little_endian).
bool big_endian();
bool little_endian();

// One int32 matrix (type 20 / 1020).  rows > ld with rows and columns positive
// ends the run naming "MATRIX", subscript 1, value ld + 1, after the header,
// name and NUL.  rows or columns of 0 or below: the header and name only.
void saveit(std::int32_t unit, const std::int32_t* matrix, std::int32_t ld, std::int32_t rows,
            std::int32_t columns, const char* name, std::int32_t name_length);

// One double matrix (type 0 / 1000); as saveit.
void savemt(std::int32_t unit, const double* matrix, std::int32_t ld, std::int32_t rows,
            std::int32_t columns, const char* name, std::int32_t name_length);

// One text matrix, a byte per character (type 51 / 1051); as saveit, with the
// array named "STRING".
void savest(std::int32_t unit, const char* matrix, std::int32_t ld, std::int32_t rows,
            std::int32_t columns, const char* name, std::int32_t name_length);

// A three-dimensional int32 array with extents ld1 x ld2 x ..., element
// (k, j, l) at matrix[((l - 1) * ld2 + j - 1) * ld1 + k - 1], as two records:
// "<name>_dim", 1 x 3 int32 holding e1, e2, e3, then "<name>", (e1 * e2) x e3
// int32, written only when all three extents are positive.  A name length
// outside 0 .. 76 ends the run naming "HEADER_NAME" before anything is
// written; e2 > ld2 or e1 > ld1 ends it naming "MATRIX" after both headers.
// A failed element byte of the main record reports
// " saveit_3d:Error in writing the output file.".
void saveit_3d(std::int32_t unit, const std::int32_t* matrix, std::int32_t ld1, std::int32_t ld2,
               std::int32_t e1, std::int32_t e2, std::int32_t e3, const char* name,
               std::int32_t name_length);

// As saveit_3d for doubles: the main record has type 0 / 1000 (the companion
// record stays int32) and its failed element bytes report
// " savemt_3d:Error in writing the output file.".
void savemt_3d(std::int32_t unit, const double* matrix, std::int32_t ld1, std::int32_t ld2,
               std::int32_t e1, std::int32_t e2, std::int32_t e3, const char* name,
               std::int32_t name_length);

// The header, name and NUL of a rows x columns record with the caller's
// precision digit P and type digit T (not tested).  The caller then writes the
// rows x columns elements itself, column-major in host order, through the byte
// output, with nothing else in between.
void savehd(std::int32_t unit, std::int32_t rows, std::int32_t columns, const char* name,
            std::int32_t name_length, std::int32_t precision, std::int32_t type);

// For tests: makes the probes and the writers behave as on a host of the given
// byte order (std::endian::native restores the host's own).
void set_byte_order_for_testing(std::endian order);

}  // namespace vorn
