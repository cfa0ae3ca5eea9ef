#include "runtime/units.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/abnormal_end.hpp"

namespace vorn {

namespace {

TextUnit standard_output(output_unit, STDOUT_FILENO, "stdout");
TextUnit error_file(error_unit, -1, error_file_name);

// Unit 1: the configuration file, read in blocks.
struct ConfigInput {
    int fd = -1;
    char block[1 << 16];
    std::size_t size = 0;
    std::size_t next = 0;
    bool at_end = false;
} config;

void (*unit_flushers[4])(bool) = {};

[[noreturn]] void fail(Statement statement, int unit, std::string_view file, int error_number,
                       const SourceLocation& where) {
    IoFailure failure;
    failure.statement = statement;
    failure.unit = unit;
    failure.file = file;
    failure.error_number = error_number;
    failure.text = std::strerror(error_number);
    failure.where = where;
    abnormal_end_io(failure);
}

[[noreturn]] void fail_with(Statement statement, int unit, std::string_view file, int error_number,
                            std::string_view text, const SourceLocation& where) {
    IoFailure failure;
    failure.statement = statement;
    failure.unit = unit;
    failure.file = file;
    failure.error_number = error_number;
    failure.text = text;
    failure.where = where;
    abnormal_end_io(failure);
}

}  // namespace

TextUnit::TextUnit(int unit_number, int fd, std::string_view file_name) : unit_(unit_number), fd_(fd) {
    std::size_t n = std::min(file_name.size(), sizeof file_name_ - 1);
    std::memcpy(file_name_, file_name.data(), n);
}

void TextUnit::put(std::string_view text) {
    while (!text.empty()) {
        if (used_ == buffer_size) flush();
        std::size_t n = std::min(text.size(), buffer_size - used_);
        std::memcpy(buffer_ + used_, text.data(), n);
        used_ += n;
        text.remove_prefix(n);
    }
}

bool TextUnit::write_out(int& error) {
    error = 0;
    if (cut_pending_) {
        cut_pending_ = false;
        // A device (such as a terminal) cannot be cut; only a regular file is.
        struct stat st;
        if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd_, 0) != 0) error = errno;
    }
    std::size_t done = 0;
    while (error == 0 && done < used_) {
        ssize_t n = ::write(fd_, buffer_ + done, used_ - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) error = n < 0 ? errno : EIO;
        else done += static_cast<std::size_t>(n);
    }
    used_ = 0;
    return error == 0;
}

void TextUnit::flush(const SourceLocation& where) {
    if (used_ == 0) return;
    if (fd_ < 0) {
        used_ = 0;
        fail_with(Statement::write, unit_, file_name_, 5001, "unit is not connected", where);
    }
    int error;
    if (!write_out(error)) fail(Statement::write, unit_, file_name_, error, where);
}

void TextUnit::flush_quietly() {
    int error;
    if (fd_ >= 0 && used_ > 0) write_out(error);
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
        fail(Statement::close, unit_, file_name_, error, where);
    }
    fd_ = -1;
}

TextUnit& text_unit(int unit, const SourceLocation& where) {
    if (unit == output_unit) return standard_output;
    if (unit == error_unit && error_file.connected()) return error_file;
    fail_with(Statement::write, unit, unit == error_unit ? error_file_name : std::string_view(), 5001,
              "unit is not connected", where);
}

void open_config_file(const SourceLocation& where) {
    const std::string name(config_file_name);
    struct stat link_status;
    struct stat target_status;
    bool exists = lstat(name.c_str(), &link_status) == 0;
    if (!exists) fail_with(Statement::open, config_unit, config_file_name, 1018, "can't find 'old' file", where);
    if (stat(name.c_str(), &target_status) != 0) {
        if (S_ISLNK(link_status.st_mode) && errno == ENOENT)
            fail_with(Statement::open, config_unit, config_file_name, 1149,
                      "status is 'OLD' and the file is a dangling symbolic link", where);
        fail(Statement::open, config_unit, config_file_name, errno, where);
    }
    if (S_ISDIR(target_status.st_mode))
        fail_with(Statement::open, config_unit, config_file_name, 1148, "attempting to open a directory", where);
    int fd = ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) fail(Statement::open, config_unit, config_file_name, errno, where);
    // Opening the connected unit again (a harness that reads file after file)
    // replaces its file rather than leaking the descriptor.
    if (config.fd >= 0) ::close(config.fd);
    config.fd = fd;
    config.size = config.next = 0;
    config.at_end = false;
}

void open_error_file(const SourceLocation& where) {
    const std::string name(error_file_name);
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) fail(Statement::open, error_unit, error_file_name, errno, where);
    error_file.connect(fd, error_file_name, true);
}

bool read_config_line(std::string& line, const SourceLocation& where) {
    line.clear();
    if (config.fd < 0) return false;
    bool any = false;
    for (;;) {
        if (config.next == config.size) {
            if (config.at_end) return any;
            ssize_t n;
            do n = ::read(config.fd, config.block, sizeof config.block);
            while (n < 0 && errno == EINTR);
            if (n < 0) fail(Statement::read, config_unit, config_file_name, errno, where);
            if (n == 0) {
                config.at_end = true;
                return any;
            }
            config.size = static_cast<std::size_t>(n);
            config.next = 0;
        }
        any = true;
        const char* start = config.block + config.next;
        const void* newline = std::memchr(start, '\n', config.size - config.next);
        if (newline != nullptr) {
            std::size_t n = static_cast<const char*>(newline) - start;
            line.append(start, n);
            config.next += n + 1;
            return true;
        }
        line.append(start, config.size - config.next);
        config.next = config.size;
    }
}

void rewind_config_file(const SourceLocation& where) {
    if (config.fd >= 0 && lseek(config.fd, 0, SEEK_SET) < 0)
        fail(Statement::rewind, config_unit, config_file_name, errno, where);
    config.size = config.next = 0;
    config.at_end = false;
}

void close_unit(int unit, const SourceLocation& where) {
    if (unit == config_unit) {
        if (config.fd >= 0 && ::close(config.fd) != 0) {
            config.fd = -1;
            fail(Statement::close, config_unit, config_file_name, errno, where);
        }
        config.fd = -1;
        return;
    }
    if (unit == error_unit) {
        if (error_file.connected()) error_file.close(where);
        return;
    }
    if (unit == output_unit) standard_output.flush(where);
}

void flush_all_units(bool quiet) {
    for (auto flusher : unit_flushers)
        if (flusher != nullptr) flusher(quiet);
    if (quiet) {
        standard_output.flush_quietly();
        error_file.flush_quietly();
        return;
    }
    standard_output.flush();
    if (error_file.connected()) error_file.flush();
}

void register_unit_flusher(void (*flusher)(bool quiet)) {
    for (auto& slot : unit_flushers) {
        if (slot == flusher) return;
        if (slot == nullptr) {
            slot = flusher;
            return;
        }
    }
}

}  // namespace vorn
