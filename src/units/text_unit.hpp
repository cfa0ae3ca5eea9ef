// A formatted output unit: characters buffered in storage of its owner's and
// written to a file descriptor in blocks, so that the order of characters on
// the unit is always the order of the statements.  A failed write ends the
// run abnormally naming the WRITE statement, the unit and the file.
#pragma once

#include <cstddef>
#include <span>
#include <string_view>

#include "run_end/source_location.hpp"

namespace vorn {

// The run-time error of a WRITE on a unit connected to no file.
inline constexpr int unit_not_connected = 5001;
inline constexpr std::string_view unit_not_connected_text = "unit is not connected";

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
    // 0, or the system's error.
    int write_out();
    int write_out(const char* characters, std::size_t count);

    int unit_;
    int fd_;
    bool cut_pending_ = false;
    std::size_t used_ = 0;
    char file_name_[256] = {};
    char* buffer_;
};

}  // namespace vorn
