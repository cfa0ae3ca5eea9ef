#include "runtime/byte_output.hpp"

#include <algorithm>
#include <cerrno>
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

constexpr std::string_view block_error_text = "Error in writing the output file.";

struct ByteUnit {
    int unit = -1;
    int fd = -1;
    bool writable = false;
    bool failed = false;
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
    byte_unit.used = 0;
    return written;
}

void flush_block(bool quiet) {
    if (byte_unit.fd < 0 || byte_unit.used == 0) return;
    if (write_block()) return;
    byte_unit.failed = true;
    if (!quiet) FreeLine(error_unit) << block_error_text;
}

[[noreturn]] void open_failure(int unit, std::string_view file_name, int error_number,
                               const SourceLocation& where) {
    IoFailure failure;
    failure.statement = Statement::open;
    failure.unit = unit;
    failure.file = file_name;
    failure.error_number = error_number;
    failure.text = std::strerror(error_number);
    failure.where = where;
    abnormal_end_io(failure);
}

}  // namespace

void open_byte_output(int unit, std::string_view file_name, const SourceLocation& where) {
    close_byte_output(byte_unit.unit);
    const std::string path(file_name);
    struct Attempt {
        int flags;
        bool writable;
    };
    static constexpr Attempt attempts[] = {
        {O_RDWR | O_CREAT | O_TRUNC, true},
        {O_RDONLY | O_CREAT, false},
        {O_RDONLY, false},
        {O_WRONLY | O_CREAT | O_TRUNC, true},
    };
    int first_error = 0;
    for (const Attempt& attempt : attempts) {
        int fd = ::open(path.c_str(), attempt.flags | O_CLOEXEC, 0666);
        if (fd < 0) {
            if (first_error == 0) first_error = errno;
            continue;
        }
        struct stat status;
        if (fstat(fd, &status) == 0 && S_ISDIR(status.st_mode)) {
            ::close(fd);
            open_failure(unit, file_name, EISDIR, where);
        }
        byte_unit.unit = unit;
        byte_unit.fd = fd;
        byte_unit.writable = attempt.writable;
        byte_unit.failed = false;
        byte_unit.used = 0;
        register_unit_flusher(flush_byte_output);
        return;
    }
    open_failure(unit, file_name, first_error, where);
}

int write_byte(int unit, std::uint8_t byte) {
    if (int code = refusal(unit)) {
        byte_unit.failed = true;
        return code;
    }
    if (byte_unit.used == byte_block_size) flush_block(false);
    byte_unit.buffer[byte_unit.used++] = byte;
    return 0;
}

int write_bytes(int unit, const void* bytes, std::size_t count) {
    if (count == 0) return 0;
    if (int code = refusal(unit)) {
        byte_unit.failed = true;
        return code;
    }
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

void close_byte_output(int unit) {
    if (unit < 0 || unit != byte_unit.unit || byte_unit.fd < 0) return;
    flush_block(false);
    if (::close(byte_unit.fd) != 0) {
        byte_unit.failed = true;
        FreeLine(error_unit) << block_error_text;
    }
    byte_unit.fd = -1;
    byte_unit.writable = false;
}

bool byte_output_failed() { return byte_unit.failed; }

void flush_byte_output(bool quiet) { flush_block(quiet); }

}  // namespace vorn
