#include "runtime/byte_output.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <span>
#include <string>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/abnormal_end.hpp"
#include "runtime/free_format.hpp"
#include "runtime/units.hpp"

namespace vorn {

namespace {

// As the system's own limit on a chain of symbolic links.
constexpr int max_link_hops = 40;
// Where the bytes are staged when the target's folder takes no new file.
constexpr const char* scratch_folder = "/tmp";
// Room left in a file name for the staged name's dot and random part.
constexpr std::size_t staged_base_length = 200;
// Random names tried before the making of a staged name counts as failed.
constexpr int fresh_name_attempts = 100;

struct ByteUnit {
    int unit = -1;
    int fd = -1;
    bool writable = false;
    // The file is incomplete: a byte refused because the unit is read-only,
    // or a failed block, flush to the disk, link, close, renaming or writing
    // in place.
    bool failed = false;
    // A byte for a unit that is not connected was refused.
    bool refused_elsewhere = false;
    // Set while a staged file is written to replace `target`.
    bool staged = false;
    // The staged file is a scratch file outside the target's folder, which
    // takes no new file: it is copied into the target at closing.
    bool scratch = false;
    // The name given at the opening, for the lines on standard error.
    std::string name;
    std::string target;
    // The text of the last error line for refused bytes, while no byte has been
    // accepted since.
    std::string_view refusal_reported;
    off_t written = 0;  // bytes handed to the file
    std::size_t used = 0;
    unsigned char buffer[byte_block_size];
} byte_unit;

// The staged file's name from its making until it takes the target's name or
// is removed; a termination signal removes it too, so it is set only when
// `path` is complete.
struct StagedName {
    char path[PATH_MAX] = {};
    std::atomic<bool> set{false};
} staged_name;
static_assert(std::atomic<bool>::is_always_lock_free, "read by a signal handler");

// 0 when `unit` may take bytes now, else the refusal code.
int refusal(int unit) {
    if (unit < 0) return byte_unit_negative;
    if (unit != byte_unit.unit || byte_unit.fd < 0) return byte_unit_not_connected;
    if (!byte_unit.writable) return byte_unit_read_only;
    return 0;
}

// One line on standard error about the unit's file: " <name>: <text>".
void tell(std::string_view text) {
    std::string line = " " + byte_unit.name + ": ";
    line += text;
    line += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
}

// The line on standard error of a failed operation: its name and the
// system's reason, then what the byte output does about it.
void tell_failure(std::string_view operation, int error, std::string_view consequence = {}) {
    const char* symbol = strerrorname_np(error);
    std::string text(operation);
    text += " failed: ";
    text += symbol != nullptr ? std::string(symbol) : "error " + std::to_string(error);
    text += " (";
    text += std::strerror(error);
    text += ")";
    text += consequence;
    tell(text);
}

void report_failed_write() {
    byte_unit.failed = true;
    FreeLine(error_unit) << write_error_text;
}

void fail(std::string_view operation, int error) {
    tell_failure(operation, error);
    report_failed_write();
}

// Writes `count` bytes to `fd`: 0, or the system's error (EIO for a write
// that takes nothing).
int write_all(int fd, const unsigned char* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t n = ::write(fd, bytes, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        bytes += n;
        count -= static_cast<std::size_t>(n);
    }
    return 0;
}

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
    if (!byte_unit.failed) tell_failure("write", error);
    report_failed_write();
}

std::string folder_of(const std::string& path) { return path.substr(0, path.find_last_of('/') + 1); }

// Follows `path` through symbolic links to the file it names, or to where a
// dangling link points; a relative link is taken from the link's folder.
// Returns 0, or the system error that stopped the way.
int follow_links(std::string& path) {
    for (int hops = 0; hops <= max_link_hops; ++hops) {
        struct stat status;
        if (lstat(path.c_str(), &status) != 0) return errno == ENOENT ? 0 : errno;
        if (!S_ISLNK(status.st_mode)) return 0;
        char link[4096];
        const ssize_t n = readlink(path.c_str(), link, sizeof link);
        if (n < 0) return errno;
        if (static_cast<std::size_t>(n) == sizeof link) return ENAMETOOLONG;
        const std::string_view to(link, static_cast<std::size_t>(n));
        path = to.starts_with('/') ? std::string(to) : folder_of(path) + std::string(to);
    }
    return ELOOP;
}

// 0 when `path` may be opened for writing, else the system's error.
int write_refusal(const std::string& path) {
    const int fd = open_descriptor(path.c_str(), O_WRONLY);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

// A hidden name beside `target` with a random part, so that no file left by
// an earlier run (of any process number) stands in its way.
std::string fresh_name(const std::string& target) {
    static std::uint64_t drawn = 0;
    std::uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        bits = (static_cast<std::uint64_t>(getpid()) << 40) ^ (static_cast<std::uint64_t>(now.tv_nsec) << 8) ^
               static_cast<std::uint64_t>(now.tv_sec) ^ ++drawn;
    }
    char digits[17];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(bits));
    const std::string folder = folder_of(target);
    return folder + "." + target.substr(folder.size(), staged_base_length) + "." + digits;
}

