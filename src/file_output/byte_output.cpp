#include "file_output/byte_output.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "file_output/file_notes.hpp"
#include "file_output/staged_replacement.hpp"
#include "format/free_format.hpp"
#include "run_end/abnormal_end.hpp"
#include "run_end/end_hooks.hpp"
#include "run_end/write_all.hpp"
#include "units/units.hpp"

namespace vorn {

namespace {

struct ByteUnit {
    int unit = -1;
    bool connected = false;
    int fd = -1;  // -1 while connected for reading only
    bool writable = false;
    // The file is incomplete: a byte refused because the unit is read-only,
    // or a failed block, flush to the disk, link, close, renaming or writing
    // in place.
    bool failed = false;
    // A byte for a unit that is not connected was refused.
    bool refused_elsewhere = false;
    // Set while a staged file is written to replace the file of the name.
    bool staged = false;
    // The name given at the opening, for the lines on standard error.
    std::string name;
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
    if (unit != byte_unit.unit || !byte_unit.connected) return byte_unit_not_connected;
    if (!byte_unit.writable) return byte_unit_read_only;
    return 0;
}

void report_failed_write() {
    byte_unit.failed = true;
    FreeLine(error_unit) << write_error_text;
}

// An operation on the file the bytes go to, named with where they are staged.
std::string staged_operation(std::string_view operation) {
    return std::string(operation) + std::string(byte_unit.staged ? staging_place() : std::string_view());
}

void fail(std::string_view operation, int error) {
    tell_file_failure(byte_unit.name, operation, error);
    report_failed_write();
}

// The opening is refused: nothing is connected and the unit counts as failed.
bool refuse(std::string_view text = {}) {
    if (!text.empty()) tell_file(byte_unit.name, text);
    byte_unit.failed = true;
    return false;
}

constexpr std::string_view changed_text = "not written: it changed while the run looked it up";

// Writes the buffered block: 0, or the system's error.
int write_block() {
    const int error = write_all(byte_unit.fd, byte_unit.buffer, byte_unit.used);
    // A staged file is flushed to the disk at closing: its blocks start on
    // their way now, so that the flush at closing waits for the last alone.
    if (error == 0 && byte_unit.staged)
        sync_file_range(byte_unit.fd, byte_unit.written, static_cast<off_t>(byte_unit.used), SYNC_FILE_RANGE_WRITE);
    byte_unit.written += static_cast<off_t>(byte_unit.used);
    byte_unit.used = 0;
    return error;
}

void flush_block(bool quiet) {
    if (byte_unit.fd < 0 || byte_unit.used == 0) return;
    const int error = write_block();
    if (error == 0) return;
    if (quiet) {
        byte_unit.failed = true;
        return;
    }
    // The reason once: a full disk refuses every block that follows.
    if (!byte_unit.failed) tell_file_failure(byte_unit.name, staged_operation("write"), error);
    report_failed_write();
}

// Opens the existing file that the lookup found where it is: for writing,
// else for reading (every byte is then refused), the first that succeeds; a
// FIFO for writing only, so that a reader that quits makes the writes fail.
// The descriptor for writing, or -1 with `write_error` set: the system's
// error, or target_changed.
int open_found_file(const OutputTarget& target, const IoStatement& open, int& write_error) {
    const int fd = reopen_output_target(target, O_WRONLY, write_error);
    if (fd >= 0 || write_error == target_changed) return fd;
    if (S_ISFIFO(target.found.st_mode)) abnormal_end_io(open, write_error);
    int read_error = 0;
    const int reader = reopen_output_target(target, O_RDONLY, read_error);
    if (reader < 0 && read_error == target_changed) write_error = target_changed;
    else if (reader < 0) abnormal_end_io(open, write_error);
    else ::close(reader);
    return -1;
}

// At an end of the run before the unit is closed: the unfinished staged file
// is removed, so the older file stays as it was.
void abandon_byte_output() {
    if (!byte_unit.staged) return;
    abandon_replacement();
    ::close(byte_unit.fd);
    byte_unit.fd = -1;
    byte_unit.connected = false;
    byte_unit.staged = false;
}

}  // namespace

bool open_byte_output(int unit, std::string_view file_name, const SourceLocation& where) {
    close_byte_output(byte_unit.unit);
    const IoStatement open{Statement::open, unit, file_name, where};
    byte_unit.name = file_name;
    byte_unit.failed = false;
    byte_unit.refused_elsewhere = false;
    byte_unit.refusal_reported = {};
    byte_unit.written = 0;
    byte_unit.used = 0;

    OutputTarget target;
    if (const int error = look_up_output_target(file_name, target)) {
        if (error == target_changed) return refuse(changed_text);
        abnormal_end_io(open, error);
    }
    const mode_t type = target.found.st_mode;
    if (target.exists && S_ISDIR(type)) abnormal_end_io(open, EISDIR);
    // A device holds no data that the run could spoil (/dev/null as standard
    // input and as the snapshot alike); any other file of the run does.
    if (target.exists && !S_ISCHR(type)) {
        const std::string_view held = run_file_named_by(target.found.st_dev, target.found.st_ino);
        if (!held.empty()) return refuse("not written: it leads to " + std::string(held) + ", a file that the run holds");
    }

    int write_error = 0;
    int fd = target.exists ? open_found_file(target, open, write_error) : -1;
    if (write_error == target_changed) return refuse(changed_text);
    const bool staged = (!target.exists || S_ISREG(type)) && write_error == 0;
    if (staged) {
        if (fd >= 0) ::close(fd);
        int error = 0;
        fd = stage_replacement(std::move(target), file_name, error);
        if (fd < 0 && error == scratch_refused) return refuse();
        if (fd < 0) abnormal_end_io(open, error);
    }
    if (write_error != 0) tell_file_failure(file_name, "open for writing", write_error);

    byte_unit.unit = unit;
    byte_unit.connected = true;
    byte_unit.fd = fd;
    byte_unit.writable = write_error == 0;
    byte_unit.staged = staged;
    add_end_hooks({.flush = flush_block, .abandon = abandon_byte_output,
                   .abandon_in_signal = remove_staged_name_now});
    return true;
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
    if (unit < 0 || unit != byte_unit.unit || !byte_unit.connected) return;
    flush_block(false);
    if (byte_unit.staged) {
        if (!byte_unit.failed && fsync(byte_unit.fd) != 0) fail(staged_operation("fsync"), errno);
        // The report and the error lines are out before the file takes any
        // name: a run that ends, or is killed, meanwhile leaves the older
        // file as it was and no file of its own.
        if (!byte_unit.failed) flush_all_units();
        if (!byte_unit.failed && !complete_replacement(byte_unit.fd, byte_unit.written, byte_unit.buffer))
            report_failed_write();
        abandon_replacement();
        // Every byte is on the disk or the file is given up: nothing is left
        // for the closing to report.
        ::close(byte_unit.fd);
    } else if (byte_unit.fd >= 0 && ::close(byte_unit.fd) != 0) {
        fail("close", errno);
    }
    byte_unit.fd = -1;
    byte_unit.connected = false;
    byte_unit.writable = false;
    byte_unit.staged = false;
}

bool byte_output_failed() { return byte_unit.failed || byte_unit.refused_elsewhere; }


}  // namespace vorn
