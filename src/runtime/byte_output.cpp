#include "runtime/byte_output.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/abnormal_end.hpp"
#include "runtime/free_format.hpp"
#include "runtime/units.hpp"

namespace vorn {

namespace {

// As the system's own limit on a chain of symbolic links.
constexpr int max_link_hops = 40;
// Room left in a file name for the temporary name's dot, process and counter.
constexpr std::size_t temporary_base_length = 200;

struct ByteUnit {
    int unit = -1;
    int fd = -1;
    bool writable = false;
    // The file is incomplete: a byte refused because the unit is read-only,
    // or a failed block, flush to the disk, close or renaming.
    bool failed = false;
    // A byte for a unit that is not connected was refused.
    bool refused_elsewhere = false;
    // Set while a regular file is written under `temporary` to replace `target`.
    bool replacing = false;
    std::string target;
    std::string temporary;
    // The text of the last error line for refused bytes, while no byte has been
    // accepted since.
    std::string_view refusal_reported;
    off_t written = 0;  // bytes handed to the file
    std::size_t used = 0;
    unsigned char buffer[byte_block_size];
} byte_unit;

// 0 when `unit` may take bytes now, else the refusal code.
int refusal(int unit) {
    if (unit < 0) return byte_unit_negative;
    if (unit != byte_unit.unit || byte_unit.fd < 0) return byte_unit_not_connected;
    if (!byte_unit.writable) return byte_unit_read_only;
    return 0;
}

void report_failed_write() {
    byte_unit.failed = true;
    FreeLine(error_unit) << write_error_text;
}

// Writes the buffered block; false when the system refused part of it.
bool write_block() {
    std::size_t done = 0;
    bool written = true;
    while (done < byte_unit.used) {
        ssize_t n = ::write(byte_unit.fd, byte_unit.buffer + done, byte_unit.used - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            written = false;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    // A replacement is flushed to the disk at closing: its blocks start on
    // their way now, so that the flush at closing waits for the last alone.
    if (written && byte_unit.replacing)
        sync_file_range(byte_unit.fd, byte_unit.written, static_cast<off_t>(byte_unit.used), SYNC_FILE_RANGE_WRITE);
    byte_unit.written += static_cast<off_t>(byte_unit.used);
    byte_unit.used = 0;
    return written;
}

void flush_block(bool quiet) {
    if (byte_unit.fd < 0 || byte_unit.used == 0) return;
    if (write_block()) return;
    if (quiet) byte_unit.failed = true;
    else report_failed_write();
}

std::string folder_of(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }

// Follows `path` through symbolic links to the file it names; a relative link
// is taken from the link's folder.  `exists` tells whether that file exists
// (`status` is then its own).  Returns 0, or the system error that stopped
// the way (a loop of links included).
int follow_links(std::string& path, struct stat& status, bool& exists) {
    exists = false;
    for (int hops = 0; hops <= max_link_hops; ++hops) {
        if (lstat(path.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(status.st_mode)) {
            exists = true;
            return 0;
        }
        char link[4096];
        const ssize_t n = readlink(path.c_str(), link, sizeof link);
        if (n < 0) return errno;
        if (static_cast<std::size_t>(n) == sizeof link) return ENAMETOOLONG;
        const std::string_view to(link, static_cast<std::size_t>(n));
        path = to.starts_with('/') ? std::string(to) : folder_of(path) + std::string(to);
    }
    return ELOOP;
}

bool may_write(const std::string& path) {
    const int fd = open_descriptor(path.c_str(), O_WRONLY);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

// Creates the new file beside `target`, with the mode of the file it replaces
// (`mode` 0: the mode of a new file).  Returns the descriptor or -1 (errno).
int create_replacement(const std::string& target, mode_t mode) {
    const std::string folder = folder_of(target);
    const std::string base = target.substr(folder.size(), temporary_base_length);
    const std::string prefix = folder + "." + base + "." + std::to_string(getpid()) + "-";
    for (int attempt = 0;; ++attempt) {
        byte_unit.temporary = prefix + std::to_string(attempt);
        const int fd = open_descriptor(byte_unit.temporary.c_str(), O_RDWR | O_CREAT | O_EXCL);
        if (fd >= 0) {
            if (mode != 0) fchmod(fd, mode & 07777);
            return fd;
        }
        // A file of that name is left from an earlier run of this process number.
        if (errno != EEXIST || attempt == 99) return -1;
    }
}

// Opens an existing file that is written where it is: reading and writing,
// reading, writing, the first that succeeds.  Returns the descriptor or -1
// (errno of the first attempt).
int open_in_place(const std::string& path, bool& writable) {
    struct Attempt {
        int flags;
        bool writable;
    };
    static constexpr Attempt attempts[] = {{O_RDWR, true}, {O_RDONLY, false}, {O_WRONLY, true}};
    int first_error = 0;
    for (const Attempt& attempt : attempts) {
        const int fd = open_descriptor(path.c_str(), attempt.flags);
        if (fd >= 0) {
            writable = attempt.writable;
            return fd;
        }
        if (first_error == 0) first_error = errno;
    }
    errno = first_error;
    return -1;
}

}  // namespace

void open_byte_output(int unit, std::string_view file_name, const SourceLocation& where) {
    close_byte_output(byte_unit.unit);
    const IoStatement open{Statement::open, unit, file_name, where};
    std::string target(file_name);
    struct stat status;
    bool exists;
    if (const int error = follow_links(target, status, exists)) abnormal_end_io(open, error);
    if (exists && S_ISDIR(status.st_mode)) abnormal_end_io(open, EISDIR);

    bool writable = true;
    const bool replacing = !exists || (S_ISREG(status.st_mode) && may_write(target));
    const int fd = replacing ? create_replacement(target, exists ? status.st_mode : 0) : open_in_place(target, writable);
    if (fd < 0) abnormal_end_io(open, errno);

    byte_unit.unit = unit;
    byte_unit.fd = fd;
    byte_unit.writable = writable;
    byte_unit.failed = false;
    byte_unit.refused_elsewhere = false;
    byte_unit.replacing = replacing;
    byte_unit.target = target;
    byte_unit.refusal_reported = {};
    byte_unit.written = 0;
    byte_unit.used = 0;
    register_unit_flusher(flush_byte_output);
}

int write_byte(int unit, std::uint8_t byte) { return write_bytes(unit, &byte, 1); }

int write_bytes(int unit, const void* bytes, std::size_t count) {
    if (count == 0) return 0;
    if (int code = refusal(unit)) {
        if (code == byte_unit_read_only) byte_unit.failed = true;
        else byte_unit.refused_elsewhere = true;
        return code;
    }
    byte_unit.refusal_reported = {};
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        if (byte_unit.used == byte_block_size) flush_block(false);
        std::size_t n = std::min(count, byte_block_size - byte_unit.used);
        std::memcpy(byte_unit.buffer + byte_unit.used, next, n);
        byte_unit.used += n;
        next += n;
        count -= n;
    }
    return 0;
}

void write_bytes_reporting(int unit, const void* bytes, std::size_t count, std::string_view error_text) {
    if (write_bytes(unit, bytes, count) == 0 || byte_unit.refusal_reported == error_text) return;
    byte_unit.refusal_reported = error_text;
    FreeLine(error_unit) << error_text;
}

void close_byte_output(int unit) {
    if (unit < 0 || unit != byte_unit.unit || byte_unit.fd < 0) return;
    flush_block(false);
    // The replacement is on the disk before it takes the older file's name.
    if (byte_unit.replacing && !byte_unit.failed && fsync(byte_unit.fd) != 0) report_failed_write();
    if (::close(byte_unit.fd) != 0) report_failed_write();
    byte_unit.fd = -1;
    byte_unit.writable = false;
    if (!byte_unit.replacing) return;
    byte_unit.replacing = false;
    if (!byte_unit.failed && std::rename(byte_unit.temporary.c_str(), byte_unit.target.c_str()) != 0)
        report_failed_write();
    if (byte_unit.failed) ::unlink(byte_unit.temporary.c_str());
}

bool byte_output_failed() { return byte_unit.failed || byte_unit.refused_elsewhere; }

void flush_byte_output(bool quiet) { flush_block(quiet); }

void abandon_byte_output() {
    if (byte_unit.fd < 0 || !byte_unit.replacing) return;
    ::close(byte_unit.fd);
    ::unlink(byte_unit.temporary.c_str());
    byte_unit.fd = -1;
    byte_unit.replacing = false;
}

}  // namespace vorn
