// Byte output: the unformatted, record-free output of the snapshot file.
//
// One byte-output unit is connected at a time (in this program unit 10, the
// snapshot file).  Each byte goes to the unit's current position and advances
// it by one; there are no length words or markers.  `write_byte` answers 0
// when the byte was accepted and a nonzero code when it was not:
//   byte_unit_negative      the unit number is negative
//   byte_unit_not_connected the unit is not connected (no implicit opening)
//   byte_unit_read_only     the unit is connected for reading only
// Such a refusal is found at once; the writers report it through
// write_bytes_reporting, which gives one error line for a run of refused bytes
// with the same text rather than one per byte.
//
// A regular file, or a name that does not exist yet, is written through a
// staged file and replaces the older file whole at closing, once every byte
// is on the disk and units 6 and 7 are flushed (staged_replacement.hpp).
// After any failure the staged file is removed and an older file stays as it
// was.  Each block of a staged file is sent on its way to the disk once
// written, so the flush at closing waits for little more than the last block.
//
// A device (such as /dev/null or /dev/full) is written directly and a FIFO
// is opened for writing only, so a reader that quits makes the writes fail
// (EPIPE).  A name that leads to a file the run already holds (its standard
// streams, units 1 and 7; a character device excepted) is refused.
//
// Every failure of an open, flush to the disk, link, rename, cut or close of
// the unit's files, and the first failed write after an opening, writes one
// line on standard error that names the file as given, the operation and the
// system's reason (file_notes.hpp):
//   " <name>: <operation> failed: <EERRNO> (<system text>)"
//
// Bytes are gathered in a static buffer of `byte_block_size` bytes and written
// in blocks, when the buffer is full, at closing and at every end of the run.
// A block that the system refuses (a full disk, /dev/full) is found only then,
// when no caller is left to report it: the byte output itself writes one line
// " Error in writing the output file." on unit 7 for each failed block, the
// bytes of that block are lost and the following blocks are tried as usual.
// At an abnormal end the block is written as far as possible and nothing is
// reported.
//
// Every refused byte and every failed block also sets a failure state that
// stays set until the next opening, so the snapshot driver can tell whether
// its file was written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "run_end/source_location.hpp"

namespace vorn {

inline constexpr int byte_unit_negative = 1;
inline constexpr int byte_unit_not_connected = 2;
inline constexpr int byte_unit_read_only = 3;

inline constexpr std::size_t byte_block_size = std::size_t{1} << 22;

// The text of the error line of a byte or block that did not reach its file.
inline constexpr std::string_view write_error_text = "Error in writing the output file.";

// Connects `unit` to the file `file_name` (given without trailing blanks),
// looked up once as staged_replacement.hpp says.  A regular file, or a file
// that does not exist yet, is staged and replaced at closing.  An existing
// file that may not be written is connected for reading, as is a device that
// may only be read: every byte written to it is refused.  A directory of that
// name, a name the system refuses to follow, a folder where the staged file
// cannot be created, or a file that cannot be opened at all ends the run
// abnormally naming the OPEN statement, the unit and the file.  A unit
// already connected is closed first.  Clears the failure state.  A name that
// leads to a file the run holds, a name that changes while it is looked up,
// and a scratch folder that takes no file are refused with a line on
// standard error: the unit stays unconnected, the failure state is set and
// the result is false.
bool open_byte_output(int unit, std::string_view file_name,
                      const SourceLocation& where = SourceLocation::current());

// Writes one byte at the unit's current position: 0 or a nonzero code.
int write_byte(int unit, std::uint8_t byte);

// Writes `count` bytes in memory order as `count` calls of write_byte would:
// 0 when all of them were accepted, otherwise the code with which every one of
// them was refused (a refusal never depends on the byte).
int write_bytes(int unit, const void* bytes, std::size_t count);

// The writers' one path for bytes and their failures: writes `count` bytes as
// write_bytes does; refused bytes give the line " <error_text>" on unit 7,
// once for a run of refused bytes with the same text (until a byte is
// accepted, the text changes or a unit is opened).
void write_bytes_reporting(int unit, const void* bytes, std::size_t count,
                           std::string_view error_text = write_error_text);

// Writes out the buffered bytes and disconnects the unit, keeping the file;
// a staged file takes the file's name now (after units 6 and 7 are flushed),
// or is removed after a failure.  A unit that is not connected is left as it
// is.  A failing flush to the disk, link, close, renaming or writing in place
// counts as a failed block.
void close_byte_output(int unit);

// True when a byte was refused or a block failed since the last opening.
bool byte_output_failed();

}  // namespace vorn