void set_staged_name(const std::string& path) {
    staged_name.set = false;
    const std::size_t n = std::min(path.size(), sizeof staged_name.path - 1);
    std::memcpy(staged_name.path, path.data(), n);
    staged_name.path[n] = '\0';
    staged_name.set = true;
}

void remove_staged_name() {
    if (!staged_name.set) return;
    ::unlink(staged_name.path);
    staged_name.set = false;
}

// Makes a staged name beside `target` with `make` (a creation that fails
// with EEXIST where the name is taken), drawing fresh names.  Returns 0 or
// the system's error.
template <typename Make>
int make_fresh_name(const std::string& target, Make make) {
    for (int attempt = 0; attempt < fresh_name_attempts; ++attempt) {
        set_staged_name(fresh_name(target));
        if (make(staged_name.path)) return 0;
        const int error = errno;
        staged_name.set = false;
        if (error != EEXIST) return error;
    }
    return EEXIST;
}

std::string descriptor_link(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// The owner and group of the older file where the process may set them, then
// its mode (a change of owner may clear the set-user and set-group bits).
int keep_owner_and_mode(int fd, const struct stat& older) {
    if (fchown(fd, older.st_uid, older.st_gid) != 0 && errno != EPERM) return errno;
    return fchmod(fd, older.st_mode & 07777) == 0 ? 0 : errno;
}

// Creates the staged file in the folder of `target`: a file with no name
// where the file system makes one and it can be linked later through /proc,
// else a hidden file.  It takes the owner, group and mode of `older` when
// there is one.  Returns the descriptor or -1 (errno).
int create_staged_file(const std::string& target, const struct stat* older) {
    const std::string folder = folder_of(target);
    int fd = open_descriptor(folder.empty() ? "." : folder.c_str(), O_TMPFILE | O_RDWR);
    if (fd >= 0 && access(descriptor_link(fd).c_str(), F_OK) != 0) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        const int error = make_fresh_name(target, [&fd](const char* path) {
            fd = open_descriptor(path, O_RDWR | O_CREAT | O_EXCL);
            return fd >= 0;
        });
        if (error != 0) {
            errno = error;
            return -1;
        }
    }
    if (older == nullptr) return fd;
    if (const int error = keep_owner_and_mode(fd, *older)) {
        ::close(fd);
        remove_staged_name();
        errno = error;
        return -1;
    }
    return fd;
}

