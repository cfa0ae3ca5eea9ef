// The descriptors of the files that the run opens: close-on-exec, and never
// 0, 1 or 2, even when a standard stream is closed.  A standard stream that
// is closed keeps its descriptor, held read-only, so that writing there
// fails as before.
#pragma once

#include <sys/types.h>

namespace vorn {

// Opens a file for the run (`mode` for a file it creates).  Returns the
// descriptor, or -1 with errno set.
int open_descriptor(const char* path, int flags, mode_t mode = 0666);
// The same for a path relative to the folder open on `folder` (AT_FDCWD: the
// working directory).
int open_descriptor_at(int folder, const char* path, int flags, mode_t mode = 0666);

}  // namespace vorn
