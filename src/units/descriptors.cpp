#include "units/descriptors.hpp"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace vorn {

namespace {

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

int open_descriptor(const char* path, int flags, mode_t mode) { return open_descriptor_at(AT_FDCWD, path, flags, mode); }

int open_descriptor_at(int folder, const char* path, int flags, mode_t mode) {
    hold_standard_descriptors();
    return ::openat(folder, path, flags | O_CLOEXEC, mode);
}

}  // namespace vorn
