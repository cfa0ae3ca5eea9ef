#include "run_end/write_all.hpp"

#include <cerrno>
#include <unistd.h>

namespace vorn {

int write_all(int fd, const void* bytes, std::size_t count) {
    const auto* next = static_cast<const unsigned char*>(bytes);
    while (count > 0) {
        const ssize_t n = ::write(fd, next, count);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        next += n;
        count -= static_cast<std::size_t>(n);
    }
    return 0;
}

}  // namespace vorn
