#include "units/text_unit.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

#include "run_end/abnormal_end.hpp"
#include "run_end/write_all.hpp"

namespace vorn {

TextUnit::TextUnit(int unit_number, int fd, std::string_view file_name, std::span<char, buffer_size> storage)
    : unit_(unit_number), fd_(fd), buffer_(storage.data()) {
    std::size_t n = std::min(file_name.size(), sizeof file_name_ - 1);
    std::memcpy(file_name_, file_name.data(), n);
}

void TextUnit::put(std::string_view text) {
    // A block as large as half the buffer goes to the file directly, after
    // what is buffered, rather than copied through the buffer.
    if (text.size() >= buffer_size / 2 && fd_ >= 0) {
        flush();
        if (const int error = write_out(text.data(), text.size()))
            abnormal_end_io({Statement::write, unit_, file_name_, SourceLocation::current()}, error);
        return;
    }
    while (!text.empty()) {
        if (used_ == buffer_size) flush();
        std::size_t n = std::min(text.size(), buffer_size - used_);
        std::memcpy(buffer_ + used_, text.data(), n);
        used_ += n;
        text.remove_prefix(n);
    }
}

int TextUnit::write_out() {
    const int error = write_out(buffer_, used_);
    used_ = 0;
    return error;
}

int TextUnit::write_out(const char* characters, std::size_t count) {
    if (cut_pending_) {
        cut_pending_ = false;
        // A device (such as a terminal) cannot be cut; only a regular file is.
        struct stat st;
        if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd_, 0) != 0) return errno;
    }
    return write_all(fd_, characters, count);
}

void TextUnit::flush(const SourceLocation& where) {
    if (used_ == 0) return;
    const IoStatement write{Statement::write, unit_, file_name_, where};
    if (fd_ < 0) {
        used_ = 0;
        abnormal_end_io(write, unit_not_connected, unit_not_connected_text);
    }
    if (const int error = write_out()) abnormal_end_io(write, error);
}

void TextUnit::flush_quietly() {
    if (fd_ >= 0 && used_ > 0) write_out();
    used_ = 0;
}

void TextUnit::connect(int fd, std::string_view file_name, bool cut_at_first_write) {
    fd_ = fd;
    cut_pending_ = cut_at_first_write;
    used_ = 0;
    std::memset(file_name_, 0, sizeof file_name_);
    std::memcpy(file_name_, file_name.data(), std::min(file_name.size(), sizeof file_name_ - 1));
}

void TextUnit::close(const SourceLocation& where) {
    flush(where);
    if (fd_ > STDERR_FILENO && ::close(fd_) != 0) {
        int error = errno;
        fd_ = -1;
        abnormal_end_io({Statement::close, unit_, file_name_, where}, error);
    }
    fd_ = -1;
}

}  // namespace vorn
