// I/O units of the run.
//
//   unit 1   "master_nml"    the configuration, text, read only, must exist
//   unit 6   standard output the report and the messages
//   unit 7   "master_error"  error lines of the snapshot writers; created when
//                            absent, an existing file keeps its text until the
//                            first line is written, which cuts it at its start
//   unit 10  snapshot file   byte output (byte_output.hpp)
//
// File names are relative to the working directory; no file of the run takes
// descriptor 0, 1 or 2, even when a standard stream is closed.  Output units
// buffer their characters in static buffers and write them in blocks; the
// order of characters on a unit is always the order of the statements.  A failed write
// ends the run abnormally naming the WRITE statement, the unit and the file.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <sys/types.h>

#include "run_end/source_location.hpp"

namespace vorn {

inline constexpr int config_unit = 1;
inline constexpr int output_unit = 6;
inline constexpr int error_unit = 7;
inline constexpr int snapshot_unit = 10;

inline constexpr std::string_view config_file_name = "master_nml";
inline constexpr std::string_view error_file_name = "master_error";

// A formatted output unit: a block buffer in front of a file descriptor.
// The buffer is storage of buffer_size characters that the unit's owner
// keeps for the unit's lifetime (static storage, untouched until used).
class TextUnit {
public:
    static constexpr std::size_t buffer_size = 1 << 20;

    TextUnit(int unit_number, int fd, std::string_view file_name, std::span<char, buffer_size> storage);

    void put(char c) {
        if (used_ == buffer_size) flush();
        buffer_[used_++] = c;
    }
    // A large text (half the buffer or more) is written out at once.
    void put(std::string_view text);
    void put(const char* text, std::size_t n) { put(std::string_view(text, n)); }
    // Room for at least n characters at the end of the buffer; `commit` then
    // says how many were written there.  n must not exceed buffer_size.
    char* reserve(std::size_t n) {
        if (buffer_size - used_ < n) flush();
        return buffer_ + used_;
    }
    void commit(std::size_t n) { used_ += n; }

    // The characters buffered and not yet written; `discard` drops them (for a
    // unit connected to no file that only gathers characters).
    std::string_view buffered() const { return {buffer_, used_}; }
    void discard() { used_ = 0; }

    void flush(const SourceLocation& where = SourceLocation::current());
    // Writes what it can and reports nothing: for a run already ending abnormally.
    void flush_quietly();

    int unit_number() const { return unit_; }
    std::string_view file_name() const { return file_name_; }
    bool connected() const { return fd_ >= 0; }
    int descriptor() const { return fd_; }

    // Connects the unit to an open descriptor.  With `cut_at_first_write` the
    // file is truncated when the first characters reach it.
    void connect(int fd, std::string_view file_name, bool cut_at_first_write);
    void close(const SourceLocation& where = SourceLocation::current());

private:
    // Writes the buffer out and empties it; writes `count` characters out.
    bool write_out(int& error);
    bool write_out(const char* characters, std::size_t count, int& error);

    int unit_;
    int fd_;
    bool cut_pending_ = false;
    std::size_t used_ = 0;
    char file_name_[256] = {};
    char* buffer_;
};

// The text output unit of that number (6 or 7).  Any other number, or unit 7
// before it is opened, ends the run abnormally (WRITE on an unconnected unit).
TextUnit& text_unit(int unit, const SourceLocation& where = SourceLocation::current());

// Opens unit 1 on "master_nml" with status old: error 1018 when the name does
// not exist, 1148 for a directory, 1149 for a dangling link; any other refusal
// (a working folder that may not be searched) is the system's error.
void open_config_file(const SourceLocation& where = SourceLocation::current());
// Opens unit 7 on "master_error": created when absent, old text kept until the
// first line is written.
void open_error_file(const SourceLocation& where = SourceLocation::current());

// Opens a file for the run (close-on-exec, `mode` for a file it creates).
// No file of the run takes descriptor 0, 1 or 2: a standard stream that is
// closed keeps its descriptor, held read-only, so that writing there fails as
// before.  Returns the descriptor, or -1 with errno set.
int open_descriptor(const char* path, int flags, mode_t mode = 0666);
// The same for a path relative to the folder open on `folder` (AT_FDCWD: the
// working directory).
int open_descriptor_at(int folder, const char* path, int flags, mode_t mode = 0666);

// The longest line that unit 1 reads: 1 MiB before its newline, far above any
// line of a configuration.  A longer line ends the run abnormally (error 5002),
// so that a file without line ends (/dev/zero) is read in bounded memory.
inline constexpr std::size_t max_config_line_length = std::size_t{1} << 20;

// Reads the next line of unit 1 without its newline.  Returns false at the end
// of the file.  `where` is the READ statement that a failure report names.
bool read_config_line(std::string& line, const SourceLocation& where = SourceLocation::current());
void rewind_config_file(const SourceLocation& where = SourceLocation::current());

// Closes unit 1, 6 or 7, keeping its file.
void close_unit(int unit, const SourceLocation& where = SourceLocation::current());

// Flushes every open output unit, the byte output units included; used before
// any end of the run.  Write errors met here are ignored when `quiet` (the run
// is already ending abnormally).
void flush_all_units(bool quiet = false);

// Which of the files the run holds (its standard streams, unit 1 and unit 7)
// is the file of that device and inode number: "standard input", "standard
// output", "standard error", "master_nml" or "master_error"; empty for none.
std::string_view run_file_named_by(dev_t device, ino_t inode);

// Lets another kind of unit (the byte output of the snapshot) take part in
// flush_all_units.  At most a few flushers are kept.
void register_unit_flusher(void (*flusher)(bool quiet));

}  // namespace vorn
