#include "units/config_file.hpp"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "run_end/abnormal_end.hpp"
#include "units/descriptors.hpp"

namespace vorn {

namespace {

// Unit 1: the configuration file, read in blocks.
struct ConfigInput {
    int fd = -1;
    char block[1 << 16];
    std::size_t size = 0;
    std::size_t next = 0;
    bool at_end = false;
} config;

constexpr int config_line_too_long = 5002;

}  // namespace

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

void close_config_file(const SourceLocation& where) {
    if (config.fd >= 0 && ::close(config.fd) != 0) {
        config.fd = -1;
        abnormal_end_io({Statement::close, config_unit, config_file_name, where}, errno);
    }
    config.fd = -1;
}

int config_file_descriptor() { return config.fd; }

}  // namespace vorn