// A scratch file for the bytes of `target`, whose folder takes no new file:
// with no name in /tmp where the file system makes one, else a hidden name
// there that is removed at once.  Returns the descriptor or -1 (errno).
int create_scratch_file(const std::string& target) {
    int fd = open_descriptor(scratch_folder, O_TMPFILE | O_RDWR, 0600);
    if (fd >= 0) return fd;
    const std::string beside = std::string(scratch_folder) + "/" + target.substr(folder_of(target).size());
    const int error = make_fresh_name(beside, [&fd](const char* path) {
        fd = open_descriptor(path, O_RDWR | O_CREAT | O_EXCL, 0600);
        return fd >= 0;
    });
    remove_staged_name();
    if (error != 0) errno = error;
    return error == 0 ? fd : -1;
}

// Opens an existing file that is written where it is: a FIFO for writing
// only, so that a reader that quits makes the writes fail; anything else for
// reading and writing, reading, writing, the first that succeeds.  Returns
// the descriptor or -1 (errno of the first attempt); `write_error` is that
// error when the file was opened for reading only, else 0.
int open_in_place(const char* path, bool fifo, int& write_error) {
    struct Attempt {
        int flags;
        bool writable;
    };
    static constexpr Attempt fifo_attempts[] = {{O_WRONLY, true}};
    static constexpr Attempt file_attempts[] = {{O_RDWR, true}, {O_RDONLY, false}, {O_WRONLY, true}};
    const std::span<const Attempt> attempts = fifo ? std::span<const Attempt>(fifo_attempts) : file_attempts;
    int first_error = 0;
    for (const Attempt& attempt : attempts) {
        const int fd = open_descriptor(path, attempt.flags);
        if (fd >= 0) {
            write_error = attempt.writable ? 0 : first_error;
            return fd;
        }
        if (first_error == 0) first_error = errno;
    }
    errno = first_error;
    return -1;
}

// Gives the staged file with no name a fresh name beside its target.
// Returns 0 or the system's error.
int link_staged_file() {
    const std::string link = descriptor_link(byte_unit.fd);
    return make_fresh_name(byte_unit.target, [&link](const char* path) {
        return linkat(AT_FDCWD, link.c_str(), AT_FDCWD, path, AT_SYMLINK_FOLLOW) == 0;
    });
}

// Copies the complete staged file into `to`, cuts it to length and flushes it
// to the disk.
void copy_into(int from, int to) {
    for (off_t done = 0; done < byte_unit.written;) {
        const ssize_t n = pread(from, byte_unit.buffer, byte_block_size, done);
        if (n <= 0) return fail("read", n < 0 ? errno : EIO);
        if (const int error = write_all(to, byte_unit.buffer, static_cast<std::size_t>(n))) return fail("write", error);
        done += n;
    }
    if (ftruncate(to, byte_unit.written) != 0) return fail("ftruncate", errno);
    if (fsync(to) != 0) fail("fsync", errno);
}

// The target may be written but not replaced: the complete staged file,
// open on `from`, is written into it.
void write_into_target(int from) {
    const int to = open_descriptor(byte_unit.target.c_str(), O_WRONLY);
    if (to < 0) return fail("open for writing", errno);
    copy_into(from, to);
    if (::close(to) != 0) fail("close", errno);
}

void write_in_place() {
    const int from = open_descriptor(staged_name.path, O_RDONLY);
    if (from < 0) return fail("open", errno);
    write_into_target(from);
    ::close(from);
}

// The staged file, complete and on the disk, takes the target's name.
void put_in_place() {
    // The report and the error lines are out first: a run that ends
    // abnormally there leaves the older file as it was.
    flush_all_units();
    if (std::rename(staged_name.path, byte_unit.target.c_str()) == 0) {
        staged_name.set = false;
        return;
    }
    const int error = errno;
    if (error != EBUSY && error != EPERM) return fail("rename", error);
    tell_failure("rename", error, "; the file is written in place");
    write_in_place();
}

