#include "file_output/staged_replacement.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include "file_output/file_notes.hpp"
#include "run_end/write_all.hpp"
#include "units/descriptors.hpp"
#include "units/units.hpp"

namespace vorn {

namespace {

// As the system's own limit on a chain of symbolic links.
constexpr int max_link_hops = 40;
// A name may be missing at the first look and a file at the second, when
// another process makes it meanwhile: the lookup then starts again.
constexpr int lookup_attempts = 3;
constexpr int file_appeared = -3;
// Room left in a file name for the staged name's dot and random part.
constexpr std::size_t staged_base_length = 200;
// Random names tried before the making of a staged name counts as failed.
constexpr int fresh_name_attempts = 100;
constexpr const char* default_scratch_folder = "/tmp";

enum class Staging { none, unnamed, hidden, scratch };

// The replacement under way.  The handler of termination signals reads the
// hidden name, so `named` is set only once the name is complete.
struct Replacement {
    Staging staging = Staging::none;
    OutputTarget target;
    std::string shown_name;
    std::string place;  // staging_place()
    Descriptor scratch_folder;
    int name_folder = -1;  // the folder of the hidden name
    char hidden[NAME_MAX + 1] = {};
    std::atomic<bool> named{false};
} replacement;
static_assert(std::atomic<bool>::is_always_lock_free, "read by a signal handler");

// "a/b/c": the folder "a/b" and the last part "c"; "c": "." and "c"; "/c":
// "/" and "c".
std::string folder_part(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string_view::npos) return ".";
    return slash == 0 ? "/" : std::string(path.substr(0, slash));
}

std::string last_part(std::string_view path) { return std::string(path.substr(path.find_last_of('/') + 1)); }

int open_folder(int at, const std::string& path) { return open_descriptor_at(at, path.c_str(), O_PATH | O_DIRECTORY); }

bool same_file(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// fs.protected_symlinks as the system sets it; 1 where it cannot be read.
int protected_symlinks() {
    const Descriptor setting(open_descriptor("/proc/sys/fs/protected_symlinks", O_RDONLY));
    char first = '1';
    if (setting.get() >= 0 && ::read(setting.get(), &first, 1) != 1) first = '1';
    return first == '0' ? 0 : 1;
}

// The system's rule for following a link, for a dangling link followed here:
// in a sticky folder that everyone may write, only a link of the follower or
// of the folder's owner is followed while fs.protected_symlinks is set.
bool may_follow(const struct stat& folder, const struct stat& link) {
    if (link.st_uid == geteuid()) return true;
    if ((folder.st_mode & (S_ISVTX | S_IWOTH)) != (S_ISVTX | S_IWOTH)) return true;
    return folder.st_uid == link.st_uid || protected_symlinks() == 0;
}

int link_body(int link, std::string& body) {
    char text[PATH_MAX];
    const ssize_t n = readlinkat(link, "", text, sizeof text);
    if (n < 0) return errno;
    if (static_cast<std::size_t>(n) == sizeof text) return ENAMETOOLONG;
    body.assign(text, static_cast<std::size_t>(n));
    return 0;
}

// Where a new file for `name`, which leads to nothing, goes: the name's own
// folder, or the end of its chain of dangling links.  0, the system's error,
// or file_appeared.
int follow_to_missing_file(std::string_view name, OutputTarget& target) {
    const int first_folder = open_folder(AT_FDCWD, folder_part(name));
    if (first_folder < 0) return errno;
    Descriptor folder(first_folder);
    std::string last = last_part(name);
    for (int hops = 0;; ++hops) {
        if (last.empty()) return ENOENT;
        const Descriptor link(open_descriptor_at(folder.get(), last.c_str(), O_PATH | O_NOFOLLOW));
        if (link.get() < 0) {
            if (errno != ENOENT) return errno;
            target.folder = std::move(folder);
            target.name = std::move(last);
            target.exists = false;
            return 0;
        }
        struct stat link_status, folder_status;
        if (fstat(link.get(), &link_status) != 0 || fstat(folder.get(), &folder_status) != 0) return errno;
        if (!S_ISLNK(link_status.st_mode)) return file_appeared;
        if (hops == max_link_hops) return ELOOP;
        if (!may_follow(folder_status, link_status)) return EACCES;
        std::string body;
        if (const int error = link_body(link.get(), body)) return error;
        if (body.empty()) return ENOENT;
        const int next = open_folder(folder.get(), folder_part(body));
        if (next < 0) return errno;
        folder.reset(next);
        last = last_part(body);
    }
}

// The path at which the kernel found the file open on `found`, where it is
// a path of this process's view.
std::string found_path(int found) {
    char path[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(found);
    const ssize_t n = readlink(link.c_str(), path, sizeof path);
    if (n <= 0 || static_cast<std::size_t>(n) == sizeof path || path[0] != '/') return {};
    return std::string(path, static_cast<std::size_t>(n));
}

// The folder that holds the file found, and its name there: where the kernel
// found it, else the name's own folder (a system without /proc).  Either
// must hold that very file under that name.
int locate_found_file(int found, std::string_view name, OutputTarget& target) {
    const std::string where = found_path(found);
    for (const std::string_view path : {std::string_view(where), name}) {
        if (path.empty()) continue;
        Descriptor folder(open_folder(AT_FDCWD, folder_part(path)));
        const std::string last = last_part(path);
        struct stat named;
        if (folder.get() >= 0 && !last.empty() &&
            fstatat(folder.get(), last.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 && same_file(named, target.found)) {
            target.folder = std::move(folder);
            target.name = last;
            return 0;
        }
    }
    return target_changed;
}

std::string descriptor_link(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

// A hidden name for the target with a random part, so that no file left by
// an earlier run (of any process number) stands in its way.
void draw_hidden_name() {
    static std::uint64_t drawn = 0;
    std::uint64_t bits = 0;
    if (getrandom(&bits, sizeof bits, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bits)) {
        timespec now;
        clock_gettime(CLOCK_REALTIME, &now);
        bits = (static_cast<std::uint64_t>(getpid()) << 40) ^ (static_cast<std::uint64_t>(now.tv_nsec) << 8) ^
               static_cast<std::uint64_t>(now.tv_sec) ^ ++drawn;
    }
    const std::string& base = replacement.target.name;
    std::snprintf(replacement.hidden, sizeof replacement.hidden, ".%.*s.%016llx",
                  static_cast<int>(std::min(base.size(), staged_base_length)), base.data(),
                  static_cast<unsigned long long>(bits));
}

// Makes a hidden name in `folder` with `make` (which fails with EEXIST where
// the name is taken), drawing fresh names: 0 or the system's error.
template <class Make>
int with_fresh_name(int folder, const Make& make) {
    for (int attempt = 0; attempt < fresh_name_attempts; ++attempt) {
        draw_hidden_name();
        if (make(replacement.hidden)) {
            replacement.name_folder = folder;
            replacement.named = true;
            return 0;
        }
        if (errno != EEXIST) return errno;
    }
    return EEXIST;
}

void remove_hidden_name() {
    if (!replacement.named) return;
    unlinkat(replacement.name_folder, replacement.hidden, 0);
    replacement.named = false;
}

// A new file in `folder`: with no name where the file system makes one (and,
// when it is to take a name, /proc can link it), else under a hidden name.
// The descriptor, or -1 (errno).
int create_staged_file(int folder, mode_t mode, bool to_be_named) {
    const int unnamed = open_descriptor_at(folder, ".", O_TMPFILE | O_RDWR, mode);
    if (unnamed >= 0 && (!to_be_named || access(descriptor_link(unnamed).c_str(), F_OK) == 0)) return unnamed;
    if (unnamed >= 0) ::close(unnamed);
    int fd = -1;
    const int error = with_fresh_name(folder, [&](const char* name) {
        fd = open_descriptor_at(folder, name, O_RDWR | O_CREAT | O_EXCL, mode);
        return fd >= 0;
    });
    errno = error;
    return error == 0 ? fd : -1;
}

// The staged file in the scratch folder, for an existing file whose folder
// takes no new file: with no name, or a hidden one removed at once.
int stage_in_scratch_folder(int& error) {
    const char* tmpdir = std::getenv("TMPDIR");
    const bool from_tmpdir = tmpdir != nullptr && *tmpdir != '\0';
    const std::string path = from_tmpdir ? tmpdir : default_scratch_folder;
    replacement.place = " in the scratch folder " + path + (from_tmpdir ? " (TMPDIR)" : " (TMPDIR is not set)");
    const int folder = open_folder(AT_FDCWD, path);
    int fd = folder < 0 ? -1 : create_staged_file(folder, 0600, false);
    const int reason = errno;
    replacement.scratch_folder.reset(folder);
    if (fd < 0) {
        tell_file_failure(replacement.shown_name, "open" + replacement.place, reason,
                          "; the file's own folder takes no new file");
        error = scratch_refused;
        return -1;
    }
    remove_hidden_name();
    replacement.staging = Staging::scratch;
    return fd;
}

bool fail(std::string_view operation, int error) {
    tell_file_failure(replacement.shown_name, operation, error);
    return false;
}

bool fail_as_changed() {
    tell_file(replacement.shown_name, "not written: it no longer leads to the file that the run looked up");
    return false;
}

// Writes the complete staged file into the older file itself.
bool write_in_place(int staged, long long length, std::span<unsigned char> buffer) {
    int error = 0;
    Descriptor to(reopen_output_target(replacement.target, O_WRONLY, error));
    if (error == target_changed) return fail_as_changed();
    if (to.get() < 0) return fail("open for writing", error);
    for (long long done = 0; done < length;) {
        const std::size_t wanted = static_cast<std::size_t>(std::min<long long>(
            static_cast<long long>(buffer.size()), length - done));
        const ssize_t n = pread(staged, buffer.data(), wanted, done);
        if (n <= 0) return fail("read", n < 0 ? errno : EIO);
        if (const int write_error = write_all(to.get(), buffer.data(), static_cast<std::size_t>(n)))
            return fail("write", write_error);
        done += n;
    }
    if (ftruncate(to.get(), length) != 0) return fail("ftruncate", errno);
    if (fsync(to.get()) != 0) return fail("fsync", errno);
    if (::close(to.release()) != 0) return fail("close", errno);
    return true;
}

}  // namespace

void Descriptor::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

int look_up_output_target(std::string_view name, OutputTarget& target) {
    const std::string path(name);
    for (int attempt = 0; attempt < lookup_attempts; ++attempt) {
        const Descriptor found(open_descriptor(path.c_str(), O_PATH));
        if (found.get() >= 0) {
            if (fstat(found.get(), &target.found) != 0) return errno;
            target.exists = true;
            // A directory is refused by the caller: it needs no folder.
            return S_ISDIR(target.found.st_mode) ? 0 : locate_found_file(found.get(), name, target);
        }
        if (errno != ENOENT) return errno;
        const int result = follow_to_missing_file(name, target);
        if (result != file_appeared) return result;
    }
    return target_changed;
}

int reopen_output_target(const OutputTarget& target, int flags, int& error) {
    const int fd = open_descriptor_at(target.folder.get(), target.name.c_str(), flags | O_NOFOLLOW | O_NOCTTY);
    if (fd < 0) {
        // The name was no link when it was looked up.
        error = errno == ELOOP ? target_changed : errno;
        return -1;
    }
    struct stat opened;
    if (fstat(fd, &opened) != 0 || !same_file(opened, target.found)) {
        ::close(fd);
        error = target_changed;
        return -1;
    }
    error = 0;
    return fd;
}

int stage_replacement(OutputTarget target, std::string_view shown_name, int& error) {
    abandon_replacement();
    replacement.target = std::move(target);
    replacement.shown_name = shown_name;
    const int fd = create_staged_file(replacement.target.folder.get(), 0666, true);
    if (fd >= 0) {
        replacement.staging = replacement.named ? Staging::hidden : Staging::unnamed;
        return fd;
    }
    error = errno;
    // A folder that takes no new file (read-only, or not the user's) around
    // a file that may be written: the bytes are staged elsewhere.
    if (!replacement.target.exists || (error != EACCES && error != EPERM && error != EROFS)) return -1;
    return stage_in_scratch_folder(error);
}

std::string_view staging_place() { return replacement.place; }

bool complete_replacement(int staged, long long length, std::span<unsigned char> buffer) {
    if (replacement.staging == Staging::scratch) {
        tell_file(replacement.shown_name, "the folder takes no new file; the file is written in place");
        return write_in_place(staged, length, buffer);
    }
    const OutputTarget& target = replacement.target;
    if (target.exists) {
        struct stat named;
        if (fstatat(target.folder.get(), target.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) != 0 ||
            !same_file(named, target.found))
            return fail_as_changed();
        // The owner and group where the process may set them, then the mode,
        // which a change of owner may have cut.
        if (fchown(staged, target.found.st_uid, target.found.st_gid) != 0 && errno != EPERM)
            return fail("fchown", errno);
        if (fchmod(staged, target.found.st_mode & 07777) != 0) return fail("fchmod", errno);
    }
    if (replacement.staging == Staging::unnamed) {
        const std::string link = descriptor_link(staged);
        const int folder = target.folder.get();
        const int error = with_fresh_name(folder, [&](const char* name) {
            return linkat(AT_FDCWD, link.c_str(), folder, name, AT_SYMLINK_FOLLOW) == 0;
        });
        if (error != 0) return fail("linkat", error);
    }
    if (renameat(replacement.name_folder, replacement.hidden, target.folder.get(), target.name.c_str()) == 0) {
        replacement.named = false;
        return true;
    }
    const int error = errno;
    remove_hidden_name();
    if (!target.exists || (error != EBUSY && error != EPERM)) return fail("rename", error);
    tell_file_failure(replacement.shown_name, "rename", error, "; the file is written in place");
    return write_in_place(staged, length, buffer);
}

void abandon_replacement() {
    remove_hidden_name();
    replacement.staging = Staging::none;
    replacement.target = OutputTarget{};
    replacement.scratch_folder.reset();
    replacement.place.clear();
}

void remove_staged_name_now() {
    if (replacement.named.load()) unlinkat(replacement.name_folder, replacement.hidden, 0);
}

}  // namespace vorn
