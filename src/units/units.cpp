#include "units/units.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run_end/abnormal_end.hpp"

namespace vorn {

namespace {

char standard_output_buffer[TextUnit::buffer_size];
char error_file_buffer[TextUnit::buffer_size];
TextUnit standard_output(output_unit, STDOUT_FILENO, "stdout", standard_output_buffer);
TextUnit error_file(error_unit, -1, error_file_name, error_file_buffer);

// Unit 1: the configuration file, read in blocks.
struct ConfigInput {
    int fd = -1;
    char block[1 << 16];
    std::size_t size = 0;
    std::size_t next = 0;
    bool at_end = false;
} config;

void (*unit_flushers[4])(bool) = {};

constexpr int unit_not_connected = 5001;
constexpr std::string_view unit_not_connected_text = "unit is not connected";
constexpr int config_line_too_long = 5002;

// Descriptors 0, 1 and 2 stay with the standard streams: one that is closed
// is held by a read-only /dev/null, so no file of the run takes its place and
// a write there still fails as on a closed stream.
void hold_standard_descriptors() {
    static bool held = false;
    if (held) return;
    held = true;
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; ++fd)
        if (fcntl(fd, F_GETFD) < 0 && errno == EBADF) {
            int placeholder = ::open("/dev/null", O_RDONLY);
            if (placeholder >= 0 && placeholder != fd) ::close(placeholder);
        }
}

}  // namespace

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
        int error;
        if (!write_out(text.data(), text.size(), error))
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

bool TextUnit::write_out(int& error) {
    const bool written = write_out(buffer_, used_, error);
    used_ = 0;
    return written;
}

bool TextUnit::write_out(const char* characters, std::size_t count, int& error) {
    error = 0;
    if (cut_pending_) {
        cut_pending_ = false;
        // A device (such as a terminal) cannot be cut; only a regular file is.
        struct stat st;
        if (fstat(fd_, &st) == 0 && S_ISREG(st.st_mode) && ftruncate(fd_, 0) != 0) error = errno;
    }
    std::size_t done = 0;
    while (error == 0 && done < count) {
        ssize_t n = ::write(fd_, characters + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) error = n < 0 ? errno : EIO;
        else done += static_cast<std::size_t>(n);
    }
    return error == 0;
}

void TextUnit::flush(const SourceLocation& where) {
    if (used_ == 0) return;
    const IoStatement write{Statement::write, unit_, file_name_, where};
    if (fd_ < 0) {
        used_ = 0;
        abnormal_end_io(write, unit_not_connected, unit_not_connected_text);
    }
    int error;
    if (!write_out(error)) abnormal_end_io(write, error);
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
        abnormal_end_io({Statement::close, unit_, file_name_, where}, error);
    }
    fd_ = -1;
}

TextUnit& text_unit(int unit, const SourceLocation& where) {
    if (unit == output_unit) return standard_output;
    if (unit == error_unit && error_file.connected()) return error_file;
    abnormal_end_io({Statement::write, unit, unit == error_unit ? error_file_name : std::string_view(), where},
                    unit_not_connected, unit_not_connected_text);
}

int open_descriptor(const char* path, int flags, mode_t mode) { return open_descriptor_at(AT_FDCWD, path, flags, mode); }

int open_descriptor_at(int folder, const char* path, int flags, mode_t mode) {
    hold_standard_descriptors();
    return ::openat(folder, path, flags | O_CLOEXEC, mode);
}

void open_config_file(const SourceLocation& where) {
    const std::string name(config_file_name);
    const IoStatement open{Statement::open, config_unit, config_file_name, where};
    struct stat link_status;
    struct stat target_status;
    // 1018 only for a name that is not there; a folder that may not be
    // searched, for one, is the system's refusal.
    if (lstat(name.c_str(), &link_status) != 0) {
        if (errno == ENOENT) abnormal_end_io(open, 1018, "can't find 'old' file");
        abnormal_end_io(open, errno);
    }
    if (stat(name.c_str(), &target_status) != 0) {
        if (S_ISLNK(link_status.st_mode) && errno == ENOENT)
            abnormal_end_io(open, 1149, "status is 'OLD' and the file is a dangling symbolic link");
        abnormal_end_io(open, errno);
    }
    if (S_ISDIR(target_status.st_mode)) abnormal_end_io(open, 1148, "attempting to open a directory");
    int fd = open_descriptor(name.c_str(), O_RDONLY);
    if (fd < 0) abnormal_end_io(open, errno);
    // Opening the connected unit again (a harness that reads file after file)
    // replaces its file rather than leaking the descriptor.
    if (config.fd >= 0) ::close(config.fd);
    config.fd = fd;
    config.size = config.next = 0;
    config.at_end = false;
}

void open_error_file(const SourceLocation& where) {
    const std::string name(error_file_name);
    int fd = open_descriptor(name.c_str(), O_WRONLY | O_CREAT);
    if (fd < 0) abnormal_end_io({Statement::open, error_unit, error_file_name, where}, errno);
    error_file.connect(fd, error_file_name, true);
}

bool read_config_line(std::string& line, const SourceLocation& where) {
    line.clear();
    if (config.fd < 0) return false;
    const IoStatement read{Statement::read, config_unit, config_file_name, where};
    bool any = false;
    for (;;) {
        if (config.next == config.size) {
            if (config.at_end) return any;
            ssize_t n;
            do n = ::read(config.fd, config.block, sizeof config.block);
            while (n < 0 && errno == EINTR);
            if (n < 0) abnormal_end_io(read, errno);
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
        const std::size_t n = newline != nullptr ? static_cast<const char*>(newline) - start : config.size - config.next;
        // The line is refused before it grows past the bound.
        if (n > max_config_line_length - line.size())
            abnormal_end_io(read, config_line_too_long,
                            "line longer than " + std::to_string(max_config_line_length) + " characters");
        line.append(start, n);
        if (newline != nullptr) {
            config.next += n + 1;
            return true;
        }
        config.next = config.size;
    }
}

void rewind_config_file(const SourceLocation& where) {
    if (config.fd >= 0 && lseek(config.fd, 0, SEEK_SET) < 0)
        abnormal_end_io({Statement::rewind, config_unit, config_file_name, where}, errno);
    config.size = config.next = 0;
    config.at_end = false;
}

void close_unit(int unit, const SourceLocation& where) {
    if (unit == config_unit) {
        if (config.fd >= 0 && ::close(config.fd) != 0) {
            config.fd = -1;
            abnormal_end_io({Statement::close, config_unit, config_file_name, where}, errno);
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

std::string_view run_file_named_by(dev_t device, ino_t inode) {
    struct HeldFile {
        int fd;
        std::string_view name;
    };
    const HeldFile held[] = {{STDIN_FILENO, "standard input"},
                             {STDOUT_FILENO, "standard output"},
                             {STDERR_FILENO, "standard error"},
                             {config.fd, config_file_name},
                             {error_file.descriptor(), error_file_name}};
    for (const HeldFile& file : held) {
        struct stat status;
        if (file.fd >= 0 && fstat(file.fd, &status) == 0 && status.st_dev == device && status.st_ino == inode)
            return file.name;
    }
    return {};
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
