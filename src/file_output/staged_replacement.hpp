// The replacement of a file by a complete new one, for the byte output.
//
// The name is looked up once, by the kernel, as an open would follow it, so
// the system's protection of links in shared sticky folders
// (fs.protected_symlinks) holds.  Only a dangling link, which the kernel
// cannot open, is followed here hop by hop, under the same rule.  Everything
// the run later uses comes from that one lookup: the folder (a descriptor),
// the final name in it, and the older file's identity (device and inode),
// owner, group and mode.  Every later step works relative to the folder's
// descriptor and never resolves the name again.
//
// The new bytes are written to a staged file:
//   - in the target's folder, a file with no name (O_TMPFILE) where the file
//     system makes one, else a hidden file ".<name>.<16 hex digits>";
//   - for an existing file in a folder that takes no new file (read-only, or
//     another user's), a file with no name in the scratch folder: $TMPDIR
//     when it is set, else /tmp.
// At completion, the name must still lead to the older file, looked up
// without following a link; the staged file takes that file's owner and
// group where the process may set them, then its mode (so it never gains a
// bit the older file lacked), and a hidden name only for the instant of the
// rename that puts it in place.  A name that may be written but not replaced
// (EBUSY: a file mounted on it; EPERM: another user's file in a sticky
// folder), and every file staged in the scratch folder, is written in place:
// the name is opened without following a link, must be the older file, and
// is overwritten from the staged file's descriptor, cut to length and flushed
// to the disk; its owner stays as it is.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace vorn {

// A file descriptor that closes itself.
class Descriptor {
public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~Descriptor() { reset(); }

    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// What the lookup of a name found.
struct OutputTarget {
    Descriptor folder;     // the folder that holds `name` (an O_PATH descriptor)
    std::string name;      // the final name in that folder
    bool exists = false;   // a file was there, described by `found`
    struct stat found = {};
};

// Failures beyond the system's error numbers.
inline constexpr int target_changed = -1;   // the name no longer leads to the file looked up
inline constexpr int scratch_refused = -2;  // the scratch folder took no file; its line is written

// Looks `name` up: 0, the system's error, or target_changed when the name
// kept changing while it was looked up.
int look_up_output_target(std::string_view name, OutputTarget& target);

// Opens the file that the lookup found, by its name in its folder without
// following a link: the descriptor, or -1 with `error` the system's error or
// target_changed when the name leads elsewhere now.
int reopen_output_target(const OutputTarget& target, int flags, int& error);

// Starts the replacement of `target` (taken over) through a staged file and
// returns the staged file's descriptor, or -1 with `error` the system's error
// in the target's folder, or scratch_refused.  `shown_name` names the file in
// the lines on standard error.
int stage_replacement(OutputTarget target, std::string_view shown_name, int& error);

// Where the bytes are staged, for the lines of a failed write: empty in the
// target's folder, else " in the scratch folder <folder> (<why>)".
std::string_view staging_place();

// Puts the complete staged file, `length` bytes on `staged` and already on
// the disk, in the target's place (copying through `buffer` where it is
// written in place).  False after a failure, whose line is written; the
// older file is then as it was, except after a failure while it is written
// in place.
bool complete_replacement(int staged, long long length, std::span<unsigned char> buffer);

// Ends the replacement: a hidden name still standing is removed and the
// folder is let go.  The staged file's descriptor is the caller's to close.
void abandon_replacement();

// For the end of the run by a signal, in its handler: removes a hidden name
// still standing.  Async-signal-safe.
void remove_staged_name_now();

}  // namespace vorn