extern "C" void end_on_termination_signal(int signal) {
    if (staged_name.set.load()) ::unlink(staged_name.path);
    _exit(128 + signal);
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

    struct stat status;
    const bool exists = stat(byte_unit.name.c_str(), &status) == 0;
    if (!exists && errno != ENOENT) abnormal_end_io(open, errno);
    if (exists && S_ISDIR(status.st_mode)) abnormal_end_io(open, EISDIR);
    // A device holds no data that the run could spoil (/dev/null as standard
    // input and as the snapshot alike); any other file of the run does.
    if (exists && !S_ISCHR(status.st_mode)) {
        const std::string_view held = run_file_named_by(status.st_dev, status.st_ino);
        if (!held.empty()) {
            tell("not written: it leads to " + std::string(held) + ", a file that the run holds");
            byte_unit.failed = true;
            return false;
        }
    }

    std::string target(file_name);
    int write_error = exists && S_ISREG(status.st_mode) ? write_refusal(target) : 0;
    const bool staged = !exists || (S_ISREG(status.st_mode) && write_error == 0);
    if (staged) {
        if (const int error = follow_links(target)) abnormal_end_io(open, error);
    }
    int fd = staged ? create_staged_file(target, exists ? &status : nullptr)
                    : open_in_place(target.c_str(), S_ISFIFO(status.st_mode), write_error);
    // A folder that takes no new file (read-only, or not the user's) around
    // a file that may be written: the bytes are staged elsewhere.
    const bool scratch = fd < 0 && staged && exists && (errno == EACCES || errno == EPERM || errno == EROFS);
    if (scratch) {
        const int folder_error = errno;
        fd = create_scratch_file(target);
        errno = folder_error;
    }
    if (fd < 0) abnormal_end_io(open, errno);
    if (write_error != 0) tell_failure("open for writing", write_error);

    byte_unit.unit = unit;
    byte_unit.fd = fd;
    byte_unit.writable = write_error == 0;
    byte_unit.staged = staged;
    byte_unit.scratch = scratch;
    byte_unit.target = target;
    register_unit_flusher(flush_byte_output);
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
    if (unit < 0 || unit != byte_unit.unit || byte_unit.fd < 0) return;
    flush_block(false);
    if (byte_unit.scratch && !byte_unit.failed) {
        // The report and the error lines are out first, as before a renaming.
        flush_all_units();
        tell("the folder takes no new file; the file is written in place");
        write_into_target(byte_unit.fd);
    } else if (byte_unit.staged && !byte_unit.failed) {
        // On the disk, and with a name of its own, before it takes the target's.
        if (fsync(byte_unit.fd) != 0) fail("fsync", errno);
        else if (!staged_name.set) {
            if (const int error = link_staged_file()) fail("linkat", error);
        }
    }
    if (::close(byte_unit.fd) != 0) fail("close", errno);
    byte_unit.fd = -1;
    byte_unit.writable = false;
    if (!byte_unit.staged) return;
    byte_unit.staged = false;
    if (!byte_unit.failed && !byte_unit.scratch) put_in_place();
    remove_staged_name();
}

bool byte_output_failed() { return byte_unit.failed || byte_unit.refused_elsewhere; }

void flush_byte_output(bool quiet) { flush_block(quiet); }

void abandon_byte_output() {
    if (byte_unit.staged && byte_unit.fd >= 0) {
        ::close(byte_unit.fd);
        byte_unit.fd = -1;
        byte_unit.staged = false;
    }
    remove_staged_name();
}

void handle_termination_signals() {
    static constexpr int termination_signals[] = {SIGHUP, SIGINT, SIGQUIT, SIGTERM,
                                                  SIGALRM, SIGUSR1, SIGUSR2, SIGXCPU};
    struct sigaction action = {};
    action.sa_handler = end_on_termination_signal;
    sigfillset(&action.sa_mask);
    for (const int signal : termination_signals) {
        struct sigaction inherited;
        // A signal ignored from the start (nohup, a background job) stays so.
        if (sigaction(signal, nullptr, &inherited) == 0 && inherited.sa_handler == SIG_IGN) continue;
        sigaction(signal, &action, nullptr);
    }
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

}  // namespace vorn
