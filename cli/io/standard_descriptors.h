// Descriptors 0, 1 and 2 as the tool found them, even when one was closed.
#pragma once

#include <string>

namespace ansicrypt::cli {

// Puts a placeholder on each of descriptors 0, 1 and 2 that is closed, so that no file the tool
// opens takes its number. A placeholder holds no data: reading and writing it fail with EBADF, as
// with a closed descriptor, and opening it again by a name such as /dev/stdin fails too. Call
// first, before anything opens a file.
void ReserveStandardDescriptors();

// True when `fd` (0, 1 or 2) was closed when the tool started.
bool IsClosedStandardDescriptor(int fd);

// True when `path` leads to such a descriptor (/dev/stdin with descriptor 0 closed, a link to
// it...): the system would have found no file there.
bool LeadsToClosedStandardDescriptor(const std::string& path);

}  // namespace ansicrypt::cli
