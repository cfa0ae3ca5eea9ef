// The one loop of every raw write of the run: write(2) until the bytes are
// taken, again after a signal or a partial write.  It allocates nothing and
// touches no shared state, so a signal handler may use it too.
#pragma once

#include <cstddef>

namespace vorn {

// Writes `count` bytes to `fd`: 0, or the system's error (EIO for a write
// that takes nothing).
int write_all(int fd, const void* bytes, std::size_t count);

}  // namespace vorn
